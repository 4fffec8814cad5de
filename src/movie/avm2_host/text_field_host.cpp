#include "movie/avm2_host/text_field_host.h"

#include <algorithm>
#include <cmath>

#include "movie/text/field_layout.h"

namespace orv::movie {

using avm2::TextFlag;
using avm2::TextNumber;
using avm2::TextStyle;

namespace {

template <typename A, typename B>
void copyFormat(const A& from, B& to) {
  to.font = from.font;
  to.url = from.url;
  to.target = from.target;
  to.align = from.align;
  to.size = from.size;
  to.color = from.color;
  to.leftMargin = from.leftMargin;
  to.rightMargin = from.rightMargin;
  to.indent = from.indent;
  to.leading = from.leading;
  to.blockIndent = from.blockIndent;
  to.letterSpacing = from.letterSpacing;
  to.bold = from.bold;
  to.italic = from.italic;
  to.underline = from.underline;
  to.bullet = from.bullet;
  to.kerning = from.kerning;
  to.tabStops = from.tabStops;
}

// A script index as a character index within the text.
size_t clampIndex(int i, size_t size) {
  return static_cast<size_t>(std::clamp<int64_t>(i, 0, static_cast<int64_t>(size)));
}

class FieldAccess : public avm2::TextFieldAccess {
 public:
  explicit FieldAccess(std::shared_ptr<EditTextState> f) : field_(std::move(f)) {}

  std::string text() override { return field_->text(); }
  void setText(const std::string& t) override { field_->setText(t); }
  std::string htmlText() override { return field_->htmlText(); }
  void setHtmlText(const std::string& h) override { field_->setHtmlText(h); }
  int length() override { return static_cast<int>(field_->chars().size()); }
  void replaceText(int begin, int end, const std::string& t) override {
    const size_t n = field_->chars().size();
    field_->replaceText(clampIndex(begin, n), clampIndex(end, n), decodeText(t, true));
  }
  TextStyle format(int begin, int end) override {
    const size_t n = field_->chars().size();
    TextStyle out;
    copyFormat(field_->formatOf(clampIndex(begin, n), clampIndex(end, n)), out);
    return out;
  }
  void setFormat(int begin, int end, const TextStyle& style) override {
    const size_t n = field_->chars().size();
    TextFormat f;
    copyFormat(style, f);
    field_->setFormat(clampIndex(begin, n), clampIndex(end, n), f);
    field_->fitToText();
  }
  TextStyle newTextFormat() override {
    TextStyle out;
    copyFormat(field_->newFormat, out);
    return out;
  }
  void setNewTextFormat(const TextStyle& style) override {
    TextFormat f;
    copyFormat(style, f);
    field_->newFormat.apply(f);
  }
  double number(TextNumber which) override;
  void setNumber(TextNumber which, double v) override;
  bool flag(TextFlag which) override;
  void setFlag(TextFlag which, bool on) override;
  std::string autoSize() override { return field_->autoSize; }
  void setAutoSize(const std::string& mode) override {
    field_->autoSize = mode;
    field_->fitToText();
  }
  std::string mode(avm2::TextMode which) override {
    return which == avm2::TextMode::AntiAliasType ? field_->antiAliasType : field_->gridFitType;
  }
  void setMode(avm2::TextMode which, const std::string& value) override {
    (which == avm2::TextMode::AntiAliasType ? field_->antiAliasType : field_->gridFitType) = value;
  }
  std::optional<std::string> restrict() override { return field_->restrict; }
  void setRestrict(const std::optional<std::string>& chars) override { field_->restrict = chars; }
  void setSelection(int begin, int end) override {
    const size_t n = field_->chars().size();
    field_->selectionAnchor = clampIndex(begin, n);
    field_->caretIndex = clampIndex(end, n);
  }
  std::vector<Line> lines() override {
    std::vector<Line> out;
    for (auto [first, end] : field_->lineRanges())
      out.push_back({static_cast<int>(first), static_cast<int>(end - first)});
    return out;
  }
  std::optional<Box> charBoundaries(int index) override {
    if (index < 0) return std::nullopt;
    const std::optional<CharBox> b = charBox(*field_, layoutField(*field_), size_t(index));
    if (!b) return std::nullopt;
    return Box{b->x / 20, b->y / 20, b->width / 20, b->height / 20};
  }
  int lineAtPoint(double x, double y) override {
    return orv::movie::lineAtPoint(*field_, layoutField(*field_), x * 20, y * 20);
  }
  int charAtPoint(double x, double y) override {
    return orv::movie::charAtPoint(*field_, layoutField(*field_), x * 20, y * 20);
  }

 private:
  std::shared_ptr<EditTextState> field_;
};

double FieldAccess::number(TextNumber which) {
  EditTextState& s = *field_;
  switch (which) {
    case TextNumber::TextWidth:
      return s.textWidth();
    case TextNumber::TextHeight:
      return s.textHeight();
    case TextNumber::NumLines:
      return s.lineCount();
    case TextNumber::ScrollV:
      return s.scroll;
    case TextNumber::MaxScrollV:
      return s.maxScroll();
    case TextNumber::BottomScrollV:
      return s.bottomScroll();
    case TextNumber::ScrollH:
      return s.hscroll;
    case TextNumber::MaxScrollH: {
      const double room = (s.def().bounds.xMax - s.def().bounds.xMin) / 20.0 - 4;
      return std::max(0.0, std::round(s.textWidth() - room));
    }
    case TextNumber::MaxChars:
      return s.def().hasMaxLength ? s.def().maxLength : 0;
    case TextNumber::BackgroundColor:
      return s.backgroundColor;
    case TextNumber::BorderColor:
      return s.borderColor;
    case TextNumber::SelectionBegin:
      return static_cast<double>(s.selectionAnchor == SIZE_MAX ? s.caretIndex
                                                               : s.selection().first);
    case TextNumber::SelectionEnd:
      return static_cast<double>(s.selectionAnchor == SIZE_MAX ? s.caretIndex
                                                               : s.selection().second);
    case TextNumber::CaretIndex:
      return static_cast<double>(s.caretIndex);
    case TextNumber::Thickness:
      return s.thickness;
    case TextNumber::Sharpness:
      return s.sharpness;
  }
  return 0;
}

void FieldAccess::setNumber(TextNumber which, double v) {
  EditTextState& s = *field_;
  if (which == TextNumber::Thickness || which == TextNumber::Sharpness) {
    const double most = which == TextNumber::Thickness ? 200 : 400;
    (which == TextNumber::Thickness ? s.thickness : s.sharpness) =
        std::isnan(v) ? v : std::clamp(v, -most, most);
    return;
  }
  if (!std::isfinite(v)) v = 0;
  switch (which) {
    case TextNumber::ScrollV:
      s.scroll = static_cast<int>(std::clamp(std::trunc(v), 1.0, static_cast<double>(s.maxScroll())));
      break;
    case TextNumber::ScrollH:
      s.hscroll = static_cast<int>(std::clamp(std::trunc(v), 0.0, number(TextNumber::MaxScrollH)));
      break;
    case TextNumber::MaxChars:
      s.def().hasMaxLength = v > 0;
      s.def().maxLength = v > 0 ? static_cast<uint16_t>(std::min(v, 65535.0)) : 0;
      break;
    case TextNumber::BackgroundColor:
      s.backgroundColor = static_cast<uint32_t>(v) & 0xFFFFFF;
      break;
    case TextNumber::BorderColor:
      s.borderColor = static_cast<uint32_t>(v) & 0xFFFFFF;
      break;
    default:
      break;  // the rest follow from the text and its layout
  }
}

bool FieldAccess::flag(TextFlag which) {
  EditTextState& s = *field_;
  switch (which) {
    case TextFlag::WordWrap:
      return s.def().wordWrap;
    case TextFlag::Multiline:
      return s.def().multiline;
    case TextFlag::Input:
      return s.input;
    case TextFlag::Selectable:
      return s.selectable;
    case TextFlag::Border:
      return s.borderOn;
    case TextFlag::Background:
      return s.background;
    case TextFlag::Password:
      return s.password;
    case TextFlag::EmbedFonts:
      return s.embedFonts;
    case TextFlag::CondenseWhite:
      return s.condenseWhite;
    case TextFlag::MouseWheel:
      return s.mouseWheelEnabled;
    case TextFlag::Html:
      return s.def().html;
  }
  return false;
}

void FieldAccess::setFlag(TextFlag which, bool on) {
  EditTextState& s = *field_;
  switch (which) {
    case TextFlag::WordWrap:
      s.def().wordWrap = on;
      s.fitToText();
      break;
    case TextFlag::Multiline:
      s.def().multiline = on;
      break;
    case TextFlag::Input:
      s.input = on;
      s.def().readOnly = !on;
      break;
    case TextFlag::Selectable:
      s.selectable = on;
      s.def().noSelect = !on;
      break;
    case TextFlag::Border:
      s.borderOn = on;
      s.def().border = s.borderOn || s.background;
      break;
    case TextFlag::Background:
      s.background = on;
      s.def().border = s.borderOn || s.background;
      break;
    case TextFlag::Password:
      s.password = s.def().password = on;
      break;
    case TextFlag::EmbedFonts:
      s.embedFonts = s.def().useOutlines = on;
      break;
    case TextFlag::CondenseWhite:
      s.condenseWhite = on;
      break;
    case TextFlag::MouseWheel:
      s.mouseWheelEnabled = on;
      break;
    case TextFlag::Html:
      s.def().html = on;
      break;
  }
}

}  // namespace

std::unique_ptr<avm2::TextFieldAccess> textFieldAccess(std::shared_ptr<EditTextState> field) {
  if (!field) return nullptr;
  return std::make_unique<FieldAccess>(std::move(field));
}

}  // namespace orv::movie
