#include "movie/render/text_layout.h"

#include <algorithm>
#include <unordered_map>

#include "movie/base/utf8.h"
#include "movie/text/edit_text.h"
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

namespace {
uint32_t argbOf(const TextFormat& f) {
  const double c = f.color.value_or(0);
  const uint32_t rgb = c >= 0 && c <= double(0xFFFFFF) ? uint32_t(c) : 0;
  return 0xFF000000u | rgb;
}

font::DeviceFace* deviceFace(const TextFormat& f) {
  return font::DeviceFonts::shared().face(f.font.value_or("Times New Roman"),
                                          f.bold.value_or(false), f.italic.value_or(false));
}

// Lays out an edit text field in three steps: the characters into lines (breaking at
// newlines and, when wrapping, before the word that does not fit), the height of empty
// lines, then the lines placed from the first one scrolled to.
class FieldLayout {
 public:
  FieldLayout(const EditTextState& field, const FontLookup& fontFor)
      : field_(field),
        fontFor_(fontFor),
        def_(field.def()),
        text_(field.chars()),
        device_(!field.embedFonts),
        fieldWidth_(double(def_.bounds.xMax) - def_.bounds.xMin) {}

  TextLayout run() {
    breakLines();
    sizeEmptyLines();
    return placeLines();
  }

 private:
  struct Glyph {
    const swf::FontDef* font = nullptr;
    uint32_t index = UINT32_MAX;  // UINT32_MAX: nothing drawn (space, unknown character)
    double advance = 0, scale = 0;
    uint32_t argb = 0;
    size_t at = 0;  // index of the character
  };
  struct Line {
    std::vector<Glyph> glyphs;
    double width = 0, ascent = 0, descent = 0, leading = 0;
    TextFormat format;  // of its first character: margins, alignment, leading
    bool paragraphStart = true;
    size_t begin = 0, end = 0;  // characters [begin, end) (end: past its last one)
  };
  static constexpr size_t kMaxLines = 10000;

  double room(const Line& l) const {
    const TextFormat& f = l.format;
    return fieldWidth_ - 2 * kGutter -
           20 * (f.leftMargin.value_or(0) + f.rightMargin.value_or(0) + f.blockIndent.value_or(0) +
                 (l.paragraphStart ? f.indent.value_or(0) : 0));
  }
  static void measure(Line& l) {
    l.width = 0;
    for (const Glyph& g : l.glyphs) l.width += g.advance;
  }
  uint32_t glyphOf(const swf::FontDef* font, char32_t c) {
    auto [it, made] = glyphMaps_.try_emplace(font);
    if (made)
      for (size_t i = 0; i < font->codes.size() && i < font->glyphs.size(); ++i)
        it->second.emplace(font->codes[i], uint32_t(i));
    auto g = it->second.find(c);
    return g == it->second.end() ? UINT32_MAX : g->second;
  }

  // The glyph of character `i` in format `f`; the line it goes on grows to its height.
  Glyph glyphAt(size_t i, char32_t c, const TextFormat& f) {
    Glyph g;
    g.at = i;
    g.font = device_ ? nullptr : fontFor_(f);
    const double size = std::clamp(f.size.value_or(12), 0.0, 10000.0) * 20;  // twips
    Line& line = lines_.back();
    if (device_) {
      const FontMetrics metrics = field_.metricsAt(f);
      line.ascent = std::max(line.ascent, metrics.ascent * 20);
      line.descent = std::max(line.descent, metrics.descent * 20);
      g.advance = field_.advanceOf(c, f) * 20 - 20 * f.letterSpacing.value_or(0);
      // Drawn with the system's face, placed by the field's own measure.
      if (font::DeviceFace* face = deviceFace(f)) {
        g.index = face->glyphFor(c);
        if (g.index != UINT32_MAX) {
          g.font = &face->def();
          g.scale = size / g.font->emSquare();
        }
      }
    } else if (g.font && g.font->emSquare() > 0) {
      g.scale = size / g.font->emSquare();
      g.index = glyphOf(g.font, c);
      if (g.index != UINT32_MAX && g.index < g.font->advances.size())
        g.advance = g.font->advances[g.index] * g.scale;
      if (g.font->hasLayout) {
        line.ascent = std::max(line.ascent, g.font->ascent * g.scale);
        line.descent = std::max(line.descent, g.font->descent * g.scale);
      } else {
        line.ascent = std::max(line.ascent, size * 0.8);
        line.descent = std::max(line.descent, size * 0.2);
      }
    }
    g.advance += 20 * f.letterSpacing.value_or(0);
    g.argb = argbOf(f);
    return g;
  }

  // Carries the word being written (after the last space) to a new line; character `i`
  // is the one that did not fit.
  void wrapBefore(size_t i) {
    Line next;
    next.paragraphStart = false;
    next.format = lines_.back().format;
    next.ascent = lines_.back().ascent;
    next.descent = lines_.back().descent;
    if (lastSpace_ != SIZE_MAX && lastSpace_ < lines_.back().glyphs.size()) {
      auto& glyphs = lines_.back().glyphs;
      next.glyphs.assign(glyphs.begin() + long(lastSpace_) + 1, glyphs.end());
      next.begin = glyphs[lastSpace_].at + 1;
      lines_.back().end = glyphs[lastSpace_].at;
      glyphs.resize(lastSpace_);
    } else {
      next.begin = lines_.back().end = i;
    }
    measure(lines_.back());
    measure(next);
    lines_.push_back(std::move(next));
    lastSpace_ = SIZE_MAX;
  }

  void breakLines() {
    lines_.resize(1);
    lines_.back().format = text_.empty() ? field_.newFormat : field_.formatOf(0, 1);
    for (size_t i = 0;
         i < text_.size() && i < EditTextState::kMaxChars && lines_.size() < kMaxLines; ++i) {
      // A password field shows an asterisk for each character.
      const char32_t c =
          field_.password && text_[i] != U'\r' && text_[i] != U'\n' ? U'*' : text_[i];
      const TextFormat f = field_.formatOf(i, i + 1);
      if (c == U'\r' || c == U'\n') {
        lines_.back().end = i;
        if (c == U'\r' && i + 1 < text_.size() && text_[i + 1] == U'\n') ++i;
        lines_.emplace_back();
        lines_.back().format = i + 1 < text_.size() ? field_.formatOf(i + 1, i + 2) : f;
        lines_.back().begin = i + 1;
        lastSpace_ = SIZE_MAX;
        continue;
      }
      Glyph g = glyphAt(i, c, f);
      // Spaces hang past the edge; the next word wraps.
      if (def_.wordWrap && c != U' ' && !lines_.back().glyphs.empty() &&
          lines_.back().width + g.advance > room(lines_.back()))
        wrapBefore(i);
      if (c == U' ') lastSpace_ = lines_.back().glyphs.size();
      lines_.back().glyphs.push_back(g);
      lines_.back().width += g.advance;
    }
    lines_.back().end = text_.size();
  }

  // Empty lines take the height of the format they would be written in.
  void sizeEmptyLines() {
    for (Line& l : lines_) {
      if (l.ascent > 0 || l.descent > 0) continue;
      const swf::FontDef* font = device_ ? nullptr : fontFor_(l.format);
      const double size = std::clamp(l.format.size.value_or(12), 0.0, 10000.0) * 20;
      if (device_) {
        const FontMetrics metrics = field_.metricsAt(l.format);
        l.ascent = metrics.ascent * 20;
        l.descent = metrics.descent * 20;
      } else if (font && font->hasLayout && font->emSquare() > 0) {
        l.ascent = font->ascent * size / font->emSquare();
        l.descent = font->descent * size / font->emSquare();
      } else {
        l.ascent = size * 0.8;
        l.descent = size * 0.2;
      }
    }
  }

  TextLayout placeLines() {
    TextLayout layout;
    const size_t first = std::min(lines_.size() - 1, size_t(std::max(0, field_.scroll - 1)));
    double top = def_.bounds.yMin + kGutter;
    for (size_t k = first; k < lines_.size(); ++k) {
      if (top >= def_.bounds.yMax) break;  // below the field
      top = placeLine(k, top, layout);
      ++layout.lines;
    }
    return layout;
  }

  // Places line `k` with its top at `top`; gives the top of the next line.
  double placeLine(size_t k, double top, TextLayout& layout) {
    const Line& line = lines_[k];
    const TextFormat& f = line.format;
    const double baseline = top + line.ascent;
    const double start = def_.bounds.xMin + kGutter +
                         20 * (f.leftMargin.value_or(0) + f.blockIndent.value_or(0) +
                               (line.paragraphStart ? f.indent.value_or(0) : 0));
    const double free = room(line) - line.width;
    const std::string align = f.align.value_or("left");
    // hscroll moves every line left by that many pixels.
    double x = start - 20.0 * std::clamp(field_.hscroll, 0, 1000000);
    if (align == "right")
      x += free;
    else if (align == "center")
      x += free / 2;
    const size_t caret = std::min(field_.caretIndex, text_.size());
    const bool caretHere =
        caret >= line.begin && (caret < line.end || caret == line.end) &&
        !(caret == line.end && k + 1 < lines_.size() && lines_[k + 1].begin == caret);
    if (caretHere) {
      layout.caretShown = true;
      layout.caretX = x;
      layout.caretTop = top;
      layout.caretBottom = baseline + line.descent;
    }
    LineBox box{line.begin, line.end, top, baseline + line.descent, x, {}};
    box.starts.reserve(line.glyphs.size());
    for (const Glyph& g : line.glyphs) {
      if (caretHere && g.at == caret) layout.caretX = x;
      if (g.font && g.index != UINT32_MAX)
        layout.glyphs.push_back({g.font, g.index, x, baseline, g.scale, g.argb, g.at});
      box.starts.emplace_back(g.at, x);
      x += g.advance;
      if (caretHere && g.at + 1 == caret) layout.caretX = x;
    }
    box.right = x;
    layout.lineBoxes.push_back(std::move(box));
    return baseline + line.descent + 20 * f.leading.value_or(0);
  }

  const EditTextState& field_;
  const FontLookup& fontFor_;
  const swf::EditTextDef& def_;
  const std::u32string& text_;
  const bool device_;
  const double fieldWidth_;
  std::vector<Line> lines_;
  size_t lastSpace_ = SIZE_MAX;
  std::unordered_map<const swf::FontDef*, std::unordered_map<char32_t, uint32_t>> glyphMaps_;
};
}  // namespace

TextLayout layoutFieldText(const EditTextState& field, const FontLookup& fontFor) {
  return FieldLayout(field, fontFor).run();
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
