// DefineShape 1-4, DefineMorphShape 1-2 and the style and record lists they share.
#include <algorithm>

#include "movie/swf/tag_readers.h"

namespace orv::movie::swf::detail {

namespace {

RGBA readColor(BitReader& r, int shapeVersion) { return shapeVersion >= 3 ? r.rgba() : r.rgb(); }

void readGradient(BitReader& r, int shapeVersion, Gradient& g, bool focal) {
  r.align();
  g.spread = static_cast<SpreadMode>(std::min<uint32_t>(r.ub(2), 2));  // 3 is reserved: pad
  g.interpolation = r.ub(2) == 1 ? InterpolationMode::LinearRGB : InterpolationMode::Normal;
  unsigned count = r.ub(4);
  g.records.resize(count);
  for (auto& rec : g.records) {
    rec.ratio = r.u8();
    rec.color = readColor(r, shapeVersion);
  }
  if (focal) g.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
}

FillType checkedFillType(uint8_t type) {
  switch (type) {
    case 0x00:
    case 0x10:
    case 0x12:
    case 0x13:
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
      return static_cast<FillType>(type);
    default:
      throw ParseError("unknown fill style type " + std::to_string(type));
  }
}

uint16_t styleCount(BitReader& r, bool extended) {
  uint16_t n = r.u8();
  if (n == 0xFF && extended) n = r.u16();
  return n;
}

// Morph styles read into a start and an end style.
void readMorphFill(BitReader& r, FillStyle& start, FillStyle& end) {
  start.type = end.type = checkedFillType(r.u8());
  if (start.type == FillType::Solid) {
    start.color = r.rgba();
    end.color = r.rgba();
  } else if (start.isGradient()) {
    start.matrix = r.matrix();
    end.matrix = r.matrix();
    r.align();
    SpreadMode spread = static_cast<SpreadMode>(std::min<uint32_t>(r.ub(2), 2));
    InterpolationMode interp =
        r.ub(2) == 1 ? InterpolationMode::LinearRGB : InterpolationMode::Normal;
    unsigned count = r.ub(4);
    for (Gradient* g : {&start.gradient, &end.gradient}) {
      g->spread = spread;
      g->interpolation = interp;
      g->records.resize(count);
    }
    for (unsigned i = 0; i < count; ++i) {
      start.gradient.records[i].ratio = r.u8();
      start.gradient.records[i].color = r.rgba();
      end.gradient.records[i].ratio = r.u8();
      end.gradient.records[i].color = r.rgba();
    }
    if (start.type == FillType::FocalGradient) {
      start.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
      end.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
    }
  } else {
    start.bitmapId = end.bitmapId = r.u16();
    start.matrix = r.matrix();
    end.matrix = r.matrix();
  }
}

void readLineFlags(BitReader& r, LineStyle& s) {
  r.align();
  s.startCap = static_cast<CapStyle>(std::min<uint32_t>(r.ub(2), 2));
  s.join = static_cast<JoinStyle>(std::min<uint32_t>(r.ub(2), 2));
  s.hasFill = r.flag();
  s.noHScale = r.flag();
  s.noVScale = r.flag();
  s.pixelHinting = r.flag();
  r.ub(5);
  s.noClose = r.flag();
  s.endCap = static_cast<CapStyle>(std::min<uint32_t>(r.ub(2), 2));
  if (s.join == JoinStyle::Miter) s.miterLimit = r.fixed8();
}

}  // namespace

FillStyle readFillStyle(BitReader& r, int shapeVersion) {
  FillStyle f;
  f.type = checkedFillType(r.u8());
  if (f.type == FillType::Solid) {
    f.color = readColor(r, shapeVersion);
  } else if (f.isGradient()) {
    f.matrix = r.matrix();
    readGradient(r, shapeVersion, f.gradient, f.type == FillType::FocalGradient);
  } else {
    f.bitmapId = r.u16();
    f.matrix = r.matrix();
  }
  return f;
}

LineStyle readLineStyle(BitReader& r, int shapeVersion) {
  LineStyle s;
  s.width = r.u16();
  if (shapeVersion < 4) {
    s.color = readColor(r, shapeVersion);
    return s;
  }
  readLineFlags(r, s);
  if (s.hasFill) {
    s.fill = readFillStyle(r, shapeVersion);
    if (s.fill.type == FillType::Solid) s.color = s.fill.color;
  } else {
    s.color = r.rgba();
  }
  return s;
}

StyleTable readStyleTable(BitReader& r, int shapeVersion, Context& ctx) {
  StyleTable t;
  uint16_t fills = styleCount(r, shapeVersion >= 2);
  ctx.charge(fills, sizeof(FillStyle));
  t.fills.reserve(std::min<size_t>(fills, r.remaining()));
  for (uint16_t i = 0; i < fills; ++i) t.fills.push_back(readFillStyle(r, shapeVersion));
  uint16_t lines = styleCount(r, shapeVersion >= 2);
  ctx.charge(lines, sizeof(LineStyle));
  t.lines.reserve(std::min<size_t>(lines, r.remaining() / 2));
  for (uint16_t i = 0; i < lines; ++i) t.lines.push_back(readLineStyle(r, shapeVersion));
  return t;
}

void readShapeRecords(BitReader& r, int shapeVersion, Shape& shape, Context& ctx) {
  r.align();
  unsigned fillBits = r.ub(4), lineBits = r.ub(4);
  int32_t x = 0, y = 0;
  constexpr size_t kChargeEvery = 1024;
  for (size_t n = 0;; ++n) {
    if (n % kChargeEvery == 0) ctx.charge(kChargeEvery, sizeof(ShapeRecord));
    ShapeRecord rec;
    if (!r.flag()) {
      bool newStyles = r.flag(), line = r.flag(), fill1 = r.flag(), fill0 = r.flag(),
           move = r.flag();
      if (!newStyles && !line && !fill1 && !fill0 && !move) break;  // EndShapeRecord
      rec.kind = ShapeRecord::Kind::StyleChange;
      if (move) {
        unsigned bits = r.ub(5);
        x = r.sb(bits);
        y = r.sb(bits);
        rec.hasMove = true;
      }
      rec.x = x;
      rec.y = y;
      if (fill0) {
        rec.hasFill0 = true;
        rec.fill0 = r.ub(fillBits);
      }
      if (fill1) {
        rec.hasFill1 = true;
        rec.fill1 = r.ub(fillBits);
      }
      if (line) {
        rec.hasLine = true;
        rec.line = r.ub(lineBits);
      }
      if (newStyles && shapeVersion >= 2) {
        rec.newStyles = true;
        shape.styleTables.push_back(readStyleTable(r, shapeVersion, ctx));
        rec.styleTable = static_cast<uint32_t>(shape.styleTables.size() - 1);
        fillBits = r.ub(4);
        lineBits = r.ub(4);
      }
    } else if (r.flag()) {  // straight
      unsigned bits = r.ub(4) + 2;
      int32_t dx = 0, dy = 0;
      if (r.flag()) {
        dx = r.sb(bits);
        dy = r.sb(bits);
      } else if (r.flag()) {
        dy = r.sb(bits);
      } else {
        dx = r.sb(bits);
      }
      rec.kind = ShapeRecord::Kind::StraightEdge;
      x = wrapAdd(x, dx);
      y = wrapAdd(y, dy);
      rec.x = rec.cx = x;
      rec.y = rec.cy = y;
    } else {  // curved
      unsigned bits = r.ub(4) + 2;
      int32_t cdx = r.sb(bits), cdy = r.sb(bits), adx = r.sb(bits), ady = r.sb(bits);
      rec.kind = ShapeRecord::Kind::CurvedEdge;
      rec.cx = wrapAdd(x, cdx);
      rec.cy = wrapAdd(y, cdy);
      x = wrapAdd(rec.cx, adx);
      y = wrapAdd(rec.cy, ady);
      rec.x = x;
      rec.y = y;
    }
    shape.records.push_back(rec);
  }
  r.align();
}

void readDefineShape(BitReader& r, int version, Context& ctx) {
  ShapeDef def;
  def.id = r.u16();
  def.version = version;
  def.bounds = r.rect();
  def.edgeBounds = def.bounds;
  if (version >= 4) {
    def.edgeBounds = r.rect();
    r.ub(5);
    def.usesFillWindingRule = r.flag();
    def.usesNonScalingStrokes = r.flag();
    def.usesScalingStrokes = r.flag();
  }
  def.shape.styleTables.push_back(readStyleTable(r, version, ctx));
  readShapeRecords(r, version, def.shape, ctx);
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

void readDefineMorphShape(BitReader& r, int version, Context& ctx) {
  MorphShapeDef def;
  def.id = r.u16();
  def.version = version;
  def.startBounds = r.rect();
  def.endBounds = r.rect();
  def.startEdgeBounds = def.startBounds;
  def.endEdgeBounds = def.endBounds;
  if (version >= 2) {
    def.startEdgeBounds = r.rect();
    def.endEdgeBounds = r.rect();
    r.ub(6);
    def.usesNonScalingStrokes = r.flag();
    def.usesScalingStrokes = r.flag();
  }
  uint32_t endEdgesOffset = r.u32();
  size_t endEdgesPos = r.pos() + endEdgesOffset;

  StyleTable start, end;
  uint16_t fills = styleCount(r, true);
  ctx.charge(fills, 2 * sizeof(FillStyle));
  for (uint16_t i = 0; i < fills; ++i) {
    FillStyle s, e;
    readMorphFill(r, s, e);
    start.fills.push_back(std::move(s));
    end.fills.push_back(std::move(e));
  }
  uint16_t lines = styleCount(r, true);
  ctx.charge(lines, 2 * sizeof(LineStyle));
  for (uint16_t i = 0; i < lines; ++i) {
    LineStyle s, e;
    s.width = r.u16();
    e.width = r.u16();
    if (version >= 2) {
      readLineFlags(r, s);
      uint16_t endWidth = e.width;
      e = s;
      e.width = endWidth;
      if (s.hasFill) {
        readMorphFill(r, s.fill, e.fill);
        if (s.fill.type == FillType::Solid) {
          s.color = s.fill.color;
          e.color = e.fill.color;
        }
      } else {
        s.color = r.rgba();
        e.color = r.rgba();
      }
    } else {
      s.color = r.rgba();
      e.color = r.rgba();
    }
    start.lines.push_back(std::move(s));
    end.lines.push_back(std::move(e));
  }
  def.startShape.styleTables.push_back(std::move(start));
  def.endShape.styleTables.push_back(std::move(end));
  readShapeRecords(r, 1, def.startShape, ctx);  // morph records never carry new styles
  if (endEdgesOffset != 0 && endEdgesPos <= r.size()) r.seek(endEdgesPos);
  readShapeRecords(r, 1, def.endShape, ctx);
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

}  // namespace orv::movie::swf::detail
