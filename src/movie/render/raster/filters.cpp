#include "movie/render/raster/filters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "movie/render/raster/pixel.h"

namespace orv::movie::render {

namespace {

constexpr int kMaxRadius = 255;  // device pixels a blur may spread
constexpr int64_t kMaxConvolutionSteps = int64_t(1) << 26;
constexpr int64_t kMaxFilteredSide = 8191;
constexpr int64_t kMaxFilteredPixels = 16777215;

// Buffers a blur reuses from filter to filter.
struct BlurScratch {
  std::vector<float> rows;
  std::vector<float> plane;   // what is blurred
  BandPool* bands = nullptr;  // the threads rows and columns are worked on
};

// Runs work(from, to) over pieces of [0, count) rows (or columns) of a
// picture of `pixels`, aligned to `align`, on the pool's threads.
template <class Work>
void inPieces(BandPool* bands, int count, int64_t pixels, int align, Work&& work) {
  forBands(bands && bands->worthSplitting(pixels) ? bands : nullptr, 0, count, align,
           [&](size_t, int from, int to) { work(from, to); });
}

// The blur's sums, four floats at a time where the processor has SSE2. Each
// lane is the plain float arithmetic of one pixel, in the same order (no
// fused operations), so the vector and scalar forms give the same bits.
#if defined(__SSE2__) || defined(_M_X64)
inline void rowAdd(float* sum, const float* add, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4)
    _mm_storeu_ps(sum + x, _mm_add_ps(_mm_loadu_ps(sum + x), _mm_loadu_ps(add + x)));
  for (; x < n; ++x) sum[x] += add[x];
}
inline void rowSubtract(float* sum, const float* drop, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4)
    _mm_storeu_ps(sum + x, _mm_sub_ps(_mm_loadu_ps(sum + x), _mm_loadu_ps(drop + x)));
  for (; x < n; ++x) sum[x] -= drop[x];
}
// out = a - b
inline void rowDifference(float* out, const float* a, const float* b, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4)
    _mm_storeu_ps(out + x, _mm_sub_ps(_mm_loadu_ps(a + x), _mm_loadu_ps(b + x)));
  for (; x < n; ++x) out[x] = a[x] - b[x];
}
inline void rowScaled(float* out, const float* sum, float k, int n) {
  const __m128 kk = _mm_set1_ps(k);
  int x = 0;
  for (; x + 4 <= n; x += 4) _mm_storeu_ps(out + x, _mm_mul_ps(_mm_loadu_ps(sum + x), kk));
  for (; x < n; ++x) out[x] = sum[x] * k;
}
// out = (sum + end * (before + after)) * k
inline void rowScaledWithEnds(float* out, const float* sum, const float* before,
                              const float* after, float end, float k, int n) {
  const __m128 kk = _mm_set1_ps(k), ee = _mm_set1_ps(end);
  int x = 0;
  for (; x + 4 <= n; x += 4) {
    const __m128 ends = _mm_add_ps(_mm_loadu_ps(before + x), _mm_loadu_ps(after + x));
    _mm_storeu_ps(out + x, _mm_mul_ps(_mm_add_ps(_mm_loadu_ps(sum + x), _mm_mul_ps(ee, ends)), kk));
  }
  for (; x < n; ++x) out[x] = (sum[x] + end * (before[x] + after[x])) * k;
}
#else
inline void rowDifference(float* out, const float* a, const float* b, int n) {
  for (int x = 0; x < n; ++x) out[x] = a[x] - b[x];
}
inline void rowAdd(float* sum, const float* add, int n) {
  for (int x = 0; x < n; ++x) sum[x] += add[x];
}
inline void rowSubtract(float* sum, const float* drop, int n) {
  for (int x = 0; x < n; ++x) sum[x] -= drop[x];
}
inline void rowScaled(float* out, const float* sum, float k, int n) {
  for (int x = 0; x < n; ++x) out[x] = sum[x] * k;
}
inline void rowScaledWithEnds(float* out, const float* sum, const float* before,
                              const float* after, float end, float k, int n) {
  for (int x = 0; x < n; ++x) out[x] = (sum[x] + end * (before[x] + after[x])) * k;
}
#endif

// Eight running sums side by side (the rows of a group blurred across).
struct Lanes8 {
  float v[8] = {};
  void add(const float* a) { rowAdd(v, a, 8); }
  void subtract(const float* a) { rowSubtract(v, a, 8); }
  void storeScaled(float* out, float k) const { rowScaled(out, v, k, 8); }
  void storeWithEnds(float* out, const float* before, const float* after, float end,
                     float k) const {
    rowScaledWithEnds(out, v, before, after, end, k, 8);
  }
};

// Box blurs one channel plane (values 0..1) in place: `passes` times across
// and down, each a box `boxX` by `boxY` pixels wide. A box is an odd number
// of whole pixels, or with `exact` exactly as wide as asked: the pixels just
// past the odd box then count for the part of the width they cover.
void boxBlur(std::vector<float>& plane, int w, int h, float boxX, float boxY, int passes,
             BlurScratch& scratch, bool exact = false) {
  struct Box {
    int r = 0;
    float end = 0, k = 1;
    bool none = true;
  };
  auto box = [exact](float width, int n) {
    Box b;
    b.r = std::clamp(int((width - 1) / 2), 0, kMaxRadius);
    b.end =
        exact && b.r < kMaxRadius ? std::clamp((width - float(2 * b.r + 1)) / 2, 0.0f, 1.0f) : 0.0f;
    b.none = (b.r == 0 && b.end <= 0) || n <= 1;
    b.k = 1.0f / (float(2 * b.r + 1) + 2 * b.end);
    return b;
  };
  // Across the rows, eight at a time, their pixels interleaved (pixel i of
  // the group's rows side by side, with r + 1 zeros at either end for the
  // pixels past the plane): the eight running sums are then four-wide vector
  // operations, each lane the same sums in the same order as one row alone.
  constexpr int kGroup = 8;
  auto blurRows = [&](const Box& b, int from, int to) {
    const int r = b.r, pad = r + 1;
    const float end = b.end, k = b.k;
    std::vector<float> lines(size_t(w + 2 * pad) * kGroup), out(size_t(w) * kGroup);
    for (int y0 = from; y0 < to; y0 += kGroup) {
      const int g = std::min(kGroup, h - y0);
      float* const first = plane.data() + size_t(y0) * w;
      if (g < kGroup) std::fill(lines.begin(), lines.end(), 0.0f);
      float* const in = lines.data() + size_t(pad) * kGroup;  // pixel i at in + i * kGroup
      for (int j = 0; j < g; ++j) {
        const float* row = first + size_t(j) * w;
        for (int i = 0; i < w; ++i) in[size_t(i) * kGroup + j] = row[i];
      }
      // Running sum over [i - r, i + r], zero outside the plane.
      Lanes8 sum;
      for (int i = 0; i <= r && i < w; ++i) sum.add(in + size_t(i) * kGroup);
      for (int i = 0; i < w; ++i) {
        const int add = i + r + 1, drop = i - r;
        float* o = out.data() + size_t(i) * kGroup;
        if (end > 0)
          sum.storeWithEnds(o, in + ptrdiff_t(i - r - 1) * kGroup, in + size_t(add) * kGroup,
                            end, k);
        else
          sum.storeScaled(o, k);
        if (add < w) sum.add(in + size_t(add) * kGroup);
        if (drop >= 0) sum.subtract(in + size_t(drop) * kGroup);
      }
      for (int j = 0; j < g; ++j) {
        float* row = first + size_t(j) * w;
        for (int i = 0; i < w; ++i) row[i] = out[size_t(i) * kGroup + j];
      }
    }
  };
  // Down the columns, all of them at once a row at a time (the same sums, in
  // the same order, as one column after another, without striding memory).
  // Columns [x0, x1) of `in` (the plane as it was) down into the plane.
  auto blurColumns = [&](const Box& b, const std::vector<float>& in, int x0, int x1) {
    const int r = b.r, n = x1 - x0;
    const float end = b.end, k = b.k;
    std::vector<float> sums(size_t(n), 0.0f), zeros(end > 0 ? size_t(n) : 0, 0.0f);
    float* const sum = sums.data();
    // Row y's columns, or null past the plane.
    auto row = [&](int y) { return y >= 0 && y < h ? in.data() + size_t(y) * w + x0 : nullptr; };
    for (int i = 0; i <= r && i < h; ++i) rowAdd(sum, row(i), n);
    for (int y = 0; y < h; ++y) {
      float* out = plane.data() + size_t(y) * w + x0;
      if (end > 0) {
        const float *before = row(y - r - 1), *after = row(y + r + 1);
        rowScaledWithEnds(out, sum, before ? before : zeros.data(), after ? after : zeros.data(),
                          end, k, n);
      } else {
        rowScaled(out, sum, k, n);
      }
      if (const float* add = row(y + r + 1)) rowAdd(sum, add, n);
      if (const float* drop = row(y - r)) rowSubtract(sum, drop, n);
    }
  };
  const Box across = box(boxX, w), down = box(boxY, h);
  const int64_t pixels = int64_t(w) * h;
  std::vector<float>& in = scratch.rows;
  for (int pass = 0; pass < passes; ++pass) {
    if (!across.none)
      inPieces(scratch.bands, h, pixels, kGroup,
               [&](int from, int to) { blurRows(across, from, to); });
    if (!down.none) {
      in.resize(size_t(pixels));
      inPieces(scratch.bands, h, pixels, 1, [&](int from, int to) {
        std::copy(plane.begin() + ptrdiff_t(size_t(from) * w),
                  plane.begin() + ptrdiff_t(size_t(to) * w),
                  in.begin() + ptrdiff_t(size_t(from) * w));
      });
      // Sixteen columns at least a piece: rows of whole cache lines.
      inPieces(scratch.bands, w, pixels, 16,
               [&](int from, int to) { blurColumns(down, in, from, to); });
    }
  }
}

struct Region {
  int x0, y0, w, h;
};

// k / 255 for each byte k.
const std::array<float, 256> kUnit = [] {
  std::array<float, 256> u{};
  for (int k = 0; k < 256; ++k) u[size_t(k)] = float(k) / 255.0f;
  return u;
}();

// The alpha of the layer inside `r`, shifted by (dx, dy) pixels, 0..1.
void alphaPlane(const uint32_t* layer, int stride, const Region& r, int dx, int dy, bool inverted,
                std::vector<float>& a, BandPool* bands) {
  a.resize(size_t(r.w) * r.h);
  // Pixels [x0, x1) of a row have a source pixel dx to their left.
  const int x0 = std::clamp(dx, 0, r.w), x1 = std::clamp(r.w + dx, 0, r.w);
  inPieces(bands, r.h, int64_t(r.w) * r.h, 1, [&](int from, int to) {
    std::fill(a.begin() + ptrdiff_t(size_t(from) * r.w), a.begin() + ptrdiff_t(size_t(to) * r.w),
              inverted ? 1.0f : 0.0f);
    for (int y = from; y < to; ++y) {
      const int sy = y - dy;
      if (sy < 0 || sy >= r.h) continue;
      const uint32_t* src = layer + size_t(r.y0 + sy) * stride + r.x0;
      float* out = a.data() + size_t(y) * r.w;
      if (inverted) {
        for (int x = x0; x < x1; ++x) out[x] = 1.0f - kUnit[src[x - dx] >> 24];
      } else {
        for (int x = x0; x < x1; ++x) out[x] = kUnit[src[x - dx] >> 24];
      }
    }
  });
}

uint32_t colorWithAlpha(uint32_t straight, float alpha) {
  const float a = std::clamp(alpha * float(straight >> 24) / 255.0f, 0.0f, 1.0f);
  auto ch = [a](uint32_t c) { return uint32_t(std::lround(float(c & 255) * a)); };
  return packArgb(uint32_t(std::lround(a * 255.0f)), ch(straight >> 16), ch(straight >> 8),
                  ch(straight));
}

// A straight colour premultiplied at each of 256 strengths, 0 to 1.
class Shades {
 public:
  explicit Shades(uint32_t straight) {
    for (int k = 0; k < 256; ++k) shade_[size_t(k)] = colorWithAlpha(straight, float(k) / 255.0f);
  }
  // The strength's step (0..255), strengths past 1 counting as 1. Strengths
  // are finite and bounded (an alpha times a stored 8.8 factor). Clamped as
  // whole numbers, which takes no branch: neighbouring pixels differ
  // unpredictably.
  static uint32_t step(float strength) {
    return uint32_t(std::clamp(int(strength * 255.0f + 0.5f), 0, 255));
  }
  uint32_t at(uint32_t step) const { return shade_[step]; }
  void clear(uint32_t step) { shade_[step] = 0; }

  // The colours of a gradient at each of its 256 places, straight colours
  // and alphas mixed between neighbouring stops.
  static Shades gradient(const GradientStop* stops, int count) {
    Shades g(0);
    if (count <= 0) return g;
    int next = 0;
    for (int k = 0; k < 256; ++k) {
      while (next < count && stops[next].ratio < k) ++next;
      uint32_t straight;
      if (next == 0) {
        straight = stops[0].argb;
      } else if (next == count) {
        straight = stops[count - 1].argb;
      } else {
        const GradientStop &a = stops[next - 1], &b = stops[next];
        const float t = b.ratio > a.ratio ? float(k - a.ratio) / float(b.ratio - a.ratio) : 1.0f;
        auto mix = [t, &a, &b](int shift) {
          const float u = float((a.argb >> shift) & 255), v = float((b.argb >> shift) & 255);
          return uint32_t(std::lround(u + (v - u) * t)) << shift;
        };
        straight = mix(24) | mix(16) | mix(8) | mix(0);
      }
      g.shade_[size_t(k)] = colorWithAlpha(straight, 1.0f);
    }
    return g;
  }

 private:
  std::array<uint32_t, 256> shade_;
};

// Puts an effect pixel together with the source pixel under it. Inner effects
// lie on the source, only where it is (their own colour atop it); outer ones
// lie under it, only where it is not. Knockout leaves out the source itself.
inline uint32_t composite(uint32_t effect, uint32_t src, bool inner, bool knockout) {
  const uint32_t srcA = src >> 24;
  // Outer effects: nothing shows through an opaque source, all of it where
  // there is none.
  if (!inner && srcA == 255) return knockout ? 0 : src;
  if (!inner && srcA == 0) return effect;
  if (inner) {
    const uint32_t on = mulPixel255(effect, srcA);
    return knockout ? on : on + mulPixel255(src, 255 - (effect >> 24));
  }
  const uint32_t off = mulPixel255(effect, 255 - srcA);
  return knockout ? off : src + off;
}

// One row of a shadow or glow put together with its source, the filter's
// flags fixed at compile time so that the pixel loop tests only the pixels.
template <bool kFull, bool kInner, bool kKnockout, bool kComposite>
void shadowRow(uint32_t* row, const float* alpha, int w, const Shades& shades, float strength) {
  for (int x = 0; x < w; ++x) {
    const uint32_t src = row[x];
    const uint32_t effect = shades.at(Shades::step(alpha[x] * strength));
    if (effect == 0 && !kKnockout && kComposite) continue;  // the source as it was
    if constexpr (kFull) {
      row[x] = kKnockout || !kComposite ? effect : sourceOver(src, effect);
    } else {
      // Without its source (hideObject) an outer shadow is drawn whole.
      row[x] = kComposite || kInner || kKnockout
                   ? composite(effect, src, kInner, kKnockout || !kComposite)
                   : effect;
    }
  }
}
using ShadowRow = void (*)(uint32_t*, const float*, int, const Shades&, float);
// By flags: full 1, inner 2, knockout 4, composite source 8.
template <size_t... flags>
constexpr std::array<ShadowRow, sizeof...(flags)> shadowRows(std::index_sequence<flags...>) {
  return {&shadowRow<bool(flags & 1), bool(flags & 2), bool(flags & 4), bool(flags & 8)>...};
}
constexpr std::array<ShadowRow, 16> kShadowRows = shadowRows(std::make_index_sequence<16>());

// Drop shadow, glow (a shadow at distance zero) and gradient glow, whose
// colour follows its gradient from the first stop where it fades out to the
// last where it is strongest. Full (on top) gradient glows cover the source
// on both sides of its edge.
void shadow(const Filter& f, uint32_t* layer, int stride, const Region& r, float scale,
            BlurScratch& scratch) {
  const bool gradient = f.kind == FilterKind::GradientGlow;
  const bool full = gradient && !f.inner && f.onTop;
  const float dist = f.kind == FilterKind::Glow ? 0.0f : f.distance * scale;
  const int dx = int(std::lround(std::cos(f.angle) * dist));
  const int dy = int(std::lround(std::sin(f.angle) * dist));
  std::vector<float>& a = scratch.plane;
  alphaPlane(layer, stride, r, dx, dy, f.inner, a, scratch.bands);
  boxBlur(a, r.w, r.h, f.blurX * scale, f.blurY * scale, f.passes, scratch);
  Shades shades = gradient ? Shades::gradient(f.stops, f.stopCount) : Shades(f.color);
  // Where there is no glow at all a gradient glow draws nothing, whatever its first colour.
  if (gradient) shades.clear(0);
  const ShadowRow shadeRow =
      kShadowRows[(full ? 1 : 0) | (f.inner ? 2 : 0) | (f.knockout ? 4 : 0) |
                  (f.compositeSource ? 8 : 0)];
  inPieces(scratch.bands, r.h, int64_t(r.w) * r.h, 1, [&](int from, int to) {
    for (int y = from; y < to; ++y)
      shadeRow(layer + size_t(r.y0 + y) * stride + r.x0, a.data() + size_t(y) * r.w, r.w, shades,
               f.strength);
  });
}

// A plain bevel's light at each pixel: the step of its shade (Shades::step),
// negative for the highlight. The vector form takes the same float steps; its
// clamps give what std::clamp gives, a NaN included (no step).
inline int16_t litStep(float diff, float strength) {
  const float lit = std::clamp(diff * strength, -1.0f, 1.0f);
  const int step = int(Shades::step(std::abs(lit)));
  return int16_t(lit < 0 ? -step : step);
}
void litSteps(const float* diff, float strength, int16_t* steps, int n) {
  int x = 0;
#if defined(__SSE2__) || defined(_M_X64)
  const __m128 s = _mm_set1_ps(strength), lo = _mm_set1_ps(-1.0f), hi = _mm_set1_ps(1.0f);
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 scale = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
  auto four = [&](const float* d) {
    // max and min give their second operand for a NaN: the NaN is kept.
    const __m128 lit = _mm_min_ps(hi, _mm_max_ps(lo, _mm_mul_ps(_mm_loadu_ps(d), s)));
    __m128i step = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_and_ps(lit, magnitude), scale), half));
    step = _mm_and_si128(step, _mm_cmpgt_epi32(step, _mm_setzero_si128()));  // a NaN: no step
    const __m128i negative = _mm_castps_si128(_mm_cmplt_ps(lit, _mm_setzero_ps()));
    return _mm_sub_epi32(_mm_xor_si128(step, negative), negative);
  };
  for (; x + 8 <= n; x += 8)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(steps + x),
                     _mm_packs_epi32(four(diff + x), four(diff + x + 4)));
#endif
  for (; x < n; ++x) steps[x] = litStep(diff[x], strength);
}

// A bevel lights the blurred outline from `angle`: the blurred alpha seen a
// distance back along the angle, less the same seen a distance ahead. Where
// that difference is negative the edge faces the light and takes the
// highlight; where positive it faces away and takes the shadow. Inner bevels
// lie inside the source, outer ones outside it, full ones on both sides.
void bevel(const Filter& f, uint32_t* layer, int stride, const Region& r, float scale,
           BlurScratch& scratch) {
  const float dist = f.distance * scale;
  const int dx = int(std::lround(std::cos(f.angle) * dist));
  const int dy = int(std::lround(std::sin(f.angle) * dist));
  std::vector<float>& a = scratch.plane;
  alphaPlane(layer, stride, r, 0, 0, false, a, scratch.bands);
  // A bevel's blur box is exactly as wide as asked, even when that is an
  // even number of pixels.
  boxBlur(a, r.w, r.h, f.blurX * scale, f.blurY * scale, f.passes, scratch, true);
  const bool full = !f.inner && f.onTop;
  const bool gradient = f.kind == FilterKind::GradientBevel;
  const Shades light(gradient ? 0 : f.highlight), dark(gradient ? 0 : f.color);
  const Shades ramp = gradient ? Shades::gradient(f.stops, f.stopCount) : Shades(0);
  // Unlit, a plain bevel adds nothing (its shades start transparent).
  const bool unlitIsClear = !gradient && !f.knockout;
  // The blurred alpha a distance back along the light (x - dx, y - dy) and ahead
  // (x + dx, y + dy); nothing outside the plane.
  const int backX0 = std::clamp(dx, 0, r.w), backX1 = std::clamp(r.w + dx, 0, r.w);
  const int aheadX0 = std::clamp(-dx, 0, r.w), aheadX1 = std::clamp(r.w - dx, 0, r.w);
  auto compose = [&](uint32_t& px, uint32_t effect) {
    px = full ? (f.knockout ? effect : sourceOver(px, effect))
              : composite(effect, px, f.inner, f.knockout);
  };
  inPieces(scratch.bands, r.h, int64_t(r.w) * r.h, 1, [&](int from, int to) {
    std::vector<float> diff(size_t(r.w));
    std::vector<int16_t> steps(size_t(r.w) + 4);
    for (int y = from; y < to; ++y) {
      uint32_t* row = layer + size_t(r.y0 + y) * stride + r.x0;
      const int yb = y - dy, ya = y + dy;
      const float* back = yb >= 0 && yb < r.h ? a.data() + size_t(yb) * r.w : nullptr;
      const float* ahead = ya >= 0 && ya < r.h ? a.data() + size_t(ya) * r.w : nullptr;
      // The blurred alpha back along the light less the same ahead of it.
      auto checked = [&](int from, int to) {
        for (int x = from; x < to; ++x)
          diff[size_t(x)] = (back && x >= backX0 && x < backX1 ? back[x - dx] : 0.0f) -
                            (ahead && x >= aheadX0 && x < aheadX1 ? ahead[x + dx] : 0.0f);
      };
      if (!back || !ahead) {
        checked(0, r.w);
      } else {
        // Where both neighbours lie inside the plane, without checking each.
        const int lo = std::max(backX0, aheadX0), hi = std::max(lo, std::min(backX1, aheadX1));
        checked(0, lo);
        if (hi > lo) rowDifference(diff.data() + lo, back + (lo - dx), ahead + (lo + dx), hi - lo);
        checked(hi, r.w);
      }
      if (!unlitIsClear) {
        for (int x = 0; x < r.w; ++x) {
          const float lit = std::clamp(diff[size_t(x)] * f.strength, -1.0f, 1.0f);
          // A gradient bevel runs from its highlight (lit < 0) through the
          // middle of the gradient (unlit) to its shadow.
          const uint32_t effect =
              gradient ? ramp.at(uint32_t(std::clamp(int(lit * 127.5f + 128.0f), 0, 255)))
                       : (lit < 0 ? light : dark).at(Shades::step(std::abs(lit)));
          if (effect == 0 && !f.knockout) continue;  // the source as it was
          compose(row[x], effect);
        }
        continue;
      }
      // A plain bevel: each pixel's step of light (negative: highlight) first,
      // all at once; then only the lit pixels, found four at a time, change.
      // Where the light is too faint for a step the shade is clear and the
      // source stays as it was.
      litSteps(diff.data(), f.strength, steps.data(), r.w);
      std::fill(steps.begin() + r.w, steps.end(), int16_t(0));
      for (int x = 0; x < r.w; x += 4) {
        uint64_t four;
        std::memcpy(&four, steps.data() + x, sizeof four);
        if (!four) continue;
        for (int k = x; k < x + 4 && k < r.w; ++k) {
          const int step = steps[size_t(k)];
          if (!step) continue;
          const uint32_t effect = step < 0 ? light.at(uint32_t(-step)) : dark.at(uint32_t(step));
          if (effect) compose(row[k], effect);
        }
      }
    }
  });
}

// A channel value rounded half away from zero into 0..255 (as lround and a
// clamp would, without the library call).
inline uint32_t roundedByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  const int whole = int(v);
  return uint32_t(whole + (v - float(whole) >= 0.5f ? 1 : 0));
}

void blur(const Filter& f, uint32_t* layer, int stride, const Region& r, float scale,
          BlurScratch& scratch) {
  // One channel at a time keeps a single plane in memory.
  std::vector<float>& plane = scratch.plane;
  plane.resize(size_t(r.w) * r.h);
  const int64_t pixels = int64_t(r.w) * r.h;
  for (int c = 0; c < 4; ++c) {
    const int shift = 8 * c;
    inPieces(scratch.bands, r.h, pixels, 1, [&](int from, int to) {
      for (int y = from; y < to; ++y) {
        const uint32_t* row = layer + size_t(r.y0 + y) * stride + r.x0;
        float* out = plane.data() + size_t(y) * r.w;
        for (int x = 0; x < r.w; ++x) out[x] = float((row[x] >> shift) & 255);
      }
    });
    boxBlur(plane, r.w, r.h, f.blurX * scale, f.blurY * scale, f.passes, scratch);
    inPieces(scratch.bands, r.h, pixels, 1, [&](int from, int to) {
      for (int y = from; y < to; ++y) {
        uint32_t* row = layer + size_t(r.y0 + y) * stride + r.x0;
        const float* in = plane.data() + size_t(y) * r.w;
        if (c < 3) {
          for (int x = 0; x < r.w; ++x)
            row[x] = (row[x] & ~(0xFFu << shift)) | roundedByte(in[x]) << shift;
        } else {
          // Alpha comes last: premultiplied colour never exceeds it.
          for (int x = 0; x < r.w; ++x) {
            const uint32_t p = row[x], a = roundedByte(in[x]);
            row[x] = packArgb(a, std::min((p >> 16) & 255, a), std::min((p >> 8) & 255, a),
                              std::min(p & 255, a));
          }
        }
      }
    });
  }
}

void colorMatrix(const Filter& f, uint32_t* layer, int stride, const Region& r, BandPool* bands) {
  inPieces(bands, r.h, int64_t(r.w) * r.h, 1, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = layer + size_t(r.y0 + y) * stride + r.x0;
      for (int x = 0; x < r.w; ++x) {
        const uint32_t s = unpremultiply(row[x]);
        const float in[4] = {float((s >> 16) & 255), float((s >> 8) & 255), float(s & 255),
                             float(s >> 24)};
        uint32_t out[4];
        for (int k = 0; k < 4; ++k) {
          const float* m = f.matrix + 5 * k;
          const float v = m[0] * in[0] + m[1] * in[1] + m[2] * in[2] + m[3] * in[3] + m[4];
          out[k] = uint32_t(std::clamp(std::lround(v), 0L, 255L));
        }
        row[x] = premultiply(packArgb(out[3], out[0], out[1], out[2]));
      }
    }
  });
}

// Each channel of the premultiplied pixels becomes the sum of its
// neighbours under the matrix, divided and biased. The matrix is centred on
// the pixel (left of and above the middle when a side is even); neighbours
// past the region repeat its edge or take the filter's colour.
void convolve(const Filter& f, uint32_t* layer, int stride, const Region& r, BandPool* bands) {
  if (r.w <= 0 || r.h <= 0) return;
  // Each pixel costs a step per factor: a big matrix over a big object is left
  // undone rather than stall the movie.
  if (int64_t(r.w) * r.h * int64_t(f.kernel.size()) > kMaxConvolutionSteps) return;
  const int cx = (f.columns - 1) / 2, cy = (f.rows - 1) / 2;
  const float scale = f.divisor != 0 ? 1.0f / f.divisor : 1.0f;
  const uint32_t outside = premultiply(f.color);
  // The region padded on every side with what lies past it, so the sums
  // below need no bounds checks.
  const int padW = r.w + f.columns - 1, padH = r.h + f.rows - 1;
  std::vector<uint32_t> padded(size_t(padW) * padH);
  for (int y = 0; y < padH; ++y) {
    int sy = y - cy;
    const bool rowInside = sy >= 0 && sy < r.h;
    sy = std::clamp(sy, 0, r.h - 1);
    const uint32_t* src = layer + size_t(r.y0 + sy) * stride + r.x0;
    uint32_t* out = padded.data() + size_t(y) * padW;
    for (int x = 0; x < padW; ++x) {
      const int sx = x - cx;
      const bool inside = rowInside && sx >= 0 && sx < r.w;
      out[x] = inside || f.clamp ? src[std::clamp(sx, 0, r.w - 1)] : outside;
    }
  }
  inPieces(bands, r.h, int64_t(r.w) * r.h * int64_t(f.kernel.size()), 1, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = layer + size_t(r.y0 + y) * stride + r.x0;
      for (int x = 0; x < r.w; ++x) {
        float sum[4] = {};
        const float* k = f.kernel.data();
        for (int j = 0; j < f.rows; ++j) {
          const uint32_t* p = padded.data() + size_t(y + j) * padW + x;
          for (int i = 0; i < f.columns; ++i, ++k) {
            const uint32_t v = p[i];
            sum[0] += *k * float(v & 255);
            sum[1] += *k * float((v >> 8) & 255);
            sum[2] += *k * float((v >> 16) & 255);
            sum[3] += *k * float(v >> 24);
          }
        }
        auto channel = [&](float v) {
          return uint32_t(std::clamp(std::lround(v * scale + f.bias), 0L, 255L));
        };
        const uint32_t a = f.preserveAlpha ? row[x] >> 24 : channel(sum[3]);
        // Premultiplied colour never exceeds its alpha.
        row[x] = packArgb(a, std::min(channel(sum[2]), a), std::min(channel(sum[1]), a),
                          std::min(channel(sum[0]), a));
      }
    }
  });
}

// The map component `which` (1 red, 2 green, 4 blue, 8 alpha) of a
// premultiplied map pixel, straight; 128 (no move) for none of those.
inline int mapComponent(uint32_t premultiplied, uint8_t which) {
  const uint32_t p = unpremultiply(premultiplied);
  switch (which) {
    case 1:
      return int((p >> 16) & 255);
    case 2:
      return int((p >> 8) & 255);
    case 4:
      return int(p & 255);
    case 8:
      return int(p >> 24);
    default:
      return 128;
  }
}

// Moves each pixel of the region by what the map says under it. The map lies
// in movie pixels from the object's top-left corner (originX, originY), so it
// scales with the view as the object does; where it does not reach, pixels
// stay. Pixels taken from past the region wrap round, repeat its edge, stay
// as they were, or take the filter's colour, as the mode says.
void displace(const Filter& f, const Bitmap& map, uint32_t* layer, int stride, const Region& r,
              int originX, int originY, float scale) {
  if (r.w <= 0 || r.h <= 0 || map.width <= 0 || map.height <= 0 ||
      map.pixels.size() < size_t(map.width) * size_t(map.height))
    return;
  std::vector<uint32_t> source(size_t(r.w) * r.h);
  for (int y = 0; y < r.h; ++y)
    std::copy_n(layer + size_t(r.y0 + y) * stride + r.x0, r.w, source.data() + size_t(y) * r.w);
  const uint32_t outside = premultiply(f.color);
  // Device pixels a component step moves, across and down.
  const double stepX = double(f.scaleX) * scale / 256, stepY = double(f.scaleY) * scale / 256;
  for (int y = 0; y < r.h; ++y) {
    uint32_t* row = layer + size_t(r.y0 + y) * stride + r.x0;
    const double my = std::floor((r.y0 + y - originY) / double(scale) - f.mapY);
    for (int x = 0; x < r.w; ++x) {
      const double mx = std::floor((r.x0 + x - originX) / double(scale) - f.mapX);
      if (!(mx >= 0 && my >= 0 && mx < map.width && my < map.height)) continue;
      const uint32_t m = map.pixels[size_t(my) * size_t(map.width) + size_t(mx)];
      const double sxf = x + std::nearbyint((mapComponent(m, f.componentX) - 128) * stepX);
      const double syf = y + std::nearbyint((mapComponent(m, f.componentY) - 128) * stepY);
      if (sxf >= 0 && syf >= 0 && sxf < r.w && syf < r.h) {
        row[x] = source[size_t(syf) * size_t(r.w) + size_t(sxf)];
        continue;
      }
      switch (f.mode) {
        case DisplacementMode::Wrap: {
          const double wx = sxf - std::floor(sxf / r.w) * r.w,
                       wy = syf - std::floor(syf / r.h) * r.h;
          row[x] = source[size_t(std::clamp(int(wy), 0, r.h - 1)) * size_t(r.w) +
                          size_t(std::clamp(int(wx), 0, r.w - 1))];
          break;
        }
        case DisplacementMode::Clamp:
          row[x] = source[size_t(std::clamp(syf, 0.0, double(r.h - 1))) * size_t(r.w) +
                          size_t(std::clamp(sxf, 0.0, double(r.w - 1)))];
          break;
        case DisplacementMode::Ignore:
          break;  // the pixel as it was
        case DisplacementMode::Color:
          row[x] = outside;
          break;
      }
    }
  }
}

}  // namespace

int filterReach(const std::vector<Filter>& filters, float scale) {
  int reach = 0;
  for (const Filter& f : filters) {
    if (f.kind == FilterKind::ColorMatrix || f.kind == FilterKind::Convolution ||
        f.kind == FilterKind::DisplacementMap)
      continue;
    const float box = std::max(f.blurX, f.blurY) * scale;
    const int r = std::clamp(int((box - 1) / 2), 0, kMaxRadius);
    const float dist = f.kind == FilterKind::Glow ? 0.0f : std::abs(f.distance * scale);
    reach += r * f.passes + int(std::min(dist, 4096.0f)) + 1;
  }
  return std::min(reach, 4096);
}

Canvas::Bounds applyFilters(const std::vector<Filter>& filters, uint32_t* layer, int width,
                            int height, Canvas::Bounds area, float scale, const FilterMaps* maps,
                            BandPool* bands) {
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1;
  const int reach = filterReach(filters, scale);
  // Filters are turned off when the picture they would make is too big:
  // more than 8191 pixels across or down, or 16777215 pixels in all.
  const int64_t fullW = int64_t(area.x1) - area.x0 + 2 * int64_t(reach);
  const int64_t fullH = int64_t(area.y1) - area.y0 + 2 * int64_t(reach);
  if (fullW > kMaxFilteredSide || fullH > kMaxFilteredSide || fullW * fullH > kMaxFilteredPixels)
    return area;
  // The object's top-left corner, where displacement maps are placed from.
  const int originX = area.x0, originY = area.y0;
  area = {std::max(0, area.x0 - reach), std::max(0, area.y0 - reach),
          std::min(width, area.x1 + reach), std::min(height, area.y1 + reach)};
  if (area.empty()) return area;
  const Region r{area.x0, area.y0, area.x1 - area.x0, area.y1 - area.y0};
  BlurScratch scratch;
  scratch.bands = bands;
  for (const Filter& f : filters) {
    switch (f.kind) {
      case FilterKind::Blur:
        blur(f, layer, width, r, scale, scratch);
        break;
      case FilterKind::DropShadow:
      case FilterKind::Glow:
      case FilterKind::GradientGlow:
        shadow(f, layer, width, r, scale, scratch);
        break;
      case FilterKind::Bevel:
      case FilterKind::GradientBevel:
        bevel(f, layer, width, r, scale, scratch);
        break;
      case FilterKind::ColorMatrix:
        colorMatrix(f, layer, width, r, bands);
        break;
      case FilterKind::Convolution:
        convolve(f, layer, width, r, bands);
        break;
      case FilterKind::DisplacementMap:
        if (maps && f.mapIndex < maps->size() && (*maps)[f.mapIndex])
          displace(f, *(*maps)[f.mapIndex], layer, width, r, originX, originY, scale);
        break;
    }
  }
  return area;
}

}  // namespace orv::movie::render
