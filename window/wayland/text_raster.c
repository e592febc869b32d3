#include "window/wayland/text_raster.h"

#include <fcft/fcft.h>

bool brumo_text_init(void) {
  return fcft_init(FCFT_LOG_COLORIZE_NEVER, false, FCFT_LOG_CLASS_ERROR);
}

void brumo_text_fini(void) {
  fcft_fini();
}

struct fcft_font* brumo_font_open(const char* name) {
  const char* names[] = {name};
  return fcft_from_name(1, names, NULL);
}

void brumo_font_close(struct fcft_font* font) {
  fcft_destroy(font);
}

int brumo_font_ascent(const struct fcft_font* font) {
  return font->ascent;
}

int brumo_font_descent(const struct fcft_font* font) {
  return font->descent;
}

bool brumo_font_glyph(struct fcft_font* font, uint32_t cp, struct brumo_glyph* out) {
  const struct fcft_glyph* g = fcft_rasterize_char_utf32(font, cp, FCFT_SUBPIXEL_NONE);
  if (g == NULL || g->pix == NULL) return false;
  const pixman_format_code_t format = pixman_image_get_format(g->pix);
  out->image = g->pix;
  out->coverage = format == PIXMAN_a8 ? (const uint8_t*)pixman_image_get_data(g->pix) : NULL;
  out->stride = pixman_image_get_stride(g->pix);
  out->x = g->x;
  out->y = g->y;
  out->width = g->width;
  out->height = g->height;
  out->advance = g->advance.x;
  out->colour = format == PIXMAN_a8r8g8b8;
  return true;
}
