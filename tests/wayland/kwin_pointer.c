/* A pointer driven through KWin's fake input (org_kde_kwin_fake_input). Reads commands, one a
 * line, and answers each with "ok" once KWin has had it:
 *   move DX DY        relative motion
 *   set X Y           absolute position
 *   press|release B   B = 1 (left), 2 (middle), 3 (right)
 *   key CODE 0|1      an evdev key code up or down
 */
#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input *input;

static void on_global(void *data, struct wl_registry *registry, uint32_t name,
                      const char *interface, uint32_t version) {
  (void)data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
    input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface,
                             version < 4 ? version : 4);
  }
}

static void on_global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {on_global, on_global_remove};

int main(void) {
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "kwin_pointer: no Wayland display\n");
    return 1;
  }
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, NULL);
  wl_display_roundtrip(display);
  if (!input) {
    fprintf(stderr, "kwin_pointer: the compositor offers no org_kde_kwin_fake_input\n");
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(input, "brumo tests", "drive the pointer");
  wl_display_roundtrip(display);
  printf("ok\n");
  fflush(stdout);
  char line[128], word[16];
  double a, b;
  /* evdev BTN_LEFT, BTN_MIDDLE, BTN_RIGHT for buttons 1, 2, 3 */
  static const unsigned codes[] = {0, 0x110, 0x112, 0x111};
  while (fgets(line, sizeof line, stdin)) {
    int n = sscanf(line, "%15s %lf %lf", word, &a, &b);
    if (n >= 3 && strcmp(word, "move") == 0) {
      org_kde_kwin_fake_input_pointer_motion(input, wl_fixed_from_double(a),
                                             wl_fixed_from_double(b));
    } else if (n >= 3 && strcmp(word, "set") == 0) {
      org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(a),
                                                      wl_fixed_from_double(b));
    } else if (n >= 2 && a >= 1 && a <= 3 &&
               (strcmp(word, "press") == 0 || strcmp(word, "release") == 0)) {
      org_kde_kwin_fake_input_button(input, codes[(int)a], strcmp(word, "press") == 0);
    } else if (n >= 3 && strcmp(word, "key") == 0) {
      org_kde_kwin_fake_input_keyboard_key(input, (uint32_t)a, (uint32_t)b);
    }
    wl_display_roundtrip(display);
    printf("ok\n");
    fflush(stdout);
  }
  wl_display_disconnect(display);
  return 0;
}
