#include "movie/font/device_fonts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <vector>

#include "movie/codec/system_fonts.h"

namespace orv::movie::font {

namespace {

constexpr double kEm = 20480;  // DefineFont3's em square
constexpr size_t kMaxGlyphsPerFace = 1 << 16;
constexpr size_t kMaxFamiliesTried = 256;
constexpr size_t kMaxRequestsKept = 4096;

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int16_t toInt16(double v) {
  return int16_t(std::clamp(std::lround(v), long(std::numeric_limits<int16_t>::min()),
                            long(std::numeric_limits<int16_t>::max())));
}

// Families tried for each kind, the Windows core fonts first, then the free fonts
// made to the same measures, then whatever else is common.
const std::vector<std::string>& familiesOf(FontKind kind) {
  static const std::vector<std::string> serif = {"Times New Roman", "Liberation Serif", "Tinos",
                                                 "DejaVu Serif", "Times"};
  static const std::vector<std::string> sans = {"Arial",       "Liberation Sans", "Arimo",
                                                "DejaVu Sans", "Tahoma",          "Helvetica"};
  static const std::vector<std::string> mono = {"Courier New", "Liberation Mono", "Cousine",
                                                "DejaVu Sans Mono", "Courier"};
  return kind == FontKind::Sans ? sans : kind == FontKind::Mono ? mono : serif;
}

}  // namespace

FontKind kindOfFont(const std::string& name) {
  const std::string n = lower(name);
  if (n == "_typewriter" || n.find("courier") != std::string::npos ||
      n.find("mono") != std::string::npos || n == "consolas" || n == "lucida console")
    return FontKind::Mono;
  if (n.find(" sans") != std::string::npos || n.rfind("sans", 0) == 0) return FontKind::Sans;
  static const char* const sans[] = {
      "_sans",        "arial",           "helvetica",     "verdana",        "tahoma",
      "trebuchet ms", "segoe ui",        "calibri",       "lucida sans",    "geneva",
      "dejavu sans",  "liberation sans", "ms sans serif", "century gothic", "impact"};
  for (const char* s : sans)
    if (n == s || n.rfind(std::string(s) + " ", 0) == 0) return FontKind::Sans;
  return FontKind::Serif;
}

DeviceFace::DeviceFace(TrueTypeFont font) : font_(std::move(font)) {
  def_.version = 3;
  def_.name = font_.family();
  def_.bold = font_.bold();
  def_.italic = font_.italic();
  def_.hasLayout = true;
  const double scale = kEm / font_.unitsPerEm();
  def_.ascent = int32_t(std::lround(font_.ascent() * scale));
  def_.descent = int32_t(std::lround(font_.descent() * scale));
  def_.leading = int32_t(std::lround(font_.lineGap() * scale));
  // Room for every glyph at once: the renderer keeps glyph shapes by address, so the
  // glyphs must never move.
  def_.glyphs.reserve(std::min<size_t>(font_.glyphCount(), kMaxGlyphsPerFace));
}

uint32_t DeviceFace::glyphFor(char32_t c) {
  if (auto it = glyphs_.find(c); it != glyphs_.end()) return it->second;
  const uint32_t glyph = font_.glyphIndex(c);
  uint32_t index = UINT32_MAX;
  if (glyph != 0 && def_.glyphs.size() < def_.glyphs.capacity()) {
    const double scale = kEm / font_.unitsPerEm();
    index = uint32_t(def_.glyphs.size());
    def_.glyphs.push_back(glyphShape(font_.outline(glyph), scale));
    def_.codes.push_back(c <= 0xFFFF ? uint16_t(c) : 0);
    def_.advances.push_back(toInt16(font_.advance(glyph) * scale));
  }
  glyphs_.emplace(c, index);
  return index;
}

double DeviceFace::advance(char32_t c) const {
  return double(font_.advance(font_.glyphIndex(c))) / font_.unitsPerEm();
}

bool DeviceFace::timesMeasures() const {
  const std::string family = lower(font_.family());
  return family == "times new roman" || family == "liberation serif" || family == "tinos";
}

DeviceFonts& DeviceFonts::shared() {
  static DeviceFonts fonts;
  return fonts;
}

DeviceFace* DeviceFonts::load(const std::string& family, bool bold, bool italic) {
  const std::string key = lower(family) + (bold ? "|b" : "|") + (italic ? "i" : "");
  if (auto it = faces_.find(key); it != faces_.end()) return it->second.get();
  std::vector<uint8_t> data = codec::systemFontData(family, bold, italic);
  std::unique_ptr<DeviceFace> face;
  const uint32_t count = data.size() <= codec::kMaxFontFileBytes ? TrueTypeFont::fontsIn(data) : 0;
  if (count == 1) {
    if (auto f = TrueTypeFont::parse(std::move(data)))
      face = std::make_unique<DeviceFace>(std::move(*f));
  } else if (count > 1) {
    // Of a collection, the font of that family closest to the style.
    int bestScore = -1;
    uint32_t best = 0;
    for (uint32_t i = 0; i < count && i < 64; ++i) {
      auto f = TrueTypeFont::parse(data, i);
      if (!f) continue;
      const int score = (lower(f->family()) == lower(family) ? 4 : 0) +
                        (f->bold() == bold ? 2 : 0) + (f->italic() == italic ? 1 : 0);
      if (score > bestScore) bestScore = score, best = i;
    }
    if (bestScore >= 0)
      if (auto f = TrueTypeFont::parse(std::move(data), best))
        face = std::make_unique<DeviceFace>(std::move(*f));
  }
  DeviceFace* result = face.get();
  faces_.emplace(key, std::move(face));
  return result;
}

DeviceFace* DeviceFonts::face(const std::string& name, bool bold, bool italic) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (last_.valid && last_.bold == bold && last_.italic == italic && last_.name == name)
    return last_.face;
  const std::string request = lower(name) + (bold ? "|b" : "|") + (italic ? "i" : "");
  if (auto it = byRequest_.find(request); it != byRequest_.end()) {
    last_ = {true, name, bold, italic, it->second};
    return it->second;
  }
  DeviceFace* face = nullptr;
  // Families by name while there is room; scripts may name any number of them.
  if (!name.empty() && name[0] != '_' && faces_.size() < kMaxFamiliesTried)
    face = load(name, bold, italic);
  const FontKind kind = kindOfFont(name);
  for (const std::string& family : familiesOf(kind))
    if (!face) face = load(family, bold, italic);
  // Any face at all rather than no text.
  for (FontKind other : {FontKind::Serif, FontKind::Sans, FontKind::Mono})
    for (const std::string& family : familiesOf(other))
      if (!face) face = load(family, bold, italic);
  if (byRequest_.size() < kMaxRequestsKept) byRequest_.emplace(request, face);
  last_ = {true, name, bold, italic, face};
  return face;
}

}  // namespace orv::movie::font
