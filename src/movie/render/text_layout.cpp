#include "movie/render/text_layout.h"

#include <algorithm>
#include <unordered_map>

namespace orv::movie::render {

namespace {

constexpr double kGutter = 40;  // 2 pixels, in twips

std::u32string utf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const uint8_t c = uint8_t(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(c);  // not UTF-8: take the byte as Latin-1
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      const uint8_t d = uint8_t(s[i + k]);
      if ((d & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += size_t(extra) + 1;
  }
  return out;
}

}  // namespace

std::u32string decodeFieldText(const std::string& content, bool html) {
  std::u32string text = utf8(content);
  if (!html) return text;
  std::u32string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == U'<') {
      const size_t end = text.find(U'>', i);
      if (end == std::u32string::npos) break;
      std::u32string tag = text.substr(i + 1, end - i - 1);
      for (auto& c : tag) c = (c >= U'A' && c <= U'Z') ? c + 32 : c;
      if (tag == U"br" || tag == U"br/" || tag == U"/p") out.push_back(U'\n');
      i = end;
    } else if (text[i] == U'&') {
      static const std::pair<std::u32string, char32_t> entities[] = {
          {U"&amp;", U'&'}, {U"&lt;", U'<'}, {U"&gt;", U'>'}, {U"&quot;", U'"'}, {U"&apos;", U'\''},
          {U"&nbsp;", 0xA0}};
      bool matched = false;
      for (const auto& [name, cp] : entities) {
        if (text.compare(i, name.size(), name) == 0) {
          out.push_back(cp);
          i += name.size() - 1;
          matched = true;
          break;
        }
      }
      if (!matched) out.push_back(U'&');
    } else {
      out.push_back(text[i]);
    }
  }
  // A closing paragraph at the very end does not add an empty line.
  if (!out.empty() && out.back() == U'\n') out.pop_back();
  return out;
}

TextLayout layoutEditText(const swf::EditTextDef& def, const std::string& content,
                          const swf::FontDef* font) {
  TextLayout layout;
  if (!font || font->glyphs.empty() || def.fontHeight == 0) return layout;
  std::unordered_map<char32_t, uint32_t> glyphOf;
  for (size_t i = 0; i < font->codes.size() && i < font->glyphs.size(); ++i)
    glyphOf.emplace(font->codes[i], uint32_t(i));
  const double scale = def.fontHeight / font->emSquare();
  const double ascent = font->hasLayout ? font->ascent * scale : def.fontHeight * 0.8;
  const double descent = font->hasLayout ? font->descent * scale : def.fontHeight * 0.2;
  const double leading = (def.hasLayout ? def.leading : 0) + (font->hasLayout ? font->leading * scale : 0);
  auto advanceOf = [&](uint32_t glyph) {
    if (font->hasLayout && glyph < font->advances.size()) return font->advances[glyph] * scale;
    return def.fontHeight * 0.6;
  };
  const std::u32string text = decodeFieldText(content, def.html);
  const double left = def.bounds.xMin + kGutter + (def.hasLayout ? def.leftMargin : 0);
  const double right = def.bounds.xMax - kGutter - (def.hasLayout ? def.rightMargin : 0);
  const double indent = def.hasLayout ? def.indent : 0;

  // Break into lines: hard breaks, then soft breaks where a word would overflow.
  struct Line {
    std::vector<std::pair<uint32_t, double>> glyphs;  // glyph, advance
    double width = 0;
  };
  std::vector<Line> lines(1);
  bool firstLine = true;
  size_t lastSpaceAt = SIZE_MAX;
  for (size_t i = 0; i < text.size() && lines.size() < 10000; ++i) {
    const char32_t c = text[i];
    if (c == U'\n' || c == U'\r') {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      lines.emplace_back();
      firstLine = false;
      lastSpaceAt = SIZE_MAX;
      continue;
    }
    auto it = glyphOf.find(c);
    if (it == glyphOf.end()) {
      if (c == U' ' || c == U'\t') {
        lines.back().glyphs.push_back({UINT32_MAX, def.fontHeight * 0.25});
        lines.back().width += def.fontHeight * 0.25;
        lastSpaceAt = lines.back().glyphs.size() - 1;
      }
      continue;
    }
    const double adv = advanceOf(it->second);
    Line& line = lines.back();
    const double start = left + (firstLine ? indent : 0);
    if (def.wordWrap && def.multiline && line.width + adv > right - start && !line.glyphs.empty()) {
      Line next;
      if (lastSpaceAt != SIZE_MAX && lastSpaceAt + 1 < line.glyphs.size()) {
        next.glyphs.assign(line.glyphs.begin() + long(lastSpaceAt) + 1, line.glyphs.end());
        line.glyphs.resize(lastSpaceAt);
      } else if (lastSpaceAt != SIZE_MAX) {
        line.glyphs.resize(lastSpaceAt);
      }
      line.width = 0;
      for (auto& g : line.glyphs) line.width += g.second;
      for (auto& g : next.glyphs) next.width += g.second;
      lines.push_back(std::move(next));
      firstLine = false;
      lastSpaceAt = SIZE_MAX;
    }
    if (c == U' ') lastSpaceAt = lines.back().glyphs.size();
    lines.back().glyphs.push_back({it->second, adv});
    lines.back().width += adv;
  }
  if (!def.multiline && lines.size() > 1) lines.resize(1);

  double baseline = def.bounds.yMin + kGutter + ascent;
  bool first = true;
  for (const Line& line : lines) {
    const double start = left + (first ? indent : 0);
    double x = start;
    const double room = right - start;
    if (def.align == 1) x = start + (room - line.width);
    else if (def.align == 2) x = start + (room - line.width) / 2;
    for (const auto& [glyph, adv] : line.glyphs) {
      if (glyph != UINT32_MAX) layout.glyphs.push_back({font, glyph, x, baseline, scale});
      x += adv;
    }
    baseline += ascent + descent + leading;
    first = false;
    ++layout.lines;
  }
  return layout;
}

}  // namespace orv::movie::render
