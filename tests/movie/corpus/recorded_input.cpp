#include "movie/corpus/recorded_input.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "player/button_keys.h"

namespace orv::movie::corpus {
namespace {

// Just enough JSON for input files: objects, arrays, strings, numbers, literals.
struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  double number = 0;
  std::string text;  // UTF-8
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  const Json* get(const std::string& key) const {
    for (const auto& [k, v] : members)
      if (k == key) return &v;
    return nullptr;
  }
  std::string str(const std::string& key) const {
    const Json* v = get(key);
    return v && v->type == Type::String ? v->text : "";
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& s) : s_(s) {}
  std::optional<Json> document() {
    auto v = value(0);
    skipSpace();
    if (!v || i_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void skipSpace() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  bool take(char c) {
    skipSpace();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  std::optional<Json> value(int depth) {
    if (depth > 64) return std::nullopt;
    skipSpace();
    if (i_ >= s_.size()) return std::nullopt;
    Json v;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.type = Json::Type::Object;
      if (take('}')) return v;
      do {
        skipSpace();
        auto key = string();
        if (!key || !take(':')) return std::nullopt;
        auto item = value(depth + 1);
        if (!item) return std::nullopt;
        v.members.emplace_back(*key, std::move(*item));
      } while (take(','));
      if (!take('}')) return std::nullopt;
    } else if (c == '[') {
      ++i_;
      v.type = Json::Type::Array;
      if (take(']')) return v;
      do {
        auto item = value(depth + 1);
        if (!item) return std::nullopt;
        v.items.push_back(std::move(*item));
      } while (take(','));
      if (!take(']')) return std::nullopt;
    } else if (c == '"') {
      auto text = string();
      if (!text) return std::nullopt;
      v.type = Json::Type::String;
      v.text = *text;
    } else if (s_.compare(i_, 4, "true") == 0 || s_.compare(i_, 5, "false") == 0) {
      v.type = Json::Type::Bool;
      v.number = s_[i_] == 't';
      i_ += s_[i_] == 't' ? 4 : 5;
    } else if (s_.compare(i_, 4, "null") == 0) {
      i_ += 4;
    } else {
      size_t used = 0;
      try {
        v.number = std::stod(s_.substr(i_, 40), &used);
      } catch (...) {
        return std::nullopt;
      }
      v.type = Json::Type::Number;
      i_ += used;
    }
    return v;
  }
  static void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  std::optional<std::string> string() {
    if (i_ >= s_.size() || s_[i_] != '"') return std::nullopt;
    ++i_;
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return std::nullopt;
      c = s_[i_++];
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          if (i_ + 4 > s_.size()) return std::nullopt;
          uint32_t code = uint32_t(std::stoul(s_.substr(i_, 4), nullptr, 16));
          i_ += 4;
          if (code >= 0xD800 && code < 0xDC00 && s_.compare(i_, 2, "\\u") == 0 &&
              i_ + 6 <= s_.size()) {
            const uint32_t low = uint32_t(std::stoul(s_.substr(i_ + 2, 4), nullptr, 16));
            if (low >= 0xDC00 && low < 0xE000) {
              code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
              i_ += 6;
            }
          }
          appendUtf8(out, code);
          break;
        }
        default:
          out += c;
      }
    }
    if (i_ >= s_.size()) return std::nullopt;
    ++i_;
    return out;
  }

  const std::string& s_;
  size_t i_ = 0;
};

std::u32string fromUtf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = s[i];
    const int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) c = (c << 6) | (s[i + k] & 0x3F);
    out += c;
    i += 1 + extra;
  }
  return out;
}

// A key as the input files name it, as Windows numbers it (US layout); 0 when unknown.
int keyCode(const Json& key) {
  if (key.type == Json::Type::String) {
    static const std::map<std::string, int> named = {
        {"Backspace", 8},   {"Tab", 9},          {"Enter", 13},        {"LeftShift", 16},
        {"RightShift", 16}, {"LeftControl", 17}, {"RightControl", 17}, {"LeftAlt", 18},
        {"RightAlt", 18},   {"CapsLock", 20},    {"Escape", 27},       {"Space", 32},
        {"PageUp", 33},     {"PageDown", 34},    {"End", 35},          {"Home", 36},
        {"Left", 37},       {"Up", 38},          {"Right", 39},        {"Down", 40},
        {"ArrowLeft", 37},  {"ArrowUp", 38},     {"ArrowRight", 39},   {"ArrowDown", 40},
        {"Insert", 45},     {"Delete", 46},      {"NumpadEnd", 35},    {"NumLock", 144}};
    if (auto it = named.find(key.text); it != named.end()) return it->second;
    if (key.text.size() >= 2 && key.text[0] == 'F' && std::isdigit((unsigned char)key.text[1]))
      return 111 + std::atoi(key.text.c_str() + 1);
    return 0;
  }
  if (const Json* numpad = key.get("Numpad"); numpad && numpad->text.size() == 1) {
    const char c = numpad->text[0];
    if (c >= '0' && c <= '9') return 96 + (c - '0');
    static const std::string ops = "*+ -./";  // 106 .. 111
    if (auto at = ops.find(c); at != std::string::npos && c != ' ') return 106 + int(at);
    return 0;
  }
  const Json* ch = key.get("Char");
  if (!ch || ch->text.size() != 1) return 0;
  const char c = ch->text[0];
  if (std::isalpha(static_cast<unsigned char>(c)))
    return std::toupper(static_cast<unsigned char>(c));
  if (c >= '0' && c <= '9') return c;
  static const std::map<char, int> punctuation = {
      {';', 186}, {':', 186}, {'=', 187},  {'+', 187}, {',', 188}, {'<', 188}, {'-', 189},
      {'_', 189}, {'.', 190}, {'>', 190},  {'/', 191}, {'?', 191}, {'`', 192}, {'~', 192},
      {'[', 219}, {'{', 219}, {'\\', 220}, {'|', 220}, {']', 221}, {'}', 221}, {'\'', 222},
      {'"', 222}, {' ', 32},  {'!', 49},   {'@', 50},  {'#', 51},  {'$', 52},  {'%', 53},
      {'^', 54},  {'&', 55},  {'*', 56},   {'(', 57},  {')', 48}};
  auto it = punctuation.find(c);
  return it == punctuation.end() ? 0 : it->second;
}

// TextControl commands as the keys that do them in a field (Player::keyPress codes).
std::optional<RecordedEvent> textControl(const std::string& code) {
  using K = RecordedEvent::Kind;
  if (code == "Paste") return RecordedEvent{K::Paste};
  if (code == "Copy") return RecordedEvent{K::Copy};
  if (code == "Cut") return RecordedEvent{K::Cut};
  static const std::map<std::string, int> keys = {{"MoveLeft", 1},
                                                  {"MoveRight", 2},
                                                  {"MoveLeftDocument", 3},
                                                  {"MoveRightDocument", 4},
                                                  {"Backspace", 8},
                                                  {"Delete", 6},
                                                  {"Enter", 13}};
  if (auto it = keys.find(code); it != keys.end())
    return RecordedEvent{K::EditKey, 0, 0, it->second};
  return std::nullopt;
}

std::optional<RecordedEvent> eventFrom(const Json& e, std::string& problem) {
  using K = RecordedEvent::Kind;
  const std::string type = e.str("type");
  auto at = [&](K kind) -> std::optional<RecordedEvent> {
    const Json* pos = e.get("pos");
    if (!pos || pos->items.size() != 2) {
      problem = type + " without a position";
      return std::nullopt;
    }
    return RecordedEvent{kind, pos->items[0].number, pos->items[1].number};
  };
  if (type == "MouseMove") return at(K::MouseMove);
  if (type == "MouseDown" || type == "MouseUp") {
    // The middle and right buttons reach ActionScript 3 movies only (`code` 1 and 2).
    const std::string btn = e.str("btn");
    const int code = btn == "Left" ? 0 : btn == "Middle" ? 1 : btn == "Right" ? 2 : -1;
    if (code < 0) return std::nullopt;
    std::optional<RecordedEvent> made = at(type == "MouseDown" ? K::MouseDown : K::MouseUp);
    if (made) made->code = code;
    return made;
  }
  if (type == "MouseWheel") {
    const Json* lines = e.get("lines");
    return RecordedEvent{K::Wheel, 0, 0, lines ? int(std::lround(lines->number)) : 0};
  }
  if (type == "KeyDown" || type == "KeyUp") {
    const Json* key = e.get("key");
    const int code = key ? keyCode(*key) : 0;
    if (code == 0) {
      problem = "a key this reader does not know";
      return std::nullopt;
    }
    return RecordedEvent{type == "KeyDown" ? K::KeyDown : K::KeyUp, 0, 0, code};
  }
  if (type == "TextInput") return RecordedEvent{K::Text, 0, 0, 0, fromUtf8(e.str("codepoint"))};
  if (type == "SetClipboardText")
    return RecordedEvent{K::Clipboard, 0, 0, 0, fromUtf8(e.str("text"))};
  if (type == "TextControl") {
    auto control = textControl(e.str("code"));
    if (!control) problem = "text control " + e.str("code");
    return control;
  }
  if (type == "FocusGained" || type == "FocusLost")
    return RecordedEvent{K::WindowFocus, 0, 0, type == "FocusGained" ? 1 : 0};
  // An input method's composition reaches no movie here.
  if (type.rfind("Ime", 0) == 0) return std::nullopt;
  problem = "event " + type;
  return std::nullopt;
}

}  // namespace

RecordedInput readRecordedInput(const std::filesystem::path& path,
                                std::vector<std::string>* problems) {
  RecordedInput input;
  std::ifstream in(path, std::ios::binary);
  if (!in) return input;
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  auto doc = JsonReader(text).document();
  if (!doc || doc->type != Json::Type::Array) {
    if (problems) problems->push_back(path.string() + ": not a list of events");
    return input;
  }
  int tick = 1;
  for (const Json& e : doc->items) {
    if (e.str("type") == "Wait") {
      ++tick;
      continue;
    }
    std::string problem;
    if (auto event = eventFrom(e, problem))
      input[tick].push_back(std::move(*event));
    else if (!problem.empty() && problems)
      problems->push_back(path.string() + ": " + problem);
  }
  return input;
}

void replay(Player& player, const ViewRect& stage, const std::vector<RecordedEvent>& events,
            ReplayState& state) {
  using K = RecordedEvent::Kind;
  for (const RecordedEvent& e : events) {
    const double x = stage.x + e.x * 20.0, y = stage.y + e.y * 20.0;
    switch (e.kind) {
      case K::MouseMove:
      case K::MouseDown:
      case K::MouseUp:
        state.x = x;
        state.y = y;
        if (e.kind == K::MouseMove) player.mouseMove(x, y);
        if (e.kind != K::MouseMove && e.code != 0)
          player.otherButton(x, y, e.code == 2, e.kind == K::MouseDown);
        else if (e.kind == K::MouseDown)
          player.mouseDown(x, y);
        else if (e.kind == K::MouseUp)
          player.mouseUp(x, y);
        break;
      case K::WindowFocus:
        player.windowFocus(e.code != 0);
        break;
      case K::Wheel:
        player.mouseWheel(state.x, state.y, e.code);
        break;
      case K::KeyDown:
        // As the window does: the key, then the editing key it is for text fields.
        player.keyDown(e.code);
        if (int key = buttonKeyFromVirtualKey(unsigned(e.code))) player.keyPress(key);
        break;
      case K::KeyUp:
        player.keyUp(e.code);
        break;
      case K::Text:
        for (char32_t c : e.text)
          if (int key = buttonKeyFromCharacter(unsigned(c))) player.keyPress(key);
        break;
      case K::EditKey:
        player.keyPress(e.code);
        break;
      case K::Paste:
        player.pasteText(state.clipboard);
        break;
      case K::Copy:
      case K::Cut:
        if (auto taken = player.selectedText(e.kind == K::Cut); !taken.empty())
          state.clipboard = taken;
        break;
      case K::Clipboard:
        state.clipboard = e.text;
        break;
    }
  }
}

}  // namespace orv::movie::corpus
