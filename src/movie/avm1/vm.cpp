// The machine's construction, and the entry points the timeline runs scripts through:
// action blocks, event handlers, timers, with the limits each entry runs under.
#include "movie/avm1/vm.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "movie/avm1/frame.h"

namespace orv::movie::avm1 {

Vm::Vm(ScriptHost& host, int swfVersion, ScriptLimits limits)
    : host_(host), version_(swfVersion), limits_(limits) {
  installBuiltins();
}

Vm::~Vm() {
  for (Object* o : heap_) {
    if (o->clip && o->clip->scriptObject == o) o->clip->scriptObject = nullptr;
    delete o;
  }
}

void Vm::installBuiltins() {
  bool ci = caseInsensitive();
  objectProto = allocate<Object>();
  auto* fproto = allocate<FunctionObject>();
  fproto->native = [](Vm&, CallInfo&) { return Value(); };
  functionProto = fproto;
  functionProto->put("__proto__", objectProto, kDontEnum | kDontDelete, ci);
  global = allocate<Object>();  // no prototype: _global.toString is undefined
  pinned_ = {objectProto, functionProto, global};
  installObjectBuiltins(*this);
  installFunctionBuiltins(*this);
  installArrayBuiltins(*this);
  installStringBuiltins(*this);
  installNumberBuiltins(*this);
  installDateBuiltins(*this);
  installGlobalFunctions(*this);
  installClipBuiltins(*this);
  installPlayerBuiltins(*this);
  installColorBuiltins(*this);
  installSoundBuiltins(*this);
  installDrawingBuiltins(*this);
  installGeomBuiltins(*this);
  installBitmapDataBuiltins(*this);
  installExternalInterface(*this);
  installClipMaskBuiltins(*this);
  installSystemBuiltins(*this);
  installLoadingBuiltins(*this);
  installTextFormatBuiltins(*this);
  installTextFieldBuiltins(*this);
  installNativeTable(*this);
  for (Object* o : {arrayProto, stringProto, numberProto, booleanProto, dateProto, errorProto,
                    clipProto, buttonProto, textFieldProto})
    if (o) pinned_.push_back(o);
}

Object* Vm::registeredClass(const std::string& exportName) {
  auto it = registeredClasses_.find(exportName);
  return it == registeredClasses_.end() ? nullptr : it->second;
}

void Vm::registerClass(const std::string& exportName, Object* ctor) {
  if (ctor)
    registeredClasses_[exportName] = ctor;
  else
    registeredClasses_.erase(exportName);
}

void Vm::setKeyState(int keyCode, bool down) {
  if (keyCode < 0 || keyCode >= 256) return;  // no keyboard sends such a code
  const size_t k = static_cast<size_t>(keyCode);
  // Each press flips the key's toggle, whatever key it is (Caps Lock's light is one).
  if (down && !keysDown[k]) keysToggled[k] = !keysToggled[k];
  keysDown[k] = down;
  if (down && keyCode != kMouseButtonKey) lastKeyCode = keyCode;
}

double Vm::randomUnit() {
  // xorshift64*: deterministic per run, good enough for random(n) and Math.random.
  randomState_ ^= randomState_ >> 12;
  randomState_ ^= randomState_ << 25;
  randomState_ ^= randomState_ >> 27;
  uint64_t r = randomState_ * 2685821657736338717ULL;
  return static_cast<double>(r >> 11) / 9007199254740992.0;
}

// ---------------------------------------------------------------- entry points

void Vm::runActions(ScriptClip* clip, const std::vector<uint8_t>& code, int swfVersion) {
  runActions(clip, std::make_shared<const std::vector<uint8_t>>(code), swfVersion);
}

void Vm::runActions(ScriptClip* clip, const CodeBuffer& code, int swfVersion) {
  if (!code || !clip) return;
  runTopLevel(clip, code, swfVersion > 0 ? swfVersion : version_);
}

void Vm::runTopLevel(ScriptClip* clip, const CodeBuffer& code, int version) {
  // Between entries nothing outside the heap's roots holds a script value, so a movie
  // that makes much garbage within one frame is collected here, not only after it.
  if (entryDepth_ == 0 && heap_.size() > collectAbove_) {
    collectGarbage();
    collectAbove_ = std::max(kFirstCollection, heap_.size() * 2);
  }
  Frame f;
  f.code = code;
  f.version = version;
  f.target = objectFor(clip);
  f.originalTarget = f.target;
  f.scope.push_back(f.target);
  f.thisValue = Value(f.target);
  if (!enterRun()) return;
  // Actions run by the Call action leave what they push on the caller's stack.
  Frame* caller = std::exchange(frameCallCaller_, nullptr);
  const bool outermost = entryDepth_ == 1;
  if (outermost) {
    caller = stackCaller_ = nullptr;
    // Each timeline's stack outlives its blocks: what one leaves, the next one finds.
    if (auto it = leftOnStack_.find(f.target); it != leftOnStack_.end()) {
      f.stack.swap(it->second);
      leftOnStack_.erase(it);
    }
  }
  frames_.push_back(&f);
  try {
    run(f, 0, code->size());
  } catch (const ScriptThrow& t) {
    // An uncaught throw ends this action block only.
    reportUncaught(t.value);
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  } catch (size_t) {
  }
  frames_.pop_back();
  if (outermost && !f.stack.empty() && f.stack.size() <= kMaxLeftOnStack && f.originalTarget &&
      f.originalTarget->clip && leftOnStack_.size() < kMaxLeftOnStack)
    leftOnStack_[f.originalTarget].swap(f.stack);
  frameCallCaller_ = caller;
  if (caller && caller->stack.size() + f.stack.size() <= limits_.maxStack)
    for (Value& v : f.stack) caller->stack.push_back(std::move(v));
  leaveRun();
}

void Vm::noteAbort(const std::string& reason) {
  lastAbort = reason;
  // Running out of time or memory leaves the movie's scripts stopped, as a player whose
  // user chose to abort them; the action limit ends only the block.
  if (reason == "script ran out of time" || reason == "out of memory") scriptsStopped_ = true;
}

void Vm::reportUncaught(const Value& thrown) {
  // The player logs a throw nothing caught, with the value as a string; making that string
  // may run script, which must not throw past here.
  std::string text;
  try {
    text = thrown.isUndefined() ? "undefined" : toString(thrown);
  } catch (const ScriptThrow&) {
    text = "[exception]";
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
    return;
  }
  host_.trace("Warning: Uncaught exception, " + text);
}

void Vm::startFrameBudget() { scriptTimeThisFrame_ = {}; }

bool Vm::enterRun() {
  if (scriptsStopped_) return false;
  if (entryDepth_ > 0 && nestedTooDeep()) {
    // Blocks that run blocks (a frame calling itself) nest no deeper than calls do.
    noteAbort("recursion too deep");
    return false;
  }
  if (entryDepth_++ == 0) {
    actionsBeforeThisRun_ += actionsThisRun_;
    actionsThisRun_ = 0;
    entryStarted_ = std::chrono::steady_clock::now();
    runDeadline_ = entryStarted_ - scriptTimeThisFrame_ +
                   std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                       std::chrono::duration<double, std::milli>(limits_.maxMillisecondsPerRun));
    // Many short entries in one frame (a timeline that keeps re-entering frames) are
    // stopped here: none of them lives long enough to see the clock in the loop.
    if (entryStarted_ >= runDeadline_) {
      --entryDepth_;
      noteAbort("script ran out of time");
      return false;
    }
  }
  return true;
}

void Vm::leaveRun() {
  if (--entryDepth_ == 0) scriptTimeThisFrame_ += std::chrono::steady_clock::now() - entryStarted_;
}

bool Vm::callMethodIfPresent(Object* obj, std::string_view name, std::vector<Value> args) {
  if (!obj || !enterRun()) return false;
  bool called = false;
  try {
    Value fn = getMember(obj, name);
    if (fn.isObject() && fn.asObject()->kind == ObjectKind::Function) {
      called = true;
      call(fn, Value(obj), args);
    }
  } catch (const ScriptThrow& t) {
    reportUncaught(t.value);
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  }
  leaveRun();
  return called;
}

void Vm::callFunctionSafely(const Value& fn, const Value& thisValue, std::vector<Value> args) {
  if (!enterRun()) return;
  try {
    call(fn, thisValue, args);
  } catch (const ScriptThrow& t) {
    reportUncaught(t.value);
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  }
  leaveRun();
}

bool Vm::runGuarded(const std::function<void()>& body) {
  if (!enterRun()) return false;
  try {
    body();
  } catch (const ScriptThrow&) {
  } catch (const ScriptAbort& abort) {
    noteAbort(abort.reason);
  }
  leaveRun();
  return true;
}

void Vm::runTimers() {
  double now = host_.timerMs();
  std::vector<int> due;
  for (auto& [id, iv] : intervals)
    if (iv.nextDueMs <= now) due.push_back(id);
  for (int id : due) {
    auto it = intervals.find(id);
    if (it == intervals.end()) continue;
    Interval iv = it->second;
    it->second.nextDueMs = now + std::max(1.0, iv.periodMs);
    if (iv.once) intervals.erase(it);
    if (!enterRun()) return;
    try {
      std::vector<Value> args = iv.args;
      if (!iv.methodName.empty())
        callMethod(iv.target, iv.methodName, args);
      else
        call(iv.fn, Value(), args);
    } catch (const ScriptThrow& t) {
      reportUncaught(t.value);
    } catch (const ScriptAbort& abort) {
      noteAbort(abort.reason);
    }
    leaveRun();
  }
}

}  // namespace orv::movie::avm1
