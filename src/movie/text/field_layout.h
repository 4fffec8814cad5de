#pragma once
// The one layout of an edit text field's live text, which the field's measures (textWidth,
// textHeight, numLines, the scroll limits, character boundaries, line metrics) and the
// renderer's drawing both read: the characters broken into lines at line ends and, when
// the field wraps, before the word that does not fit; each character in its own format
// (size, colour, letter spacing, margins, indent, alignment, leading) and, when the field
// embeds its fonts, in the embedded font its format names (else the device metric).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "movie/swf/types.h"
#include "movie/text/edit_text.h"

namespace orv::movie {

struct LaidGlyph {
  const swf::FontDef* font = nullptr;  // null: nothing drawn (no face, no glyph)
  uint32_t index = UINT32_MAX;         // into font->glyphs
  double x = 0;                        // where it starts, twips in the field's space
  double advance = 0, scale = 0;       // twips; font units to twips
  uint32_t argb = 0;
  size_t at = 0;  // the character it draws
};

struct LaidLine {
  std::vector<LaidGlyph> glyphs;
  // Where the line starts (margins, indent and alignment applied; no scrolling), twips in
  // the field's space; `top` counts from the top of the text.
  double x = 0, top = 0;
  double width = 0, ascent = 0, descent = 0, leading = 0;  // twips
  TextFormat format;  // of its first character: margins, alignment, leading
  bool paragraphStart = true;
  size_t begin = 0, end = 0;  // characters [begin, end), its line end not included
  double bottom() const { return top + ascent + descent; }
  double right() const { return x + width; }
};

struct FieldLines {
  std::vector<LaidLine> lines;  // at least one
};

struct CharBox {
  double x = 0, y = 0, width = 0, height = 0;  // twips in the field's space
};

// Character `at`'s box: along its line as laid out (horizontal scrolling not applied),
// its line's height, counted down from the first line scrolled into view. None for a line
// end, a character outside the text, on a line scrolled above the field, or one that no
// embedded font draws.
std::optional<CharBox> charBox(const EditTextState& field, const FieldLines& laid, size_t at);
// The line shown at a point (twips in the field's space) and the character drawn there;
// -1 for none.
int lineAtPoint(const EditTextState& field, const FieldLines& laid, double x, double y);
int charAtPoint(const EditTextState& field, const FieldLines& laid, double x, double y);

// `shown`: as drawn, a password field's characters each an asterisk; else as measured,
// with the characters it holds.
FieldLines layoutField(const EditTextState& field, bool shown = false);

}  // namespace orv::movie
