// The keyboard's way into the scripts: which object holds the focus, moving it with its
// events, and what scripts say about Tab's order (tabEnabled, tabChildren, tabIndex) and
// the focus rectangle (_focusrect).
#include <cmath>
#include <variant>

#include "movie/text/edit_text.h"
#include "movie/avm1/text_format_object.h"
#include "movie/avm1_host/timeline_bridge.h"

namespace orv::movie::avm1 {

DisplayObject* TimelineBridge::focusedObject() {
  auto* bridge = dynamic_cast<ClipBridge*>(keyboardFocus(*vm_));
  DisplayObject* object = bridge ? bridge->object() : nullptr;
  // Only while it is on a display list that reaches the stage (a level's root).
  for (DisplayObject* d = object; d; d = d->parent) {
    if (!d->parent) return stage_.levelOf(*d) >= 0 ? object : nullptr;
    if (d->parent->objectAt(d->depth) != d) return nullptr;
  }
  return nullptr;
}

void TimelineBridge::focusObject(DisplayObject* object) {
  moveKeyboardFocus(*vm_, object ? bridgeFor(object) : nullptr);
  stage_.dispatchEvents();
}

TimelineBridge::TabFacts TimelineBridge::tabFacts(DisplayObject& object) {
  TabFacts facts;
  Object* self = bridgeFor(&object)->scriptObject;
  // A script property: undefined when scripts never reached the object or never set it.
  auto member = [&](const char* name) { return self ? vm_->getMember(self, name) : Value(); };
  const Value tabEnabled = member("tabEnabled");
  const bool enabledSet = !tabEnabled.isUndefined();
  const bool enabled = enabledSet && vm_->toBool(tabEnabled);
  const Value index = member("tabIndex");
  if (index.isNumber() && std::isfinite(index.asNumber())) {
    facts.hasIndex = true;
    facts.index = vm_->toInt(index);  // ordered as 32-bit signed: 4294967293 is -3
  }
  const auto* edit = object.character ? std::get_if<swf::EditTextDef>(object.character) : nullptr;
  if (edit || object.editText) {
    // Input fields only (tabEnabled true makes no other field a stop).
    const EditTextState* live = object.editText.get();
    const bool input = live ? live->input : !edit->readOnly;
    facts.stop = input && (!enabledSet || enabled);
    return facts;
  }
  if (object.character && std::holds_alternative<swf::ButtonDef>(*object.character)) {
    facts.stop = (!enabledSet || enabled) && buttonTakesMouse(object, nullptr);
    return facts;
  }
  if (!object.asClip()) return facts;
  facts.stop = enabledSet ? enabled : clipTakesMouse(object, nullptr);
  const Value children = member("tabChildren");
  facts.intoChildren = children.isUndefined() || vm_->toBool(children);
  return facts;
}

void TimelineBridge::keyToFocused(bool down) {
  DisplayObject* focused = focusedObject();
  if (!focused || focused->editText ||
      (focused->character && std::holds_alternative<swf::EditTextDef>(*focused->character)))
    return;
  auto keep = focused->shared_from_this();  // the handler may take it off the stage
  if (Object* self = bridgeFor(focused)->scriptObject)
    vm_->callMethodIfPresent(self, down ? "onKeyDown" : "onKeyUp");
  stage_.dispatchEvents();
}

bool TimelineBridge::focusRectShown(DisplayObject& object) {
  if (object.focusRect >= 0) return object.focusRect != 0;
  return stage_.root().focusRect != 0;
}

}  // namespace orv::movie::avm1
