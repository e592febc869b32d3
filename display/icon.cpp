#include "display/icon.h"

namespace brumo {

static_assert(IconArtIsWellFormed(kIcon32));
static_assert(IconArtIsWellFormed(kIcon16));

void IconPixels(const IconArt& art, std::span<std::uint32_t> out) {
  std::size_t i = 0;
  for (int y = 0; y < art.size; ++y) {
    for (int x = 0; x < art.size; ++x) out[i++] = IconArgb(art, x, y);
  }
}

}  // namespace brumo
