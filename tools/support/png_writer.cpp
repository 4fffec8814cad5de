#include "support/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>

#include "movie/player.h"

namespace orv::movie {

namespace {
void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void chunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  put32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  put32(out, static_cast<uint32_t>(crc));
}
}  // namespace

std::vector<uint8_t> encodePng(const Pixmap& pm) {
  if (pm.width <= 0 || pm.height <= 0 || pm.pixels.size() < size_t(pm.width) * size_t(pm.height))
    return {};
  std::vector<uint8_t> raw;
  raw.reserve(size_t(pm.height) * (1 + size_t(pm.width) * 4));
  for (int y = 0; y < pm.height; ++y) {
    raw.push_back(0);  // filter: none
    const uint32_t* row = &pm.pixels[size_t(y) * pm.width];
    for (int x = 0; x < pm.width; ++x) {
      uint32_t p = row[x];
      uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (a != 0 && a != 255) {
        r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
        g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
        b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
      }
      raw.insert(raw.end(), {uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)});
    }
  }
  uLongf zsize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> z(zsize);
  if (compress2(z.data(), &zsize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) return {};
  z.resize(zsize);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  put32(ihdr, static_cast<uint32_t>(pm.width));
  put32(ihdr, static_cast<uint32_t>(pm.height));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, no filter set, no interlace
  chunk(out, "IHDR", ihdr);
  chunk(out, "IDAT", z);
  chunk(out, "IEND", {});
  return out;
}

bool writePng(const Pixmap& pixmap, const std::string& path) {
  std::vector<uint8_t> png = encodePng(pixmap);
  if (png.empty()) return false;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  return static_cast<bool>(out);
}

}  // namespace orv::movie
