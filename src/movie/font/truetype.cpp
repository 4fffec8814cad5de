#include "movie/font/truetype.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "movie/base/bytes.h"

namespace orv::movie::font {

namespace {

constexpr int kMaxCompositeDepth = 8;
constexpr size_t kMaxOutlinePoints = 1 << 16;

// Big-endian reads that give 0 past the end of the data.
using Bytes = base::BigEndianView;

constexpr uint32_t tag(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 |
         uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

bool isFontHeader(uint32_t version) { return version == 0x00010000 || version == tag("true"); }

std::string fromUtf16Be(const Bytes& b, uint32_t at, uint32_t length) {
  std::string out;
  for (uint32_t i = 0; i + 1 < length; i += 2) {
    const uint16_t c = b.u16(at + i);
    // Family names of Latin fonts; anything else is kept as '?' (it only has to compare).
    out += c > 0 && c < 0x80 ? char(c) : '?';
  }
  return out;
}

}  // namespace

uint32_t TrueTypeFont::fontsIn(const std::vector<uint8_t>& data) {
  const Bytes b{data};
  if (b.u32(0) == tag("ttcf")) return std::min<uint32_t>(b.u32(8), 256);
  return isFontHeader(b.u32(0)) ? 1 : 0;
}

std::optional<TrueTypeFont> TrueTypeFont::parse(std::vector<uint8_t> data, uint32_t index) {
  TrueTypeFont font;
  font.data_ = std::move(data);
  const Bytes b{font.data_};
  uint32_t base = 0;
  if (b.u32(0) == tag("ttcf")) {
    if (index >= fontsIn(font.data_)) return std::nullopt;
    base = b.u32(12 + 4 * uint64_t(index));
  } else if (index != 0) {
    return std::nullopt;
  }
  if (!font.read(base)) return std::nullopt;
  return font;
}

bool TrueTypeFont::read(uint32_t base) {
  const Bytes b{data_};
  if (!isFontHeader(b.u32(base))) return false;
  const uint16_t tables = b.u16(base + 4);
  uint32_t head = 0, maxp = 0, hhea = 0, os2 = 0, name = 0, cmap = 0;
  uint32_t cmapLength = 0, nameLength = 0, os2Length = 0;
  for (uint32_t i = 0; i < tables; ++i) {
    const uint64_t rec = base + 12 + 16 * uint64_t(i);
    if (!b.has(rec, 16)) return false;
    const uint32_t t = b.u32(rec), offset = b.u32(rec + 8), length = b.u32(rec + 12);
    if (!b.has(offset, length)) continue;  // a table past the end is no table
    if (t == tag("head"))
      head = offset;
    else if (t == tag("maxp"))
      maxp = offset;
    else if (t == tag("hhea"))
      hhea = offset;
    else if (t == tag("OS/2")) {
      os2 = offset;
      os2Length = length;
    } else if (t == tag("name")) {
      name = offset;
      nameLength = length;
    } else if (t == tag("cmap")) {
      cmap = offset;
      cmapLength = length;
    } else if (t == tag("glyf")) {
      glyf_ = offset;
      glyfLength_ = length;
    } else if (t == tag("loca")) {
      loca_ = offset;
      locaLength_ = length;
    } else if (t == tag("hmtx")) {
      hmtx_ = offset;
      hmtxLength_ = length;
    }
  }
  if (!head || !maxp || !hhea || !cmap || !glyf_ || !loca_ || !hmtx_) return false;

  unitsPerEm_ = b.u16(head + 18);
  if (unitsPerEm_ < 16 || unitsPerEm_ > 16384) return false;
  longLoca_ = b.s16(head + 50) == 1;
  const uint16_t macStyle = b.u16(head + 44);
  bold_ = macStyle & 1;
  italic_ = macStyle & 2;
  weight_ = bold_ ? 700 : 400;
  glyphCount_ = b.u16(maxp + 4);
  metricsCount_ = std::min<uint32_t>(b.u16(hhea + 34), glyphCount_);
  metricsCount_ = std::min<uint32_t>(metricsCount_, hmtxLength_ / 4);
  if (glyphCount_ == 0 || metricsCount_ == 0) return false;
  ascent_ = b.s16(hhea + 4);
  descent_ = -b.s16(hhea + 6);
  lineGap_ = b.s16(hhea + 8);
  if (os2 && os2Length >= 78) {
    const uint16_t selection = b.u16(os2 + 62);
    italic_ = selection & 1;
    bold_ = selection & 0x20;
    weight_ = std::clamp<int>(b.u16(os2 + 4), 1, 1000);
    // Windows lays lines out with the OS/2 "win" extents.
    const int winAscent = b.u16(os2 + 74), winDescent = b.u16(os2 + 76);
    if (winAscent + winDescent > 0) {
      lineGap_ = std::max(0, ascent_ + descent_ + lineGap_ - winAscent - winDescent);
      ascent_ = winAscent;
      descent_ = winDescent;
    }
  }

  // The family: name 1 in a Windows (UTF-16) or Macintosh (Roman) record.
  if (name && nameLength >= 6) {
    const uint16_t count = b.u16(name + 2), strings = b.u16(name + 4);
    for (uint32_t i = 0; i < count; ++i) {
      const uint64_t rec = name + 6 + 12 * uint64_t(i);
      if (!b.has(rec, 12)) break;
      const uint16_t platform = b.u16(rec), nameId = b.u16(rec + 6);
      const uint16_t length = b.u16(rec + 8), offset = b.u16(rec + 10);
      const uint64_t at = uint64_t(name) + strings + offset;
      if (nameId != 1 || !b.has(at, length)) continue;
      if (platform == 3 || platform == 0) {
        family_ = fromUtf16Be(b, uint32_t(at), length);
        break;
      }
      if (platform == 1 && family_.empty())
        for (uint32_t k = 0; k < length; ++k) family_ += char(b.u8(at + k) & 0x7F);
    }
  }

  // The character map: a Unicode table, full (format 12) before basic (format 4).
  int best = 0;
  const uint16_t subtables = b.u16(cmap + 2);
  for (uint32_t i = 0; i < subtables; ++i) {
    const uint64_t rec = cmap + 4 + 8 * uint64_t(i);
    if (!b.has(rec, 8)) break;
    const uint16_t platform = b.u16(rec), encoding = b.u16(rec + 2);
    const uint64_t at = uint64_t(cmap) + b.u32(rec + 4);
    if (!b.has(at, 4) || at >= uint64_t(cmap) + cmapLength) continue;
    const uint16_t format = b.u16(at);
    int rank = 0;
    const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
    if (format == 12 && unicode)
      rank = 4;
    else if (format == 4 && unicode)
      rank = 3;
    else if (format == 4 && platform == 3 && encoding == 0)
      rank = 2;
    if (rank <= best) continue;
    const uint64_t length = format == 12 ? b.u32(at + 4) : b.u16(at + 2);
    if (!b.has(at, length)) continue;
    best = rank;
    cmap_ = uint32_t(at);
    cmapEnd_ = uint32_t(at + length);
    cmapFormat_ = format;
    symbolCmap_ = rank == 2;
  }
  return best > 0;
}

uint32_t TrueTypeFont::glyphIndex(char32_t c) const {
  const Bytes b{data_};
  uint32_t glyph = 0;
  if (cmapFormat_ == 12) {
    const uint32_t groups = std::min<uint32_t>(b.u32(cmap_ + 12), (cmapEnd_ - cmap_) / 12);
    uint32_t lo = 0, hi = groups;
    while (lo < hi) {  // groups are sorted by their first character
      const uint32_t mid = (lo + hi) / 2;
      const uint64_t g = cmap_ + 16 + 12 * uint64_t(mid);
      const uint32_t first = b.u32(g), last = b.u32(g + 4);
      if (c < first)
        hi = mid;
      else if (c > last)
        lo = mid + 1;
      else {
        glyph = b.u32(g + 8) + (c - first);
        break;
      }
    }
  } else if (cmapFormat_ == 4) {
    if (symbolCmap_ && c < 0x100) c += 0xF000;
    if (c > 0xFFFF) return 0;
    const uint32_t segments = b.u16(cmap_ + 6) / 2;
    const uint64_t ends = cmap_ + 14, starts = ends + 2 * uint64_t(segments) + 2;
    const uint64_t deltas = starts + 2 * uint64_t(segments),
                   ranges = deltas + 2 * uint64_t(segments);
    for (uint32_t s = 0; s < segments; ++s) {
      if (b.u16(ends + 2 * s) < c) continue;
      const uint16_t start = b.u16(starts + 2 * s);
      if (start > c) break;
      const uint16_t delta = b.u16(deltas + 2 * s), range = b.u16(ranges + 2 * s);
      if (range == 0) {
        glyph = uint16_t(c + delta);
      } else {
        const uint64_t at = ranges + 2 * s + range + 2 * uint64_t(c - start);
        const uint16_t g = at < cmapEnd_ ? b.u16(at) : 0;
        glyph = g ? uint16_t(g + delta) : 0;
      }
      break;
    }
  }
  return glyph < glyphCount_ ? glyph : 0;
}

int TrueTypeFont::advance(uint32_t glyph) const {
  const Bytes b{data_};
  const uint32_t entry = std::min(glyph, metricsCount_ - 1);
  return b.u16(hmtx_ + 4 * uint64_t(entry));
}

uint32_t TrueTypeFont::glyphOffset(uint32_t glyph, uint32_t& length) const {
  const Bytes b{data_};
  length = 0;
  if (glyph >= glyphCount_) return 0;
  uint64_t from, to;
  if (longLoca_) {
    if (4 * (uint64_t(glyph) + 2) > locaLength_) return 0;
    from = b.u32(loca_ + 4 * uint64_t(glyph));
    to = b.u32(loca_ + 4 * uint64_t(glyph) + 4);
  } else {
    if (2 * (uint64_t(glyph) + 2) > locaLength_) return 0;
    from = 2 * uint64_t(b.u16(loca_ + 2 * uint64_t(glyph)));
    to = 2 * uint64_t(b.u16(loca_ + 2 * uint64_t(glyph) + 2));
  }
  if (to <= from || to > glyfLength_) return 0;
  length = uint32_t(to - from);
  return uint32_t(glyf_ + from);
}

std::vector<Contour> TrueTypeFont::outline(uint32_t glyph) const {
  std::vector<Contour> out;
  size_t points = 0;
  outlineInto(glyph, 0, out, points);
  return out;
}

void TrueTypeFont::outlineInto(uint32_t glyph, int depth, std::vector<Contour>& out,
                               size_t& points) const {
  const Bytes b{data_};
  uint32_t length = 0;
  const uint32_t at = glyphOffset(glyph, length);
  if (length < 10) return;  // empty glyph (a space)
  const uint64_t end = uint64_t(at) + length;
  const int16_t contours = b.s16(at);
  if (contours >= 0) {
    const uint64_t endsAt = at + 10;
    std::vector<uint16_t> ends(contours);
    for (int i = 0; i < contours; ++i) ends[i] = b.u16(endsAt + 2 * i);
    const size_t count = contours ? size_t(ends.back()) + 1 : 0;
    if (count == 0 || points + count > kMaxOutlinePoints) return;
    uint64_t p = endsAt + 2 * uint64_t(contours);
    p += 2 + b.u16(p);  // instructions
    std::vector<uint8_t> flags(count);
    for (size_t i = 0; i < count;) {
      if (p >= end) return;
      const uint8_t f = b.u8(p++);
      flags[i++] = f;
      if (f & 8) {  // repeated
        if (p >= end) return;
        for (int r = b.u8(p++); r > 0 && i < count; --r) flags[i++] = f;
      }
    }
    std::vector<OutlinePoint> pts(count);
    int32_t v = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t f = flags[i];
      if (f & 2) {
        const int d = b.u8(p++);
        v += (f & 0x10) ? d : -d;
      } else if (!(f & 0x10)) {
        v += b.s16(p);
        p += 2;
      }
      pts[i].x = v;
      pts[i].onCurve = f & 1;
    }
    v = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint8_t f = flags[i];
      if (f & 4) {
        const int d = b.u8(p++);
        v += (f & 0x20) ? d : -d;
      } else if (!(f & 0x20)) {
        v += b.s16(p);
        p += 2;
      }
      pts[i].y = v;
    }
    if (p > end) return;  // coordinates ran past the glyph
    size_t first = 0;
    for (int i = 0; i < contours; ++i) {
      const size_t last = ends[i];
      if (last < first || last >= count) return;
      out.emplace_back(pts.begin() + long(first), pts.begin() + long(last) + 1);
      first = last + 1;
    }
    points += count;
    return;
  }
  // A composite: parts placed by offsets (and scaled when they say so).
  if (depth >= kMaxCompositeDepth) return;
  uint64_t p = at + 10;
  for (int parts = 0; parts < 256; ++parts) {
    if (p + 4 > end) return;
    const uint16_t flags = b.u16(p), part = b.u16(p + 2);
    p += 4;
    double dx = 0, dy = 0;
    const bool words = flags & 1, xy = flags & 2;
    if (words) {
      dx = b.s16(p);
      dy = b.s16(p + 2);
      p += 4;
    } else {
      dx = int8_t(b.u8(p));
      dy = int8_t(b.u8(p + 1));
      p += 2;
    }
    if (!xy) dx = dy = 0;  // parts matched by point numbers are left where they are
    double a = 1, bb = 0, c = 0, d = 1;
    auto f2dot14 = [&](uint64_t q) { return b.s16(q) / 16384.0; };
    if (flags & 8) {
      a = d = f2dot14(p);
      p += 2;
    } else if (flags & 0x40) {
      a = f2dot14(p);
      d = f2dot14(p + 2);
      p += 4;
    } else if (flags & 0x80) {
      a = f2dot14(p);
      bb = f2dot14(p + 2);
      c = f2dot14(p + 4);
      d = f2dot14(p + 6);
      p += 8;
    }
    const size_t from = out.size();
    outlineInto(part, depth + 1, out, points);
    for (size_t k = from; k < out.size(); ++k)
      for (OutlinePoint& pt : out[k]) {
        const double x = pt.x, y = pt.y;
        pt.x = int32_t(std::lround(a * x + c * y + dx));
        pt.y = int32_t(std::lround(bb * x + d * y + dy));
      }
    if (!(flags & 0x20)) return;  // no more components
  }
}

swf::Shape glyphShape(const std::vector<Contour>& contours, double scale) {
  swf::Shape shape;
  shape.styleTables.emplace_back();
  shape.styleTables[0].fills.emplace_back();
  auto to = [scale](double x, double y) {
    return std::pair<int32_t, int32_t>{int32_t(std::lround(x * scale)),
                                       int32_t(std::lround(-y * scale))};
  };
  for (const Contour& contour : contours) {
    const size_t n = contour.size();
    if (n < 2) continue;
    // Start on an on-curve point (or the midpoint of two off-curve ones).
    size_t start = 0;
    while (start < n && !contour[start].onCurve) ++start;
    double sx, sy;
    if (start == n) {
      start = 0;
      sx = (contour[0].x + contour[1].x) / 2.0;
      sy = (contour[0].y + contour[1].y) / 2.0;
    } else {
      sx = contour[start].x;
      sy = contour[start].y;
    }
    swf::ShapeRecord move;
    move.hasMove = move.hasFill0 = true;
    move.fill0 = 1;
    std::tie(move.x, move.y) = to(sx, sy);
    shape.records.push_back(move);
    auto line = [&](double x, double y) {
      swf::ShapeRecord r;
      r.kind = swf::ShapeRecord::Kind::StraightEdge;
      std::tie(r.x, r.y) = to(x, y);
      shape.records.push_back(r);
    };
    auto curve = [&](double cx, double cy, double x, double y) {
      swf::ShapeRecord r;
      r.kind = swf::ShapeRecord::Kind::CurvedEdge;
      std::tie(r.cx, r.cy) = to(cx, cy);
      std::tie(r.x, r.y) = to(x, y);
      shape.records.push_back(r);
    };
    bool pending = false;
    double px = 0, py = 0;  // the off-curve point waiting for its end
    for (size_t k = 1; k <= n; ++k) {
      const OutlinePoint& pt = contour[(start + k) % n];
      if (pt.onCurve) {
        if (pending)
          curve(px, py, pt.x, pt.y);
        else
          line(pt.x, pt.y);
        pending = false;
      } else {
        if (pending) curve(px, py, (px + pt.x) / 2.0, (py + pt.y) / 2.0);
        px = pt.x;
        py = pt.y;
        pending = true;
      }
    }
    // Back to the start: the contour closes.
    if (pending)
      curve(px, py, sx, sy);
    else if (!contour[start % n].onCurve)
      line(sx, sy);
  }
  return shape;
}

}  // namespace orv::movie::font
