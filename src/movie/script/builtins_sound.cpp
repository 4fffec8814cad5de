// Sound: volume and balance of a clip's sounds (or of the whole movie), the sound attached
// from the library or loaded from a file, and its onLoad / onSoundComplete events.
//
// A Sound made on a clip keeps that clip's target path as well as the clip: once the clip
// is gone, a new clip at the same path takes its place, as the player's references do.
// Volume and balance live on the clip's script object (a new clip starts at 100), those of
// a Sound made on nothing on the global object (the whole movie). This player loads no
// sound files, so loadSound reports failure through onLoad(false) on the next frame.
#include <cmath>

#include "movie/script/frame.h"
#include "movie/script/vm.h"

namespace orv::movie::script {

namespace {

class SoundObject : public Object {
public:
    SoundObject() : Object(ObjectKind::Other) { className = "Sound"; }
    bool global = true;        // made on nothing: the whole movie's sound
    Object* clipObject = nullptr;  // the clip it was made on, while it lives
    std::string clipPath;      // where to find a clip that took its place
    std::string attached;      // linkage name given to attachSound
    void traceRefs(std::vector<Object*>& out) override {
        Object::traceRefs(out);
        if (clipObject) out.push_back(clipObject);
    }
};

SoundObject* soundOf(const Value& v) {
    return v.isObject() ? dynamic_cast<SoundObject*>(v.asObject()) : nullptr;
}

// The object holding the transform this Sound works on, or null when its clip is gone
// (or it was made on something that is no clip).
Object* holderOf(Vm& vm, SoundObject* s) {
    if (!s) return nullptr;
    if (s->global) return vm.global;
    if (s->clipObject && s->clipObject->clip) return s->clipObject;
    if (s->clipPath.empty()) return nullptr;
    ScriptClip* root = vm.rootClip();
    Object* rootObject = root ? vm.objectFor(root) : nullptr;
    Object* found = rootObject ? vm.clipObjectAtPath(rootObject, s->clipPath) : nullptr;
    if (!found || found->kind != ObjectKind::Clip || !found->clip) return nullptr;
    s->clipObject = found;
    return found;
}

SoundTransform* transformOf(Vm& vm, const Value& self, bool create) {
    Object* holder = holderOf(vm, soundOf(self));
    if (!holder) return nullptr;
    if (!holder->soundTransform && create) holder->soundTransform = std::make_unique<SoundTransform>();
    static SoundTransform unchanged;
    unchanged = SoundTransform{};
    return holder->soundTransform ? holder->soundTransform.get() : &unchanged;
}

// Flash keeps volume and pan as whole numbers.
double wholeNumber(Vm& vm, const Value& v) {
    double n = vm.toNumber(v);
    if (!std::isfinite(n)) return 0;
    return std::trunc(n);
}

void setPan(SoundTransform& t, double pan) {
    t.pan = pan;
    t.lr = t.rl = 0;
    t.ll = pan > 0 ? 100 - pan : 100;
    t.rr = pan < 0 ? 100 + pan : 100;
}

FunctionObject* makeSoundClass(Vm& vm, Object** protoOut) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = vm.newNative([](Vm& vm, CallInfo& c) -> Value {
        if (!c.isConstruct) return Value();
        const bool ci = vm.caseInsensitive();
        auto* self = vm.allocate<SoundObject>();
        Value proto = vm.getMember(c.callee, "prototype");
        self->put("__proto__", proto.isObject() ? proto : Value(vm.objectProto), kDontEnum | kDontDelete, ci);
        self->put("__constructor__", c.callee, kDontEnum, ci);
        const Value target = c.arg(0);
        if (!target.isUndefined() && !target.isNull()) {
            self->global = false;
            if (ScriptClip* clip = vm.clipOf(target)) {
                self->clipObject = target.asObject();
                self->clipPath = vm.targetPath(clip);
            }
        }
        self->put("checkPolicyFile", Value(false), 0, ci);
        return Value(self);
    }, proto);
    ctor->constructsOwnObject = true;
    *protoOut = proto;
    return ctor;
}

}  // namespace

void installSoundBuiltins(Vm& vm) {
    Object* proto = nullptr;
    FunctionObject* ctor = makeSoundClass(vm, &proto);
    vm.global->put("Sound", Value(ctor), kDontEnum, vm.caseInsensitive());

    vm.defineMethod(proto, "getVolume", [](Vm& vm, CallInfo& c) -> Value {
        SoundTransform* t = transformOf(vm, c.thisValue, false);
        return t ? Value(t->volume) : Value();
    });
    vm.defineMethod(proto, "setVolume", [](Vm& vm, CallInfo& c) -> Value {
        if (c.args.empty()) return Value();
        if (SoundTransform* t = transformOf(vm, c.thisValue, true)) t->volume = wholeNumber(vm, c.arg(0));
        return Value();
    });
    vm.defineMethod(proto, "getPan", [](Vm& vm, CallInfo& c) -> Value {
        SoundTransform* t = transformOf(vm, c.thisValue, false);
        return t ? Value(t->pan) : Value();
    });
    vm.defineMethod(proto, "setPan", [](Vm& vm, CallInfo& c) -> Value {
        if (c.args.empty()) return Value();
        if (SoundTransform* t = transformOf(vm, c.thisValue, true)) setPan(*t, wholeNumber(vm, c.arg(0)));
        return Value();
    });
    vm.defineMethod(proto, "getTransform", [](Vm& vm, CallInfo& c) -> Value {
        SoundTransform* t = transformOf(vm, c.thisValue, false);
        if (!t) return Value();
        Object* o = vm.newObject();
        for (auto [name, v] : {std::pair{"ll", t->ll}, {"lr", t->lr}, {"rr", t->rr}, {"rl", t->rl}})
            vm.setMember(o, name, Value(v));
        return Value(o);
    });
    vm.defineMethod(proto, "setTransform", [](Vm& vm, CallInfo& c) -> Value {
        if (!c.arg(0).isObject()) return Value();
        Object* from = c.arg(0).asObject();
        SoundTransform* t = transformOf(vm, c.thisValue, true);
        if (!t) return Value();
        // Fields left out keep their value.
        for (auto [name, field] : {std::pair{"ll", &t->ll}, {"lr", &t->lr}, {"rr", &t->rr}, {"rl", &t->rl}}) {
            Value v = vm.getMember(from, name);
            if (!v.isUndefined()) *field = wholeNumber(vm, v);
        }
        // The balance follows: what the left speaker loses is the pan to the right.
        t->pan = t->ll < 100 ? 100 - t->ll : (t->rr < 100 ? t->rr - 100 : 0);
        return Value();
    });
    vm.defineMethod(proto, "attachSound", [](Vm& vm, CallInfo& c) -> Value {
        if (SoundObject* s = soundOf(c.thisValue); s && !c.args.empty()) s->attached = vm.toString(c.arg(0));
        return Value();
    });
    // The player's mixer is not reachable from scripts yet: starting and stopping a
    // library sound changes nothing audible.
    vm.defineMethod(proto, "start", [](Vm&, CallInfo&) -> Value { return Value(); });
    vm.defineMethod(proto, "stop", [](Vm&, CallInfo&) -> Value { return Value(); });

    if (vm.version() < 6) return;
    // Nothing is loaded: no duration, position or byte counts.
    for (const char* name : {"getDuration", "getPosition", "getBytesLoaded", "getBytesTotal"})
        vm.defineMethod(proto, name, [](Vm&, CallInfo&) -> Value { return Value(); });
    for (const char* name : {"setDuration", "setPosition"})
        vm.defineMethod(proto, name, [](Vm&, CallInfo&) -> Value { return Value(); });
    vm.defineMethod(proto, "loadSound", [](Vm& vm, CallInfo& c) -> Value {
        SoundObject* s = soundOf(c.thisValue);
        if (!s || c.args.empty()) return Value();
        // The load fails on the next frame, as a missing file does.
        Vm::Interval failed;
        failed.id = -static_cast<int>(vm.intervals.size()) - 1;
        while (vm.intervals.count(failed.id)) --failed.id;
        failed.target = c.thisValue;
        failed.methodName = "onLoad";
        failed.args = {Value(false)};
        failed.periodMs = 0;
        failed.nextDueMs = vm.host().timerMs();
        failed.once = true;
        vm.intervals[failed.id] = failed;
        return Value();
    });
}

}  // namespace orv::movie::script
