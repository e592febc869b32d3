// Writes the icon's images for the desktop's icon theme: OUTPUT_DIR/32x32/brumo.png and
// OUTPUT_DIR/16x16/brumo.png, and OUTPUT_DIR/scalable/brumo.svg drawn from the largest art so that
// launchers show it sharp at any size. Run at build time.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "display/icon.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::uint32_t Adler32(const Bytes& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBig32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(Bytes& png, const char (&type)[5], const Bytes& data) {
  PutBig32(png, static_cast<std::uint32_t>(data.size()));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  PutBig32(png, Crc32(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) deflate blocks: the images are a few kilobytes.
Bytes Zlib(const Bytes& raw) {
  Bytes out{0x78, 0x01};
  std::size_t pos = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - pos, 65535);
    const bool last = pos + n == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.push_back(static_cast<std::uint8_t>(~n));
    out.push_back(static_cast<std::uint8_t>(~n >> 8));
    out.insert(out.end(), raw.begin() + static_cast<long>(pos),
               raw.begin() + static_cast<long>(pos + n));
    pos += n;
  } while (pos < raw.size());
  PutBig32(out, Adler32(raw));
  return out;
}

Bytes Png(const brumo::IconArt& art) {
  const auto size = static_cast<std::uint32_t>(art.size);
  Bytes header;
  PutBig32(header, size);
  PutBig32(header, size);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
  Bytes raw;
  for (int y = 0; y < art.size; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < art.size; ++x) {
      const std::uint32_t argb = brumo::IconArgb(art, x, y);
      raw.insert(raw.end(),
                 {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
                  static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 24)});
    }
  }
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", Zlib(raw));
  Chunk(png, "IEND", {});
  return png;
}

// The art as SVG: one rectangle per run of equal pixels in a row, drawn with crisp edges so that
// every pixel scales to a sharp square.
std::string Svg(const brumo::IconArt& art) {
  const std::string size = std::to_string(art.size);
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
      size + "\" height=\"" + size + "\" viewBox=\"0 0 " + size + " " + size +
      "\" shape-rendering=\"crispEdges\">\n";
  for (int y = 0; y < art.size; ++y) {
    for (int x = 0; x < art.size;) {
      const int index = brumo::IconIndex(art, x, y);
      int end = x + 1;
      while (end < art.size && brumo::IconIndex(art, end, y) == index) ++end;
      if (index != brumo::kIconTransparent) {
        char rect[96];
        std::snprintf(rect, sizeof rect,
                      "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"#%06X\"/>\n", x, y,
                      end - x,
                      static_cast<unsigned>(brumo::kIconPalette[static_cast<std::size_t>(index)]));
        svg += rect;
      }
      x = end;
    }
  }
  return svg + "</svg>\n";
}

// Writes `size` bytes to `path`; says on stderr and returns false when it cannot.
bool WriteFile(const std::filesystem::path& path, const char* data, std::size_t size) {
  std::error_code
      ignored;  // a directory that cannot be made shows as a file that cannot be written
  std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary);
  out.write(data, static_cast<std::streamsize>(size));
  if (!out) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  for (const brumo::IconArt& art : brumo::kIcons) {
    const std::string size = std::to_string(art.size);
    const Bytes png = Png(art);
    if (!WriteFile(dir / (size + "x" + size) / "brumo.png",
                   reinterpret_cast<const char*>(png.data()), png.size()))
      return 1;
  }
  const std::string svg = Svg(brumo::kIcons.front());
  return WriteFile(dir / "scalable" / "brumo.svg", svg.data(), svg.size()) ? 0 : 1;
}
