// MovieClip.setMask: one clip's shapes mask another, wherever each of them is.
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

void ClipBridge::setMask(ScriptClip* maskClip) {
  auto self = object_.lock();
  if (!self) return;
  // The clip's old mask is shown again.
  if (auto old = self->scriptMask.lock(); old && old->masking.lock() == self) old->masking.reset();
  self->scriptMask.reset();
  auto* bridge = dynamic_cast<ClipBridge*>(maskClip);
  auto mask = bridge ? bridge->object_.lock() : nullptr;
  if (!mask || mask == self) return;
  // A mask masks one clip at a time: the one it masked before goes unmasked.
  if (auto before = mask->masking.lock(); before && before->scriptMask.lock() == mask)
    before->scriptMask.reset();
  self->scriptMask = mask;
  mask->masking = self;
}

namespace {

// setMask(clip): true when the clip takes the mask (or lets go of it, for null).
Value setMask(Vm& vm, CallInfo& c) {
  ScriptClip* clip = vm.clipOf(c.thisValue);
  if (!clip) return Value();
  ScriptClip* mask = vm.clipOf(c.arg(0));
  clip->setMask(mask);
  return Value(true);
}

constexpr NativeMember kClipMask[] = {method("setMask", setMask)};

}  // namespace

void installClipMaskBuiltins(Vm& vm) {
  if (vm.clipProto) installMembers(vm, vm.clipProto, kClipMask);  // in every version
}

}  // namespace orv::movie::avm1
