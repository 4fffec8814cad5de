// Color: reads and changes a clip's colour transform (setRGB, setTransform...).
#include <algorithm>
#include <cmath>

#include "movie/avm1/frame.h"
#include "movie/avm1/native_table.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

constexpr const char* kTargetSlot = "target";

// The clip a Color works on: the clip given to the constructor, or the clip a path names,
// looked up from the timeline running now. Null when it is gone.
ScriptClip* targetOf(Vm& vm, CallInfo& c) {
  Object* self = c.thisObject();
  if (!self) return nullptr;
  Value t = vm.getMember(self, kTargetSlot);
  if (ScriptClip* clip = vm.clipOf(t)) return clip;
  if (t.isUndefined() || t.isNull()) return nullptr;
  Vm::Frame* f = vm.currentFrame();
  Object* base = f && f->target ? f->target : vm.objectFor(vm.rootClip());
  Object* o = base ? vm.clipObjectAtPath(base, vm.toString(t)) : nullptr;
  return o && o->kind == ObjectKind::Clip ? o->clip : nullptr;
}

// A transform object's field, or `fallback` when it is absent; what is not a number is 0.
double field(Vm& vm, Object* o, const char* name, double fallback) {
  Value v = vm.getMember(o, name);
  if (v.isUndefined()) return fallback;
  double n = vm.toNumber(v);
  return std::isfinite(n) ? n : 0;
}

// Flash keeps multipliers in 8.8 fixed point and offsets as 16-bit integers, wrapping
// what does not fit, so what getTransform gives back is what those hold.
double wrap16(double v) {
  if (!std::isfinite(v)) return 0;
  // A value already held (153 / 2.56 * 2.56) may come back a hair under its integer.
  double w = std::fmod(std::trunc(v + (v >= 0 ? 1e-7 : -1e-7)), 65536.0);
  if (w >= 32768) w -= 65536;
  if (w < -32768) w += 65536;
  return w;
}
double fixedMultiplier(double percent) { return wrap16(percent * 2.56) / 2.56; }
double fixedOffset(double offset) { return wrap16(offset); }

Value construct(Vm& vm, CallInfo& c) {
  if (Object* self = c.thisObject())
    self->put(kTargetSlot, c.arg(0), kDontEnum, vm.caseInsensitive());
  return c.thisValue;
}

Value setRGB(Vm& vm, CallInfo& c) {
  ScriptClip* clip = targetOf(vm, c);
  if (!clip || c.args.empty()) return Value();
  const uint32_t rgb = static_cast<uint32_t>(vm.toInt(c.arg(0)));
  base::ColorTransform ct = clip->colorTransform();
  ct.rMul = ct.gMul = ct.bMul = 0;
  ct.rAdd = (rgb >> 16) & 0xFF;
  ct.gAdd = (rgb >> 8) & 0xFF;
  ct.bAdd = rgb & 0xFF;
  clip->setColorTransform(ct);
  return Value();
}

Value getRGB(Vm& vm, CallInfo& c) {
  ScriptClip* clip = targetOf(vm, c);
  if (!clip) return Value();
  const base::ColorTransform ct = clip->colorTransform();
  auto channel = [](double offset) {
    return static_cast<uint32_t>(static_cast<int>(offset) & 0xFF);
  };
  return Value(
      static_cast<double>(channel(ct.rAdd) << 16 | channel(ct.gAdd) << 8 | channel(ct.bAdd)));
}

Value setTransform(Vm& vm, CallInfo& c) {
  ScriptClip* clip = targetOf(vm, c);
  if (!clip || !c.arg(0).isObject()) return Value();
  Object* t = c.arg(0).asObject();
  base::ColorTransform ct = clip->colorTransform();
  // Multipliers in percent.
  auto multiplier = [&](const char* name, double& mul) {
    mul = fixedMultiplier(field(vm, t, name, mul * 100)) / 100;
  };
  auto offset = [&](const char* name, double& add) { add = fixedOffset(field(vm, t, name, add)); };
  multiplier("ra", ct.rMul);
  offset("rb", ct.rAdd);
  multiplier("ga", ct.gMul);
  offset("gb", ct.gAdd);
  multiplier("ba", ct.bMul);
  offset("bb", ct.bAdd);
  multiplier("aa", ct.aMul);
  offset("ab", ct.aAdd);
  clip->setColorTransform(ct);
  return Value();
}

Value getTransform(Vm& vm, CallInfo& c) {
  ScriptClip* clip = targetOf(vm, c);
  if (!clip) return Value();
  const base::ColorTransform ct = clip->colorTransform();
  // _alpha may have been set to a value finer than the transform holds.
  Object* o = vm.newObject();
  for (auto [name, v] : {std::pair{"ra", fixedMultiplier(ct.rMul * 100)},
                         {"rb", fixedOffset(ct.rAdd)},
                         {"ga", fixedMultiplier(ct.gMul * 100)},
                         {"gb", fixedOffset(ct.gAdd)},
                         {"ba", fixedMultiplier(ct.bMul * 100)},
                         {"bb", fixedOffset(ct.bAdd)},
                         {"aa", fixedMultiplier(ct.aMul * 100)},
                         {"ab", fixedOffset(ct.aAdd)}})
    vm.setMember(o, name, v);
  return Value(o);
}

constexpr NativeMember kPrototype[] = {
    method("setRGB", setRGB),
    method("getRGB", getRGB),
    method("setTransform", setTransform),
    method("getTransform", getTransform),
};
constexpr NativeClass kColorClass{
    .name = "Color", .constructor = construct, .prototype = kPrototype};

}  // namespace

void installColorBuiltins(Vm& vm) { installClass(vm, vm.global, kColorClass); }

}  // namespace orv::movie::avm1
