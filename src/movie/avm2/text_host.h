// A text field as the host keeps it: its characters, formats, layout and settings. The
// machine reaches it through Host::textField; the host's engine lays it out and draws it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orv::movie::avm2 {

// A character format: an unset field is null to scripts (mixed, over a range).
struct TextStyle {
  std::optional<std::string> font, url, target, align;
  std::optional<double> size, color, leftMargin, rightMargin, indent, leading, blockIndent,
      letterSpacing;
  std::optional<bool> bold, italic, underline, bullet, kerning;
  std::optional<std::vector<double>> tabStops;
  bool operator==(const TextStyle&) const = default;
};

enum class TextNumber : uint8_t {
  TextWidth,
  TextHeight,
  NumLines,
  ScrollV,
  MaxScrollV,
  BottomScrollV,
  ScrollH,
  MaxScrollH,
  MaxChars,
  BackgroundColor,
  BorderColor,
  SelectionBegin,
  SelectionEnd,
  CaretIndex,
  Thickness,  // of advanced anti-aliasing; -200..200, NaN kept
  Sharpness,  // -400..400, NaN kept
};

enum class TextMode : uint8_t {
  AntiAliasType,  // normal, advanced
  GridFitType,    // none, pixel, subpixel
};

enum class TextFlag : uint8_t {
  WordWrap,
  Multiline,
  Input,
  Selectable,
  Border,
  Background,
  Password,
  EmbedFonts,
  CondenseWhite,
  MouseWheel,
  Html,
};

class TextFieldAccess {
 public:
  virtual ~TextFieldAccess() = default;
  // Text is UTF-8; indexes count characters.
  virtual std::string text() = 0;
  virtual void setText(const std::string& text) = 0;
  virtual std::string htmlText() = 0;
  virtual void setHtmlText(const std::string& html) = 0;
  virtual int length() = 0;
  virtual void replaceText(int begin, int end, const std::string& text) = 0;
  virtual TextStyle format(int begin, int end) = 0;
  virtual void setFormat(int begin, int end, const TextStyle& style) = 0;
  virtual TextStyle newTextFormat() = 0;
  virtual void setNewTextFormat(const TextStyle& style) = 0;
  virtual double number(TextNumber which) = 0;
  virtual void setNumber(TextNumber which, double value) = 0;
  virtual bool flag(TextFlag which) = 0;
  virtual void setFlag(TextFlag which, bool on) = 0;
  virtual std::string autoSize() = 0;  // none, left, right, center
  virtual void setAutoSize(const std::string& mode) = 0;
  virtual std::string mode(TextMode which) = 0;
  virtual void setMode(TextMode which, const std::string& value) = 0;
  virtual std::optional<std::string> restrict() = 0;
  virtual void setRestrict(const std::optional<std::string>& chars) = 0;
  virtual void setSelection(int begin, int end) = 0;
  // The laid-out lines: the first character of each and how many it holds.
  struct Line {
    int offset = 0, length = 0;
  };
  virtual std::vector<Line> lines() = 0;
  // Character `index`'s box in pixels in the field's space (none: not laid out in view).
  struct Box {
    double x = 0, y = 0, width = 0, height = 0;
  };
  virtual std::optional<Box> charBoundaries(int index) = 0;
  // The line and the character at a point in the field's space, pixels; -1 for none.
  virtual int lineAtPoint(double x, double y) = 0;
  virtual int charAtPoint(double x, double y) = 0;
};

}  // namespace orv::movie::avm2
