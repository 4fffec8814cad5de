#include "movie/render/bitmap_decoder.h"

#include <zlib.h>

#include <algorithm>

#include "movie/base/bytes.h"
#include "movie/codec/image_decoder.h"
#include "movie/render/raster/pixel.h"

namespace orv::movie::render {

namespace {

// Inflates at most `limit` bytes; returns what it could (shorter on error).
std::vector<uint8_t> inflateLimited(const std::vector<uint8_t>& in, size_t limit) {
  std::vector<uint8_t> out(limit);
  if (in.empty() || limit == 0) return {};
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(std::min<size_t>(in.size(), 0x7FFFFFFF));
  z.next_out = out.data();
  z.avail_out = uInt(limit);
  while (z.avail_out > 0) {
    int rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK) break;  // Z_STREAM_END, or an error
  }
  out.resize(limit - z.avail_out);
  inflateEnd(&z);
  return out;
}

// Removes every EOI+SOI pair (FF D9 FF D8). Inside entropy-coded data an FF is
// always followed by 00 or a restart marker, so this only joins segments.
std::vector<uint8_t> stripJoins(const uint8_t* d, size_t n) {
  std::vector<uint8_t> out;
  out.reserve(n);
  for (size_t i = 0; i < n;) {
    if (i + 3 < n && d[i] == 0xFF && d[i + 1] == 0xD9 && d[i + 2] == 0xFF && d[i + 3] == 0xD8) {
      i += 4;
      continue;
    }
    out.push_back(d[i++]);
  }
  return out;
}

std::shared_ptr<Bitmap> fromDecoded(codec::DecodedImage&& img) {
  auto bm = std::make_shared<Bitmap>();
  bm->width = img.width;
  bm->height = img.height;
  bm->pixels = std::move(img.argb);
  for (auto& p : bm->pixels) p = premultiply(p);
  if (!bm->valid()) return nullptr;
  return bm;
}

std::shared_ptr<const Bitmap> decodeLossless(const swf::BitmapDef& def) {
  const int w = def.width, h = def.height;
  if (w == 0 || h == 0 || size_t(w) * h > codec::kMaxImagePixels) return nullptr;
  const bool alpha = def.kind == swf::BitmapKind::Lossless2;
  auto bm = std::make_shared<Bitmap>();
  bm->width = w;
  bm->height = h;
  bm->pixels.assign(size_t(w) * h, 0);
  // Stored alpha colours are premultiplied already; keep them consistent.
  auto clampPremul = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return packArgb(a, std::min(r, a), std::min(g, a), std::min(b, a));
  };
  switch (def.losslessFormat) {
    case 3: {
      const size_t entries = size_t(def.colorTableSize) + 1;
      const size_t entryBytes = alpha ? 4 : 3;
      const size_t pitch = (size_t(w) + 3) & ~size_t(3);
      const size_t tableBytes = entries * entryBytes;
      const auto raw = inflateLimited(def.data, tableBytes + pitch * h);
      if (raw.size() < tableBytes) return nullptr;
      std::vector<uint32_t> table(256, 0);
      for (size_t i = 0; i < entries; ++i) {
        const uint8_t* e = &raw[i * entryBytes];
        table[i] = alpha ? clampPremul(e[3], e[0], e[1], e[2]) : packArgb(255, e[0], e[1], e[2]);
      }
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const size_t at = tableBytes + size_t(y) * pitch + x;
          if (at >= raw.size()) return bm;  // truncated: keep what is there
          bm->pixels[size_t(y) * w + x] = table[raw[at]];
        }
      }
      return bm;
    }
    case 4: {
      const size_t pitch = (size_t(w) * 2 + 3) & ~size_t(3);
      const auto raw = inflateLimited(def.data, pitch * h);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const size_t at = size_t(y) * pitch + size_t(x) * 2;
          if (at + 1 >= raw.size()) return bm;
          const uint32_t v = base::be16(raw.data() + at);  // PIX15, big-endian
          auto expand = [](uint32_t c5) { return (c5 << 3) | (c5 >> 2); };
          bm->pixels[size_t(y) * w + x] =
              packArgb(255, expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
        }
      }
      return bm;
    }
    case 5: {
      const auto raw = inflateLimited(def.data, size_t(w) * h * 4);
      const size_t n = raw.size() / 4;
      for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = &raw[i * 4];
        bm->pixels[i] =
            alpha ? clampPremul(p[0], p[1], p[2], p[3]) : packArgb(255, p[1], p[2], p[3]);
      }
      return bm;
    }
    default:
      return nullptr;
  }
}

}  // namespace

std::vector<uint8_t> joinJpeg(const std::vector<uint8_t>& tables,
                              const std::vector<uint8_t>& data) {
  std::vector<uint8_t> all;
  all.reserve(tables.size() + data.size());
  all.insert(all.end(), tables.begin(), tables.end());
  all.insert(all.end(), data.begin(), data.end());
  std::vector<uint8_t> joined = stripJoins(all.data(), all.size());
  // A stray EOI SOI at the very start (FF D9 FF D8 was removed) or a doubled SOI.
  while (joined.size() >= 4 && joined[0] == 0xFF && joined[1] == 0xD8 && joined[2] == 0xFF &&
         joined[3] == 0xD8)
    joined.erase(joined.begin(), joined.begin() + 2);
  return joined;
}

std::shared_ptr<const Bitmap> decodeBitmap(const swf::BitmapDef& def,
                                           const std::vector<uint8_t>& jpegTables) {
  if (def.kind == swf::BitmapKind::Lossless || def.kind == swf::BitmapKind::Lossless2)
    return decodeLossless(def);

  std::vector<uint8_t> stream;
  const codec::ImageFormat format = codec::sniffImageFormat(def.data.data(), def.data.size());
  if (def.kind == swf::BitmapKind::Jpeg) {
    stream = joinJpeg(jpegTables, def.data);
  } else if (format == codec::ImageFormat::Jpeg || format == codec::ImageFormat::Unknown) {
    stream = joinJpeg({}, def.data);
  } else {
    stream = def.data;
  }
  auto decoded = codec::decodeImage(stream.data(), stream.size());
  if (!decoded || decoded->width <= 0 || decoded->height <= 0 ||
      decoded->argb.size() != size_t(decoded->width) * decoded->height)
    return nullptr;
  const bool hasAlphaPlane =
      (def.kind == swf::BitmapKind::Jpeg3 || def.kind == swf::BitmapKind::Jpeg4) &&
      codec::sniffImageFormat(stream.data(), stream.size()) == codec::ImageFormat::Jpeg &&
      !def.alphaData.empty();
  if (hasAlphaPlane) {
    const size_t n = decoded->argb.size();
    const auto alpha = inflateLimited(def.alphaData, n);
    if (alpha.size() == n) {
      for (size_t i = 0; i < n; ++i)
        decoded->argb[i] = (decoded->argb[i] & 0x00FFFFFFu) | (uint32_t(alpha[i]) << 24);
    }
  }
  return fromDecoded(std::move(*decoded));
}

}  // namespace orv::movie::render
