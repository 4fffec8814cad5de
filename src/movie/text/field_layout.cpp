#include "movie/text/field_layout.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "movie/font/device_fonts.h"

namespace orv::movie {

namespace {

constexpr double kGutter = 40;        // 2 pixels, in twips
constexpr double kBulletIndent = 720;  // a list item's text starts 36 pixels in

// How far a line's text starts past the gutter: margins, block indent, the first line's
// indent, a list item's bullet.
double lineIndent(const TextFormat& f, bool paragraphStart) {
  return 20 * (f.leftMargin.value_or(0) + f.blockIndent.value_or(0) +
               (paragraphStart ? f.indent.value_or(0) : 0)) +
         (f.bullet.value_or(false) ? kBulletIndent : 0);
}

uint32_t argbOf(const TextFormat& f) {
  const double c = f.color.value_or(0);
  const uint32_t rgb = c >= 0 && c <= double(0xFFFFFF) ? uint32_t(c) : 0;
  return 0xFF000000u | rgb;
}

font::DeviceFace* deviceFace(const TextFormat& f) {
  return font::DeviceFonts::shared().face(f.font.value_or("Times New Roman"),
                                          f.bold.value_or(false), f.italic.value_or(false));
}

double sizeOf(const TextFormat& f) { return std::clamp(f.size.value_or(12), 0.0, 10000.0) * 20; }

// Lays out an edit text field in three steps: the characters into lines (breaking at
// newlines and, when wrapping, before the word that does not fit), the height of empty
// lines, then each line placed below the one before and along its paragraph's alignment.
class Layout {
 public:
  Layout(const EditTextState& field, bool shown)
      : field_(field),
        stars_(shown && field.password),
        def_(field.def()),
        text_(field.chars()),
        device_(!field.embedFonts),
        fieldWidth_(double(def_.bounds.xMax) - def_.bounds.xMin) {}

  FieldLines run() {
    breakLines();
    sizeLines();
    placeLines();
    return std::move(out_);
  }

 private:
  static constexpr size_t kMaxLines = 100000;
  std::vector<LaidLine>& lines() { return out_.lines; }

  double room(const LaidLine& l) const {
    const TextFormat& f = l.format;
    return fieldWidth_ - 2 * kGutter - 20 * f.rightMargin.value_or(0) -
           lineIndent(f, l.paragraphStart);
  }
  // The space a line wrapped at stays on it (it has a box) but takes no width.
  static void measure(LaidLine& l) {
    l.width = 0;
    for (const LaidGlyph& g : l.glyphs)
      if (g.at < l.end) l.width += g.advance;
  }
  uint32_t glyphOf(const swf::FontDef* font, char32_t c) {
    auto [it, made] = glyphMaps_.try_emplace(font);
    if (made)
      for (size_t i = 0; i < font->codes.size() && i < font->glyphs.size(); ++i)
        it->second.emplace(font->codes[i], uint32_t(i));
    auto g = it->second.find(c);
    return g == it->second.end() ? UINT32_MAX : g->second;
  }

  // The ascent and descent (twips) a character in format `f` gives its line.
  void lineMetrics(const TextFormat& f, const swf::FontDef* font, double& ascent,
                   double& descent) const {
    const double size = sizeOf(f);
    if (device_) {
      const FontMetrics metrics = field_.metricsAt(f);
      ascent = metrics.ascent * 20;
      descent = metrics.descent * 20;
    } else if (font && font->hasLayout && font->emSquare() > 0) {
      // In whole twips, the fractions cut off.
      ascent = std::floor(font->ascent * size / font->emSquare());
      descent = std::floor(font->descent * size / font->emSquare());
    } else {
      ascent = size * 0.8;
      descent = size * 0.2;
    }
  }

  // The glyph of character `i` in format `f`.
  LaidGlyph glyphAt(size_t i, char32_t c, const TextFormat& f) {
    LaidGlyph g;
    g.at = i;
    const swf::FontDef* font = device_ ? nullptr : field_.fontFor(f);
    const double size = sizeOf(f);
    if (device_) {
      g.advance = field_.advanceOf(c, f) * 20 - 20 * f.letterSpacing.value_or(0);
      // Drawn with the system's face, placed by the field's own measure.
      if (font::DeviceFace* face = c == U'\t' ? nullptr : deviceFace(f)) {
        g.index = face->glyphFor(c);
        if (g.index != UINT32_MAX) {
          g.font = &face->def();
          g.scale = size / g.font->emSquare();
        }
      }
    } else if (font && font->emSquare() > 0) {
      g.font = font;
      g.scale = size / font->emSquare();
      g.index = glyphOf(font, c);
      if (g.index != UINT32_MAX && g.index < font->advances.size())
        g.advance = font->advances[g.index] * g.scale;
      if (g.index == UINT32_MAX) g.font = nullptr;
    }
    g.advance += 20 * f.letterSpacing.value_or(0);
    g.argb = argbOf(f);
    return g;
  }

  // Carries the word being written (after the last space) to a new line; character `i`
  // is the one that did not fit.
  void wrapBefore(size_t i) {
    LaidLine next;
    next.paragraphStart = false;
    next.format = lines().back().format;
    auto& glyphs = lines().back().glyphs;
    if (lastSpace_ != SIZE_MAX && lastSpace_ < glyphs.size()) {
      next.glyphs.assign(glyphs.begin() + long(lastSpace_) + 1, glyphs.end());
      next.begin = glyphs[lastSpace_].at + 1;
      lines().back().end = glyphs[lastSpace_].at;
      glyphs.resize(lastSpace_ + 1);  // the space at the break is not in the line's range
    } else {
      next.begin = lines().back().end = i;
    }
    next.end = i;  // the carried characters come before the one that did not fit
    measure(lines().back());
    measure(next);
    lineMetricsOfGlyphs(lines().back());
    lineMetricsOfGlyphs(next);
    lines().push_back(std::move(next));
    lastSpace_ = SIZE_MAX;
  }

  void breakLines() {
    lines().resize(1);
    lines().back().format = text_.empty() ? field_.newFormat : field_.formatOf(0, 1);
    for (size_t i = 0;
         i < text_.size() && i < EditTextState::kMaxChars && lines().size() < kMaxLines; ++i) {
      // A password field shows an asterisk for each character.
      const char32_t c =
          stars_ && text_[i] != U'\r' && text_[i] != U'\n' ? U'*' : text_[i];
      const TextFormat f = field_.formatOf(i, i + 1);
      if (c == U'\r' || c == U'\n') {
        lines().back().end = i;
        lines().emplace_back();
        lines().back().format = i + 1 < text_.size() ? field_.formatOf(i + 1, i + 2) : f;
        lines().back().begin = i + 1;
        lastSpace_ = SIZE_MAX;
        continue;
      }
      LaidGlyph g = glyphAt(i, c, f);
      // Spaces hang past the edge; the next word wraps.
      if (def_.wordWrap && c != U' ' && !lines().back().glyphs.empty() &&
          lines().back().width + g.advance > room(lines().back()))
        wrapBefore(i);
      LaidLine& line = lines().back();
      double ascent = 0, descent = 0;
      lineMetrics(f, device_ ? nullptr : field_.fontFor(f), ascent, descent);
      line.ascent = std::max(line.ascent, ascent);
      line.descent = std::max(line.descent, descent);
      if (c == U' ') lastSpace_ = lines().back().glyphs.size();
      lines().back().glyphs.push_back(g);
      lines().back().width += g.advance;
      lines().back().end = i + 1;
    }
    lines().back().end = text_.size();
  }

  // A line a wrap started takes the height of the characters carried to it.
  void lineMetricsOfGlyphs(LaidLine& l) {
    l.ascent = l.descent = 0;
    for (const LaidGlyph& g : l.glyphs) {
      const TextFormat f = field_.formatOf(g.at, g.at + 1);
      double ascent = 0, descent = 0;
      lineMetrics(f, device_ ? nullptr : field_.fontFor(f), ascent, descent);
      l.ascent = std::max(l.ascent, ascent);
      l.descent = std::max(l.descent, descent);
    }
  }

  // Empty lines take the height of the format they would be written in; each line's
  // leading is its paragraph's.
  void sizeLines() {
    for (LaidLine& l : lines()) {
      l.leading = 20 * l.format.leading.value_or(0);
      if (l.ascent > 0 || l.descent > 0) continue;
      lineMetrics(l.format, device_ ? nullptr : field_.fontFor(l.format), l.ascent, l.descent);
    }
  }

  void placeLines() {
    double top = 0;
    for (LaidLine& line : lines()) {
      line.top = top;
      top = line.bottom() + line.leading;
      const TextFormat& f = line.format;
      const double start = def_.bounds.xMin + kGutter + lineIndent(f, line.paragraphStart);
      const double free = room(line) - line.width;
      const std::string align = f.align.value_or("left");
      line.x = start;
      if (align == "right")
        line.x += free;
      else if (align == "center")
        line.x += free / 2;
      // A justified line that wrapped fills its room by widening the spaces within it.
      const bool wrapped = &line != &lines().back() && !(&line + 1)->paragraphStart;
      double widen = 0;
      if (align == "justify" && wrapped && free > 0) {
        size_t spaces = 0;
        for (const LaidGlyph& g : line.glyphs)
          if (g.at < line.end && text_[g.at] == U' ') ++spaces;
        if (spaces > 0) widen = free / double(spaces);
      }
      double x = line.x;
      for (LaidGlyph& g : line.glyphs) {
        if (widen > 0 && g.at < line.end && text_[g.at] == U' ') g.advance += widen;
        g.x = x;
        x += g.advance;
      }
    }
  }

  const EditTextState& field_;
  const bool stars_;
  const swf::EditTextDef& def_;
  const std::u32string& text_;
  const bool device_;
  const double fieldWidth_;
  FieldLines out_;
  size_t lastSpace_ = SIZE_MAX;
  std::unordered_map<const swf::FontDef*, std::unordered_map<char32_t, uint32_t>> glyphMaps_;
};

}  // namespace

FieldLines layoutField(const EditTextState& field, bool shown) {
  return Layout(field, shown).run();
}

namespace {

size_t firstShown(const EditTextState& field, const FieldLines& laid) {
  return std::min(laid.lines.size() - 1, size_t(std::max(field.scroll, 1) - 1));
}

// Where the first line in view starts, from the top of the field's space.
double shownTop(const EditTextState& field, const FieldLines& laid) {
  return field.def().bounds.yMin + kGutter - laid.lines[firstShown(field, laid)].top;
}

}  // namespace

std::optional<CharBox> charBox(const EditTextState& field, const FieldLines& laid, size_t at) {
  if (laid.lines.empty()) return std::nullopt;
  for (size_t i = firstShown(field, laid); i < laid.lines.size(); ++i) {
    const LaidLine& line = laid.lines[i];
    if (at < line.begin) break;
    // The glyphs rather than the range: the space a line wrapped at is on it too.
    for (const LaidGlyph& g : line.glyphs) {
      if (g.at != at) continue;
      if (field.embedFonts && !g.font) return std::nullopt;
      return CharBox{g.x, shownTop(field, laid) + line.top, g.advance,
                     line.ascent + line.descent};
    }
  }
  return std::nullopt;
}

int lineAtPoint(const EditTextState& field, const FieldLines& laid, double x, double y) {
  const swf::Rect& b = field.def().bounds;
  if (laid.lines.empty() || x < b.xMin || x > b.xMax || y < b.yMin || y > b.yMax) return -1;
  const double top = shownTop(field, laid);
  for (size_t i = firstShown(field, laid); i < laid.lines.size(); ++i) {
    const LaidLine& line = laid.lines[i];
    if (y >= top + line.top && y < top + line.bottom() + std::max(0.0, line.leading))
      return int(i);
  }
  return -1;
}

int charAtPoint(const EditTextState& field, const FieldLines& laid, double x, double y) {
  const int i = lineAtPoint(field, laid, x, y);
  if (i < 0) return -1;
  const double along = x + 20.0 * field.hscroll;
  for (const LaidGlyph& g : laid.lines[size_t(i)].glyphs)
    if (along >= g.x && along < g.x + g.advance) return int(g.at);
  return -1;
}

}  // namespace orv::movie
