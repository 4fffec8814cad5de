#include "movie/swf/filter_list.h"

#include <algorithm>
#include <cmath>

#include "movie/base/bytes.h"

namespace orv::movie::swf {

namespace {

class In {
 public:
  explicit In(std::span<const uint8_t> bytes) : r(bytes) {}
  uint8_t u8() { return r.u8(); }
  double fixed16() { return double(r.s32()) / 65536.0; }
  double fixed8() { return double(r.s16()) / 256.0; }
  float f32() { return r.f32(); }
  RGBA rgba() {
    RGBA c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    c.a = r.u8();
    return c;
  }
  // Shadows and glows keep 5 bits of passes, bevels 4 and the on-top flag.
  FilterFlags flags(bool bevel) {
    const uint8_t bits = r.u8();
    FilterFlags f;
    f.inner = bits & 0x80;
    f.knockout = bits & 0x40;
    f.compositeSource = bits & 0x20;
    f.onTop = bevel && (bits & 0x10);
    f.passes = bits & (bevel ? 0x0F : 0x1F);
    return f;
  }
  base::ByteReader r;
};

void readGradient(In& in, GradientFilter& f) {
  const uint8_t count = in.u8();
  for (int i = 0; i < count && in.r.ok(); ++i) f.colors.push_back(in.rgba());
  for (int i = 0; i < count && in.r.ok(); ++i) f.ratios.push_back(in.u8());
  f.blurX = in.fixed16();
  f.blurY = in.fixed16();
  f.angle = in.fixed16();
  f.distance = in.fixed16();
  f.strength = in.fixed8();
  f.flags = in.flags(true);
}

// One record of kind `id`, or nothing for kinds not known.
bool readRecord(In& in, uint8_t id, FilterSource from, FilterRecord& out) {
  switch (id) {
    case 0: {
      DropShadowFilter f;
      f.color = in.rgba();
      f.blurX = in.fixed16();
      f.blurY = in.fixed16();
      f.angle = in.fixed16();
      f.distance = in.fixed16();
      f.strength = in.fixed8();
      f.flags = in.flags(false);
      out = f;
      return true;
    }
    case 1: {
      BlurFilter f;
      f.blurX = in.fixed16();
      f.blurY = in.fixed16();
      f.passes = in.u8() >> 3;
      out = f;
      return true;
    }
    case 2: {
      GlowFilter f;
      f.color = in.rgba();
      f.blurX = in.fixed16();
      f.blurY = in.fixed16();
      f.strength = in.fixed8();
      f.flags = in.flags(false);
      out = f;
      return true;
    }
    case 3: {
      BevelFilter f;
      f.highlight = in.rgba();
      f.shadow = in.rgba();
      f.blurX = in.fixed16();
      f.blurY = in.fixed16();
      f.angle = in.fixed16();
      f.distance = in.fixed16();
      f.strength = in.fixed8();
      f.flags = in.flags(true);
      out = f;
      return true;
    }
    case 4: {
      GradientGlowFilter f;
      readGradient(in, f);
      out = std::move(f);
      return true;
    }
    case 5: {
      ConvolutionFilter f;
      f.columns = in.u8();
      f.rows = in.u8();
      f.divisor = in.f32();
      f.bias = in.f32();
      const size_t factors = size_t(f.columns) * f.rows;
      if (!in.r.has(factors * 4)) {
        in.r.skip(factors * 4);  // cut short: nothing more to read
        return true;
      }
      f.matrix.resize(factors);
      for (float& k : f.matrix) k = in.f32();
      f.color = in.rgba();
      const uint8_t bits = in.u8();
      f.clamp = bits & 0x02;
      f.preserveAlpha = bits & 0x01;
      out = std::move(f);
      return true;
    }
    case 6: {
      ColorMatrixFilter f;
      for (float& m : f.matrix) m = in.f32();
      out = f;
      return true;
    }
    case 7: {
      GradientBevelFilter f;
      readGradient(in, f);
      out = std::move(f);
      return true;
    }
    case 8: {
      if (from != FilterSource::Script) return false;
      DisplacementMapFilter f;
      f.mapIndex = in.u8();
      f.mapX = in.f32();
      f.mapY = in.f32();
      f.componentX = in.u8();
      f.componentY = in.u8();
      f.scaleX = in.f32();
      f.scaleY = in.f32();
      f.mode = in.u8();
      f.color = in.rgba();
      f.mapTransparent = in.u8() & 1;
      out = f;
      return true;
    }
    default:
      return false;
  }
}

class Out {
 public:
  void u8(uint32_t v) { bytes.push_back(uint8_t(v)); }
  void u32(uint32_t v) {
    for (int s = 0; s < 32; s += 8) u8(v >> s);
  }
  static double finiteOr0(double v) { return std::isfinite(v) ? v : 0.0; }
  void fixed16(double v) {
    const double scaled =
        std::clamp(std::round(finiteOr0(v) * 65536.0), -2147483648.0, 2147483647.0);
    u32(uint32_t(int32_t(scaled)));
  }
  void fixed8(double v) {
    const uint16_t bits =
        uint16_t(int16_t(std::clamp(std::round(finiteOr0(v) * 256.0), -32768.0, 32767.0)));
    u8(bits);
    u8(bits >> 8);
  }
  void f32(float v) { u32(base::bitsOfFloat(v)); }
  void rgba(RGBA c) {
    u8(c.r);
    u8(c.g);
    u8(c.b);
    u8(c.a);
  }
  void flags(const FilterFlags& f, bool bevel) {
    u8((f.inner ? 0x80 : 0) | (f.knockout ? 0x40 : 0) | (f.compositeSource ? 0x20 : 0) |
       (bevel && f.onTop ? 0x10 : 0) | (f.passes & (bevel ? 0x0F : 0x1F)));
  }
  // Blurs to distance: what bevels and gradient filters store after their colours.
  template <class F>
  void bevelTail(const F& f) {
    fixed16(f.blurX);
    fixed16(f.blurY);
    fixed16(f.angle);
    fixed16(f.distance);
    fixed8(f.strength);
    flags(f.flags, true);
  }
  void gradient(const GradientFilter& f) {
    const size_t count = std::min({f.colors.size(), f.ratios.size(), size_t(255)});
    u8(uint32_t(count));
    for (size_t i = 0; i < count; ++i) rgba(f.colors[i]);
    for (size_t i = 0; i < count; ++i) u8(f.ratios[i]);
    bevelTail(f);
  }

  void record(const DropShadowFilter& f) {
    rgba(f.color);
    fixed16(f.blurX);
    fixed16(f.blurY);
    fixed16(f.angle);
    fixed16(f.distance);
    fixed8(f.strength);
    flags(f.flags, false);
  }
  void record(const BlurFilter& f) {
    fixed16(f.blurX);
    fixed16(f.blurY);
    u8(uint32_t(f.passes & 0x1F) << 3);
  }
  void record(const GlowFilter& f) {
    rgba(f.color);
    fixed16(f.blurX);
    fixed16(f.blurY);
    fixed8(f.strength);
    flags(f.flags, false);
  }
  void record(const BevelFilter& f) {
    rgba(f.highlight);
    rgba(f.shadow);
    bevelTail(f);
  }
  void record(const GradientGlowFilter& f) { gradient(f); }
  void record(const GradientBevelFilter& f) { gradient(f); }
  void record(const ConvolutionFilter& f) {
    u8(f.columns);
    u8(f.rows);
    f32(f.divisor);
    f32(f.bias);
    const size_t factors = size_t(f.columns) * f.rows;
    for (size_t i = 0; i < factors; ++i) f32(i < f.matrix.size() ? f.matrix[i] : 0.0f);
    rgba(f.color);
    u8((f.clamp ? 0x02 : 0) | (f.preserveAlpha ? 0x01 : 0));
  }
  void record(const ColorMatrixFilter& f) {
    for (float m : f.matrix) f32(m);
  }
  void record(const DisplacementMapFilter& f) {
    u8(f.mapIndex);
    f32(f.mapX);
    f32(f.mapY);
    u8(f.componentX);
    u8(f.componentY);
    f32(f.scaleX);
    f32(f.scaleY);
    u8(f.mode);
    rgba(f.color);
    u8(f.mapTransparent ? 1 : 0);
  }

  std::vector<uint8_t> bytes;
};

}  // namespace

FilterListRead readFilterList(std::span<const uint8_t> bytes, FilterSource from) {
  FilterListRead list;
  In in(bytes);
  const uint8_t count = in.u8();
  for (int i = 0; i < count && in.r.ok(); ++i) {
    const uint8_t id = in.u8();
    if (!in.r.ok()) break;
    FilterRecord f;
    if (!readRecord(in, id, from, f)) {
      list.end = FilterListRead::End::UnknownKind;
      list.unknownId = id;
      return list;
    }
    if (in.r.ok()) list.filters.push_back(std::move(f));
  }
  if (!in.r.ok()) {
    list.end = FilterListRead::End::Cut;
    return list;
  }
  list.size = in.r.pos();
  return list;
}

std::vector<uint8_t> writeFilterList(std::span<const FilterRecord> filters) {
  Out out;
  const size_t count = std::min(filters.size(), size_t(255));
  out.u8(uint32_t(count));
  for (size_t i = 0; i < count; ++i) {
    out.u8(uint32_t(filterId(filters[i])));
    std::visit([&out](const auto& f) { out.record(f); }, filters[i]);
  }
  return std::move(out.bytes);
}

}  // namespace orv::movie::swf
