#pragma once
// The live state of an edit text field (DefineEditText instances and fields made by
// createTextField): its characters, each with a text format, the field's properties as
// scripts set them, the HTML subset Flash reads and writes, and text measurement (the
// advance tables of an embedded DefineFont2/3, else a fixed device-font metric).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "movie/swf/types.h"

namespace orv::movie {

// A text format: unset fields are "no value" (null to scripts; mixed over a range).
struct TextFormat {
  std::optional<std::string> font, url, target, align;
  std::optional<double> size, color, leftMargin, rightMargin, indent, leading, blockIndent,
      letterSpacing;
  std::optional<bool> bold, italic, underline, bullet, kerning;
  std::optional<std::vector<double>> tabStops;

  // Fields set in `over` replace ours.
  void apply(const TextFormat& over);
  // Keeps only the fields on which `other` agrees with us.
  void intersect(const TextFormat& other);
  bool operator==(const TextFormat&) const = default;
};

// Line metrics of a font at a size, in pixels.
struct FontMetrics {
  double ascent = 0, descent = 0, leading = 0;
};

class EditTextState {
 public:
  // `font` is the field's embedded font (may be null); it must outlive the state.
  EditTextState(const swf::EditTextDef& def, const swf::FontDef* font, bool utf8);

  // The definition as scripts changed it (bounds, flags, colour, max length...). The
  // renderer draws it in place of the movie's own definition.
  swf::Character character;
  swf::EditTextDef& def() { return std::get<swf::EditTextDef>(character); }
  const swf::EditTextDef& def() const { return std::get<swf::EditTextDef>(character); }
  const swf::FontDef* font = nullptr;
  bool utf8 = true;  // SWF 6+ strings are UTF-8; older ones one byte a character
  // The movie whose embedded fonts the field's formats name (may be null).
  const swf::Movie* movie = nullptr;
  // The embedded font (with outlines) that draws text in format `f`: the field's own for
  // its name (or no name), else the movie's of that name, in the style asked for when it
  // has one; null when the movie embeds none of that name.
  const swf::FontDef* fontFor(const TextFormat& f) const;

  // ---- Properties scripts set that the definition has no room for ----
  bool background = false, borderOn = false;
  uint32_t backgroundColor = 0xFFFFFF, borderColor = 0x000000;
  bool selectable = true, input = false, password = false;
  bool mouseWheelEnabled = true;  // the wheel over the field scrolls it
  bool embedFonts = false, condenseWhite = false;
  // HTML paragraphs and <br> break lines only in a multiline field, where the last
  // paragraph keeps its line end (ActionScript 3's fields).
  bool htmlBreaksNeedMultiline = false;
  bool crLfIsTwoBreaks = false;  // and "\r\n" is two line ends there, not one
  std::string autoSize = "none";  // none, left, right, center
  std::optional<std::string> restrict;
  // How glyphs are smoothed (normal, advanced) and fitted to pixels (none, pixel,
  // subpixel); advanced smoothing's stroke thickness and edge sharpness.
  std::string antiAliasType = "normal", gridFitType = "pixel";
  double thickness = 0, sharpness = 0;
  int scroll = 1, hscroll = 0;
  std::string variable;
  // The keyboard focus is here (Selection): an input field shows its caret before
  // the character at caretIndex.
  bool focused = false;
  size_t caretIndex = 0;
  // What the user selected: from the anchor to the caret (SIZE_MAX: nothing).
  size_t selectionAnchor = SIZE_MAX;
  // The selected characters [first, second); empty when nothing is selected.
  std::pair<size_t, size_t> selection() const;

  // ---- Text ----
  const std::u32string& chars() const { return chars_; }
  std::string shownText;                      // the characters as UTF-8, for the renderer
  std::string text() const;                   // plain text, lines ended by \r
  void setText(const std::string& text);      // every character takes the new-text format
  std::string htmlText() const;               // the HTML Flash writes back
  void setHtmlText(const std::string& html);  // the HTML subset: p, br, b, i, u, font, a
  // Replaces [begin, end) with `text` in the new-text format; clamps the range.
  void replaceText(size_t begin, size_t end, const std::u32string& text);

  // ---- Formats ----
  TextFormat newFormat;                                 // what new text takes (getNewTextFormat)
  TextFormat formatOf(size_t begin, size_t end) const;  // fields common to the range
  void setFormat(size_t begin, size_t end, const TextFormat& format);

  // ---- Measurement ----
  // The text's extent in pixels as laid out in the field (wrapping when wordWrap).
  double textWidth() const;
  double textHeight() const;
  int lineCount() const;
  int maxScroll() const;
  int bottomScroll() const;
  FontMetrics metricsAt(const TextFormat& f) const;
  // Each laid-out line's characters [first, second), its line end included.
  std::vector<std::pair<size_t, size_t>> lineRanges() const;
  double advanceOf(char32_t c, const TextFormat& f) const;
  // Applies autoSize: the field's bounds follow the text.
  void fitToText();

  static TextFormat defaultFormat();
  static constexpr size_t kMaxChars = 1u << 20;  // longer text is cut

 private:
  struct Line {
    size_t begin = 0, end = 0;
    double width = 0, height = 0;
  };
  std::vector<Line> layout() const;
  uint16_t internFormat(const TextFormat& f);
  void compactFormats();

  std::u32string chars_;
  mutable bool fontsIndexed_ = false;
  mutable std::vector<std::pair<std::string, const swf::FontDef*>> fonts_;  // by name
  std::vector<uint16_t> formatIndex_;  // one per character, into formats_
  std::vector<TextFormat> formats_;
};

// The definition of a field made by createTextField: dynamic text, no border, device font.
swf::EditTextDef createdFieldDef(double widthPx, double heightPx);

// The characters a DefineText draws, by its fonts' code tables (unknown glyphs are skipped).
std::u32string staticTextOf(const swf::Movie& movie, const swf::TextDef& text);

// Text of a script string: UTF-8 from SWF 6, else one byte a character.
std::u32string decodeText(const std::string& s, bool utf8);
std::string encodeText(const std::u32string& s, bool utf8);

}  // namespace orv::movie
