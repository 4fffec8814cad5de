// The blur's running sums, however they are laid out for speed, give the bits
// a plain box blur gives: one row after another across, one column after
// another down, each channel rounded back into a byte. Random layers of odd
// sizes (rows not a whole group, columns not a whole vector) with a fixed seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "movie/render/raster/band_pool.h"
#include "movie/render/raster/filters.h"

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

}  // namespace
}  // namespace orv::movie::render
