#include "movie/text/edit_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "movie/base/utf8.h"
#include "movie/base/xml.h"
#include "movie/font/device_fonts.h"
#include "movie/text/field_layout.h"

namespace orv::movie {

namespace {

constexpr double kGutter = 2;  // pixels between the field's edge and its text

// Advance widths of the device serif face in thousandths of an em, for ASCII 32..126;
// other characters take half an em.
constexpr int16_t kSerifAdvances[95] = {
    250, 333, 408, 500, 500, 833, 778, 180, 333, 333, 500, 564, 250, 333, 250, 278,  // ' '../
    500, 500, 500, 500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444,  // 0..?
    921, 722, 667, 667, 722, 611, 556, 722, 722, 333, 389, 722, 611, 889, 722, 722,  // @..O
    556, 722, 667, 556, 611, 722, 722, 944, 722, 722, 611, 333, 278, 333, 469, 500,  // P.._
    333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500, 278, 778, 500, 500,  // `..o
    500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541};      // p..~
// Device text lines: ascent and descent are whole pixels, 0.9 and 0.2 of the size.
constexpr double kSerifAscent = 0.9, kSerifDescent = 0.2;

bool isBreak(char32_t c) { return c == U'\r' || c == U'\n'; }

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string numberText(double n) {
  if (std::isnan(n)) return "0";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", n);
  return buf;
}

// "#RRGGBB": up to six hex digits after the hash; anything else is black.
double parseHtmlColor(const std::string& v) {
  if (v.empty() || v[0] != '#') return 0;
  uint32_t c = 0;
  // Every hex digit up to the first other character counts; the low 24 bits remain.
  for (size_t i = 1; i < v.size() && std::isxdigit(static_cast<unsigned char>(v[i])); ++i)
    c = c * 16 +
        static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(v[i]))
                                  ? v[i] - '0'
                                  : std::tolower(static_cast<unsigned char>(v[i])) - 'a' + 10);
  return c & 0xFFFFFFu;
}

struct Tag {
  std::string name;  // lower case, without '/'
  bool closing = false;
  bool unquotedValue = false;  // an attribute value without quotes: the player gives up
  std::vector<std::pair<std::string, std::string>> attrs;  // lower-case names
  std::string attr(const char* n) const {
    for (auto& [k, v] : attrs)
      if (k == n) return v;
    return {};
  }
  bool has(const char* n) const {
    for (auto& [k, v] : attrs)
      if (k == n) return true;
    return false;
  }
};

// Reads the tag starting after '<' at `i`; false when the text has no closing '>'.
bool readTag(const std::string& s, size_t& i, Tag& tag) {
  size_t end = s.find('>', i);
  if (end == std::string::npos) return false;
  std::string body = s.substr(i, end - i);
  i = end + 1;
  size_t p = 0;
  auto skipSpace = [&] {
    while (p < body.size() && std::isspace(static_cast<unsigned char>(body[p]))) ++p;
  };
  skipSpace();
  if (p < body.size() && body[p] == '/') {
    tag.closing = true;
    ++p;
  }
  size_t n0 = p;
  while (p < body.size() && !std::isspace(static_cast<unsigned char>(body[p])) && body[p] != '/')
    ++p;
  tag.name = lower(body.substr(n0, p - n0));
  while (p < body.size()) {
    skipSpace();
    size_t a0 = p;
    while (p < body.size() && body[p] != '=' &&
           !std::isspace(static_cast<unsigned char>(body[p])) && body[p] != '/')
      ++p;
    std::string name = lower(body.substr(a0, p - a0));
    if (name.empty()) {
      ++p;
      continue;
    }
    skipSpace();
    std::string value;
    if (p < body.size() && body[p] == '=') {
      ++p;
      skipSpace();
      if (p < body.size() && (body[p] == '"' || body[p] == '\'')) {
        char q = body[p++];
        size_t v0 = p;
        while (p < body.size() && body[p] != q) ++p;
        value = body.substr(v0, p - v0);
        if (p < body.size()) ++p;
      } else {
        size_t v0 = p;
        while (p < body.size() && !std::isspace(static_cast<unsigned char>(body[p]))) ++p;
        value = body.substr(v0, p - v0);
        tag.unquotedValue = true;
      }
    }
    tag.attrs.emplace_back(std::move(name), std::move(value));
  }
  return true;
}

// An entity after '&' at `i`: the character, or '&' itself when it is not one.
char32_t readEntity(const std::string& s, size_t& i) {
  size_t semi = s.find(';', i);
  if (semi == std::string::npos || semi - i > 10) return U'&';
  std::string name = s.substr(i, semi - i);
  char32_t c = 0;
  if (name == "lt")
    c = U'<';
  else if (name == "gt")
    c = U'>';
  else if (name == "amp")
    c = U'&';
  else if (name == "quot")
    c = U'"';
  else if (name == "apos")
    c = U'\'';
  else if (name == "nbsp")
    c = 0xA0;
  else if (name.size() > 1 && name[0] == '#') {
    char* end = nullptr;
    long v = name[1] == 'x' || name[1] == 'X' ? std::strtol(name.c_str() + 2, &end, 16)
                                              : std::strtol(name.c_str() + 1, &end, 10);
    if (!end || *end || v <= 0 || v > 0x10FFFF) return U'&';
    c = static_cast<char32_t>(v);
  } else {
    return U'&';
  }
  i = semi + 1;
  return c;
}

}  // namespace

// ---------------------------------------------------------------- TextFormat

void TextFormat::apply(const TextFormat& o) {
  auto take = [](auto& mine, const auto& theirs) {
    if (theirs) mine = theirs;
  };
  take(font, o.font);
  take(url, o.url);
  take(target, o.target);
  take(align, o.align);
  take(size, o.size);
  take(color, o.color);
  take(leftMargin, o.leftMargin);
  take(rightMargin, o.rightMargin);
  take(indent, o.indent);
  take(leading, o.leading);
  take(blockIndent, o.blockIndent);
  take(letterSpacing, o.letterSpacing);
  take(bold, o.bold);
  take(italic, o.italic);
  take(underline, o.underline);
  take(bullet, o.bullet);
  take(kerning, o.kerning);
  take(tabStops, o.tabStops);
}

void TextFormat::intersect(const TextFormat& o) {
  auto keep = [](auto& mine, const auto& theirs) {
    if (mine != theirs) mine.reset();
  };
  keep(font, o.font);
  keep(url, o.url);
  keep(target, o.target);
  keep(align, o.align);
  keep(size, o.size);
  keep(color, o.color);
  keep(leftMargin, o.leftMargin);
  keep(rightMargin, o.rightMargin);
  keep(indent, o.indent);
  keep(leading, o.leading);
  keep(blockIndent, o.blockIndent);
  keep(letterSpacing, o.letterSpacing);
  keep(bold, o.bold);
  keep(italic, o.italic);
  keep(underline, o.underline);
  keep(bullet, o.bullet);
  keep(kerning, o.kerning);
  keep(tabStops, o.tabStops);
}

// ---------------------------------------------------------------- text encoding

std::u32string decodeText(const std::string& s, bool utf8) {
  if (utf8) return base::decodeUtf8(s);
  std::u32string out;
  out.reserve(s.size());
  for (unsigned char c : s) out.push_back(c);
  return out;
}

std::string encodeText(const std::u32string& s, bool utf8) {
  std::string out;
  out.reserve(s.size());
  for (char32_t cp : s) {
    if (utf8)
      base::appendUtf8(out, cp);
    else
      out.push_back(static_cast<char>(cp & 0xFF));
  }
  return out;
}

swf::EditTextDef createdFieldDef(double widthPx, double heightPx) {
  auto twips = [](double px) {
    return std::isfinite(px) ? static_cast<int32_t>(std::clamp(px * 20, 0.0, 107374182.0)) : 0;
  };
  swf::EditTextDef def;
  def.bounds = {0, twips(widthPx), 0, twips(heightPx)};
  def.readOnly = true;
  return def;
}

std::u32string staticTextOf(const swf::Movie& movie, const swf::TextDef& text) {
  std::u32string out;
  for (const swf::TextRecord& record : text.records) {
    const swf::FontDef* font = movie.get<swf::FontDef>(record.fontId);
    if (!font) continue;
    for (const swf::GlyphEntry& g : record.glyphs)
      if (g.index < font->codes.size()) out.push_back(font->codes[g.index]);
  }
  return out;
}

// ---------------------------------------------------------------- EditTextState

TextFormat EditTextState::defaultFormat() {
  TextFormat f;
  f.font = "Times New Roman";
  f.size = 12;
  f.color = 0;
  f.bold = f.italic = f.underline = f.bullet = f.kerning = false;
  f.url = "";
  f.target = "";
  f.align = "left";
  f.leftMargin = f.rightMargin = f.indent = f.leading = f.blockIndent = 0;
  f.letterSpacing = 0;
  f.tabStops = std::vector<double>{};
  return f;
}

EditTextState::EditTextState(const swf::EditTextDef& d, const swf::FontDef* f, bool u)
    : character(d), font(f), utf8(u) {
  borderOn = background = d.border;
  selectable = !d.noSelect;
  input = !d.readOnly;
  password = d.password;
  embedFonts = d.useOutlines;
  variable = d.variableName;
  if (d.autoSize) autoSize = "left";
  static const char* const kGridFit[] = {"none", "pixel", "subpixel"};
  antiAliasType = d.useFlashType == 1 ? "advanced" : "normal";
  // Fields without CSMTextSettings read as fitted to pixels; the definition keeps no
  // mark of the tag, so a normal field whose settings turn fitting off reads so too.
  gridFitType = d.gridFit > 0 && d.gridFit < 3 ? kGridFit[d.gridFit]
                : d.gridFit == 0 && d.useFlashType == 1 ? "none"
                                                        : "pixel";
  thickness = d.thickness;
  sharpness = d.sharpness;
  newFormat = defaultFormat();
  if (f && !f->name.empty()) {
    // Font names are stored with a terminating zero by some tools.
    std::string name = f->name;
    while (!name.empty() && name.back() == '\0') name.pop_back();
    newFormat.font = name;
  }
  if (f) {
    newFormat.bold = f->bold;
    newFormat.italic = f->italic;
  }
  if (d.hasFont) newFormat.size = d.fontHeight / 20.0;
  if (d.hasTextColor)
    newFormat.color = static_cast<double>((uint32_t(d.textColor.r) << 16) |
                                          (uint32_t(d.textColor.g) << 8) | d.textColor.b);
  if (d.hasLayout) {
    static const char* const kAlign[] = {"left", "right", "center", "justify"};
    newFormat.align = kAlign[d.align & 3];
    newFormat.leftMargin = d.leftMargin / 20.0;
    newFormat.rightMargin = d.rightMargin / 20.0;
    newFormat.indent = d.indent / 20.0;
    newFormat.leading = d.leading / 20.0;
  }
  formats_.push_back(newFormat);
  // The definition's own text is drawn from our characters from now on.
  def().hasText = false;
  if (d.hasText) {
    if (d.html)
      setHtmlText(d.initialText);
    else
      setText(d.initialText);
  }
}

std::string EditTextState::text() const { return encodeText(chars_, utf8); }

void EditTextState::setText(const std::string& t) {
  chars_.clear();
  formatIndex_.clear();
  replaceText(0, 0, decodeText(t, utf8));
}

void EditTextState::replaceText(size_t begin, size_t end, const std::u32string& text) {
  end = std::min(end, chars_.size());
  begin = std::min(begin, end);
  std::u32string add = text;
  // Flash keeps one kind of line end: \r.
  for (size_t i = 0; i < add.size(); ++i) {
    if (!crLfIsTwoBreaks && add[i] == U'\r' && i + 1 < add.size() && add[i + 1] == U'\n')
      add.erase(i + 1, 1);
    if (add[i] == U'\n') add[i] = U'\r';
  }
  const size_t room = kMaxChars - std::min(kMaxChars, chars_.size() - (end - begin));
  if (add.size() > room) add.resize(room);
  uint16_t idx = internFormat(newFormat);
  chars_.replace(begin, end - begin, add);
  formatIndex_.erase(formatIndex_.begin() + static_cast<long>(begin),
                     formatIndex_.begin() + static_cast<long>(end));
  formatIndex_.insert(formatIndex_.begin() + static_cast<long>(begin), add.size(), idx);
  shownText = encodeText(chars_, true);
  fitToText();
}

uint16_t EditTextState::internFormat(const TextFormat& f) {
  for (size_t i = 0; i < formats_.size(); ++i)
    if (formats_[i] == f) return static_cast<uint16_t>(i);
  if (formats_.size() >= 65535) return 0;  // a hostile number of formats: the first one
  formats_.push_back(f);
  return static_cast<uint16_t>(formats_.size() - 1);
}

void EditTextState::compactFormats() {
  std::vector<TextFormat> kept;
  std::vector<int> remap(formats_.size(), -1);
  for (uint16_t& i : formatIndex_) {
    if (remap[i] < 0) {
      remap[i] = static_cast<int>(kept.size());
      kept.push_back(formats_[i]);
    }
    i = static_cast<uint16_t>(remap[i]);
  }
  if (kept.empty()) kept.push_back(newFormat);
  formats_ = std::move(kept);
}

TextFormat EditTextState::formatOf(size_t begin, size_t end) const {
  end = std::min(end, chars_.size());
  if (begin >= end) {
    // An empty range reads the character before it, or the new-text format.
    if (begin > 0 && begin <= chars_.size()) return formats_[formatIndex_[begin - 1]];
    return chars_.empty() ? newFormat : formats_[formatIndex_[0]];
  }
  TextFormat f = formats_[formatIndex_[begin]];
  uint16_t last = formatIndex_[begin];
  for (size_t i = begin + 1; i < end; ++i) {
    if (formatIndex_[i] == last) continue;
    last = formatIndex_[i];
    f.intersect(formats_[last]);
  }
  return f;
}

void EditTextState::setFormat(size_t begin, size_t end, const TextFormat& format) {
  end = std::min(end, chars_.size());
  if (begin >= end) return;
  // Paragraph properties apply to whole paragraphs.
  TextFormat para;
  para.align = format.align;
  para.leftMargin = format.leftMargin;
  para.rightMargin = format.rightMargin;
  para.indent = format.indent;
  para.leading = format.leading;
  para.blockIndent = format.blockIndent;
  para.bullet = format.bullet;
  para.tabStops = format.tabStops;
  size_t pBegin = begin, pEnd = end;
  if (!(para == TextFormat{})) {
    while (pBegin > 0 && !isBreak(chars_[pBegin - 1])) --pBegin;
    while (pEnd < chars_.size() && !isBreak(chars_[pEnd])) ++pEnd;
  }
  if (formats_.size() > 1024) compactFormats();
  // Each format in the range becomes one new format: remember what it became.
  std::unordered_map<uint16_t, uint16_t> inside, outside;
  for (size_t i = pBegin; i < pEnd; ++i) {
    const bool in = i >= begin && i < end;
    auto& memo = in ? inside : outside;
    const uint16_t old = formatIndex_[i];
    auto it = memo.find(old);
    if (it == memo.end()) {
      TextFormat f = formats_[old];
      f.apply(in ? format : para);
      it = memo.emplace(old, internFormat(f)).first;
    }
    formatIndex_[i] = it->second;
  }
  fitToText();
}

// ---------------------------------------------------------------- HTML

void EditTextState::setHtmlText(const std::string& html) {
  const std::string s = utf8 ? html : encodeText(decodeText(html, false), true);  // parse as UTF-8
  struct Open {
    std::string tag;
    TextFormat format;
  };
  std::vector<Open> stack;
  TextFormat current = newFormat;
  chars_.clear();
  formatIndex_.clear();
  formats_.assign(1, newFormat);
  uint16_t currentIdx = 0;
  bool paragraphOpen = false;
  auto emit = [&](char32_t c) {
    if (chars_.size() >= kMaxChars) return;
    chars_.push_back(c);
    formatIndex_.push_back(currentIdx);
  };
  // Fields that keep paragraphs and line breaks only when multiline ignore them otherwise.
  const bool breaks = def().multiline;
  // There a paragraph's end takes the format of the last font opened in it.
  std::optional<TextFormat> endFormat;
  auto handleTag = [&](const Tag& tag) {
    if (tag.closing) {
      if (tag.name == "p") {
        if (breaks && endFormat) {
          const uint16_t keep = currentIdx;
          currentIdx = internFormat(*endFormat);
          emit(U'\r');
          currentIdx = keep;
        } else if (breaks) {
          emit(U'\r');
        }
        paragraphOpen = false;
        endFormat.reset();
      }
      if (tag.name == "li" && breaks) emit(U'\r');  // a list item ends its line
      for (size_t k = stack.size(); k-- > 0;) {
        if (stack[k].tag != tag.name) continue;
        current = stack[k].format;
        stack.resize(k);
        break;
      }
      return;
    }
    if (tag.name == "br" || tag.name == "sbr") {
      if (breaks) emit(U'\r');
      return;
    }
    if (stack.size() >= 256) return;  // nesting a hostile movie makes deep: ignored
    stack.push_back({tag.name, current});
    if (tag.name == "p") {
      if (breaks && paragraphOpen && !chars_.empty() && chars_.back() != U'\r') emit(U'\r');
      paragraphOpen = true;
      endFormat.reset();
      if (tag.has("align")) {
        std::string a = lower(tag.attr("align"));
        if (a == "left" || a == "right" || a == "center" || a == "justify") current.align = a;
      }
    } else if (tag.name == "b") {
      current.bold = true;
    } else if (tag.name == "i") {
      current.italic = true;
    } else if (tag.name == "u") {
      current.underline = true;
    } else if (tag.name == "font") {
      if (tag.has("face")) current.font = tag.attr("face");
      if (tag.has("color")) current.color = parseHtmlColor(tag.attr("color"));
      if (tag.has("size")) {
        std::string v = tag.attr("size");
        double n = std::atof(v.c_str());
        if (!v.empty() && (v[0] == '+' || v[0] == '-')) n += current.size.value_or(12);
        if (!v.empty() && std::isfinite(n)) current.size = n;
      }
      if (tag.has("letterspacing"))
        current.letterSpacing = std::atof(tag.attr("letterspacing").c_str());
      if (tag.has("kerning")) current.kerning = std::atoi(tag.attr("kerning").c_str()) != 0;
      if (htmlBreaksNeedMultiline) endFormat = current;
    } else if (tag.name == "a") {
      current.url = tag.attr("href");
      current.target = tag.attr("target");
    } else if (tag.name == "textformat") {
      auto num = [&](const char* n, std::optional<double>& slot) {
        if (tag.has(n)) slot = std::atof(tag.attr(n).c_str());
      };
      num("leftmargin", current.leftMargin);
      num("rightmargin", current.rightMargin);
      num("indent", current.indent);
      num("leading", current.leading);
      num("blockindent", current.blockIndent);
    } else if (tag.name == "li") {
      // A list item starts a line of its own.
      if (breaks && !chars_.empty() && chars_.back() != U'\r') emit(U'\r');
      current.bullet = true;
    }
  };
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == '<') {
      size_t at = i + 1;
      Tag tag;
      if (!readTag(s, at, tag)) {
        emit(U'<');
        ++i;
        continue;
      }
      if (tag.unquotedValue) break;  // the rest of the text is dropped
      i = at;
      handleTag(tag);
      currentIdx = internFormat(current);
      continue;
    }
    if (c == '&') {
      size_t at = i + 1;
      emit(readEntity(s, at));
      i = at;
      continue;
    }
    // One UTF-8 character.
    size_t len = 1;
    const unsigned char uc = static_cast<unsigned char>(c);
    if (uc >= 0xC0) len = uc >= 0xF0 ? 4 : uc >= 0xE0 ? 3 : 2;
    for (char32_t ch : decodeText(s.substr(i, len), true)) emit(ch == U'\n' ? U'\r' : ch);
    i += len;
  }
  shownText = encodeText(chars_, true);
  fitToText();
}

namespace {
// A TEXTFORMAT element of the paragraph properties that are set: none when all are 0.
std::string textFormatTag(const TextFormat& para) {
  std::string attrs;
  auto num = [&](const char* name, const std::optional<double>& v) {
    if (v.value_or(0)) attrs += std::string(" ") + name + "=\"" + numberText(*v) + "\"";
  };
  num("LEFTMARGIN", para.leftMargin);
  num("RIGHTMARGIN", para.rightMargin);
  num("INDENT", para.indent);
  num("LEADING", para.leading);
  num("BLOCKINDENT", para.blockIndent);
  if (para.tabStops && !para.tabStops->empty()) {
    attrs += " TABSTOPS=\"";
    for (size_t k = 0; k < para.tabStops->size(); ++k)
      attrs += (k ? "," : "") + numberText((*para.tabStops)[k]);
    attrs += "\"";
  }
  return attrs.empty() ? "" : "<TEXTFORMAT" + attrs + ">";
}

// The FONT attributes of a run, in the order the player writes them.
std::vector<std::pair<const char*, std::string>> fontAttrs(const TextFormat& f) {
  char color[16];
  std::snprintf(color, sizeof color, "#%06X", static_cast<unsigned>(f.color.value_or(0)) & 0xFFFFFFu);
  return {{"FACE", f.font.value_or("")},
          {"SIZE", numberText(f.size.value_or(12))},
          {"COLOR", color},
          {"LETTERSPACING", numberText(f.letterSpacing.value_or(0))},
          {"KERNING", f.kerning.value_or(false) ? "1" : "0"}};
}

// A paragraph's runs: the first in a FONT with every attribute. A later run whose font is
// that of a FONT still open goes back to it (closing those inside); another opens a FONT,
// inside the last, of what differs. All are closed at the paragraph's end. Links, bold,
// italic and underline wrap each run's text.
void writeRuns(std::string& out, const std::vector<std::pair<const TextFormat*, std::string>>& runs) {
  std::vector<std::vector<std::pair<const char*, std::string>>> open;
  for (const auto& [f, text] : runs) {
    const auto attrs = fontAttrs(*f);
    size_t level = open.size();
    while (level > 0 && open[level - 1] != attrs) --level;
    if (level > 0) {
      for (; open.size() > level; open.pop_back()) out += "</FONT>";
    } else {
      std::string tag;
      for (size_t k = 0; k < attrs.size(); ++k)
        if (open.empty() || open.back()[k].second != attrs[k].second)
          tag += std::string(" ") + attrs[k].first + "=\"" + attrs[k].second + "\"";
      out += "<FONT" + tag + ">";
      open.push_back(attrs);
    }
    const bool link = !f->url.value_or("").empty();
    if (link) out += "<A HREF=\"" + f->url.value_or("") + "\" TARGET=\"" + f->target.value_or("") + "\">";
    if (f->bold.value_or(false)) out += "<B>";
    if (f->italic.value_or(false)) out += "<I>";
    if (f->underline.value_or(false)) out += "<U>";
    base::appendXmlEscaped(out, text);
    if (f->underline.value_or(false)) out += "</U>";
    if (f->italic.value_or(false)) out += "</I>";
    if (f->bold.value_or(false)) out += "</B>";
    if (link) out += "</A>";
  }
  for (; !open.empty(); open.pop_back()) out += "</FONT>";
}
}  // namespace

std::string EditTextState::htmlText() const {
  std::string out;
  size_t i = 0;
  // Each line end closes a paragraph; text after the last one is a paragraph of its own.
  while (i < chars_.size() || (i == 0 && htmlBreaksNeedMultiline)) {
    size_t end = i;
    while (end < chars_.size() && !isBreak(chars_[end])) ++end;
    const TextFormat para = i < chars_.size() ? formats_[formatIndex_[i]] : newFormat;
    const std::string textFormat = textFormatTag(para);
    out += textFormat;
    const bool bullet = para.bullet.value_or(false);
    out += bullet ? "<LI>" : "<P ALIGN=\"" + upper(para.align.value_or("left")) + "\">";
    std::vector<std::pair<const TextFormat*, std::string>> runs;
    if (i == chars_.size()) runs.emplace_back(&para, "");
    // The line end is a run of its own when its format is not the text's before it.
    const size_t last = std::min(end + 1, chars_.size());
    for (size_t k = i; k < last;) {
      const uint16_t idx = formatIndex_[k];
      size_t runEnd = k;
      while (runEnd < last && formatIndex_[runEnd] == idx) ++runEnd;
      const size_t textEnd = std::min(runEnd, end);
      runs.emplace_back(&formats_[idx],
                        encodeText(chars_.substr(k, textEnd > k ? textEnd - k : 0), true));
      k = runEnd;
    }
    writeRuns(out, runs);
    out += bullet ? "</LI>" : "</P>";
    if (!textFormat.empty()) out += "</TEXTFORMAT>";
    i = end + 1;
  }
  return utf8 ? out : encodeText(decodeText(out, true), false);
}

std::pair<size_t, size_t> EditTextState::selection() const {
  const size_t length = chars_.size();
  if (selectionAnchor == SIZE_MAX)
    return {std::min(caretIndex, length), std::min(caretIndex, length)};
  const size_t a = std::min(selectionAnchor, length), b = std::min(caretIndex, length);
  return {std::min(a, b), std::max(a, b)};
}

// ---------------------------------------------------------------- measurement

FontMetrics EditTextState::metricsAt(const TextFormat& f) const {
  const double size = std::max(0.0, f.size.value_or(12));
  FontMetrics m;
  if (font && font->hasLayout && embedFonts) {
    const double scale = size / font->emSquare();
    m.ascent = font->ascent * scale;
    m.descent = font->descent * scale;
  } else {
    m.ascent = std::round(size * kSerifAscent);
    m.descent = std::round(size * kSerifDescent);
  }
  m.leading = f.leading.value_or(0);
  return m;
}

double EditTextState::advanceOf(char32_t c, const TextFormat& f) const {
  const double size = std::max(0.0, f.size.value_or(12));
  const double spacing = f.letterSpacing.value_or(0);
  if (font && font->hasLayout && embedFonts) {
    for (size_t g = 0; g < font->codes.size() && g < font->advances.size(); ++g)
      if (font->codes[g] == c) return font->advances[g] * size / font->emSquare() + spacing;
    return spacing;  // no glyph: nothing is drawn
  }
  // Faces other than Times New Roman measure with their own widths.
  const bool bold = f.bold.value_or(false);
  if (const font::DeviceFace* face = font::DeviceFonts::shared().face(
          f.font.value_or("Times New Roman"), bold, f.italic.value_or(false));
      face && !face->timesMeasures())
    return face->advance(c) * size + spacing;
  const double em = c >= 32 && c < 127 ? kSerifAdvances[c - 32] / 1000.0 : 0.5;
  return em * size * (f.bold.value_or(false) ? 1.05 : 1.0) + spacing;
}

namespace {
std::string fontName(std::string name) {
  while (!name.empty() && name.back() == '\0') name.pop_back();  // some tools store the zero
  return name;
}
}  // namespace

const swf::FontDef* EditTextState::fontFor(const TextFormat& format) const {
  const std::string name = format.font.value_or("");
  // The field's own font answers for its name (and for text with no font named).
  auto usable = [](const swf::FontDef* f) { return f->hasOutlines() || (f->hasLayout && !f->codes.empty()); };
  if (font && usable(font) &&
      (name.empty() || fontName(font->name).empty() || fontName(font->name) == name))
    return font;
  if (!movie) return nullptr;
  if (!fontsIndexed_) {
    fontsIndexed_ = true;
    for (const auto& [id, ch] : movie->dictionary)
      if (const auto* f = std::get_if<swf::FontDef>(&ch); f && usable(f))
        fonts_.emplace_back(fontName(f->name), f);
  }
  const bool bold = format.bold.value_or(false), italic = format.italic.value_or(false);
  const swf::FontDef* any = nullptr;
  for (const auto& [n, f] : fonts_) {
    if (n != name) continue;
    if (f->bold == bold && f->italic == italic) return f;
    if (!any) any = f;
  }
  return any;
}

std::vector<EditTextState::Line> EditTextState::layout() const {
  std::vector<Line> lines;
  for (const LaidLine& l : layoutField(*this).lines)
    lines.push_back({l.begin, l.end, l.width / 20, (l.ascent + l.descent + l.leading) / 20});
  return lines;
}

double EditTextState::textWidth() const {
  double w = 0;
  for (const Line& l : layout()) w = std::max(w, l.width);
  return w;
}

namespace {
// The lines that hold text: all but an empty one after the text's last line end, which
// takes no room (it still counts as a line to scroll to).
size_t textLines(const FieldLines& laid) {
  const std::vector<LaidLine>& l = laid.lines;
  const bool emptyLast = l.size() > 1 && l.back().begin == l.back().end;
  return l.size() - (emptyLast ? 1 : 0);
}

// The height (twips) lines [first, textLines) take: from the top of the first to the
// bottom of the last, the leading between them; a view from the first line also keeps
// that line's leading below the text.
double heightFrom(const FieldLines& laid, size_t first) {
  const size_t n = textLines(laid);
  if (first >= n) return 0;
  const std::vector<LaidLine>& l = laid.lines;
  const double h = l[n - 1].bottom() - l[first].top;
  return first == 0 ? std::max(h, l[0].ascent + l[0].descent + l[0].leading) : h;
}
}  // namespace

double EditTextState::textHeight() const {
  if (chars_.empty()) return 0;
  const FieldLines laid = layoutField(*this);
  const std::vector<LaidLine>& l = laid.lines;
  // One line keeps its leading below it; below the last of several there is none.
  const size_t n = textLines(laid);
  return (n == 1 ? l[0].ascent + l[0].descent + l[0].leading : l[n - 1].bottom() - l[0].top) / 20;
}

std::vector<std::pair<size_t, size_t>> EditTextState::lineRanges() const {
  std::vector<Line> lines = layout();
  std::vector<std::pair<size_t, size_t>> out;
  out.reserve(lines.size());
  for (size_t k = 0; k < lines.size(); ++k)
    out.emplace_back(lines[k].begin, k + 1 < lines.size() ? lines[k + 1].begin : lines[k].end);
  return out;
}

int EditTextState::lineCount() const { return static_cast<int>(layout().size()); }

int EditTextState::bottomScroll() const {
  std::vector<Line> lines = layout();
  const double room = (def().bounds.yMax - def().bounds.yMin) / 20.0 - 2 * kGutter;
  double used = 0;
  int last = scroll;
  for (size_t k = static_cast<size_t>(std::max(0, scroll - 1)); k < lines.size(); ++k) {
    used += lines[k].height;
    if (used > room + 0.01 && static_cast<int>(k) + 1 > scroll) break;
    last = static_cast<int>(k) + 1;
  }
  return last;
}

int EditTextState::maxScroll() const {
  const FieldLines laid = layoutField(*this);
  const double room = (def().bounds.yMax - def().bounds.yMin) - 2 * 20 * kGutter;
  // The first line from which every remaining line fits.
  size_t first = laid.lines.size();
  while (first > 0 && heightFrom(laid, first - 1) <= room + 0.01) --first;
  return static_cast<int>(std::clamp<size_t>(first + 1, 1, laid.lines.size()));
}

void EditTextState::fitToText() {
  if (autoSize == "none") return;
  swf::EditTextDef& d = def();
  const double w = std::ceil((textWidth() + 2 * kGutter) * 20);
  // The player makes the field one twip taller than the text and its gutters.
  const double h = std::ceil((textHeight() + 2 * kGutter) * 20) + 1;
  if (!d.wordWrap) {
    const double oldW = d.bounds.xMax - d.bounds.xMin;
    if (autoSize == "right")
      d.bounds.xMin = static_cast<int32_t>(d.bounds.xMax - w);
    else if (autoSize == "center")
      d.bounds.xMin = static_cast<int32_t>(d.bounds.xMin + (oldW - w) / 2);
    d.bounds.xMax = static_cast<int32_t>(d.bounds.xMin + w);
  }
  d.bounds.yMax = static_cast<int32_t>(d.bounds.yMin + h);
}

}  // namespace orv::movie
