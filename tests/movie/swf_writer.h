#pragma once
// Builds small SWF movies in tests: bit-level writing, tags, and whole files.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace orv::movie::test {

class BitWriter {
 public:
  std::vector<uint8_t> bytes;

  void ub(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      cur_ = static_cast<uint8_t>((cur_ << 1) | ((v >> i) & 1));
      if (++count_ == 8) flushByte();
    }
  }
  void sb(int32_t v, int n) { ub(static_cast<uint32_t>(v) & (n == 32 ? ~0u : ((1u << n) - 1)), n); }
  void flag(bool b) { ub(b ? 1 : 0, 1); }
  void align() {
    if (count_ > 0) {
      cur_ = static_cast<uint8_t>(cur_ << (8 - count_));
      flushByte();
    }
  }
  void u8(uint8_t v) {
    align();
    bytes.push_back(v);
  }
  void u16(uint16_t v) {
    u8(v & 0xFF);
    u8(v >> 8);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void raw(const std::vector<uint8_t>& b) {
    align();
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  void string(const std::string& s) {
    align();
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
  }
  void rgb(uint8_t r, uint8_t g, uint8_t b) {
    u8(r);
    u8(g);
    u8(b);
  }
  void rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    rgb(r, g, b);
    u8(a);
  }

  static int bitsFor(std::initializer_list<int32_t> values) {
    int n = 1;
    for (int32_t v : values) {
      int bits = 1;
      while (bits < 32 && (v < -(int64_t(1) << (bits - 1)) || v >= (int64_t(1) << (bits - 1))))
        ++bits;
      n = std::max(n, bits);
    }
    return n;
  }
  void rect(int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
    align();
    int n = bitsFor({x0, x1, y0, y1});
    ub(n, 5);
    sb(x0, n);
    sb(x1, n);
    sb(y0, n);
    sb(y1, n);
    align();
  }
  // Translation only, or scale (16.16 as doubles) too.
  void matrix(int32_t tx, int32_t ty, std::optional<std::pair<double, double>> scale = {},
              std::optional<std::pair<double, double>> rotate = {}) {
    align();
    flag(scale.has_value());
    if (scale) {
      int32_t a = int32_t(scale->first * 65536), d = int32_t(scale->second * 65536);
      int n = bitsFor({a, d});
      ub(n, 5);
      sb(a, n);
      sb(d, n);
    }
    flag(rotate.has_value());
    if (rotate) {
      int32_t b = int32_t(rotate->first * 65536), c = int32_t(rotate->second * 65536);
      int n = bitsFor({b, c});
      ub(n, 5);
      sb(b, n);
      sb(c, n);
    }
    int n = (tx == 0 && ty == 0) ? 0 : bitsFor({tx, ty});
    ub(n, 5);
    if (n) {
      sb(tx, n);
      sb(ty, n);
    }
    align();
  }

 private:
  void flushByte() {
    bytes.push_back(cur_);
    cur_ = 0;
    count_ = 0;
  }
  uint8_t cur_ = 0;
  int count_ = 0;
};

inline std::vector<uint8_t> tag(uint16_t code, const std::vector<uint8_t>& body,
                                bool longForm = false) {
  BitWriter w;
  if (body.size() < 0x3F && !longForm) {
    w.u16(static_cast<uint16_t>(code << 6 | body.size()));
  } else {
    w.u16(static_cast<uint16_t>(code << 6 | 0x3F));
    w.u32(static_cast<uint32_t>(body.size()));
  }
  w.raw(body);
  return w.bytes;
}

// A solid rectangle shape (DefineShape, or DefineShape3 with alpha) from (0,0) to (w,h).
inline std::vector<uint8_t> defineRect(uint16_t id, int32_t w, int32_t h, uint8_t r, uint8_t g,
                                       uint8_t b, int version = 1) {
  BitWriter s;
  s.u16(id);
  s.rect(0, w, 0, h);
  s.u8(1);     // one fill
  s.u8(0x00);  // solid
  if (version >= 3)
    s.rgba(r, g, b, 255);
  else
    s.rgb(r, g, b);
  s.u8(1);  // one line style
  s.u16(20);
  if (version >= 3)
    s.rgba(0, 0, 0, 255);
  else
    s.rgb(0, 0, 0);
  s.ub(1, 4);  // fill bits
  s.ub(1, 4);  // line bits
  // style change: move to (0,0), fill1 = 1, line = 1
  s.ub(0, 1);
  s.ub(0, 1);
  s.ub(1, 1);
  s.ub(1, 1);
  s.ub(0, 1);
  s.ub(1, 1);
  s.ub(1, 5);
  s.sb(0, 1);
  s.sb(0, 1);
  s.ub(1, 1);
  s.ub(1, 1);
  auto line = [&](int32_t dx, int32_t dy) {
    int n = BitWriter::bitsFor({dx, dy});
    if (n < 2) n = 2;
    s.ub(1, 1);
    s.ub(1, 1);
    s.ub(n - 2, 4);
    if (dx != 0 && dy != 0) {
      s.ub(1, 1);
      s.sb(dx, n);
      s.sb(dy, n);
    } else if (dx == 0) {
      s.ub(0, 1);
      s.ub(1, 1);
      s.sb(dy, n);
    } else {
      s.ub(0, 1);
      s.ub(0, 1);
      s.sb(dx, n);
    }
  };
  line(w, 0);
  line(0, h);
  line(-w, 0);
  line(0, -h);
  s.ub(0, 6);  // end
  s.align();
  return tag(version >= 3 ? 32 : 1 == version ? 2 : 22, s.bytes);
}

struct Place {
  uint16_t depth = 1;
  std::optional<uint16_t> character;
  bool move = false;
  std::optional<std::pair<int32_t, int32_t>> translate;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clipDepth;
  // onClipEvent handlers (SWF 6 and later layout): event flags and their action bytes.
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> clipActions;
};

inline std::vector<uint8_t> placeObject2(const Place& p) {
  BitWriter w;
  uint8_t flags = 0;
  if (!p.clipActions.empty()) flags |= 0x80;
  if (p.clipDepth) flags |= 0x40;
  if (p.name) flags |= 0x20;
  if (p.ratio) flags |= 0x10;
  if (p.translate) flags |= 0x04;
  if (p.character) flags |= 0x02;
  if (p.move) flags |= 0x01;
  w.u8(flags);
  w.u16(p.depth);
  if (p.character) w.u16(*p.character);
  if (p.translate) w.matrix(p.translate->first, p.translate->second);
  if (p.ratio) w.u16(*p.ratio);
  if (p.name) w.string(*p.name);
  if (p.clipDepth) w.u16(*p.clipDepth);
  if (!p.clipActions.empty()) {
    uint32_t all = 0;
    for (const auto& [events, code] : p.clipActions) all |= events;
    w.u16(0);
    w.u32(all);
    for (const auto& [events, code] : p.clipActions) {
      w.u32(events);
      w.u32(static_cast<uint32_t>(code.size()));
      w.raw(code);
    }
    w.u32(0);
  }
  return tag(26, w.bytes, true);
}

inline std::vector<uint8_t> removeObject2(uint16_t depth) {
  BitWriter w;
  w.u16(depth);
  return tag(28, w.bytes);
}
// DefineFont2 naming a device font: no glyphs, only the name.
inline std::vector<uint8_t> defineFontName(uint16_t id, const std::string& name,
                                           bool bold = false) {
  BitWriter w;
  w.u16(id);
  w.u8(bold ? 0x01 : 0x00);
  w.u8(0);  // language
  w.u8(static_cast<uint8_t>(name.size()));
  w.raw({name.begin(), name.end()});
  w.u16(0);  // no glyphs
  w.u16(2);  // the code table right after the offsets
  return tag(48, w.bytes, true);
}

// DefineFont2 for static text in a device font: one glyph per character of `chars`
// (ASCII), each without an outline, and the code table.
inline std::vector<uint8_t> defineDeviceFont(uint16_t id, const std::string& name,
                                             const std::string& chars) {
  BitWriter w;
  w.u16(id);
  w.u8(0x04);  // wide codes
  w.u8(0);
  w.u8(static_cast<uint8_t>(name.size()));
  w.raw({name.begin(), name.end()});
  const auto n = static_cast<uint16_t>(chars.size());
  w.u16(n);
  for (uint16_t i = 0; i < n; ++i) w.u16(static_cast<uint16_t>(2 * (n + 1) + 2 * i));
  w.u16(static_cast<uint16_t>(2 * (n + 1) + 2 * n));
  for (uint16_t i = 0; i < n; ++i) {
    w.u8(0);
    w.u8(0);
  }  // no fill or line bits, the end
  for (char c : chars) w.u16(static_cast<uint8_t>(c));
  return tag(48, w.bytes, true);
}

// DefineText: one record of `glyphs` (indices into the font, each advancing `advance`
// twips) in black at baseline (x, y), `height` twips high.
inline std::vector<uint8_t> defineText(uint16_t id, std::array<int32_t, 4> bounds, uint16_t fontId,
                                       uint16_t height, int16_t x, int16_t y,
                                       const std::vector<uint8_t>& glyphs, uint16_t advance) {
  BitWriter w;
  w.u16(id);
  w.rect(bounds[0], bounds[2], bounds[1], bounds[3]);
  w.matrix(0, 0);
  w.u8(8);                                 // glyph bits
  w.u8(16);                                // advance bits
  w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);  // font, colour, y and x offsets
  w.u16(fontId);
  w.rgb(0, 0, 0);
  w.u16(static_cast<uint16_t>(x));
  w.u16(static_cast<uint16_t>(y));
  w.u16(height);
  w.u8(static_cast<uint8_t>(glyphs.size()));
  for (uint8_t g : glyphs) {
    w.ub(g, 8);
    w.sb(advance, 16);
  }
  w.align();
  w.u8(0);
  return tag(11, w.bytes, true);
}

// DefineEditText with a font and initial text, nothing else set (device text, no border).
inline std::vector<uint8_t> defineEditText(uint16_t id, std::array<int32_t, 4> bounds,
                                           uint16_t fontId, uint16_t height,
                                           const std::string& text) {
  BitWriter w;
  w.u16(id);
  w.rect(bounds[0], bounds[2], bounds[1], bounds[3]);
  w.u8(0x80 | 0x01);  // HasText, HasFont
  w.u8(0x00);
  w.u16(fontId);
  w.u16(height);
  w.string("");
  w.string(text);
  return tag(37, w.bytes, true);
}

inline std::vector<uint8_t> showFrame() { return tag(1, {}); }
inline std::vector<uint8_t> endTag() { return tag(0, {}); }
inline std::vector<uint8_t> frameLabel(const std::string& name) {
  BitWriter w;
  w.string(name);
  return tag(43, w.bytes);
}
inline std::vector<uint8_t> backgroundColor(uint8_t r, uint8_t g, uint8_t b) {
  BitWriter w;
  w.rgb(r, g, b);
  return tag(9, w.bytes);
}
inline std::vector<uint8_t> doAction(const std::vector<uint8_t>& actions) {
  return tag(12, actions);
}

inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// DefineSprite holding `body` (its control tags; an End is appended).
inline std::vector<uint8_t> defineSprite(uint16_t id, uint16_t frames,
                                         const std::vector<uint8_t>& body) {
  BitWriter w;
  w.u16(id);
  w.u16(frames);
  w.raw(body);
  w.raw(endTag());
  return tag(39, w.bytes, true);
}

struct MovieOptions {
  uint8_t version = 8;
  int32_t width = 11000, height = 8000;  // twips
  uint8_t rateWhole = 12, rateFraction = 0;
  uint16_t frameCount = 1;
  char compression = 'F';  // 'F' or 'C'
  bool appendEnd = true;
};

// A whole .swf around `tags`.
inline std::vector<uint8_t> movie(const std::vector<uint8_t>& tags, const MovieOptions& o = {}) {
  BitWriter body;
  body.rect(0, o.width, 0, o.height);
  body.u8(o.rateFraction);
  body.u8(o.rateWhole);
  body.u16(o.frameCount);
  body.raw(tags);
  if (o.appendEnd) body.raw(endTag());
  std::vector<uint8_t> file = {uint8_t(o.compression), 'W', 'S', o.version};
  uint32_t length = static_cast<uint32_t>(body.bytes.size() + 8);
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(length >> (8 * i)));
  if (o.compression == 'C') {
    uLongf size = compressBound(static_cast<uLong>(body.bytes.size()));
    std::vector<uint8_t> z(size);
    compress2(z.data(), &size, body.bytes.data(), static_cast<uLong>(body.bytes.size()), 9);
    file.insert(file.end(), z.begin(), z.begin() + static_cast<long>(size));
  } else {
    file.insert(file.end(), body.bytes.begin(), body.bytes.end());
  }
  return file;
}

}  // namespace orv::movie::test
