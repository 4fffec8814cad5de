#pragma once
// Lays out an edit text field's content with its embedded font: lines broken
// at newlines (and at spaces when word-wrapping), margins, indent, leading and
// alignment, inside Flash's 2-pixel gutter.
#include <cstdint>
#include <string>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie::render {

struct PlacedGlyph {
  const swf::FontDef* font = nullptr;
  uint32_t glyph = 0;  // index into font->glyphs
  double x = 0, y = 0;  // baseline origin, twips in the field's space
  double scale = 1;     // font units to twips
};

struct TextLayout {
  std::vector<PlacedGlyph> glyphs;
  int lines = 0;
};

// Fields without an embedded outline font (device fonts) lay out no glyphs.
TextLayout layoutEditText(const swf::EditTextDef& def, const std::string& content,
                          const swf::FontDef* font);

// Code points of UTF-8 text; HTML fields lose their tags (<br> and </p> break lines).
std::u32string decodeFieldText(const std::string& content, bool html);

}  // namespace orv::movie::render
