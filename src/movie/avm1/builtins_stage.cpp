// Stage: the movie's view of the player window. Its size comes from the host; align,
// scaleMode and displayState keep what scripts set, in the player's canonical spelling.
#include <cctype>
#include <memory>
#include <string>

#include "movie/avm1/host_builtins.h"

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

void defineAccessor(Vm& vm, Object* target, const char* name, NativeFn get, NativeFn set) {
  Property& p = target->defineOwn(name, vm.caseInsensitive());
  p.getter = vm.newNative(std::move(get));
  if (set) p.setter = vm.newNative(std::move(set));
  p.flags = kDontEnum | kDontDelete;
}

}  // namespace

void installStageObject(Vm& vm, Object* broadcaster) {
  const bool ci = vm.caseInsensitive();
  Object* stage = vm.newObject();
  vm.global->put("Stage", stage, kDontEnum, ci);
  // Listeners for onResize and onFullScreen came with SWF 6.
  if (vm.version() >= 6 && broadcaster) {
    Value init = vm.getMember(broadcaster, "initialize");
    Value target(stage);
    vm.call(init, Value(), std::span<Value>(&target, 1));
  }
  auto settings = std::make_shared<StageSettings>();

  defineAccessor(
      vm, stage, "width",
      [](Vm& vm, CallInfo&) -> Value { return Value(static_cast<double>(vm.host().stageWidth())); },
      nullptr);
  defineAccessor(
      vm, stage, "height",
      [](Vm& vm, CallInfo&) -> Value {
        return Value(static_cast<double>(vm.host().stageHeight()));
      },
      nullptr);
  defineAccessor(
      vm, stage, "align", [settings](Vm&, CallInfo&) -> Value { return Value(settings->align); },
      [settings](Vm& vm, CallInfo& c) -> Value {
        settings->align = canonicalAlign(vm.toString(c.arg(0)));
        return Value();
      });
  defineAccessor(
      vm, stage, "scaleMode",
      [settings](Vm&, CallInfo&) -> Value { return Value(settings->scaleMode); },
      [settings](Vm& vm, CallInfo& c) -> Value {
        setNamed(settings->scaleMode, vm.toString(c.arg(0)),
                 {"showAll", "noBorder", "exactFit", "noScale"});
        return Value();
      });
  defineAccessor(
      vm, stage, "displayState",
      [settings](Vm&, CallInfo&) -> Value { return Value(settings->displayState); },
      [settings](Vm& vm, CallInfo& c) -> Value {
        setNamed(settings->displayState, vm.toString(c.arg(0)), {"normal", "fullScreen"});
        return Value();
      });
  defineAccessor(
      vm, stage, "showMenu",
      [settings](Vm&, CallInfo&) -> Value { return Value(settings->showMenu); },
      [settings](Vm& vm, CallInfo& c) -> Value {
        settings->showMenu = vm.toBool(c.arg(0));
        return Value();
      });
}

}  // namespace orv::movie::avm1
