/* The few calls of fcft that the shell makes, for C++: fcft's own header is C alone. Each glyph
   is rendered once and kept by fcft; asking again costs a look-up, not an allocation. */
#pragma once

#include <pixman.h>
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fcft_font;

/* One rendered glyph: its image (a mask, or colour pixels where `colour`), where it goes from
   the pen (x right, y up from the baseline to its top row), and how far the pen moves. Where the
   image is a plain grey-scale mask, `coverage` is its pixels, one byte each, rows `stride` bytes
   apart; NULL otherwise. */
struct brumo_glyph {
  pixman_image_t* image;
  const uint8_t* coverage;
  int stride;
  int x, y, width, height;
  int advance;
  bool colour;
};

bool brumo_text_init(void);
void brumo_text_fini(void);
/* A font from a fontconfig name ("Arial,sans-serif:pixelsize=11"); NULL where none matched. */
struct fcft_font* brumo_font_open(const char* name);
void brumo_font_close(struct fcft_font* font);
int brumo_font_ascent(const struct fcft_font* font);
int brumo_font_descent(const struct fcft_font* font);
/* The glyph of `cp`, grey-scale anti-aliased; false where the font cannot render it. */
bool brumo_font_glyph(struct fcft_font* font, uint32_t cp, struct brumo_glyph* out);

#ifdef __cplusplus
}
#endif
