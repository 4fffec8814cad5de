// The blur's running sums, however they are laid out for speed, give the bits
// a plain box blur gives: one row after another across, one column after
// another down, each channel rounded back into a byte. Random layers of odd
// sizes (rows not a whole group, columns not a whole vector) with a fixed seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "movie/render/raster/band_pool.h"
#include "movie/render/raster/filters.h"
#include "movie/render/raster/pixel.h"

namespace orv::movie::render {
namespace {

// One pass of a box of radius r along n values at stride `step`, zero outside.
void plainBox(float* v, int n, int step, int r) {
  std::vector<float> in(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) in[size_t(i)] = v[size_t(i) * step];
  const float k = 1.0f / float(2 * r + 1);
  float sum = 0;
  for (int i = 0; i <= r && i < n; ++i) sum += in[size_t(i)];
  for (int i = 0; i < n; ++i) {
    v[size_t(i) * step] = sum * k;
    if (i + r + 1 < n) sum += in[size_t(i + r + 1)];
    if (i - r >= 0) sum -= in[size_t(i - r)];
  }
}

uint32_t plainByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  const int whole = int(v);
  return uint32_t(whole + (v - float(whole) >= 0.5f ? 1 : 0));
}

// A blur of boxes blurX by blurY pixels, `passes` times, the slow way.
std::vector<uint32_t> plainBlur(std::vector<uint32_t> px, int w, int h, float blurX, float blurY,
                                int passes) {
  const int rx = std::clamp(int((blurX - 1) / 2), 0, 255);
  const int ry = std::clamp(int((blurY - 1) / 2), 0, 255);
  std::vector<float> plane(size_t(w) * h);
  for (int shift = 0; shift < 32; shift += 8) {
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = float((px[i] >> shift) & 255);
    for (int p = 0; p < passes; ++p) {
      if (rx > 0 && w > 1)
        for (int y = 0; y < h; ++y) plainBox(plane.data() + size_t(y) * w, w, 1, rx);
      if (ry > 0 && h > 1)
        for (int x = 0; x < w; ++x) plainBox(plane.data() + x, h, w, ry);
    }
    for (size_t i = 0; i < plane.size(); ++i) {
      const uint32_t v = plainByte(plane[i]);
      if (shift < 24) {
        px[i] = (px[i] & ~(0xFFu << shift)) | v << shift;
      } else {
        const uint32_t p = px[i];
        px[i] = v << 24 | std::min((p >> 16) & 255, v) << 16 | std::min((p >> 8) & 255, v) << 8 |
                std::min(p & 255, v);
      }
    }
  }
  return px;
}

// Premultiplied pixels: clear, opaque or anything between, in patches.
std::vector<uint32_t> randomLayer(std::mt19937& rng, int w, int h) {
  std::vector<uint32_t> px(size_t(w) * h);
  std::uniform_int_distribution<int> byte(0, 255), kind(0, 3);
  for (uint32_t& p : px) {
    const int k = kind(rng);
    const uint32_t a = k == 0 ? 0 : k == 1 ? 255 : uint32_t(byte(rng));
    auto c = [&] { return uint32_t(byte(rng)) * a / 255; };
    p = a << 24 | c() << 16 | c() << 8 | c();
  }
  return px;
}

TEST(BlurSums, RandomLayersMatchAPlainBoxBlurToTheBit) {
  std::mt19937 rng(20261211);
  std::uniform_int_distribution<int> side(1, 70), passes(1, 3);
  std::uniform_real_distribution<float> box(0.0f, 24.0f);
  BandPool pool(2, 1);  // splitting even the smallest layers
  for (int round = 0; round < 60; ++round) {
    const int w = side(rng), h = side(rng), n = passes(rng);
    const float bx = box(rng), by = box(rng);
    const std::vector<uint32_t> layer = randomLayer(rng, w, h);
    Filter f;
    f.kind = FilterKind::Blur;
    f.blurX = bx;
    f.blurY = by;
    f.passes = n;
    const std::vector<uint32_t> expected = plainBlur(layer, w, h, bx, by, n);
    for (BandPool* bands : {static_cast<BandPool*>(nullptr), &pool}) {
      std::vector<uint32_t> got = layer;
      applyFilters({f}, got.data(), w, h, {0, 0, w, h}, 1.0f, nullptr, bands);
      ASSERT_EQ(got, expected) << "round " << round << ": " << w << "x" << h << " box " << bx
                               << " by " << by << ", " << n << " passes"
                               << (bands ? ", banded" : "");
    }
  }
}

// A plain outer bevel the slow way: the alpha blurred by a box exactly as wide
// as asked (the pixels past an odd box counting for their part), seen back
// along the light less ahead of it, as a step of highlight or shadow under
// the source.
std::vector<uint32_t> plainBevel(std::vector<uint32_t> px, int w, int h, const Filter& f) {
  std::vector<float> a(size_t(w) * h);
  for (size_t i = 0; i < a.size(); ++i) a[i] = float(px[i] >> 24) / 255.0f;
  auto exactBox = [](float* v, int n, int step, float width) {
    const int r = std::clamp(int((width - 1) / 2), 0, 255);
    const float end = std::clamp((width - float(2 * r + 1)) / 2, 0.0f, 1.0f);
    if ((r == 0 && end <= 0) || n <= 1) return;
    const float k = 1.0f / (float(2 * r + 1) + 2 * end);
    std::vector<float> in(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) in[size_t(i)] = v[size_t(i) * step];
    auto at = [&](int i) { return i >= 0 && i < n ? in[size_t(i)] : 0.0f; };
    float sum = 0;
    for (int i = 0; i <= r && i < n; ++i) sum += in[size_t(i)];
    for (int i = 0; i < n; ++i) {
      v[size_t(i) * step] = end > 0 ? (sum + end * (at(i - r - 1) + at(i + r + 1))) * k : sum * k;
      if (i + r + 1 < n) sum += in[size_t(i + r + 1)];
      if (i - r >= 0) sum -= in[size_t(i - r)];
    }
  };
  for (int y = 0; y < h; ++y) exactBox(a.data() + size_t(y) * w, w, 1, f.blurX);
  for (int x = 0; x < w; ++x) exactBox(a.data() + x, h, w, f.blurY);
  const int dx = int(std::lround(std::cos(f.angle) * f.distance));
  const int dy = int(std::lround(std::sin(f.angle) * f.distance));
  auto alphaAt = [&](int x, int y) {
    return x >= 0 && x < w && y >= 0 && y < h ? a[size_t(y) * w + size_t(x)] : 0.0f;
  };
  auto shade = [](uint32_t straight, int step) {
    const float s = std::clamp(float(step) / 255.0f * float(straight >> 24) / 255.0f, 0.0f, 1.0f);
    auto ch = [s](uint32_t c) { return uint32_t(std::lround(float(c & 255) * s)); };
    return packArgb(uint32_t(std::lround(s * 255.0f)), ch(straight >> 16), ch(straight >> 8),
                    ch(straight));
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float diff = alphaAt(x - dx, y - dy) - alphaAt(x + dx, y + dy);
      const float lit = std::clamp(diff * f.strength, -1.0f, 1.0f);
      const int step = std::clamp(int(std::abs(lit) * 255.0f + 0.5f), 0, 255);
      const uint32_t effect = shade(lit < 0 ? f.highlight : f.color, step);
      uint32_t& p = px[size_t(y) * w + size_t(x)];
      const uint32_t srcA = p >> 24;
      if (effect == 0 || srcA == 255) continue;
      p = srcA == 0 ? effect : p + mulPixel255(effect, 255 - srcA);
    }
  return px;
}

TEST(BlurSums, PlainBevelsMatchTheSlowWayToTheBit) {
  std::mt19937 rng(1211);
  std::uniform_int_distribution<int> side(1, 60);
  std::uniform_real_distribution<float> box(0.0f, 12.0f), unit(0.0f, 1.0f);
  BandPool pool(2, 1);  // splitting even the smallest layers
  for (int round = 0; round < 60; ++round) {
    const int w = side(rng), h = side(rng);
    Filter f;
    f.kind = FilterKind::Bevel;
    f.blurX = box(rng);
    f.blurY = box(rng);
    f.distance = 6 * unit(rng);
    f.angle = 7 * unit(rng);
    f.strength = round % 10 == 9 ? std::nanf("") : 4 * unit(rng);
    f.color = 0xC0102030u;
    f.highlight = 0xFFF0E0D0u;
    const std::vector<uint32_t> layer = randomLayer(rng, w, h);
    const std::vector<uint32_t> expected = plainBevel(layer, w, h, f);
    for (BandPool* bands : {static_cast<BandPool*>(nullptr), &pool}) {
      std::vector<uint32_t> got = layer;
      applyFilters({f}, got.data(), w, h, {0, 0, w, h}, 1.0f, nullptr, bands);
      ASSERT_EQ(got, expected) << "round " << round << ": " << w << "x" << h;
    }
  }
}

}  // namespace
}  // namespace orv::movie::render
