// Writes the icon's images as PNG files for the desktop's icon theme:
// OUTPUT_DIR/32x32/brumo.png and OUTPUT_DIR/16x16/brumo.png. Run at build time.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  for (const brumo::IconArt& art : brumo::kIcons) {
    const std::string size = std::to_string(art.size);
    const std::filesystem::path dir = std::filesystem::path(argv[1]) / (size + "x" + size);
    std::filesystem::create_directories(dir);
    const Bytes png = Png(art);
    std::ofstream out(dir / "brumo.png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", (dir / "brumo.png").c_str());
      return 1;
    }
  }
  return 0;
}
