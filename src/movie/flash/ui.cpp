// flash.ui: Keyboard's key codes and lock keys, KeyLocation, Mouse (the pointer shown or
// hidden through the host) and MouseCursor.
#include <string>
#include <vector>

#include "movie/avm2/toplevel.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

#define ORV_KEY(name, code) {name, MemberKind::Constant, nullptr, 0, code}
#define ORV_TEXT(name, text) {name, MemberKind::Constant, nullptr, 0, 0, text}

Value capsLock(Machine& m, const Value&, std::span<Value>) {
  return Value(m.host && m.host->lockKey(false));
}
Value numLock(Machine& m, const Value&, std::span<Value>) {
  return Value(m.host && m.host->lockKey(true));
}
Value no(Machine&, const Value&, std::span<Value>) { return Value(false); }
Value keyboardType(Machine& m, const Value&, std::span<Value>) {
  return Value(m.intern("alphanumeric"));
}

const NativeMember kKeyboardMembers[] = {
    {"capsLock", MemberKind::StaticGetter, capsLock},
    {"numLock", MemberKind::StaticGetter, numLock},
    {"hasVirtualKeyboard", MemberKind::StaticGetter, no},
    {"physicalKeyboardType", MemberKind::StaticGetter, keyboardType},
    {"isAccessible", MemberKind::StaticMethod, no},
    ORV_KEY("BACKSPACE", 8), ORV_KEY("TAB", 9), ORV_KEY("ENTER", 13), ORV_KEY("COMMAND", 15),
    ORV_KEY("SHIFT", 16), ORV_KEY("CONTROL", 17), ORV_KEY("ALTERNATE", 18),
    ORV_KEY("CAPS_LOCK", 20), ORV_KEY("NUMPAD", 21), ORV_KEY("ESCAPE", 27), ORV_KEY("SPACE", 32),
    ORV_KEY("PAGE_UP", 33), ORV_KEY("PAGE_DOWN", 34), ORV_KEY("END", 35), ORV_KEY("HOME", 36),
    ORV_KEY("LEFT", 37), ORV_KEY("UP", 38), ORV_KEY("RIGHT", 39), ORV_KEY("DOWN", 40),
    ORV_KEY("INSERT", 45), ORV_KEY("DELETE", 46), ORV_KEY("NUMPAD_MULTIPLY", 106),
    ORV_KEY("NUMPAD_ADD", 107), ORV_KEY("NUMPAD_ENTER", 108), ORV_KEY("NUMPAD_SUBTRACT", 109),
    ORV_KEY("NUMPAD_DECIMAL", 110), ORV_KEY("NUMPAD_DIVIDE", 111), ORV_KEY("SEMICOLON", 186),
    ORV_KEY("EQUAL", 187), ORV_KEY("COMMA", 188), ORV_KEY("MINUS", 189), ORV_KEY("PERIOD", 190),
    ORV_KEY("SLASH", 191), ORV_KEY("BACKQUOTE", 192), ORV_KEY("LEFTBRACKET", 219),
    ORV_KEY("BACKSLASH", 220), ORV_KEY("RIGHTBRACKET", 221), ORV_KEY("QUOTE", 222),
};

// The letters, digits, keypad digits and function keys, named by pattern.
std::vector<NativeMember> keyRows(std::vector<std::string>& names) {
  names.clear();
  names.reserve(26 + 10 + 10 + 15);
  std::vector<NativeMember> rows;
  auto add = [&](std::string name, int code) {
    names.push_back(std::move(name));
    rows.push_back({nullptr, MemberKind::Constant, nullptr, 0, double(code)});
  };
  for (int i = 0; i < 26; ++i) add(std::string(1, char('A' + i)), 65 + i);
  for (int i = 0; i < 10; ++i) add("NUMBER_" + std::to_string(i), 48 + i);
  for (int i = 0; i < 10; ++i) add("NUMPAD_" + std::to_string(i), 96 + i);
  for (int i = 1; i <= 15; ++i) add("F" + std::to_string(i), 111 + i);
  for (size_t i = 0; i < rows.size(); ++i) rows[i].name = names[i].c_str();
  return rows;
}

const NativeMember kKeyLocationMembers[] = {
    ORV_KEY("STANDARD", 0), ORV_KEY("LEFT", 1), ORV_KEY("RIGHT", 2),
    ORV_KEY("NUM_PAD", 3),  ORV_KEY("D_PAD", 4),
};

Value hide(Machine& m, const Value&, std::span<Value>) {
  if (m.host) m.host->setPointerHidden(true);
  return Value();
}
Value show(Machine& m, const Value&, std::span<Value>) {
  if (m.host) m.host->setPointerHidden(false);
  return Value();
}
Value yes(Machine&, const Value&, std::span<Value>) { return Value(true); }

const NativeMember kMouseMembers[] = {
    {"hide", MemberKind::StaticMethod, hide},
    {"show", MemberKind::StaticMethod, show},
    {"supportsCursor", MemberKind::StaticGetter, yes},
    {"supportsNativeCursor", MemberKind::StaticGetter, yes},
};

const NativeMember kCursorMembers[] = {
    ORV_TEXT("ARROW", "arrow"), ORV_TEXT("AUTO", "auto"), ORV_TEXT("BUTTON", "button"),
    ORV_TEXT("HAND", "hand"),   ORV_TEXT("IBEAM", "ibeam"),
};

#undef ORV_KEY
#undef ORV_TEXT

}  // namespace

void installUiClasses(Machine& m) {
  std::vector<std::string> names;
  std::vector<NativeMember> rows(std::begin(kKeyboardMembers), std::end(kKeyboardMembers));
  std::vector<NativeMember> patterned = keyRows(names);
  rows.insert(rows.end(), patterned.begin(), patterned.end());
  // installClass interns the names: `names` need not outlive it.
  installClass(m, {.package = "flash.ui", .name = "Keyboard", .members = rows, .dynamic = false,
                   .isFinal = true});
  installClass(m, {.package = "flash.ui", .name = "KeyLocation", .members = kKeyLocationMembers,
                   .dynamic = false, .isFinal = true});
  installClass(m, {.package = "flash.ui", .name = "Mouse", .members = kMouseMembers,
                   .dynamic = false, .isFinal = true});
  installClass(m, {.package = "flash.ui", .name = "MouseCursor", .members = kCursorMembers,
                   .dynamic = false, .isFinal = true});
}

}  // namespace orv::movie::avm2
