// Stage: the movie's view of the player window. Its size comes from the host; align,
// scaleMode and displayState keep what scripts set, in the player's canonical spelling.
#include <cctype>
#include <string>

#include "movie/avm1/context_menu.h"
#include "movie/avm1/host_builtins.h"
#include "movie/avm1/native_table.h"

namespace orv::movie::avm1 {

namespace {

struct StageSettings {
  std::string align;
  std::string scaleMode = "showAll";
  std::string displayState = "normal";
  bool showMenu = true;
};

bool sameIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

// The player keeps only the edge letters it knows, in the order L, T, R, B.
std::string canonicalAlign(const std::string& text) {
  std::string out;
  for (char edge : {'L', 'T', 'R', 'B'})
    for (char ch : text)
      if (std::toupper(static_cast<unsigned char>(ch)) == edge) {
        out += edge;
        break;
      }
  return out;
}

// One of `names` matched without regard to case; the stored value is left alone when
// the text names none of them.
void setNamed(std::string& stored, const std::string& text,
              std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (sameIgnoringCase(text, n)) {
      stored = n;
      return;
    }
}

StageSettings& settings(Vm& vm) { return vm.builtinState<StageSettings>(); }

Value width(Vm& vm, CallInfo&) { return Value(static_cast<double>(vm.host().stageWidth())); }

Value height(Vm& vm, CallInfo&) { return Value(static_cast<double>(vm.host().stageHeight())); }

Value align(Vm& vm, CallInfo&) { return Value(settings(vm).align); }

Value setAlign(Vm& vm, CallInfo& c) {
  settings(vm).align = canonicalAlign(vm.toString(c.arg(0)));
  return Value();
}

Value scaleMode(Vm& vm, CallInfo&) { return Value(settings(vm).scaleMode); }

Value setScaleMode(Vm& vm, CallInfo& c) {
  setNamed(settings(vm).scaleMode, vm.toString(c.arg(0)),
           {"showAll", "noBorder", "exactFit", "noScale"});
  return Value();
}

Value displayState(Vm& vm, CallInfo&) { return Value(settings(vm).displayState); }

Value setDisplayState(Vm& vm, CallInfo& c) {
  setNamed(settings(vm).displayState, vm.toString(c.arg(0)), {"normal", "fullScreen"});
  return Value();
}

Value showMenu(Vm& vm, CallInfo&) { return Value(settings(vm).showMenu); }

Value setShowMenu(Vm& vm, CallInfo& c) {
  settings(vm).showMenu = vm.toBool(c.arg(0));
  return Value();
}

constexpr uint8_t kFixed = kDontEnum | kDontDelete;
constexpr NativeMember kStage[] = {
    // The size is the host's: it cannot be set (though its setter's number gives a
    // function that takes the value and does nothing).
    getter("width", width, kFixed).asnative(666, 5),
    numberOnly(666, 6, nothing),
    getter("height", height, kFixed).asnative(666, 7),
    numberOnly(666, 8, nothing),
    getter("align", align, kFixed).asnative(666, 3),
    setter("align", setAlign, kFixed).asnative(666, 4),
    getter("scaleMode", scaleMode, kFixed).asnative(666, 1),
    setter("scaleMode", setScaleMode, kFixed).asnative(666, 2),
    getter("displayState", displayState, kFixed),
    setter("displayState", setDisplayState, kFixed),
    getter("showMenu", showMenu, kFixed).asnative(666, 9),
    setter("showMenu", setShowMenu, kFixed).asnative(666, 10),
};

}  // namespace

bool stageShowsMenu(Vm& vm) { return settings(vm).showMenu; }

void installStageObject(Vm& vm, Object* broadcaster) {
  Object* stage = vm.newObject();
  vm.global->put("Stage", stage, kDontEnum, vm.caseInsensitive());
  // Listeners for onResize and onFullScreen came with SWF 6.
  if (vm.version() >= 6 && broadcaster) {
    Value init = vm.getMember(broadcaster, "initialize");
    Value target(stage);
    vm.call(init, Value(), std::span<Value>(&target, 1));
  }
  installMembers(vm, stage, kStage);
}

}  // namespace orv::movie::avm1
