#include "movie/render/raster/bitmap_data.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

namespace orv::movie::render {

namespace {

uint32_t channelOf(uint32_t argb, uint32_t bit) {
  switch (bit) {
    case kRed:
      return (argb >> 16) & 255;
    case kGreen:
      return (argb >> 8) & 255;
    case kBlue:
      return argb & 255;
    case kAlpha:
      return argb >> 24;
    default:
      return 0;
  }
}

uint32_t withChannel(uint32_t argb, uint32_t bit, uint32_t v) {
  switch (bit) {
    case kRed:
      return (argb & 0xFF00FFFFu) | (v << 16);
    case kGreen:
      return (argb & 0xFFFF00FFu) | (v << 8);
    case kBlue:
      return (argb & 0xFFFFFF00u) | v;
    case kAlpha:
      return (argb & 0x00FFFFFFu) | (v << 24);
    default:
      return argb;
  }
}

bool singleChannel(uint32_t c) { return c == kRed || c == kGreen || c == kBlue || c == kAlpha; }

// The generator noise() and perlinNoise() draw from: a Park-Miller sequence, so one
// seed always gives the same image.
struct Random {
  // Seeds of 0 and below count as 1 - seed (0 as 1, -1 as 2); all are taken modulo the
  // sequence's period, and a state of 0 (which would stay 0) as 1.
  explicit Random(int32_t seed) {
    const int64_t s = (seed <= 0 ? 1 - int64_t(seed) : int64_t(seed)) % 2147483647;
    state = s == 0 ? 1 : s;
  }
  uint32_t next() {
    state = (state * 16807) % 2147483647;
    return uint32_t(state);
  }
  int64_t state;
};

// Improved gradient noise on a 256-cell lattice, permuted by the seed.
class Perlin {
 public:
  explicit Perlin(int32_t seed) {
    Random rnd(seed);
    for (int i = 0; i < 256; ++i) perm_[i] = uint8_t(i);
    for (int i = 255; i > 0; --i) std::swap(perm_[i], perm_[rnd.next() % uint32_t(i + 1)]);
  }
  // About -1..1. `periodX`/`periodY` > 0 wrap the lattice (stitched tiles).
  double at(double x, double y, int periodX, int periodY) const {
    // The lattice repeats every 256 cells: far-off (or broken) coordinates come back near 0.
    x = wrap(x);
    y = wrap(y);
    const double fx = std::floor(x), fy = std::floor(y);
    int x0 = int(int64_t(fx) & 255), y0 = int(int64_t(fy) & 255);
    int x1 = x0 + 1, y1 = y0 + 1;
    if (periodX > 0) {
      x0 %= periodX;
      x1 %= periodX;
    }
    if (periodY > 0) {
      y0 %= periodY;
      y1 %= periodY;
    }
    const double dx = x - fx, dy = y - fy;
    const double u = fade(dx), v = fade(dy);
    auto g = [&](int ix, int iy, double px, double py) {
      const int h = perm_[(perm_[ix & 255] + iy) & 255] & 7;
      static constexpr double kGx[8] = {1, -1, 1, -1, 1, -1, 0, 0};
      static constexpr double kGy[8] = {1, 1, -1, -1, 0, 0, 1, -1};
      return kGx[h] * px + kGy[h] * py;
    };
    const double a = lerp(u, g(x0, y0, dx, dy), g(x1, y0, dx - 1, dy));
    const double b = lerp(u, g(x0, y1, dx, dy - 1), g(x1, y1, dx - 1, dy - 1));
    return lerp(v, a, b);
  }

 private:
  static double wrap(double v) {
    if (!std::isfinite(v)) return 0;
    v = std::fmod(v, 256.0);
    return v < 0 ? v + 256 : v;
  }
  static double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }
  static double lerp(double t, double a, double b) { return a + t * (b - a); }
  std::array<uint8_t, 256> perm_{};
};

constexpr uint64_t kMaxNoiseSamples = 40'000'000;

// `src` over `dst` (both premultiplied) as copyPixels composites: what shows through is
// dst * (256 - alpha) / 256, cut down, so a faint pixel over another leaves it as it was.
uint32_t overCopied(uint32_t dst, uint32_t src) {
  const uint32_t keep = 256 - (src >> 24);
  auto ch = [&](int shift) {
    const uint32_t v = ((src >> shift) & 255) + ((((dst >> shift) & 255) * keep) >> 8);
    return std::min<uint32_t>(v, 255) << shift;
  };
  return ch(24) | ch(16) | ch(8) | ch(0);
}

}  // namespace

// Colour to stored: each channel times alpha / 255, rounded to nearest.
uint32_t storePremultiplied(uint32_t argb) {
  const uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  auto ch = [a](uint32_t c) { return (c * a + 127) / 255; };
  return packArgb(a, ch((argb >> 16) & 255), ch((argb >> 8) & 255), ch(argb & 255));
}

// Stored to colour, as the player reads it back: through alpha's 8.8 fixed-point inverse,
// halves rounded down.
uint32_t readStraight(uint32_t p) {
  const uint32_t a = p >> 24;
  if (a == 255) return p;
  if (a == 0) return 0;
  const uint32_t inverse = 65280 / a;
  auto ch = [inverse](uint32_t c) { return std::min<uint32_t>(255, (c * inverse + 127) >> 8); };
  return packArgb(a, ch((p >> 16) & 255), ch((p >> 8) & 255), ch(p & 255));
}

std::shared_ptr<Bitmap> newCountedStore(const std::shared_ptr<size_t>& alive, size_t cap,
                                        int width, int height, uint32_t premultiplied) {
  const size_t bytes = size_t(width) * size_t(height) * 4;
  if (!alive || width <= 0 || height <= 0 || bytes > cap || *alive > cap - bytes) return nullptr;
  auto* b = new Bitmap;
  b->width = width;
  b->height = height;
  b->pixels.assign(size_t(width) * size_t(height), premultiplied);
  *alive += bytes;
  // Whatever is left of it is given back here (disposing gives the pixels back early).
  return std::shared_ptr<Bitmap>(b, [alive](Bitmap* p) {
    *alive -= std::min(*alive, size_t(p->width) * size_t(p->height) * 4);
    delete p;
  });
}

PixelRect BitmapPixels::clip(PixelRect r) const {
  const int64_t x0 = std::max<int64_t>(r.x, 0), y0 = std::max<int64_t>(r.y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t(r.x) + r.w, width());
  const int64_t y1 = std::min<int64_t>(int64_t(r.y) + r.h, height());
  if (x1 <= x0 || y1 <= y0) return {};
  return {int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

uint32_t BitmapPixels::toStored(uint32_t argb) const {
  return storePremultiplied(transparent_ ? argb : (argb | 0xFF000000u));
}

uint32_t BitmapPixels::getPixel32(int x, int y) const {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return 0;
  return readStraight(at(x, y));
}

void BitmapPixels::setPixel32(int x, int y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return;
  at(x, y) = toStored(argb);
}

void BitmapPixels::setPixel(int x, int y, uint32_t rgb) {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return;
  at(x, y) = toStored((at(x, y) & 0xFF000000u) | (rgb & 0xFFFFFFu));
}

void BitmapPixels::fillRect(PixelRect r, uint32_t argb) {
  r = clip(r);
  const uint32_t v = toStored(argb);
  for (int y = r.y; y < r.y + r.h; ++y) std::fill_n(&at(r.x, y), r.w, v);
}

void BitmapPixels::floodFill(int x, int y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return;
  const uint32_t from = at(x, y), to = toStored(argb);
  if (from == to) return;
  // Spans of the old colour, filled row by row; every pixel is pushed at most a few times.
  std::vector<std::pair<int, int>> todo{{x, y}};
  while (!todo.empty()) {
    auto [px, py] = todo.back();
    todo.pop_back();
    if (at(px, py) != from) continue;
    int left = px, right = px;
    while (left > 0 && at(left - 1, py) == from) --left;
    while (right + 1 < width() && at(right + 1, py) == from) ++right;
    for (int i = left; i <= right; ++i) at(i, py) = to;
    for (int ny : {py - 1, py + 1}) {
      if (ny < 0 || ny >= height()) continue;
      bool inSpan = false;
      for (int i = left; i <= right; ++i) {
        const bool match = at(i, ny) == from;
        if (match && !inSpan) todo.emplace_back(i, ny);
        inSpan = match;
      }
    }
  }
}

PixelRect BitmapPixels::filterRect(PixelRect r, const std::vector<Filter>& filters) {
  const int reach = filterReach(filters, 1);
  return {r.x - reach, r.y - reach, r.w + 2 * reach, r.h + 2 * reach};
}

void BitmapPixels::applyFilters(const BitmapPixels& src, PixelRect r, int dx, int dy,
                                const std::vector<Filter>& filters, const FilterMaps* maps) {
  if (!store_ || !src.store_) return;
  const PixelRect s = src.clip(r);
  if (s.empty()) return;
  const int64_t tx = int64_t(dx) + (s.x - r.x), ty = int64_t(dy) + (s.y - r.y);
  if (std::abs(tx) > (int64_t(1) << 30) || std::abs(ty) > (int64_t(1) << 30)) return;
  const int reach = filterReach(filters, 1);
  const int64_t lw = int64_t(s.w) + 2 * reach, lh = int64_t(s.h) + 2 * reach;
  if (lw > 8191 || lh > 8191 || lw * lh > 16777215) {
    copyPixels(src, s, int(tx), int(ty), nullptr, 0, 0, false);
    return;
  }
  // The rectangle in a layer with room for what the filters spread to.
  std::vector<uint32_t> layer(size_t(lw * lh), 0);
  for (int y = 0; y < s.h; ++y)
    std::copy_n(src.store_->pixels.data() + size_t(s.y + y) * src.width() + s.x, s.w,
                layer.begin() + size_t(y + reach) * size_t(lw) + reach);
  render::applyFilters(filters, layer.data(), int(lw), int(lh),
                       {reach, reach, reach + s.w, reach + s.h}, 1.0f, maps);
  for (int64_t y = 0; y < lh; ++y) {
    const int64_t oy = ty - reach + y;
    if (oy < 0 || oy >= height()) continue;
    for (int64_t x = 0; x < lw; ++x) {
      const int64_t ox = tx - reach + x;
      if (ox < 0 || ox >= width()) continue;
      const uint32_t p = layer[size_t(y * lw + x)];
      at(int(ox), int(oy)) = transparent_ ? p : toStored(readStraight(p));
    }
  }
}

void BitmapPixels::copyPixels(const BitmapPixels& src, PixelRect r, int dx, int dy,
                              const BitmapPixels* alpha, int ax, int ay, bool mergeAlpha) {
  if (!store_ || !src.store_) return;
  // Clip against the source, then the destination, moving the destination point along.
  PixelRect s = src.clip(r);
  if (s.empty()) return;
  int64_t tx = int64_t(dx) + (s.x - r.x), ty = int64_t(dy) + (s.y - r.y);
  const int64_t x0 = std::max<int64_t>(tx, 0), y0 = std::max<int64_t>(ty, 0);
  const int64_t x1 = std::min<int64_t>(tx + s.w, width()),
                y1 = std::min<int64_t>(ty + s.h, height());
  if (x1 <= x0 || y1 <= y0) return;
  const int w = int(x1 - x0), h = int(y1 - y0);
  const int sx = int(s.x + (x0 - tx)), sy = int(s.y + (y0 - ty));
  // The source region as it was (it may be this image).
  std::vector<uint32_t> from(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    std::copy_n(src.store_->pixels.data() + size_t(sy + y) * src.width() + sx, w,
                from.begin() + size_t(y) * w);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t p = from[size_t(y) * w + x];
      if (alpha) {
        // The alpha image lines up with the source rectangle's corner at (ax, ay).
        const int64_t mx = int64_t(ax) + (sx - r.x) + x, my = int64_t(ay) + (sy - r.y) + y;
        const uint32_t k = mx >= 0 && my >= 0 && mx < alpha->width() && my < alpha->height()
                               ? alpha->at(int(mx), int(my)) >> 24
                               : 0;
        p = mulPixel255(p, k);
      }
      uint32_t& d = at(int(x0) + x, int(y0) + y);
      // Without mergeAlpha a transparent image takes the pixel as it is; an opaque one
      // has nothing to take the alpha, so the pixel lands over what is there.
      if (mergeAlpha || !transparent_) p = overCopied(d, p);
      d = p;
    }
  }
}

void BitmapPixels::copyChannel(const BitmapPixels& src, PixelRect r, int dx, int dy,
                               uint32_t srcChannel, uint32_t destChannel) {
  if (!store_ || !src.store_ || !singleChannel(destChannel)) return;
  if (destChannel == kAlpha && !transparent_) return;
  PixelRect s = src.clip(r);
  if (s.empty()) return;
  const int64_t tx = int64_t(dx) + (s.x - r.x), ty = int64_t(dy) + (s.y - r.y);
  for (int y = 0; y < s.h; ++y) {
    const int64_t oy = ty + y;
    if (oy < 0 || oy >= height()) continue;
    for (int x = 0; x < s.w; ++x) {
      const int64_t ox = tx + x;
      if (ox < 0 || ox >= width()) continue;
      const uint32_t v =
          singleChannel(srcChannel) ? channelOf(src.getPixel32(s.x + x, s.y + y), srcChannel) : 0;
      uint32_t& d = at(int(ox), int(oy));
      d = toStored(withChannel(readStraight(d), destChannel, v));
    }
  }
}

void BitmapPixels::colorTransform(PixelRect r, const ColorTransform& cx) {
  r = clip(r);
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x)
      at(x, y) = toStored(cx.applyStraight(readStraight(at(x, y))));
}

PixelRect BitmapPixels::colorBounds(uint32_t mask, uint32_t color, bool find) const {
  int x0 = width(), y0 = height(), x1 = -1, y1 = -1;
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      const bool match = (readStraight(at(x, y)) & mask) == (color & mask);
      if (match != find) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      // The player looks for the far edges down to the second column and row only: a
      // match in the first one alone gives no width (or height).
      if (x > 0) x1 = std::max(x1, x);
      if (y > 0) y1 = std::max(y1, y);
    }
  if (x0 == width()) return {};
  return {x0, y0, x1 < 0 ? 0 : x1 - x0 + 1, y1 < 0 ? 0 : y1 - y0 + 1};
}

void BitmapPixels::noise(int32_t seed, int low, int high, uint32_t channels, bool grey) {
  if (!store_) return;
  low = std::clamp(low, 0, 255);
  high = std::clamp(high, low, 255);
  const uint32_t span = uint32_t(high - low + 1);
  Random rnd(seed);
  auto value = [&] { return uint32_t(low) + rnd.next() % span; };
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      uint32_t r = 0, g = 0, b = 0, a = 255;
      if (grey) {
        r = g = b = value();
      } else {
        if (channels & kRed) r = value();
        if (channels & kGreen) g = value();
        if (channels & kBlue) b = value();
      }
      if (channels & kAlpha) a = value();
      at(x, y) = toStored(packArgb(a, r, g, b));
    }
}

void BitmapPixels::perlinNoise(double baseX, double baseY, int octaves, int32_t seed, bool stitch,
                               bool fractal, uint32_t channels, bool grey, const double* offsets,
                               int offsetCount) {
  if (!store_) return;
  octaves = std::clamp(octaves, 0, 16);
  baseX = std::abs(baseX);
  baseY = std::abs(baseY);
  // A channel each, from its own lattice.
  const int kinds = grey ? 1 : 4;
  // The work stays bounded: a big image gets fewer octaves.
  while (octaves > 1 && uint64_t(width()) * height() * octaves * kinds > kMaxNoiseSamples)
    --octaves;
  std::vector<Perlin> lattices;
  for (int i = 0; i < kinds; ++i) lattices.emplace_back(int32_t(seed + i * 7919));
  std::vector<double> sum(4);
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      std::fill(sum.begin(), sum.end(), 0.0);
      double freqX = baseX > 0 ? 1 / baseX : 0, freqY = baseY > 0 ? 1 / baseY : 0, amp = 1,
             total = 0;
      for (int o = 0; o < octaves; ++o) {
        const double ox = 2 * o < offsetCount ? offsets[2 * o] : 0;
        const double oy = 2 * o + 1 < offsetCount ? offsets[2 * o + 1] : 0;
        const int px = stitch && baseX > 0 ? std::max(1, int(std::lround(width() * freqX))) : 0;
        const int py = stitch && baseY > 0 ? std::max(1, int(std::lround(height() * freqY))) : 0;
        for (int k = 0; k < kinds; ++k) {
          const double n =
              lattices[k].at((x + ox) * freqX + k * 31.7, (y + oy) * freqY + k * 17.3, px, py);
          sum[k] += (fractal ? n : std::abs(n)) * amp;
        }
        total += amp;
        freqX *= 2;
        freqY *= 2;
        amp /= 2;
      }
      auto level = [&](int k) -> uint32_t {
        if (total <= 0) return 0;
        const double v = sum[k] / total;
        const double scaled = fractal ? (v + 1) / 2 : v;
        return uint32_t(std::clamp(scaled * 255, 0.0, 255.0));
      };
      uint32_t r = 0, g = 0, b = 0, a = 255;
      if (grey) {
        r = g = b = level(0);
      } else {
        if (channels & kRed) r = level(0);
        if (channels & kGreen) g = level(1);
        if (channels & kBlue) b = level(2);
      }
      if (channels & kAlpha) a = level(grey ? 0 : 3);
      at(x, y) = toStored(packArgb(a, r, g, b));
    }
}

void BitmapPixels::scroll(int dx, int dy) {
  if (!store_) return;
  copyPixels(*this, bounds(), dx, dy, nullptr, 0, 0, false);
}

void BitmapPixels::merge(const BitmapPixels& src, PixelRect r, int dx, int dy,
                         const uint32_t multipliers[4]) {
  if (!store_ || !src.store_) return;
  PixelRect s = src.clip(r);
  const int64_t tx = int64_t(dx) + (s.x - r.x), ty = int64_t(dy) + (s.y - r.y);
  const uint32_t bits[4] = {kRed, kGreen, kBlue, kAlpha};
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      const int64_t ox = tx + x, oy = ty + y;
      if (ox < 0 || oy < 0 || ox >= width() || oy >= height()) continue;
      const uint32_t from = src.getPixel32(s.x + x, s.y + y);
      uint32_t& d = at(int(ox), int(oy));
      uint32_t out = readStraight(d);
      for (int i = 0; i < 4; ++i) {
        const uint32_t m = std::min<uint32_t>(multipliers[i], 256);
        out =
            withChannel(out, bits[i],
                        (channelOf(from, bits[i]) * m + channelOf(out, bits[i]) * (256 - m)) / 256);
      }
      d = toStored(out);
    }
}

bool BitmapPixels::anyAlphaAtLeast(PixelRect r, int threshold) const {
  r = clip(r);
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x)
      if (alphaHits(at(x, y) >> 24, threshold)) return true;
  return false;
}

void BitmapPixels::paletteMap(const BitmapPixels& src, PixelRect r, int dx, int dy,
                              const uint32_t* const tables[4]) {
  if (!store_ || !src.store_) return;
  PixelRect s = src.clip(r);
  const int64_t tx = int64_t(dx) + (s.x - r.x), ty = int64_t(dy) + (s.y - r.y);
  std::vector<uint32_t> from(size_t(s.w) * s.h);  // src may be this image
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) from[size_t(y) * s.w + x] = src.getPixel32(s.x + x, s.y + y);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      const int64_t ox = tx + x, oy = ty + y;
      if (ox < 0 || oy < 0 || ox >= width() || oy >= height()) continue;
      const uint32_t p = from[size_t(y) * s.w + x];
      const uint32_t parts[4] = {(p >> 16) & 255, (p >> 8) & 255, p & 255, p >> 24};
      static constexpr int kShift[4] = {16, 8, 0, 24};
      uint32_t out = 0;
      for (int i = 0; i < 4; ++i) out += tables[i] ? tables[i][parts[i]] : parts[i] << kShift[i];
      at(int(ox), int(oy)) = toStored(out);
    }
}

int BitmapPixels::threshold(const BitmapPixels& src, PixelRect r, int dx, int dy,
                            const std::string& op, uint32_t value, uint32_t color, uint32_t mask,
                            bool copySource) {
  if (!store_ || !src.store_) return 0;
  auto test = [&](uint32_t p) {
    const uint32_t a = p & mask, b = value & mask;
    if (op == "<") return a < b;
    if (op == "<=") return a <= b;
    if (op == ">") return a > b;
    if (op == ">=") return a >= b;
    if (op == "==") return a == b;
    if (op == "!=") return a != b;
    return false;
  };
  PixelRect s = src.clip(r);
  const int64_t tx = int64_t(dx) + (s.x - r.x), ty = int64_t(dy) + (s.y - r.y);
  std::vector<uint32_t> from(size_t(s.w) * s.h);
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) from[size_t(y) * s.w + x] = src.getPixel32(s.x + x, s.y + y);
  int matched = 0;
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) {
      const int64_t ox = tx + x, oy = ty + y;
      if (ox < 0 || oy < 0 || ox >= width() || oy >= height()) continue;
      const uint32_t p = from[size_t(y) * s.w + x];
      if (test(p)) {
        at(int(ox), int(oy)) = toStored(color);
        ++matched;
      } else if (copySource) {
        at(int(ox), int(oy)) = toStored(p);
      }
    }
  return matched;
}

int32_t BitmapPixels::pixelDissolve(const BitmapPixels& src, PixelRect r, int dx, int dy,
                                    int32_t seed, int64_t count, uint32_t fill) {
  if (!store_ || !src.store_) return seed;
  // The rectangle clipped to the source, then to this image where it lands.
  const PixelRect s0 = src.clip(r);
  if (s0.empty()) return seed;
  const int64_t tx = int64_t(dx) + (s0.x - r.x), ty = int64_t(dy) + (s0.y - r.y);
  const int64_t x0 = std::max<int64_t>(tx, 0), y0 = std::max<int64_t>(ty, 0);
  const int64_t x1 = std::min<int64_t>(tx + s0.w, width()), y1 = std::min<int64_t>(ty + s0.h, height());
  if (x1 <= x0 || y1 <= y0) return seed;
  const int w = int(x1 - x0), h = int(y1 - y0);
  const int sx = int(s0.x + (x0 - tx)), sy = int(s0.y + (y0 - ty));
  const int64_t area = int64_t(w) * h;
  // Visits every cell once in a seeded order: a full-period step through the area. The
  // cell the seed names is written too, so a call writes `count` + 1 cells and gives back
  // the last, which the next call (starting there) writes again.
  count = std::clamp<int64_t>(count, 0, area - 1);
  uint64_t step = 1;
  for (uint64_t candidate = uint64_t(area) / 2 + 1; candidate < uint64_t(area) * 2; ++candidate)
    if (std::gcd<uint64_t, uint64_t>(candidate, uint64_t(area)) == 1) {
      step = candidate;
      break;
    }
  uint64_t cell = uint64_t(uint32_t(seed)) % uint64_t(area);
  const bool self = &src == this || src.store_ == store_;
  for (int64_t i = 0;; ++i) {
    const int x = int(cell % uint64_t(w)), y = int(cell / uint64_t(w));
    at(int(x0) + x, int(y0) + y) = toStored(self ? fill : src.getPixel32(sx + x, sy + y));
    if (i == count) break;
    cell = (cell + step) % uint64_t(area);
  }
  return int32_t(uint32_t(cell));
}

void BitmapPixels::dispose() {
  if (!store_) return;
  store_->pixels.clear();
  store_->pixels.shrink_to_fit();
  store_->width = store_->height = 0;
  store_.reset();
}

}  // namespace orv::movie::render
