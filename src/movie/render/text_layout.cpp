#include "movie/render/text_layout.h"

#include <algorithm>
#include <unordered_map>

#include "movie/base/utf8.h"
#include "movie/text/edit_text.h"
#include "movie/text/field_layout.h"
#include "movie/font/device_fonts.h"

namespace orv::movie::render {

namespace {

constexpr double kGutter = 40;  // 2 pixels, in twips

}  // namespace

std::u32string decodeFieldText(const std::string& content, bool html) {
  std::u32string text = base::decodeUtf8(content);
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
          {U"&amp;", U'&'},  {U"&lt;", U'<'},    {U"&gt;", U'>'},
          {U"&quot;", U'"'}, {U"&apos;", U'\''}, {U"&nbsp;", 0xA0}};
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
  std::u32string text = decodeFieldText(content, def.html);
  if (def.password)  // an asterisk for each character
    for (char32_t& c : text)
      if (c != U'\r' && c != U'\n') c = U'*';
  // A font without outlines names a device font: the system's face of that name draws.
  const double fontHeight = def.hasFont ? def.fontHeight : 240;
  if ((!font || !font->hasOutlines()) && fontHeight > 0) {
    std::string name = font ? font->name : "";
    while (!name.empty() && name.back() == '\0') name.pop_back();
    if (name.empty()) name = "Times New Roman";
    font::DeviceFace* face =
        font::DeviceFonts::shared().face(name, font && font->bold, font && font->italic);
    if (!face) return layout;
    for (char32_t c : text) face->glyphFor(c);
    font = &face->def();
  }
  if (!font || font->glyphs.empty() || fontHeight == 0) return layout;
  std::unordered_map<char32_t, uint32_t> glyphOf;
  for (size_t i = 0; i < font->codes.size() && i < font->glyphs.size(); ++i)
    glyphOf.emplace(font->codes[i], uint32_t(i));
  const double scale = fontHeight / font->emSquare();
  const double ascent = font->hasLayout ? font->ascent * scale : fontHeight * 0.8;
  const double descent = font->hasLayout ? font->descent * scale : fontHeight * 0.2;
  const double leading =
      (def.hasLayout ? def.leading : 0) + (font->hasLayout ? font->leading * scale : 0);
  auto advanceOf = [&](uint32_t glyph) {
    if (font->hasLayout && glyph < font->advances.size()) return font->advances[glyph] * scale;
    return fontHeight * 0.6;
  };
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
        lines.back().glyphs.push_back({UINT32_MAX, fontHeight * 0.25});
        lines.back().width += fontHeight * 0.25;
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
    if (def.align == 1)
      x = start + (room - line.width);
    else if (def.align == 2)
      x = start + (room - line.width) / 2;
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

namespace orv::movie::render {

TextLayout layoutFieldText(const EditTextState& field) {
  const FieldLines laid = layoutField(field, true);
  const swf::EditTextDef& def = field.def();
  const std::vector<LaidLine>& lines = laid.lines;
  const std::u32string& text = field.chars();
  TextLayout layout;
  const size_t first = std::min(lines.size() - 1, size_t(std::max(0, field.scroll - 1)));
  // Lines scrolled past move up; hscroll moves every line left by that many pixels.
  const double dy = def.bounds.yMin + kGutter - lines[first].top;
  const double dx = -20.0 * std::clamp(field.hscroll, 0, 1000000);
  const size_t caret = std::min(field.caretIndex, text.size());
  for (size_t k = first; k < lines.size(); ++k) {
    const LaidLine& line = lines[k];
    const double top = line.top + dy;
    if (top >= def.bounds.yMax) break;  // below the field
    const double baseline = top + line.ascent;
    const double x0 = line.x + dx;
    const bool caretHere =
        caret >= line.begin && caret <= line.end &&
        !(caret == line.end && k + 1 < lines.size() && lines[k + 1].begin == caret);
    if (caretHere) {
      layout.caretShown = true;
      layout.caretX = x0;
      layout.caretTop = top;
      layout.caretBottom = baseline + line.descent;
    }
    LineBox box{line.begin, line.end, top, baseline + line.descent, x0, {}};
    box.starts.reserve(line.glyphs.size());
    double x = x0;
    for (const LaidGlyph& g : line.glyphs) {
      x = g.x + dx;
      if (caretHere && g.at == caret) layout.caretX = x;
      if (g.font && g.index != UINT32_MAX && g.at < line.end)  // not the space at a wrap
        layout.glyphs.push_back({g.font, g.index, x, baseline, g.scale, g.argb, g.at});
      box.starts.emplace_back(g.at, x);
      x += g.advance;
      if (caretHere && g.at + 1 == caret) layout.caretX = x;
    }
    box.right = x;
    layout.lineBoxes.push_back(std::move(box));
    ++layout.lines;
  }
  return layout;
}

size_t caretIndexAt(const TextLayout& layout, double x, double y) {
  if (layout.lineBoxes.empty()) return 0;
  const LineBox* line = &layout.lineBoxes.back();
  for (const LineBox& l : layout.lineBoxes)
    if (y < l.bottom) {
      line = &l;
      break;
    }
  for (size_t i = 0; i < line->starts.size(); ++i) {
    const double end = i + 1 < line->starts.size() ? line->starts[i + 1].second : line->right;
    if (x < (line->starts[i].second + end) / 2) return line->starts[i].first;
  }
  return line->end;
}

}  // namespace orv::movie::render
