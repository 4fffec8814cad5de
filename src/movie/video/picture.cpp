#include "movie/video/picture.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orv::movie::video {
namespace {

// Each term of the conversion for every 8-bit level, in 16.16 fixed point.
struct YuvTables {
  std::array<int32_t, 256> y, rv, gu, gv, bu;
  YuvTables() {
    const double kr = 0.299, kb = 0.114, kg = 1 - kr - kb;
    const double luma = 255.0 / 219.0, chroma = 255.0 / 224.0;
    for (int i = 0; i < 256; ++i) {
      const double c = i - 128.0;
      y[i] = int32_t(std::lround(luma * (i - 16) * 65536.0));
      rv[i] = int32_t(std::lround(chroma * 2 * (1 - kr) * c * 65536.0));
      bu[i] = int32_t(std::lround(chroma * 2 * (1 - kb) * c * 65536.0));
      gu[i] = int32_t(std::lround(-chroma * 2 * (1 - kb) * kb / kg * c * 65536.0));
      gv[i] = int32_t(std::lround(-chroma * 2 * (1 - kr) * kr / kg * c * 65536.0));
    }
  }
};

inline uint32_t level(int32_t fixed) {
  return uint32_t(std::clamp((fixed + 32768) >> 16, 0, 255));
}

}  // namespace

render::Bitmap toBitmap(const codec::VideoPicture& p) {
  render::Bitmap out;
  const size_t pixels = size_t(std::max(p.width, 0)) * size_t(std::max(p.height, 0));
  if (pixels == 0) return out;
  if (!p.yuv) {
    if (p.rgb.size() != pixels) return out;
    out.width = p.width, out.height = p.height;
    out.pixels.resize(pixels);
    for (size_t i = 0; i < pixels; ++i) out.pixels[i] = 0xFF000000u | p.rgb[i];
    return out;
  }
  const int cw = p.chromaWidth();
  const size_t chroma = size_t(cw) * size_t(p.chromaHeight());
  const bool alpha = !p.alpha.empty();
  if (p.y.size() != pixels || p.u.size() != chroma || p.v.size() != chroma ||
      (alpha && p.alpha.size() != pixels))
    return out;
  static const YuvTables t;
  out.width = p.width, out.height = p.height;
  out.pixels.resize(pixels);
  for (int row = 0; row < p.height; ++row) {
    const uint8_t* y = p.y.data() + size_t(row) * p.width;
    const uint8_t* u = p.u.data() + size_t(row / 2) * cw;
    const uint8_t* v = p.v.data() + size_t(row / 2) * cw;
    const uint8_t* a = alpha ? p.alpha.data() + size_t(row) * p.width : nullptr;
    uint32_t* dst = out.pixels.data() + size_t(row) * p.width;
    for (int x = 0; x < p.width; ++x) {
      const int32_t l = t.y[y[x]];
      const uint8_t cu = u[x / 2], cv = v[x / 2];
      uint32_t r = level(l + t.rv[cv]), g = level(l + t.gu[cu] + t.gv[cv]), b = level(l + t.bu[cu]);
      uint32_t alphaLevel = 255;
      if (a) {
        alphaLevel = a[x];
        r = std::min(r, alphaLevel), g = std::min(g, alphaLevel), b = std::min(b, alphaLevel);
      }
      dst[x] = alphaLevel << 24 | r << 16 | g << 8 | b;
    }
  }
  return out;
}

namespace {

// Sorenson H.263: a 17-bit start code, version, temporal reference and picture size come
// before the picture type (0 intra, 1 inter, 2 disposable inter).
bool h263KeyFrame(std::span<const uint8_t> f) {
  size_t pos = 0;
  auto take = [&](int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++pos) {
      if (pos / 8 >= f.size()) return ~uint32_t(0);
      v = v << 1 | ((f[pos / 8] >> (7 - pos % 8)) & 1u);
    }
    return v;
  };
  if (take(17) != 1) return false;
  take(5 + 8);
  const uint32_t size = take(3);
  if (size == 0)
    take(16);
  else if (size == 1)
    take(32);
  return take(2) == 0;
}

// Screen Video: block and picture sizes, then each block's data behind its 16-bit size,
// zero for a block that did not change.
bool screenVideoKeyFrame(std::span<const uint8_t> f) {
  if (f.size() < 4) return false;
  const int blockW = ((f[0] >> 4) + 1) * 16, width = (f[0] & 0x0F) << 8 | f[1];
  const int blockH = ((f[2] >> 4) + 1) * 16, height = (f[2] & 0x0F) << 8 | f[3];
  if (width == 0 || height == 0) return false;
  const size_t blocks = size_t((width + blockW - 1) / blockW) * size_t((height + blockH - 1) / blockH);
  size_t pos = 4;
  for (size_t i = 0; i < blocks; ++i) {
    if (pos + 2 > f.size()) return false;
    const size_t size = size_t(f[pos]) << 8 | f[pos + 1];
    if (size == 0) return false;
    pos += 2 + size;
  }
  return true;
}

}  // namespace

bool isKeyFrame(codec::VideoCodec codec, std::span<const uint8_t> frame) {
  switch (codec) {
    case codec::VideoCodec::SorensonH263: return h263KeyFrame(frame);
    case codec::VideoCodec::ScreenVideo: return screenVideoKeyFrame(frame);
    // VP6: the first bit of the frame header is 0 on an intra frame; the alpha kind puts
    // a 24-bit offset to its alpha data before it.
    case codec::VideoCodec::Vp6: return !frame.empty() && (frame[0] & 0x80) == 0;
    case codec::VideoCodec::Vp6Alpha: return frame.size() > 3 && (frame[3] & 0x80) == 0;
    // Screen Video 2 marks no key frames where they can be found cheaply: decoding starts
    // at the stream's first frame.
    case codec::VideoCodec::ScreenVideo2: return false;
  }
  return false;
}

}  // namespace orv::movie::video
