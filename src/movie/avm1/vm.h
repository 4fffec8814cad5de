// The ActionScript 1/2 machine: heap, global object, conversions, member access, calls,
// and the entry points the timeline uses to run actions and deliver events.
#pragma once

#include <chrono>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "movie/avm1/host.h"
#include "movie/avm1/loading.h"
#include "movie/avm1/object.h"
#include "movie/avm1/value.h"

namespace orv::movie::avm1 {

class ActionRun;

// A value thrown by ActionScript `throw` travelling up through native frames.
struct ScriptThrow {
  Value value;
};
// A script stopped by the engine (runaway loop, too deep recursion); unwinds to the top.
struct ScriptAbort {
  std::string reason;
};

// Scripts run until the time a frame's scripts may take runs out, as a Flash player runs
// them (15 s unless the movie's ScriptLimits says otherwise), and nest calls as deep as
// the movie allows (256 by default). Memory is bounded throughout.
struct ScriptLimits {
  static constexpr double kDefaultTimeoutMs = 15'000;
  static constexpr int kDefaultCallDepth = 256;
  // Deeper nesting than this would not fit the stack the program runs scripts on.
  static constexpr int kMostCallDepth = 1000;

  uint64_t maxActionsPerRun = UINT64_MAX;            // per entry from the timeline (tests)
  double maxMillisecondsPerRun = kDefaultTimeoutMs;  // wall-clock time of a frame's scripts
  int maxCallDepth = kDefaultCallDepth;
  size_t maxStack = 100'000;
  size_t maxStringLength = 64u << 20;
  size_t maxObjects = 2'000'000;       // live script objects; more aborts the script
  size_t maxMemoryBytes = 512u << 20;  // objects, properties and strings, roughly
  size_t maxBitmapBytes = 256u << 20;  // pixels of all BitmapData objects alive at once
};

class Vm {
 public:
  Vm(ScriptHost& host, int swfVersion, ScriptLimits limits = {});
  ~Vm();
  Vm(const Vm&) = delete;
  Vm& operator=(const Vm&) = delete;

  // ---- Entry points for the timeline. None of them throws. ----
  // Runs an action block (frame actions, DoInitAction, clip event or button actions)
  // with `clip` as the target.
  void runActions(ScriptClip* clip, const CodeBuffer& code, int swfVersion = 0);
  void runActions(ScriptClip* clip, const std::vector<uint8_t>& code, int swfVersion = 0);
  // Calls obj[name](args) if it is a function (onEnterFrame, onLoad, listeners...).
  // Returns false when there was no such function.
  bool callMethodIfPresent(Object* obj, std::string_view name, std::vector<Value> args = {});
  // Calls fn with this `thisValue` (a class constructor on a clip the timeline made).
  void callFunctionSafely(const Value& fn, const Value& thisValue, std::vector<Value> args = {});
  // Runs `body`, which may call into scripts, as one entry under the same limits: a throw
  // or an abort ends it. False when the movie's scripts are stopped and it did not run.
  bool runGuarded(const std::function<void()>& body);
  // The script object of a clip, made on first use.
  Object* objectFor(ScriptClip* clip);
  void clipRemoved(ScriptClip* clip);
  // Whether an action block of `clip` (its own frame or event actions) is running.
  bool runningOn(ScriptClip* clip) const;
  // Runs due setInterval callbacks; the timeline calls this every frame.
  void runTimers();
  // Files scripts asked for (builtins_loading.cpp): each request moves on once a frame
  // and its callbacks run from here. The timeline calls this every frame.
  // `endOfFrame`: only what arrives as a frame ends (text, sounds), again for what
  // those callbacks ask for, a bounded number of rounds.
  void runLoads(bool endOfFrame = false);
  LoadQueue& loads() { return loads_; }
  // loadMovie(url, clip) and unloadMovie (empty url): done on a later frame.
  void requestMovieLoad(const std::string& url, ScriptClip* clip);
  // loadMovieNum / unloadMovieNum (empty url): the movie at _level`level`, a frame later.
  void requestLevelLoad(const std::string& url, int level);
  // The level an exact "_levelN" target names (N in 0..65535), else -1.
  static int levelOfTarget(std::string_view target);
  void requestVariablesLoad(const std::string& url, ScriptClip* clip);
  // A clip's content was replaced by a loaded movie held by `to`: the clip's script
  // object `self` (taken from the old clip) now stands for `to`, emptied of what scripts
  // stored in it, so references to the clip stay equal.
  void adoptClipObject(Object* self, ScriptClip* to);
  // Frees unreachable objects. Only between entries (never while a script runs).
  void collectGarbage();
  // Keeps a built-in's object alive whatever scripts do with the names that reach it.
  void pin(Object* o) {
    if (o) pinned_.push_back(o);
  }
  size_t objectCount() const { return heap_.size(); }
  // What a built-in class keeps for this machine (Stage's settings, the shared objects a
  // movie opened, the numbered natives): one T per machine, made on first use.
  template <class T>
  T& builtinState() {
    static const char key = 0;
    std::shared_ptr<void>& state = builtinStates_[&key];
    if (!state) state = std::make_shared<T>();
    return *static_cast<T*>(state.get());
  }
  // What built-ins do when the movie ends, before its machine goes (SharedObject writes
  // what the movie opened). endMovie runs them once; the host calls it.
  void atMovieEnd(void (*handler)(Vm&)) { endHandlers_.push_back(handler); }
  void endMovie() {
    std::vector<void (*)(Vm&)> handlers;
    handlers.swap(endHandlers_);
    for (auto* handler : handlers) handler(*this);
  }
  // Actions run since the machine started, and whether files asked for are still on
  // their way: what a host needs to know that scripts may have changed the picture.
  uint64_t actionsExecuted() const { return actionsBeforeThisRun_ + actionsThisRun_; }
  bool loading() const { return !loads_.empty(); }
  // Linkage for attachMovie/registerClass: export name -> constructor.
  Object* registeredClass(const std::string& exportName);
  void registerClass(const std::string& exportName, Object* ctor);
  // Script time is budgeted per frame of the movie: every entry until the next call
  // shares limits().maxMillisecondsPerRun. The timeline calls this as a frame begins.
  void startFrameBudget();
  // Key state fed by the player (Key.isDown, Key.getCode).
  void setKeyState(int keyCode, bool down);
  // Called when a script hides a shown clip (_visible = false): the focus leaves it.
  std::function<void(Vm&, ScriptClip*)> clipHidden;
  // Why the last script was stopped (runaway loop, recursion); empty if none was.
  std::string lastAbort;
  int lastKeyCode = 0;
  bool pointerHidden = false;  // Mouse.hide(): the host shows no pointer over the movie
  int lastAscii = 0;
  // Bytes of BitmapData pixels alive (shared with the pixel stores, which may outlive
  // their script objects while a clip shows them).
  std::shared_ptr<size_t> bitmapBytes = std::make_shared<size_t>(0);

  // ---- Conversions (may run script: valueOf/toString). ----
  enum class Hint { None, Number, String };
  Value toPrimitive(const Value& v, Hint hint = Hint::None);
  double toNumber(const Value& v);
  std::string toString(const Value& v);
  bool toBool(const Value& v);
  Object* toObject(const Value& v);  // nullptr for undefined/null
  std::string typeOf(const Value& v);
  int32_t toInt(const Value& v) { return toInt32(toNumber(v)); }
  bool looseEquals(const Value& a, const Value& b);
  bool strictEquals(const Value& a, const Value& b);
  Value lessThan(const Value& a, const Value& b);  // true/false/undefined
  // Sends `clip` where a script's frame value points: whole numbers (and text that
  // reads as one) are frame numbers, 1 the first, `bias` added; frames 0 and below go
  // nowhere. Anything else is a label by its text.
  void gotoFrameValue(ScriptClip* clip, const Value& frame, bool play, int bias = 0);

  // ---- Members ----
  Value getMember(const Value& obj, std::string_view name);
  Value getMember(Object* obj, std::string_view name);
  void setMember(Object* obj, std::string_view name, const Value& v);
  bool deleteMember(Object* obj, std::string_view name);
  bool hasProperty(Object* obj, std::string_view name);  // own or inherited
  bool hasOwnProperty(Object* obj, std::string_view name);
  std::vector<std::string> enumerableNames(Object* obj);  // for..in order
  bool instanceOf(Object* obj, Object* ctor);
  bool implementsInterface(Object* proto, Object* ctor, int& budget);

  // ---- Calls ----
  Value call(const Value& fn, const Value& thisValue, std::span<Value> args);
  // A property's getter or setter (of `owner`'s property `p`) run for `self`. One
  // property's accessor runs nested in itself at most kMostAccessorNesting times: past
  // that the property reads undefined and takes no value, and the script goes on.
  static constexpr int kMostAccessorNesting = 65;
  // Longer prototype chains (a loop through __proto__) abort the script.
  static constexpr int kMaxPrototypeChain = 256;
  Value runGetter(Object* owner, const Property& p, const Value& self);
  void runSetter(Object* owner, const Property& p, const Value& self, const Value& v);
  Value callMethod(const Value& obj, std::string_view name, std::span<Value> args);
  Value construct(const Value& ctor, std::span<Value> args);

  // ---- Object creation ----
  Object* newObject(Object* proto = nullptr);  // default Object.prototype
  Object* newArray(std::vector<Value> elements = {});
  FunctionObject* newNative(NativeFn fn, Object* prototypeObject = nullptr);
  Object* newError(const std::string& message);
  template <class T = Object, class... A>
  T* allocate(A&&... a) {
    // A script making objects without end is stopped before memory runs out.
    if (heap_.size() >= limits_.maxObjects && entryDepth_ > 0) throw ScriptAbort{"out of memory"};
    auto* p = new T(std::forward<A>(a)...);
    heap_.push_back(p);
    return p;
  }

  // Array helpers (work on any object through "length" and index members).
  std::vector<Value> arrayElements(Object* arr);
  // Rewrites an array's elements. Written in index order, or those from `frontAdded` on
  // first, from the last down, then those before it (as unshift moves them up).
  void setArrayElements(Object* arr, const std::vector<Value>& elems, size_t frontAdded = 0);

  // A string of `bytes` was made (concatenation, join...): too long a string, or too
  // much memory held by the script's objects and strings, ends the script.
  void noteStringMade(size_t bytes);
  // Roughly what the script's objects, properties and strings take now.
  size_t approximateMemory();

  // ---- State ----
  ScriptHost& host() { return host_; }
  int version() const { return version_; }
  bool caseInsensitive() const { return version_ < 7; }
  const ScriptLimits& limits() const { return limits_; }
  std::string targetPath(ScriptClip* clip, bool slashes = false);
  ScriptClip* rootClip() { return host_.level(0); }
  // What _root is for scripts in `clip`: the nearest clip up from it with _lockroot
  // set, else its level's root.
  static ScriptClip* rootOf(ScriptClip* clip) {
    while (clip && !clip->lockRoot && clip->parent()) clip = clip->parent();
    return clip;
  }
  void trace(const std::string& s) { host_.trace(s); }
  double randomUnit();

  Object* global = nullptr;
  Object* objectProto = nullptr;
  Object* functionProto = nullptr;
  Object* arrayProto = nullptr;
  Object* stringProto = nullptr;
  Object* numberProto = nullptr;
  Object* booleanProto = nullptr;
  Object* dateProto = nullptr;
  Object* errorProto = nullptr;
  Object* clipProto = nullptr;
  Object* buttonProto = nullptr;
  Object* textFieldProto = nullptr;

  // Interpreter internals shared with built-ins.
  struct Frame;
  // `homeProto`: the prototype object the function was found on (its class), from which
  // `super` is derived; nullptr means this.__proto__.
  Value executeFunction(FunctionObject* fn, const Value& thisValue, std::span<Value> args,
                        Object* homeProto);
  Object* makeSuper(Object* homeProto, const Value& thisValue);
  // super(...): the parent constructor of a `super` object run on its `this`.
  Value callSuperConstructor(Object* superObj, std::span<Value> args);
  // Scope resolution used by eval() and the interpreter.
  Value getVariable(Frame& f, std::string_view name);
  Frame* currentFrame() { return frames_.empty() ? nullptr : frames_.back(); }
  Object* clipObjectAtPath(Object* base, std::string_view path);
  // A reference to a removed clip follows a clip that now lives at its path: that
  // clip's object, or nullptr when there is none (or `o` is no removed clip).
  Object* successorClip(Object* o);
  ScriptClip* clipOf(const Value& v);

  struct Interval {
    int id;
    Value target;
    Value fn;
    std::string methodName;
    std::vector<Value> args;
    double periodMs;
    double nextDueMs;
    bool once = false;
  };
  std::map<int, Interval> intervals;
  int nextIntervalId = 1;
  // Sounds scripts started, by the host's handle, with the Sound object that hears of
  // their end (onSoundComplete); checked each frame by runSoundCompletions().
  std::map<int, Value> playingSounds;
  void runSoundCompletions();

 private:
  friend class ActionRun;  // the action loop's handlers (action_run.h)
  void installBuiltins();
  void run(Frame& f, size_t start, size_t end);
  void runTopLevel(ScriptClip* clip, const CodeBuffer& code, int version);
  Property* findProperty(Object* obj, std::string_view name, Object** owner);
  Value getClipProperty(Object* obj, ScriptClip* clip, std::string_view name, bool* found);
  bool setClipProperty(ScriptClip* clip, std::string_view name, const Value& v);
  Object* resolveTargetPath(Frame& f, std::string_view path);
  void setVariable(Frame& f, std::string_view name, const Value& v);
  bool splitPath(Frame& f, std::string_view name, Object** owner, std::string* member);
  Value lookupScope(Frame& f, std::string_view name, bool* found);
  void markFrom(Object* o, std::vector<Object*>& work);

  ScriptHost& host_;
  int version_;
  ScriptLimits limits_;
  std::vector<Object*> heap_;
  std::unordered_set<Object*> liveClipObjects_;
  std::vector<Frame*> frames_;
  std::vector<void (*)(Vm&)> endHandlers_;
  std::vector<Object*> pinned_;  // built-in roots kept even if scripts delete them
  std::map<std::string, Object*> registeredClasses_;
  std::map<const void*, std::shared_ptr<void>> builtinStates_;
  LoadQueue loads_;
  // How deep each property's accessor is nested now, by its owner and function.
  std::map<std::pair<const Object*, const Object*>, int> accessorNesting_;
  void runLoadRound(bool endOfFrame);
  uint64_t actionsThisRun_ = 0;
  uint64_t actionsBeforeThisRun_ = 0;
  uint64_t actionsSinceClock_ = 0;  // never reset, so short entries reach the clock too
  // Memory is measured after as many actions as the last measure looked at things (so
  // measuring costs a fraction of the work), or after many bytes of new strings.
  uint64_t actionsSinceMemoryCheck_ = 0;
  uint64_t memoryCheckInterval_ = 1u << 16;
  size_t stringBytesSinceCheck_ = 0;
  void checkMemory();
  std::chrono::steady_clock::time_point runDeadline_{};
  std::chrono::steady_clock::time_point entryStarted_{};
  std::chrono::steady_clock::duration scriptTimeThisFrame_{};  // in earlier entries
  size_t collectAbove_ = kFirstCollection;
  static constexpr size_t kFirstCollection = 50'000;
  // Entry from the timeline: false when the movie's scripts were stopped. An outer entry
  // starts the action count and arms the clock with what is left of the frame's time.
  bool enterRun();
  void leaveRun();
  // Set once a script ran out of time: like a player whose user chose to abort the
  // movie's scripts, no more script runs for this movie.
  bool scriptsStopped_ = false;
  void noteAbort(const std::string& reason);
  void reportUncaught(const Value& thrown);
  int callDepth_ = 0;
  // Calls and blocks run from within blocks (frames called, handlers run at once) share
  // one limit, so that what they nest fits in the native stack.
  bool nestedTooDeep() const { return callDepth_ + entryDepth_ >= limits_.maxCallDepth; }
  // The frame of actions that called the function or frame about to run: what is left
  // on the callee's stack goes there.
  Frame* stackCaller_ = nullptr;
  Frame* frameCallCaller_ = nullptr;
  // What the last outermost block of each clip left on the stack, for its next one.
  std::map<Object*, std::vector<Value>> leftOnStack_;
  static constexpr size_t kMaxLeftOnStack = 4096;
  int entryDepth_ = 0;
  uint64_t randomState_ = 0x2545F4914F6CDD1DULL;

 public:
  std::vector<bool> keysDown = std::vector<bool>(256, false);
  std::vector<bool> keysToggled = std::vector<bool>(256, false);  // Key.isToggled
  static constexpr int kMouseButtonKey = 1;  // the left mouse button, as Key.isDown sees it
};

// Installers for the built-in classes, each in its own file.
void installObjectBuiltins(Vm& vm);
void installFunctionBuiltins(Vm& vm);
void installArrayBuiltins(Vm& vm);
void installStringBuiltins(Vm& vm);
void installNumberBuiltins(Vm& vm);  // Number, Boolean, Math
void installDateBuiltins(Vm& vm);
void installGlobalFunctions(Vm& vm);     // trace, parseInt, setInterval, escape, ...
void installClipBuiltins(Vm& vm);        // MovieClip, Button, TextField
void installSystemBuiltins(Vm& vm);      // LoadVars, ContextMenu, Selection, Camera...
void installPlayerBuiltins(Vm& vm);      // Key, Mouse, Stage, System, AsBroadcaster...
void installColorBuiltins(Vm& vm);       // Color
void installSoundBuiltins(Vm& vm);       // Sound
void installNativeTable(Vm& vm);         // ASnative, ASconstructor, ASSetNative
void installTextFormatBuiltins(Vm& vm);  // TextFormat
void installTextFieldBuiltins(Vm& vm);   // TextField, createTextField (after MovieClip)
void installDrawingBuiltins(Vm& vm);     // MovieClip's drawing API
void installGeomBuiltins(
    Vm& vm);  // flash.geom: Point, Rectangle, Matrix, ColorTransform, Transform
// flash.filters and MovieClip.filters, into the flash package (builtins_filters.cpp).
void installFilterBuiltins(Vm& vm, Object* package);
void installBitmapDataBuiltins(Vm& vm);  // flash.display.BitmapData, MovieClip.attachBitmap
void installExternalInterface(Vm& vm);   // flash.external.ExternalInterface (no container)
void installClipMaskBuiltins(Vm& vm);    // MovieClip.setMask
void installLoadingBuiltins(Vm& vm);     // LoadVars loading, MovieClipLoader, loadVariables
// SWF 6 and 7 movies see the `flash` package only once ASSetPropFlags clears its SWF 8 bit.
void revealHiddenPackages(Vm& vm, int clearedFlags);
// The `flash` package installGeomBuiltins made, visible or still hidden; null before SWF 6.
Object* flashPackage(Vm& vm);

}  // namespace orv::movie::avm1
