#pragma once
// Lays out an edit text field's content with its embedded font: lines broken
// at newlines (and at spaces when word-wrapping), margins, indent, leading and
// alignment, inside Flash's 2-pixel gutter.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie {
class EditTextState;
struct TextFormat;
}  // namespace orv::movie

namespace orv::movie::render {

struct PlacedGlyph {
  const swf::FontDef* font = nullptr;
  uint32_t glyph = 0;    // index into font->glyphs
  double x = 0, y = 0;   // baseline origin, twips in the field's space
  double scale = 1;      // font units to twips
  uint32_t argb = 0;     // 0: the field's text colour
  size_t at = SIZE_MAX;  // the character it draws (live field text only)
};

// Where a line of a field's live text lies (twips, field space): its characters
// [begin, end), each with where it starts; `right` is where the last one ends.
struct LineBox {
  size_t begin = 0, end = 0;
  double top = 0, bottom = 0, right = 0;
  std::vector<std::pair<size_t, double>> starts;  // character index, x
};

struct TextLayout {
  std::vector<PlacedGlyph> glyphs;
  int lines = 0;
  // layoutFieldText: where the caret stands (twips, field space): before the
  // field's caret index, from the top of its line down by the line's ascent and
  // descent. Absent when its line is scrolled out of view.
  bool caretShown = false;
  double caretX = 0, caretTop = 0, caretBottom = 0;
  std::vector<LineBox> lineBoxes;  // the lines shown (layoutFieldText)
};

// The caret position nearest a point of the field (twips, field space): on the line
// under it (the first or last shown above or below them), before the character whose
// middle lies past the point.
size_t caretIndexAt(const TextLayout& layout, double x, double y);

// Fields without an embedded outline font (device fonts) lay out no glyphs.
TextLayout layoutEditText(const swf::EditTextDef& def, const std::string& content,
                          const swf::FontDef* font);

// The live text of a field scripts may have changed, as text/field_layout.h lays it out,
// placed in the field: the field's scroll position picks the first line shown, hscroll
// moves the lines left. Characters in no embedded font of the field's lay out no glyph.
TextLayout layoutFieldText(const EditTextState& field);

// Code points of UTF-8 text; HTML fields lose their tags (<br> and </p> break lines).
std::u32string decodeFieldText(const std::string& content, bool html);

}  // namespace orv::movie::render
