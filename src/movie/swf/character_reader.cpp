// Bitmaps, fonts, text, edit text, buttons, sounds and video streams.
#include <algorithm>

#include "movie/swf/tag_readers.h"

namespace orv::movie::swf::detail {

namespace {
template <class T>
T* mutableCharacter(Context& ctx, CharacterId id) {
  auto it = ctx.movie.dictionary.find(id);
  return it == ctx.movie.dictionary.end() ? nullptr : std::get_if<T>(&it->second);
}

AudioFormat readAudioFormat(BitReader& r) {
  AudioFormat f;
  f.format = static_cast<SoundFormat>(r.ub(4));
  static const uint32_t rates[4] = {5512, 11025, 22050, 44100};
  f.rate = rates[r.ub(2)];
  f.is16Bit = r.flag();
  f.stereo = r.flag();
  return f;
}
}  // namespace

// ---- Bitmaps ----

void readBitmapTag(BitReader& r, uint16_t code, Context& ctx) {
  BitmapDef def;
  def.id = r.u16();
  switch (code) {
    case 6:  // DefineBits
      def.kind = BitmapKind::Jpeg;
      def.data = r.rest();
      break;
    case 21:  // DefineBitsJPEG2
      def.kind = BitmapKind::Jpeg2;
      def.data = r.rest();
      break;
    case 35:    // DefineBitsJPEG3
    case 90: {  // DefineBitsJPEG4
      def.kind = code == 35 ? BitmapKind::Jpeg3 : BitmapKind::Jpeg4;
      uint32_t alphaOffset = r.u32();
      if (code == 90) def.deblocking = r.u16() / 256.0;
      if (alphaOffset > r.remaining()) throw ParseError("JPEG alpha offset outside the tag");
      def.data = r.bytes(alphaOffset);
      def.alphaData = r.rest();
      break;
    }
    case 20:    // DefineBitsLossless
    case 36: {  // DefineBitsLossless2
      def.kind = code == 20 ? BitmapKind::Lossless : BitmapKind::Lossless2;
      def.losslessFormat = r.u8();
      def.width = r.u16();
      def.height = r.u16();
      if (def.losslessFormat == 3) def.colorTableSize = r.u8();
      def.data = r.rest();
      break;
    }
  }
  ctx.charge(1, sizeof(BitmapDef));
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

void readBinaryData(BitReader& r, Context& ctx) {
  BinaryDataDef def;
  def.id = r.u16();
  r.u32();  // reserved
  def.data = r.rest();
  ctx.charge(1, sizeof(BinaryDataDef));
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

// ---- Fonts ----

namespace {
void readGlyphs(BitReader& r, size_t tableStart, const std::vector<uint32_t>& offsets,
                size_t glyphsEnd, FontDef& font, Context& ctx) {
  ctx.charge(offsets.size(), sizeof(Shape));
  font.glyphs.resize(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    size_t start = tableStart + offsets[i];
    size_t end = i + 1 < offsets.size() ? tableStart + offsets[i + 1] : glyphsEnd;
    if (start > glyphsEnd || end > glyphsEnd || end < start)
      throw ParseError("glyph offset outside the font");
    BitReader g(r.data() + start, end - start, r.version());
    font.glyphs[i].styleTables.resize(1);
    if (end > start) readShapeRecords(g, 1, font.glyphs[i], ctx);
  }
}

void readDefineFont1(BitReader& r, Context& ctx) {
  FontDef font;
  font.id = r.u16();
  font.version = 1;
  size_t tableStart = r.pos();
  if (r.remaining() >= 2) {
    uint16_t first = r.u16();
    size_t count = first / 2;
    if (count * 2 > r.remaining() + 2) throw ParseError("font offset table outside the tag");
    std::vector<uint32_t> offsets{first};
    for (size_t i = 1; i < count; ++i) offsets.push_back(r.u16());
    readGlyphs(r, tableStart, offsets, r.size(), font, ctx);
  }
  CharacterId id = font.id;
  ctx.define(id, std::move(font));
}

void readDefineFont23(BitReader& r, int version, Context& ctx) {
  FontDef font;
  font.id = r.u16();
  font.version = version;
  font.hasLayout = r.flag();
  font.shiftJIS = r.flag();
  font.smallText = r.flag();
  font.ansi = r.flag();
  bool wideOffsets = r.flag();
  font.wideCodes = r.flag();
  font.italic = r.flag();
  font.bold = r.flag();
  font.languageCode = r.u8();
  font.name = r.fixedString(r.u8());
  uint16_t numGlyphs = r.u16();
  size_t tableStart = r.pos();
  if (size_t(numGlyphs) * (wideOffsets ? 4 : 2) > r.remaining())
    throw ParseError("font offset table outside the tag");
  std::vector<uint32_t> offsets(numGlyphs);
  for (auto& o : offsets) o = wideOffsets ? r.u32() : r.u16();
  size_t codeTableStart = r.size();
  if (r.remaining() >= (wideOffsets ? 4u : 2u))
    codeTableStart = std::min<size_t>(tableStart + (wideOffsets ? r.u32() : r.u16()), r.size());
  readGlyphs(r, tableStart, offsets, codeTableStart, font, ctx);
  r.seek(codeTableStart);
  bool wide = font.wideCodes;  // DefineFont3 should set it; files that do not use 8-bit codes
  font.codes.resize(numGlyphs);
  for (auto& c : font.codes) c = wide ? r.u16() : r.u8();
  if (font.hasLayout && r.remaining() > 0) {
    font.ascent = r.u16();
    font.descent = r.u16();
    font.leading = r.s16();
    font.advances.resize(numGlyphs);
    for (auto& a : font.advances) a = r.s16();
    font.glyphBounds.resize(numGlyphs);
    for (auto& b : font.glyphBounds) b = r.rect();
    if (r.remaining() >= 2) {
      uint16_t kerningCount = r.u16();
      if (size_t(kerningCount) * (wide ? 6 : 4) > r.remaining())
        throw ParseError("kerning table outside the tag");
      font.kerning.resize(kerningCount);
      for (auto& k : font.kerning) {
        k.code1 = wide ? r.u16() : r.u8();
        k.code2 = wide ? r.u16() : r.u8();
        k.adjustment = r.s16();
      }
    }
  }
  CharacterId id = font.id;
  ctx.define(id, std::move(font));
}

void readFontInfo(BitReader& r, int version, Context& ctx) {
  CharacterId id = r.u16();
  std::string name = r.fixedString(r.u8());
  r.ub(2);
  bool smallText = r.flag(), shiftJIS = r.flag(), ansi = r.flag(), italic = r.flag(),
       bold = r.flag(), wideCodes = r.flag();
  uint8_t language = version >= 2 ? r.u8() : 0;
  FontDef* font = mutableCharacter<FontDef>(ctx, id);
  if (!font) return;  // info for a font we do not have: nothing to attach it to
  font->name = name;
  font->smallText = smallText;
  font->shiftJIS = shiftJIS;
  font->ansi = ansi;
  font->italic = italic;
  font->bold = bold;
  font->wideCodes = wideCodes || version >= 2;
  font->languageCode = language;
  font->codes.assign(font->glyphs.size(), 0);
  for (auto& c : font->codes) {
    if (r.remaining() < (font->wideCodes ? 2u : 1u)) break;
    c = font->wideCodes ? r.u16() : r.u8();
  }
}

void readAlignZones(BitReader& r, Context& ctx) {
  FontDef* font = mutableCharacter<FontDef>(ctx, r.u16());
  uint8_t hint = static_cast<uint8_t>(r.ub(2));
  r.ub(6);
  if (!font) return;
  font->csmThickness = hint;
  font->alignZones.clear();
  while (r.remaining() > 0 && font->alignZones.size() < font->glyphs.size()) {
    AlignZone zone;
    uint8_t n = r.u8();
    for (uint8_t i = 0; i < n; ++i) {
      AlignZone::Data d;
      d.position = r.f16();
      d.size = r.f16();
      zone.data.push_back(d);
    }
    r.ub(6);
    zone.maskY = r.flag();
    zone.maskX = r.flag();
    font->alignZones.push_back(std::move(zone));
  }
}
}  // namespace

void readFontTag(BitReader& r, uint16_t code, Context& ctx) {
  switch (code) {
    case 10:
      readDefineFont1(r, ctx);
      break;
    case 48:
      readDefineFont23(r, 2, ctx);
      break;
    case 75:
      readDefineFont23(r, 3, ctx);
      break;
    case 13:
      readFontInfo(r, 1, ctx);
      break;
    case 62:
      readFontInfo(r, 2, ctx);
      break;
    case 73:
      readAlignZones(r, ctx);
      break;
  }
}

// ---- Text ----

namespace {
void readDefineText(BitReader& r, int version, Context& ctx) {
  TextDef def;
  def.id = r.u16();
  def.version = version;
  def.bounds = r.rect();
  def.matrix = r.matrix();
  unsigned glyphBits = r.u8(), advanceBits = r.u8();
  if (glyphBits > 32 || advanceBits > 32) throw ParseError("bad text glyph bit counts");
  TextRecord state;
  while (r.remaining() > 0) {
    uint8_t flags = r.u8();
    if (flags == 0) break;  // EndOfRecordsFlag
    if (flags & 0x08) state.fontId = r.u16();
    if (flags & 0x04) state.color = version >= 2 ? r.rgba() : r.rgb();
    if (flags & 0x01) state.x = r.s16();
    if (flags & 0x02) state.y = r.s16();
    if (flags & 0x08) state.height = r.u16();
    uint8_t count = r.u8();
    ctx.charge(1 + count, sizeof(GlyphEntry) + 8);
    TextRecord rec = state;
    rec.glyphs.resize(count);
    for (auto& g : rec.glyphs) {
      g.index = r.ub(glyphBits);
      g.advance = r.sb(advanceBits);
      state.x = wrapAdd(state.x, g.advance);  // the next record starts where this one ended
    }
    r.align();
    def.records.push_back(std::move(rec));
  }
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

void readDefineEditText(BitReader& r, Context& ctx) {
  EditTextDef def;
  def.id = r.u16();
  def.bounds = r.rect();
  def.hasText = r.flag();
  def.wordWrap = r.flag();
  def.multiline = r.flag();
  def.password = r.flag();
  def.readOnly = r.flag();
  def.hasTextColor = r.flag();
  def.hasMaxLength = r.flag();
  def.hasFont = r.flag();
  bool hasFontClass = r.flag();
  def.autoSize = r.flag();
  def.hasLayout = r.flag();
  def.noSelect = r.flag();
  def.border = r.flag();
  def.wasStatic = r.flag();
  def.html = r.flag();
  def.useOutlines = r.flag();
  if (def.hasFont) def.fontId = r.u16();
  if (hasFontClass) def.fontClass = r.string();
  if (def.hasFont || hasFontClass) def.fontHeight = r.u16();
  if (def.hasTextColor) def.textColor = r.rgba();
  if (def.hasMaxLength) def.maxLength = r.u16();
  if (def.hasLayout) {
    def.align = r.u8();
    def.leftMargin = r.u16();
    def.rightMargin = r.u16();
    def.indent = r.u16();
    def.leading = r.s16();
  }
  def.variableName = r.string();
  if (def.hasText) def.initialText = r.string();
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

void readCsmTextSettings(BitReader& r, Context& ctx) {
  CharacterId id = r.u16();
  uint8_t flashType = static_cast<uint8_t>(r.ub(2));
  uint8_t gridFit = static_cast<uint8_t>(r.ub(3));
  r.ub(3);
  float thickness = r.f32(), sharpness = r.f32();
  auto apply = [&](auto* def) {
    if (!def) return false;
    def->useFlashType = flashType;
    def->gridFit = gridFit;
    def->thickness = thickness;
    def->sharpness = sharpness;
    return true;
  };
  if (!apply(mutableCharacter<TextDef>(ctx, id))) apply(mutableCharacter<EditTextDef>(ctx, id));
}
}  // namespace

void readTextTag(BitReader& r, uint16_t code, Context& ctx) {
  switch (code) {
    case 11:
      readDefineText(r, 1, ctx);
      break;
    case 33:
      readDefineText(r, 2, ctx);
      break;
    case 37:
      readDefineEditText(r, ctx);
      break;
    case 74:
      readCsmTextSettings(r, ctx);
      break;
  }
}

// ---- Buttons ----

namespace {
void readButtonRecords(BitReader& r, int version, ButtonDef& def, Context& ctx) {
  while (true) {
    uint8_t flags = r.u8();
    if (flags == 0) break;  // CharacterEndFlag
    ctx.charge(1, sizeof(ButtonRecord));
    ButtonRecord rec;
    rec.up = flags & 0x01;
    rec.over = flags & 0x02;
    rec.down = flags & 0x04;
    rec.hitTest = flags & 0x08;
    bool hasFilters = flags & 0x10, hasBlend = flags & 0x20;
    rec.characterId = r.u16();
    rec.depth = r.u16();
    rec.matrix = r.matrix();
    if (version >= 2) {
      rec.cxform = r.cxform(true);
      if (hasFilters) {
        skipFilterList(r);
        rec.hasFilters = true;
      }
      if (hasBlend) rec.blendMode = r.u8();
    }
    def.records.push_back(rec);
  }
}

void readDefineButton(BitReader& r, Context& ctx) {
  ButtonDef def;
  def.id = r.u16();
  def.version = 1;
  readButtonRecords(r, 1, def, ctx);
  ButtonAction action;
  action.conditions = 0x0008;  // OverDownToOverUp: a release
  action.actions = r.rest();
  def.actions.push_back(std::move(action));
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

void readDefineButton2(BitReader& r, Context& ctx) {
  ButtonDef def;
  def.id = r.u16();
  def.version = 2;
  def.trackAsMenu = r.u8() & 1;
  size_t offsetPos = r.pos();
  uint16_t actionOffset = r.u16();
  readButtonRecords(r, 2, def, ctx);
  if (actionOffset != 0) {
    r.seek(offsetPos + actionOffset);
    while (r.remaining() >= 4) {
      size_t start = r.pos();
      uint16_t size = r.u16();
      uint8_t b0 = r.u8(), b1 = r.u8();
      ButtonAction action;
      action.conditions = static_cast<uint16_t>(b0 | ((b1 & 1) << 8));
      action.keyCode = b1 >> 1;
      size_t end = size == 0 ? r.size() : start + size;
      if (end < r.pos() || end > r.size()) throw ParseError("button action outside the tag");
      ctx.charge(1, sizeof(ButtonAction) + (end - r.pos()));
      action.actions = r.bytes(end - r.pos());
      def.actions.push_back(std::move(action));
      if (size == 0) break;
    }
  }
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}
}  // namespace

void readButtonTag(BitReader& r, uint16_t code, Context& ctx) {
  switch (code) {
    case 7:
      readDefineButton(r, ctx);
      break;
    case 34:
      readDefineButton2(r, ctx);
      break;
    case 23: {  // DefineButtonCxform
      ButtonDef* def = mutableCharacter<ButtonDef>(ctx, r.u16());
      ColorTransform cx = r.cxform(false);
      if (def)
        for (auto& rec : def->records) rec.cxform = cx;
      break;
    }
    case 17: {  // DefineButtonSound
      ButtonDef* def = mutableCharacter<ButtonDef>(ctx, r.u16());
      for (int i = 0; i < 4 && r.remaining() >= 2; ++i) {
        CharacterId sound = r.u16();
        if (sound == 0) continue;
        SoundInfo info = readSoundInfo(r);
        if (def) def->sounds[i] = ButtonDef::Sound{sound, std::move(info)};
      }
      break;
    }
  }
}

// ---- Sounds ----

void readSoundDefinition(BitReader& r, Context& ctx) {
  SoundDef def;
  def.id = r.u16();
  def.format = readAudioFormat(r);
  def.sampleCount = r.u32();
  if (def.format.format == SoundFormat::Mp3 && r.remaining() >= 2) def.mp3SeekSamples = r.s16();
  def.data = r.rest();
  CharacterId id = def.id;
  ctx.define(id, std::move(def));
}

SoundInfo readSoundInfo(BitReader& r) {
  SoundInfo info;
  r.ub(2);
  info.syncStop = r.flag();
  info.syncNoMultiple = r.flag();
  bool hasEnvelope = r.flag(), hasLoops = r.flag(), hasOut = r.flag(), hasIn = r.flag();
  if (hasIn) info.inPoint = r.u32();
  if (hasOut) info.outPoint = r.u32();
  if (hasLoops) info.loopCount = r.u16();
  if (hasEnvelope) {
    uint8_t points = r.u8();
    if (size_t(points) * 8 > r.remaining()) throw ParseError("sound envelope outside the tag");
    info.envelope.resize(points);
    for (auto& p : info.envelope) {
      p.pos44 = r.u32();
      p.leftLevel = r.u16();
      p.rightLevel = r.u16();
    }
  }
  return info;
}

SoundStreamHead readSoundStreamHead(BitReader& r, int version) {
  SoundStreamHead head;
  head.version = version;
  r.ub(4);
  static const uint32_t rates[4] = {5512, 11025, 22050, 44100};
  head.playback.rate = rates[r.ub(2)];  // playback: rate, size and type only
  head.playback.is16Bit = r.flag();
  head.playback.stereo = r.flag();
  head.stream = readAudioFormat(r);
  head.samplesPerBlock = r.u16();
  if (head.stream.format == SoundFormat::Mp3 && r.remaining() >= 2) head.latencySeek = r.s16();
  return head;
}

// ---- Video ----

void readVideoTag(BitReader& r, uint16_t code, Context& ctx) {
  if (code == 60) {
    VideoStreamDef def;
    def.id = r.u16();
    def.numFrames = r.u16();
    def.width = r.u16();
    def.height = r.u16();
    r.ub(4);
    def.deblocking = static_cast<uint8_t>(r.ub(3));
    def.smoothing = r.flag();
    def.codecId = r.u8();
    CharacterId id = def.id;
    ctx.define(id, std::move(def));
  } else {  // VideoFrame
    VideoStreamDef* v = mutableCharacter<VideoStreamDef>(ctx, r.u16());
    if (!v) return;
    VideoFrameData frame;
    frame.frameNum = r.u16();
    if (v->frames.size() >= 65536) return;  // frame numbers are 16-bit
    frame.data = r.rest();
    v->frames.push_back(std::move(frame));
  }
}

}  // namespace orv::movie::swf::detail
