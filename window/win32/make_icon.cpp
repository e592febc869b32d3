// Writes brumo.ico from the icon art in display/icon.h: one 16-colour (4 bits per pixel) image
// per size, largest first, each with its transparency mask. A build-time tool for the host.
//
//   make_icon OUTPUT.ico
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "display/icon.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ICO and BMP numbers are little-endian.
void Put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Bitmap rows are padded to whole 32-bit words.
std::uint32_t RowBytes(int width, int bits_per_pixel) {
  return static_cast<std::uint32_t>((width * bits_per_pixel + 31) / 32 * 4);
}

constexpr std::uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr std::uint32_t kColours = 16;
constexpr std::uint32_t kBitsPerPixel = 4;

// One icon image: BITMAPINFOHEADER, palette, colour bits, then the AND mask (1 = transparent),
// both bottom row first. Transparent pixels take colour 0, so the screen shows through unchanged.
Bytes Image(const brumo::IconArt& art) {
  const std::uint32_t colour_row = RowBytes(art.size, kBitsPerPixel);
  const std::uint32_t mask_row = RowBytes(art.size, 1);
  const auto size = static_cast<std::uint32_t>(art.size);
  Bytes out;
  Put32(out, kInfoHeaderSize);
  Put32(out, size);
  Put32(out, size * 2);  // the colour bits and the mask, one above the other
  Put16(out, 1);         // planes
  Put16(out, kBitsPerPixel);
  Put32(out, 0);  // BI_RGB
  Put32(out, (colour_row + mask_row) * size);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, kColours);
  Put32(out, 0);
  for (std::uint32_t rgb : brumo::kIconPalette) {
    out.push_back(static_cast<std::uint8_t>(rgb));        // blue
    out.push_back(static_cast<std::uint8_t>(rgb >> 8));   // green
    out.push_back(static_cast<std::uint8_t>(rgb >> 16));  // red
    out.push_back(0);
  }
  for (int y = art.size - 1; y >= 0; --y) {
    Bytes row(colour_row, 0);
    for (int x = 0; x < art.size; ++x) {
      const int index = brumo::IconIndex(art, x, y);
      if (index == brumo::kIconTransparent) continue;
      row[static_cast<std::size_t>(x / 2)] |=
          static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = art.size - 1; y >= 0; --y) {
    Bytes row(mask_row, 0);
    for (int x = 0; x < art.size; ++x) {
      if (brumo::IconIndex(art, x, y) == brumo::kIconTransparent) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
    return 2;
  }
  std::vector<Bytes> images;
  for (const brumo::IconArt& art : brumo::kIcons) images.push_back(Image(art));

  constexpr std::uint32_t kDirectorySize = 6;
  constexpr std::uint32_t kEntrySize = 16;
  Bytes file;
  Put16(file, 0);  // reserved
  Put16(file, 1);  // an icon, not a cursor
  Put16(file, static_cast<std::uint32_t>(images.size()));
  auto offset = static_cast<std::uint32_t>(kDirectorySize + kEntrySize * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    file.push_back(static_cast<std::uint8_t>(brumo::kIcons[i].size));  // width
    file.push_back(static_cast<std::uint8_t>(brumo::kIcons[i].size));  // height
    file.push_back(static_cast<std::uint8_t>(kColours));
    file.push_back(0);
    Put16(file, 1);  // planes
    Put16(file, kBitsPerPixel);
    Put32(file, static_cast<std::uint32_t>(images[i].size()));
    Put32(file, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) file.insert(file.end(), image.begin(), image.end());

  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) {
    std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
