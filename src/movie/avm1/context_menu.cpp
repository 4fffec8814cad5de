// ContextMenu at work: the player finds the menu a right click opens and runs what the
// user chose (the classes themselves are in builtins_system.cpp).
#include "movie/avm1/context_menu.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "movie/avm1/text.h"

namespace orv::movie::avm1 {
namespace {

// What the machine keeps of the menu last opened, on an object of its own so that the
// collector keeps the owner and the items alive while the menu is up.
struct OpenMenu {
  Object* holder = nullptr;
};

Object* holderOf(Vm& vm) {
  OpenMenu& open = vm.builtinState<OpenMenu>();
  if (!open.holder) {
    open.holder = vm.newObject();
    vm.pin(open.holder);
  }
  return open.holder;
}

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}

// Compared without regard to case, punctuation or white space.
std::string captionKey(const std::string& caption) {
  std::string key;
  for (unsigned char c : caption)
    if (c >= 0x80 || std::isalnum(c)) key += static_cast<char>(std::tolower(c));
  return key;
}

// Entries of the player's own menus: a movie cannot add one that reads the same.
const std::set<std::string>& reservedKeys() {
  static const std::set<std::string> keys = [] {
    std::set<std::string> k;
    for (const char* c :
         {"Save", "Zoom In", "Zoom Out", "100%", "Show All", "Quality", "Play", "Loop", "Rewind",
          "Forward", "Back", "Movie not loaded", "About", "Print", "Show Redraw Regions",
          "Debugger", "Undo", "Cut", "Copy", "Paste", "Delete", "Select All", "Open",
          "Open in new window", "Copy link", "About Orvanta..."})
      k.insert(captionKey(c));
    return k;
  }();
  return keys;
}

// How far into customItems the player looks for items it accepts.
constexpr size_t kMostEntriesRead = 1000;

// Names no item may carry even among other words.
constexpr const char* kKeptNames[] = {"adobe", "macromedia", "flashplayer", "settings"};

void readBuiltIns(Vm& vm, const Value& menu, ScriptMenu& out) {
  const Value items = vm.getMember(menu, "builtInItems");
  if (!items.isObject()) return;
  struct Flag {
    const char* name;
    bool ScriptMenu::*flag;
  };
  static constexpr Flag kFlags[] = {
      {"zoom", &ScriptMenu::zoom},       {"quality", &ScriptMenu::quality},
      {"play", &ScriptMenu::play},       {"loop", &ScriptMenu::loop},
      {"rewind", &ScriptMenu::rewind},   {"forward_back", &ScriptMenu::forwardBack},
      {"print", &ScriptMenu::print},     {"save", &ScriptMenu::save},
  };
  for (const Flag& f : kFlags) {
    const Value v = vm.getMember(items, f.name);
    // A switch scripts removed leaves the entry as it was.
    if (!v.isUndefined()) out.*f.flag = vm.toBool(v);
  }
}

// The custom items the player accepts, into `out` and (the objects) into `kept`.
void readItems(Vm& vm, const Value& menu, ScriptMenu& out, std::vector<Value>& kept) {
  const Value list = vm.getMember(menu, "customItems");
  if (!list.isObject()) return;
  std::set<std::string> seen;
  // Read an entry at a time: a list claiming a huge length is not copied whole.
  const double length = vm.toNumber(vm.getMember(list, "length"));
  const double most = std::isfinite(length) ? std::clamp(length, 0.0, double(kMostEntriesRead)) : 0;
  for (size_t i = 0; i < static_cast<size_t>(most); ++i) {
    if (out.items.size() >= ScriptMenu::kMostItems) break;
    const Value item = vm.getMember(list, std::to_string(i));
    if (!item.isObject()) continue;
    std::string caption = vm.toString(vm.getMember(item, "caption"));
    if (vm.version() < 6) caption = text::encode(text::decode(caption, false), true);
    caption = acceptedCaption(caption);
    // A caption seen before is left out, whether that item shows or not.
    if (caption.empty() || !seen.insert(captionKey(caption)).second) continue;
    ScriptMenuItem facts;
    facts.caption = std::move(caption);
    facts.enabled = vm.toBool(vm.getMember(item, "enabled"));
    facts.visible = vm.toBool(vm.getMember(item, "visible"));
    facts.separatorBefore = vm.toBool(vm.getMember(item, "separatorBefore"));
    out.items.push_back(std::move(facts));
    kept.push_back(item);
  }
}

}  // namespace

std::string acceptedCaption(const std::string& caption) {
  std::string shown;
  for (unsigned char c : caption)
    if (c >= 0x20 && c != 0x7F) shown += static_cast<char>(c);
  const size_t first = shown.find_first_not_of(' ');
  shown = first == std::string::npos ? "" : shown.substr(first, shown.find_last_not_of(' ') - first + 1);
  if (text::length(shown, true) > ScriptMenu::kLongestCaption) return "";
  const std::string key = captionKey(shown);
  if (key.empty() || reservedKeys().count(key)) return "";
  for (const char* name : kKeptNames)
    if (key.find(name) != std::string::npos) return "";
  return shown;
}

ScriptMenu openMenu(Vm& vm, std::span<ScriptClip* const> underPointer) {
  ScriptMenu out;
  out.showMenu = stageShowsMenu(vm);
  Object* holder = holderOf(vm);
  vm.runGuarded([&] {
    vm.setMember(holder, "owner", Value());
    vm.setMember(holder, "items", Value());
    Value owner, menu;
    auto menuOf = [&](ScriptClip* clip) {
      Object* self = clip ? vm.objectFor(clip) : nullptr;
      if (!self) return false;
      Value m = vm.getMember(self, "menu");
      if (!m.isObject()) return false;
      owner = Value(self);
      menu = m;
      return true;
    };
    bool found = false;
    for (ScriptClip* clip : underPointer)
      if ((found = menuOf(clip))) break;
    if (!found && !menuOf(vm.rootClip())) return;
    vm.setMember(holder, "owner", owner);
    const Value onSelect = vm.getMember(menu, "onSelect");
    if (isFunction(onSelect)) {
      Value args[] = {owner, menu};
      vm.call(onSelect, menu, args);
    }
    readBuiltIns(vm, menu, out);
    std::vector<Value> kept;
    readItems(vm, menu, out, kept);
    vm.setMember(holder, "items", Value(vm.newArray(std::move(kept))));
  });
  return out;
}

bool selectMenuItem(Vm& vm, size_t index) {
  Object* holder = holderOf(vm);
  bool ran = false;
  vm.runGuarded([&] {
    const Value items = vm.getMember(holder, "items");
    if (!items.isObject()) return;
    const std::vector<Value> kept = vm.arrayElements(items.asObject());
    if (index >= kept.size()) return;
    const Value item = kept[index];
    // The item as it is now: a handler may have switched it off since the menu opened.
    if (!vm.toBool(vm.getMember(item, "enabled")) || !vm.toBool(vm.getMember(item, "visible")))
      return;
    const Value onSelect = vm.getMember(item, "onSelect");
    if (!isFunction(onSelect)) return;
    Value args[] = {vm.getMember(holder, "owner"), item};
    ran = true;
    vm.call(onSelect, item, args);
  });
  return ran;
}

}  // namespace orv::movie::avm1
