// The action loop: decodes AVM1 actions from a buffer and executes them on a Frame.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "movie/avm1/frame.h"
#include "movie/avm1/text.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

namespace {

struct Reader {
  const uint8_t* data;
  size_t pos, end;
  bool ok = true;
  uint8_t u8() {
    if (pos + 1 > end) {
      ok = false;
      return 0;
    }
    return data[pos++];
  }
  uint16_t u16() {
    if (pos + 2 > end) {
      ok = false;
      pos = end;
      return 0;
    }
    uint16_t v = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
    pos += 2;
    return v;
  }
  uint32_t u32() {
    if (pos + 4 > end) {
      ok = false;
      pos = end;
      return 0;
    }
    uint32_t v = data[pos] | (data[pos + 1] << 8) | (data[pos + 2] << 16) |
                 (static_cast<uint32_t>(data[pos + 3]) << 24);
    pos += 4;
    return v;
  }
  std::string str() {
    size_t s = pos;
    while (pos < end && data[pos] != 0) ++pos;
    std::string out(reinterpret_cast<const char*>(data + s), pos - s);
    if (pos < end)
      ++pos;
    else
      ok = false;
    return out;
  }
};

bool isFunction(const Value& v) {
  return v.isObject() && v.asObject()->kind == ObjectKind::Function;
}

}  // namespace

// ---------------------------------------------------------------- variables and paths

Object* Vm::clipObjectAtPath(Object* base, std::string_view path) {
  Frame f;
  f.target = base;
  f.originalTarget = base;
  if (base) f.scope.push_back(base);
  f.thisValue = Value(base);
  f.version = version_;
  return resolveTargetPath(f, path);
}

Object* Vm::resolveTargetPath(Frame& f, std::string_view path) {
  Object* cur = f.target;
  if (path.empty()) return cur;
  size_t i = 0;
  bool first = true;
  if (path[0] == '/') {
    ScriptClip* c = cur ? cur->clip : nullptr;
    if (!c) c = rootClip();
    while (c && c->parent()) c = c->parent();
    cur = objectFor(c);
    i = 1;
    first = false;
  }
  while (i < path.size()) {
    size_t j = i;
    while (j < path.size() && path[j] != '/' && path[j] != '.' && path[j] != ':') ++j;
    std::string_view seg = path.substr(i, j - i);
    // ".." is a parent step in slash syntax.
    if (j < path.size() && path[j] == '.' && j + 1 < path.size() && path[j + 1] == '.' &&
        seg.empty()) {
      if (!cur || !cur->clip || !cur->clip->parent()) return nullptr;
      cur = objectFor(cur->clip->parent());
      i = j + 2;
      if (i < path.size() && (path[i] == '/' || path[i] == '.')) ++i;
      first = false;
      continue;
    }
    if (!seg.empty()) {
      Value next;
      bool ci = caseInsensitive();
      auto is = [&](const char* s) {
        return seg.size() == std::strlen(s) &&
               (ci ? std::equal(seg.begin(), seg.end(), s,
                                [](char a, char b) {
                                  return std::tolower((unsigned char)a) ==
                                         std::tolower((unsigned char)b);
                                })
                   : seg == s);
      };
      if (first && is("this"))
        next = f.thisValue.isObject() ? f.thisValue : Value(f.target);
      else if (first && is("_global") && version_ >= 6)
        next = Value(global);
      else if (first && is("_root")) {
        ScriptClip* c = rootOf(cur && cur->clip ? cur->clip : rootClip());
        next = Value(objectFor(c));
      } else if (cur) {
        next = getMember(cur, seg);
        if (first && next.isUndefined()) {
          bool found = false;
          next = lookupScope(f, seg, &found);
        }
      } else {
        return nullptr;
      }
      if (!next.isObject()) return nullptr;
      cur = next.asObject();
    }
    first = false;
    i = j < path.size() ? j + 1 : j;
  }
  return cur;
}

Value Vm::lookupScope(Frame& f, std::string_view name, bool* found) {
  for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it) {
    Object* s = *it;
    if (!s) continue;
    if (hasProperty(s, name)) {
      *found = true;
      return getMember(s, name);
    }
  }
  if (hasProperty(global, name)) {
    *found = true;
    return getMember(global, name);
  }
  *found = false;
  return Value();
}

bool Vm::splitPath(Frame& f, std::string_view name, Object** owner, std::string* member) {
  size_t colon = name.rfind(':');
  if (colon != std::string_view::npos) {
    *owner = resolveTargetPath(f, name.substr(0, colon));
    *member = std::string(name.substr(colon + 1));
    return true;
  }
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) {
    *owner = resolveTargetPath(f, name.substr(0, dot));
    *member = std::string(name.substr(dot + 1));
    return true;
  }
  return false;
}

Value Vm::getVariable(Frame& f, std::string_view name) {
  bool ci = caseInsensitive();
  auto is = [&](const char* s) {
    size_t n = std::strlen(s);
    if (name.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
      char a = name[i], b = s[i];
      if (ci) {
        a = static_cast<char>(std::tolower((unsigned char)a));
      }
      if (a != b) return false;
    }
    return true;
  };
  if (name.find_first_of(":/.") != std::string_view::npos) {
    if (name.find(':') == std::string_view::npos && name.find('.') == std::string_view::npos) {
      // A slash path names a clip; a member at its end ("/mc/stop") is not one.
      Object* o = resolveTargetPath(f, name);
      return o && o->kind == ObjectKind::Clip ? Value(o) : Value();
    }
    Object* owner = nullptr;
    std::string member;
    if (splitPath(f, name, &owner, &member)) return owner ? getMember(owner, member) : Value();
  }
  if (is("this")) return f.thisValue;
  if (is("_global") && version_ >= 6) return Value(global);
  if (is("super") && f.callee && version_ >= 6) {
    if (Property* p = f.activation ? f.activation->findOwn("super", ci) : nullptr) return p->value;
    Object* s = makeSuper(f.homeProto, f.thisValue);
    return s ? Value(s) : Value();
  }
  if (is("_root")) {
    ScriptClip* from = f.target && f.target->clip ? f.target->clip : rootClip();
    // Inside with (clip), _root is that clip's (it may have _lockroot set).
    for (int i = 0; i < f.withDepth && static_cast<size_t>(i) < f.scope.size(); ++i) {
      Object* w = f.scope[f.scope.size() - 1 - static_cast<size_t>(i)];
      if (w && w->kind == ObjectKind::Clip && w->clip) {
        from = w->clip;
        break;
      }
    }
    ScriptClip* c = rootOf(from);
    return c ? Value(objectFor(c)) : Value();
  }
  std::string_view prefix = name.substr(0, std::min<size_t>(6, name.size()));
  bool levelPrefix =
      prefix.size() == 6 &&
      (ci ? std::equal(prefix.begin(), prefix.end(), "_level",
                       [](char a, char b) { return std::tolower((unsigned char)a) == b; })
          : prefix == "_level");
  if (name.size() > 6 && levelPrefix) {
    bool digits =
        std::all_of(name.begin() + 6, name.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
      ScriptClip* l = host_.level(std::atoi(std::string(name.substr(6)).c_str()));
      return l ? Value(objectFor(l)) : Value();
    }
  }
  bool found = false;
  return lookupScope(f, name, &found);
}

void Vm::setVariable(Frame& f, std::string_view name, const Value& v) {
  if (name.find_first_of(":/.") != std::string_view::npos) {
    Object* owner = nullptr;
    std::string member;
    if (splitPath(f, name, &owner, &member)) {
      if (owner) setMember(owner, member, v);
      return;
    }
  }
  // A clip in the scope takes a variable it holds itself or one of its own properties
  // (_x...), not one it inherits or a child clip's name.
  auto clipTakes = [&](Object* s) {
    if (s->findOwn(name, caseInsensitive())) return true;
    bool found = false;
    getClipProperty(s, s->clip, name, &found);
    return found && !s->clip->childByName(name, caseInsensitive());
  };
  for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it) {
    Object* s = *it;
    if (!s) continue;
    const bool liveClip = s->kind == ObjectKind::Clip && s->clip;
    if (liveClip ? clipTakes(s)
                 : (s->findOwn(name, caseInsensitive()) ||
                    (s != f.scope.front() && hasProperty(s, name)))) {
      setMember(s, name, v);
      return;
    }
  }
  Object* base = f.scope.empty() ? f.target : f.scope.front();
  if (base) setMember(base, name, v);
}

// ---------------------------------------------------------------- functions

Object* Vm::makeSuper(Object* homeProto, const Value& thisValue) {
  if (!homeProto) return nullptr;
  Object* s = allocate<Object>(ObjectKind::Other);
  s->className = "super";
  s->primitive = thisValue;
  s->homeProto = homeProto;
  if (Object* up = homeProto->proto(caseInsensitive()))
    s->put("__proto__", up, kDontEnum, caseInsensitive());
  return s;
}

Value Vm::callSuperConstructor(Object* superObj, std::span<Value> args) {
  // The home prototype's __constructor__, whose own home is one level up.
  Object* home = superObj->homeProto;
  Object* sp = home ? home->proto(caseInsensitive()) : nullptr;
  Value ctor = home ? getMember(home, "__constructor__") : Value();
  if (!isFunction(ctor) && sp) ctor = getMember(sp, "constructor");
  if (!isFunction(ctor)) return Value();
  auto* fo = static_cast<FunctionObject*>(ctor.asObject());
  if (!fo->body) return call(ctor, superObj->primitive, args);
  if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
  ++callDepth_;
  struct G {
    int& d;
    ~G() { --d; }
  } g{callDepth_};
  return executeFunction(fo, superObj->primitive, args, sp);
}

Value Vm::executeFunction(FunctionObject* fn, const Value& thisValue, std::span<Value> args,
                          Object* homeProto) {
  const ScriptFunctionBody& b = *fn->body;
  bool ci = caseInsensitive();
  Frame* caller = std::exchange(stackCaller_, nullptr);
  Frame f;
  f.code = b.code;
  f.constants = b.constants;
  f.version = b.version;
  f.scope = b.scope;
  f.target = b.targetClip;
  f.originalTarget = b.targetClip;
  f.thisValue = thisValue;
  f.callee = fn;
  if (!homeProto && thisValue.isObject()) homeProto = thisValue.asObject()->proto(ci);
  f.homeProto = homeProto;
  Object* activation = allocate<Object>();
  activation->className = "activation";  // not a `with` object for calls found in it
  f.activation = activation;
  f.scope.push_back(activation);

  uint16_t flags = b.isFunction2 ? b.flags : 0;
  bool wantArguments = !b.isFunction2 || !(flags & 0x08) || (flags & 0x04);
  if (wantArguments) {
    Object* argsObj = newArray(std::vector<Value>(args.begin(), args.end()));
    argsObj->put("callee", fn, kDontEnum, ci);
    Frame* caller = currentFrame();
    argsObj->put("caller", caller && caller->callee ? Value(caller->callee) : Value::null(),
                 kDontEnum, ci);
    f.arguments = argsObj;
  }
  if (b.isFunction2) {
    f.registers.assign(std::max<size_t>(b.registerCount, 1) + 1, Value());
    if (f.registers.size() < 256) f.registers.resize(256);
    size_t reg = 1;
    auto preload = [&](Value v) {
      if (reg < f.registers.size()) f.registers[reg++] = std::move(v);
    };
    if (flags & 0x01)
      preload(thisValue);
    else if (!(flags & 0x02))
      activation->put("this", thisValue, kDontEnum, ci);
    if (flags & 0x04)
      preload(Value(f.arguments));
    else if (!(flags & 0x08))
      activation->put("arguments", Value(f.arguments), kDontEnum, ci);
    if (flags & 0x10) {
      Object* s = makeSuper(homeProto, thisValue);
      preload(s ? Value(s) : Value());
    }
    ScriptClip* tc = b.targetClip && b.targetClip->clip ? b.targetClip->clip : nullptr;
    if (flags & 0x40) {
      ScriptClip* r = tc ? tc : rootClip();
      while (r && r->parent()) r = r->parent();
      preload(r ? Value(objectFor(r)) : Value());
    }
    if (flags & 0x80) preload(tc && tc->parent() ? Value(objectFor(tc->parent())) : Value());
    if (flags & 0x100) preload(Value(global));
    for (size_t i = 0; i < b.params.size(); ++i) {
      Value a = i < args.size() ? args[i] : Value();
      uint8_t r = i < b.paramRegisters.size() ? b.paramRegisters[i] : 0;
      if (r != 0)
        f.registers[r] = a;
      else
        activation->put(b.params[i], a, 0, ci);
    }
  } else {
    activation->put("this", thisValue, kDontEnum, ci);
    activation->put("arguments", Value(f.arguments), kDontEnum, ci);
    for (size_t i = 0; i < b.params.size(); ++i)
      activation->put(b.params[i], i < args.size() ? args[i] : Value(), 0, ci);
  }
  frames_.push_back(&f);
  struct Pop {
    std::vector<Frame*>& v;
    ~Pop() { v.pop_back(); }
  } pop{frames_};
  try {
    run(f, b.start, b.end);
  } catch (size_t) {
    // A jump out of the function body ends the call.
  }
  // The player has one stack: what a function called from actions leaves on it stays
  // there for the caller, below the result.
  if (caller) {
    if (caller->stack.size() + f.stack.size() > limits_.maxStack)
      throw ScriptAbort{"stack overflow"};
    for (Value& v : f.stack) caller->stack.push_back(std::move(v));
  }
  return f.returned ? f.returnValue : Value();
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
  } catch (const ScriptThrow&) {
    // An uncaught throw ends this action block only.
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

// ---------------------------------------------------------------- the loop

namespace {

// Flash's string helpers count characters in UTF-8 from SWF 6 on, bytes before.
std::string substrChars(const std::string& s, double start0, double count, bool utf8) {
  return text::substr(s, start0, count, utf8);
}

}  // namespace

void Vm::run(Frame& f, size_t start, size_t end) {
  const std::vector<uint8_t>& code = *f.code;
  end = std::min(end, code.size());
  const uint8_t* data = code.data();
  size_t pc = start;
  bool v4 = f.version < 5;
  bool utf8 = f.version >= 6;
  auto boolResult = [&](bool b) { return v4 ? Value(b ? 1.0 : 0.0) : Value(b); };
  auto push = [&](Value v) {
    if (f.stack.size() >= limits_.maxStack) throw ScriptAbort{"stack overflow"};
    f.stack.push_back(std::move(v));
  };
  auto targetClip = [&]() -> ScriptClip* { return f.target ? f.target->clip : nullptr; };
  auto clipAt = [&](const Value& v) -> ScriptClip* {
    if (v.isObject()) return v.asObject()->kind == ObjectKind::Clip ? v.asObject()->clip : nullptr;
    std::string p = toString(v);
    if (p.empty()) return targetClip();
    Object* o = resolveTargetPath(f, p);
    return o && o->kind == ObjectKind::Clip ? o->clip : nullptr;
  };
  // Skips `count` actions forward from pc (WaitForFrame).
  auto skipActions = [&](size_t from, int count) {
    size_t p = from;
    for (int i = 0; i < count && p < end; ++i) {
      uint8_t op = data[p++];
      if (op >= 0x80 && p + 2 <= end) p += 2 + (data[p] | (data[p + 1] << 8));
    }
    return std::min(p, end);
  };

  while (pc < end) {
    if (++actionsThisRun_ > limits_.maxActionsPerRun) throw ScriptAbort{"script runs too long"};
    // A loop of slow actions (ever longer strings) is stopped by the clock.
    if ((++actionsSinceClock_ & 15) == 0 && std::chrono::steady_clock::now() > runDeadline_)
      throw ScriptAbort{"script ran out of time"};
    if (++actionsSinceMemoryCheck_ > memoryCheckInterval_) checkMemory();
    uint8_t op = data[pc++];
    if (op == 0) return;
    size_t len = 0;
    if (op >= 0x80) {
      if (pc + 2 > end) return;
      len = data[pc] | (data[pc + 1] << 8);
      pc += 2;
      if (pc + len > end) return;
    }
    Reader r{data, pc, pc + len};
    size_t next = pc + len;

    switch (op) {
      // ---- SWF 3 ----
      case 0x04:
        if (auto* c = targetClip()) c->gotoFrame(c->currentFrame() + 1, false);
        break;
      case 0x05:
        if (auto* c = targetClip()) c->gotoFrame(std::max(0, c->currentFrame() - 1), false);
        break;
      case 0x06:
        if (auto* c = targetClip()) c->play();
        break;
      case 0x07:
        if (auto* c = targetClip()) c->stop();
        break;
      case 0x08:
        host_.toggleQuality();
        break;
      case 0x09:
        host_.stopSounds();
        break;
      case 0x81: {
        int frame = r.u16();
        if (auto* c = targetClip()) c->gotoFrame(frame, false);
        break;
      }
      case 0x83: {  // GetURL: a "_levelN" target loads a movie there
        std::string url = r.str();
        std::string tgt = r.str();
        if (tgt.size() > 6 && tgt.compare(0, 6, "_level") == 0) {
          // A level not there yet is loaded by its number.
          if (ScriptClip* c = clipAt(Value(tgt)))
            requestMovieLoad(url, c);
          else
            requestLevelLoad(url, levelOfTarget(tgt));
        } else {
          host_.getURL(url, tgt, 0);
        }
        break;
      }
      case 0x8A: {  // WaitForFrame
        int frame = r.u16();
        int skip = r.u8();
        auto* c = targetClip();
        if (c && frame >= c->framesLoaded()) next = skipActions(next, skip);
        break;
      }
      case 0x8B: {  // SetTarget
        std::string path = r.str();
        Object* t = path.empty() ? f.originalTarget : resolveTargetPath(f, path);
        if (t && t->kind != ObjectKind::Clip) t = nullptr;  // only a clip can be a target
        f.target = t;
        if (!f.callee && !f.scope.empty()) f.scope[0] = t ? t : f.originalTarget;
        break;
      }
      case 0x8C: {
        std::string label = r.str();
        if (auto* c = targetClip()) c->gotoLabel(label, false);
        break;
      }
      // ---- SWF 4 stack machine ----
      case 0x96: {  // Push
        while (r.pos < r.end && r.ok) {
          uint8_t type = r.u8();
          switch (type) {
            case 0:
              push(Value(r.str()));
              break;
            case 1: {
              uint32_t bits = r.u32();
              float fl;
              std::memcpy(&fl, &bits, 4);
              push(Value(static_cast<double>(fl)));
              break;
            }
            case 2:
              push(Value::null());
              break;
            case 3:
              push(Value());
              break;
            case 4: {
              uint8_t reg = r.u8();
              push(reg < f.registers.size() ? f.registers[reg] : Value());
              break;
            }
            case 5:
              push(Value(r.u8() != 0));
              break;
            case 6: {
              uint64_t hi = r.u32(), lo = r.u32();
              uint64_t bits = (hi << 32) | lo;
              double d;
              std::memcpy(&d, &bits, 8);
              push(Value(d));
              break;
            }
            case 7:
              push(Value(static_cast<double>(static_cast<int32_t>(r.u32()))));
              break;
            case 8:
            case 9: {
              size_t idx = type == 8 ? r.u8() : r.u16();
              push(idx < f.constants->size() ? Value((*f.constants)[idx]) : Value());
              break;
            }
            default:
              r.ok = false;
              break;
          }
        }
        break;
      }
      case 0x17:
        f.pop();
        break;
      case 0x0A:
      case 0x0B:
      case 0x0C:
      case 0x0D: {
        double a = toNumber(f.pop()), b = toNumber(f.pop());
        if (op == 0x0A)
          push(Value(b + a));
        else if (op == 0x0B)
          push(Value(b - a));
        else if (op == 0x0C)
          push(Value(b * a));
        else if (a == 0 && v4)
          push(Value("#ERROR#"));
        else
          push(Value(b / a));
        break;
      }
      case 0x0E: {
        double a = toNumber(f.pop()), b = toNumber(f.pop());
        push(boolResult(b == a));
        break;
      }
      case 0x0F: {
        double a = toNumber(f.pop()), b = toNumber(f.pop());
        push(boolResult(b < a));
        break;
      }
      case 0x10: {
        bool a = toBool(f.pop()), b = toBool(f.pop());
        push(boolResult(a && b));
        break;
      }
      case 0x11: {
        bool a = toBool(f.pop()), b = toBool(f.pop());
        push(boolResult(a || b));
        break;
      }
      case 0x12:
        push(boolResult(!toBool(f.pop())));
        break;
      case 0x13: {
        std::string a = toString(f.pop()), b = toString(f.pop());
        push(boolResult(a == b));
        break;
      }
      case 0x14:
      case 0x31: {
        std::string s = toString(f.pop());
        push(Value(static_cast<double>(text::length(s, op == 0x31 || utf8))));
        break;
      }
      case 0x15:
      case 0x35: {
        double count = toNumber(f.pop());
        double index = toNumber(f.pop());
        std::string s = toString(f.pop());
        if (std::isnan(index)) index = 1;
        if (std::isnan(count)) count = -1;
        push(Value(substrChars(s, std::max(0.0, std::trunc(index) - 1),
                               count < 0 ? -1 : std::trunc(count), op == 0x35 || utf8)));
        break;
      }
      case 0x18:
        push(Value(static_cast<double>(toInt32(toNumber(f.pop())))));
        break;  // int(): 32 bits, wrapping
      case 0x1C: {
        Value name = f.pop();
        push(getVariable(f, toString(name)));
        break;
      }
      case 0x1D: {
        Value v = f.pop();
        std::string name = toString(f.pop());
        setVariable(f, name, v);
        break;
      }
      case 0x20: {  // SetTarget2
        Value t = f.pop();
        Object* o = nullptr;
        if (t.isObject())
          o = t.asObject();
        else {
          std::string p = toString(t);
          o = p.empty() ? f.originalTarget : resolveTargetPath(f, p);
        }
        f.target = o;
        if (!f.callee && !f.scope.empty()) f.scope[0] = o ? o : f.originalTarget;
        break;
      }
      case 0x21: {
        std::string a = toString(f.pop()), b = toString(f.pop());
        noteStringMade(a.size() + b.size());
        push(Value(b + a));
        break;
      }
      case 0x22: {  // GetProperty
        int idx = toInt(f.pop());
        ScriptClip* c = clipAt(f.pop());
        if (!c || idx < 0 || idx >= static_cast<int>(ClipProperty::Count)) {
          push(Value());
          break;
        }
        static const char* names[] = {
            "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
            "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
            "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
            "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
            "_xmouse",      "_ymouse"};
        bool found = false;
        push(getClipProperty(objectFor(c), c, names[idx], &found));
        break;
      }
      case 0x23: {  // SetProperty
        Value v = f.pop();
        int idx = toInt(f.pop());
        ScriptClip* c = clipAt(f.pop());
        static const char* names[] = {
            "_x",           "_y",           "_xscale",       "_yscale",       "_currentframe",
            "_totalframes", "_alpha",       "_visible",      "_width",        "_height",
            "_rotation",    "_target",      "_framesloaded", "_name",         "_droptarget",
            "_url",         "_highquality", "_focusrect",    "_soundbuftime", "_quality",
            "_xmouse",      "_ymouse"};
        if (c && idx >= 0 && idx < static_cast<int>(ClipProperty::Count))
          setClipProperty(c, names[idx], v);
        break;
      }
      case 0x24: {  // CloneSprite
        int depth = toInt(f.pop());
        std::string name = toString(f.pop());
        ScriptClip* src = clipAt(f.pop());
        // The action's depth comes offset by 16384, as compilers emit it.
        if (src) src->duplicate(name, depth - 16384);
        break;
      }
      case 0x25: {
        if (ScriptClip* c = clipAt(f.pop())) c->removeSelf();
        break;
      }
      case 0x26: {
        Value v = f.pop();
        host_.trace(v.isUndefined() ? "undefined" : toString(v));
        break;
      }
      case 0x27: {  // StartDrag
        ScriptClip* c = clipAt(f.pop());
        bool lock = toBool(f.pop());
        bool constrain = toBool(f.pop());
        if (constrain) {
          f.pop();
          f.pop();
          f.pop();
          f.pop();
        }
        if (c) host_.startDrag(c, lock);
        break;
      }
      case 0x28:
        host_.stopDrag();
        break;
      case 0x29: {
        std::string a = toString(f.pop()), b = toString(f.pop());
        push(boolResult(b < a));
        break;
      }
      case 0x68: {
        std::string a = toString(f.pop()), b = toString(f.pop());
        push(Value(b > a));
        break;
      }
      case 0x30: {
        double max = toNumber(f.pop());
        int32_t m = toInt32(max);
        push(Value(m <= 0 ? 0.0 : std::floor(randomUnit() * m)));
        break;
      }
      // Before version 6 text is bytes: mbord too gives the first byte.
      case 0x32:
      case 0x36:
        push(Value(static_cast<double>(text::charCodeAt(toString(f.pop()), 0, utf8))));
        break;
      case 0x33:
      case 0x37: {
        uint32_t code32 = static_cast<uint32_t>(toInt(f.pop()));
        // Character 0 would end the string: chr(0) is empty.
        push((code32 & 0xFFFF) == 0
                 ? Value("")
                 : Value(text::fromCharCode(code32 & 0xFFFF, op == 0x37 || utf8)));
        break;
      }
      case 0x34:
        push(Value(std::floor(host_.timerMs())));
        break;
      case 0x99: {  // Jump
        int16_t off = static_cast<int16_t>(r.u16());
        long target = static_cast<long>(next) + off;
        if (target < static_cast<long>(start) || target > static_cast<long>(end)) {
          if (target < 0 || static_cast<size_t>(target) >= code.size()) return;
          throw static_cast<size_t>(target);  // leaves a With/Try block or a function
        }
        next = static_cast<size_t>(target);
        break;
      }
      case 0x9D: {  // If
        int16_t off = static_cast<int16_t>(r.u16());
        if (toBool(f.pop())) {
          long target = static_cast<long>(next) + off;
          if (target < static_cast<long>(start) || target > static_cast<long>(end)) {
            if (target < 0 || static_cast<size_t>(target) >= code.size()) return;
            throw static_cast<size_t>(target);
          }
          next = static_cast<size_t>(target);
        }
        break;
      }
      case 0x9E: {  // Call: run another frame's actions
        Value fr = f.pop();
        ScriptClip* c = targetClip();
        std::string s = toString(fr);
        size_t colon = s.rfind(':');
        if (colon != std::string::npos) {
          Object* o = resolveTargetPath(f, s.substr(0, colon));
          c = o ? o->clip : nullptr;
          s = s.substr(colon + 1);
        }
        if (c) {
          double n = stringToNumber(s, 5);
          int frame =
              std::isnan(n) ? c->frameOfLabel(s) : static_cast<int>(std::clamp(n, -1e9, 1e9)) - 1;
          if (frame >= 0) {
            struct Restore {
              Frame*& p;
              Frame* old;
              ~Restore() { p = old; }
            } restore{frameCallCaller_, std::exchange(frameCallCaller_, &f)};
            c->runFrameActions(frame);
          }
        }
        break;
      }
      case 0x9A: {  // GetURL2
        uint8_t flags = r.u8();
        std::string tgt = toString(f.pop());
        std::string url = toString(f.pop());
        // Bit 7: load variables; bit 6: the target is a clip. Without bit 6 a
        // "_levelN" target is that level (loadMovieNum, loadVariablesNum).
        const bool level = tgt.size() > 6 &&
                           (tgt.compare(0, 6, "_level") == 0 || tgt.compare(0, 6, "_LEVEL") == 0);
        ScriptClip* c = (flags & 0x40) || level ? clipAt(Value(tgt)) : nullptr;
        if (flags & 0x80) {
          if (c) requestVariablesLoad(url, c);
        } else if ((flags & 0x40) || level) {
          // A level not there yet is loaded by its number.
          if (c)
            requestMovieLoad(url, c);
          else
            requestLevelLoad(url, levelOfTarget(tgt));
        } else {
          host_.getURL(url, tgt, flags & 3);
        }
        break;
      }
      case 0x9F: {  // GotoFrame2
        uint8_t flags = r.u8();
        int bias = (flags & 2) ? r.u16() : 0;
        bool play = flags & 1;
        Value fr = f.pop();
        ScriptClip* c = targetClip();
        if (fr.isString()) {
          // "path:frame" names the clip too.
          std::string s = fr.asString();
          size_t colon = s.rfind(':');
          if (colon != std::string::npos) {
            Object* o = resolveTargetPath(f, s.substr(0, colon));
            c = o ? o->clip : nullptr;
            fr = Value(s.substr(colon + 1));
          }
        }
        gotoFrameValue(c, fr, play, bias);
        break;
      }
      case 0x8D: {  // WaitForFrame2
        int skip = r.u8();
        Value fr = f.pop();
        ScriptClip* c = targetClip();
        // A frame that is no number is never waited for.
        const double n = toNumber(fr);
        const int frame = std::isnan(n) ? -1 : static_cast<int>(std::clamp(n, -1e9, 1e9)) - 1;
        if (c && frame >= c->framesLoaded()) next = skipActions(next, skip);
        break;
      }
      // ---- SWF 5 ----
      case 0x88: {  // ConstantPool
        auto pool = std::make_shared<std::vector<std::string>>();
        uint16_t n = r.u16();
        for (uint16_t i = 0; i < n && r.pos < r.end; ++i) pool->push_back(r.str());
        f.constants = pool;
        break;
      }
      case 0x3A:
      case 0x3B: {  // Delete, Delete2
        std::string name = toString(f.pop());
        // Delete without an object to delete from deletes a variable, as Delete2 does
        // (up to SWF 6).
        Value o = op == 0x3A ? f.pop() : Value();
        if (op == 0x3A && (!o.isUndefined() || version_ >= 7)) {
          push(Value(o.isObject() && deleteMember(o.asObject(), name)));
          break;
        }
        Object* owner = nullptr;
        std::string member;
        if (size_t cut = name.find_last_of(":."); cut != std::string::npos && cut > 0) {
          // "o.b": b of o. A path through a primitive deletes nothing, and the
          // reference player says so.
          Value base = getVariable(f, std::string_view(name).substr(0, cut));
          if (!base.isObject() && !base.isNullish()) {
            host_.trace(
                "Parameters of primitive types are no longer coerced into the required type - "
                "Object.");
            push(Value(false));
            break;
          }
        }
        if (name.find_first_of(":.") != std::string::npos && splitPath(f, name, &owner, &member)) {
          push(Value(owner ? deleteMember(owner, member) : false));
          break;
        }
        bool done = false;
        for (auto it = f.scope.rbegin(); it != f.scope.rend() && !done; ++it)
          if (*it && (*it)->findOwn(name, caseInsensitive())) {
            // A function's local variables cannot be deleted.
            push(Value(*it != f.activation && deleteMember(*it, name)));
            done = true;
          }
        if (!done) {
          if (global->findOwn(name, caseInsensitive()))
            push(Value(deleteMember(global, name)));
          else
            push(Value(false));
        }
        break;
      }
      case 0x3C: {  // DefineLocal
        Value v = f.pop();
        std::string name = toString(f.pop());
        if (f.activation)
          f.activation->defineOwn(name, caseInsensitive()).value = v;
        else
          setVariable(f, name, v);
        break;
      }
      case 0x41: {  // DefineLocal2
        std::string name = toString(f.pop());
        Object* s = f.activation ? f.activation : (f.scope.empty() ? nullptr : f.scope.front());
        if (s && !s->findOwn(name, caseInsensitive())) s->defineOwn(name, caseInsensitive());
        break;
      }
      case 0x3D: {  // CallFunction
        std::string name = toString(f.pop());
        size_t n = static_cast<size_t>(std::max(0, toInt(f.pop())));
        std::vector<Value> args;
        for (size_t i = 0; i < n && !f.stack.empty(); ++i) args.push_back(f.pop());
        // A function named by a path ("_root.mc1:func", "/mc1/:gotoAndStop") runs
        // with the clip it was found on as `this`.
        Object* owner = nullptr;
        std::string member;
        Value fn, thisV = f.target ? Value(f.target) : Value();
        if (name.find_first_of(":.") != std::string::npos && splitPath(f, name, &owner, &member)) {
          fn = owner ? getMember(owner, member) : Value();
          if (owner) thisV = Value(owner);
        } else {
          fn = getVariable(f, name);
          // super() called as a function runs the parent constructor.
          if (fn.isObject() && fn.asObject()->className == "super" &&
              fn.asObject()->kind == ObjectKind::Other) {
            push(callSuperConstructor(fn.asObject(), args));
            break;
          }
          // A function found on a `with` object runs with that object as `this`.
          for (auto it = f.scope.rbegin(); it != f.scope.rend(); ++it) {
            Object* s = *it;
            if (!s || !hasProperty(s, name)) continue;
            bool withObject =
                s != f.activation && s != f.scope.front() && s->className != "activation";
            if (withObject) thisV = Value(s);
            break;
          }
        }
        stackCaller_ = &f;
        push(call(fn, thisV, args));
        break;
      }
      case 0x3E:
        f.returnValue = f.pop();
        f.returned = true;
        return;
      case 0x3F: {
        double a = toNumber(f.pop()), b = toNumber(f.pop());
        push(Value(std::fmod(b, a)));
        break;
      }
      case 0x40: {  // NewObject
        std::string name = toString(f.pop());
        size_t n = static_cast<size_t>(std::max(0, toInt(f.pop())));
        std::vector<Value> args;
        for (size_t i = 0; i < n && !f.stack.empty(); ++i) args.push_back(f.pop());
        Value ctor = getVariable(f, name);
        push(construct(ctor, args));
        break;
      }
      case 0x42: {  // InitArray
        size_t n = static_cast<size_t>(std::max(0, toInt(f.pop())));
        std::vector<Value> elems;
        for (size_t i = 0; i < n && !f.stack.empty(); ++i) elems.push_back(f.pop());
        push(Value(newArray(std::move(elems))));
        break;
      }
      case 0x43: {  // InitObject
        size_t n = static_cast<size_t>(std::max(0, toInt(f.pop())));
        Object* o = newObject();
        for (size_t i = 0; i < n && !f.stack.empty(); ++i) {
          Value v = f.pop();
          std::string name = toString(f.pop());
          setMember(o, name, v);
        }
        push(Value(o));
        break;
      }
      case 0x44:
        push(Value(typeOf(f.pop())));
        break;
      case 0x45: {
        Value v = f.pop();
        ScriptClip* c = clipOf(v);
        push(c ? Value(targetPath(c)) : Value());
        break;
      }
      case 0x46:
      case 0x55: {  // Enumerate, Enumerate2
        Value v = f.pop();
        Value objV = op == 0x46 ? getVariable(f, toString(v)) : v;
        // The end marker scripts see is undefined (== null, as loops test it).
        push(Value());
        if (objV.isObject()) {
          std::vector<std::string> names = enumerableNames(objV.asObject());
          for (auto it = names.rbegin(); it != names.rend(); ++it) push(Value(*it));
        }
        break;
      }
      case 0x47: {  // Add2
        Value ra = f.pop(), rb = f.pop();
        Value a = toPrimitive(ra), b = toPrimitive(rb);
        // valueOf gave an object: the operand stays itself (toString may still ask it).
        if (a.isObject()) a = ra;
        if (b.isObject()) b = rb;
        if (a.isString() || b.isString()) {
          std::string sb = toString(b), sa = toString(a);
          noteStringMade(sa.size() + sb.size());
          push(Value(sb + sa));
        } else {
          // An object whose valueOf gave an object adds as NaN.
          auto number = [&](const Value& x) { return x.isObject() ? std::nan("") : toNumber(x); };
          push(Value(number(b) + number(a)));
        }
        break;
      }
      case 0x48: {
        Value a = f.pop(), b = f.pop();
        push(lessThan(b, a));
        break;
      }
      case 0x67: {
        Value a = f.pop(), b = f.pop();
        Value r2 = lessThan(a, b);
        push(r2.isUndefined() ? Value(false) : r2);
        break;
      }
      case 0x49: {
        Value a = f.pop(), b = f.pop();
        push(Value(looseEquals(b, a)));
        break;
      }
      case 0x66: {
        Value a = f.pop(), b = f.pop();
        push(Value(strictEquals(b, a)));
        break;
      }
      case 0x4A:
        push(Value(toNumber(f.pop())));
        break;
      case 0x4B:
        push(Value(toString(f.pop())));
        break;
      case 0x4C: {
        Value v = f.stack.empty() ? Value() : f.stack.back();
        push(v);
        break;
      }
      case 0x4D: {
        Value a = f.pop(), b = f.pop();
        push(a);
        push(b);
        break;
      }
      case 0x4E: {  // GetMember
        Value name = f.pop();
        Value o = f.pop();
        push(getMember(o, toString(name)));
        break;
      }
      case 0x4F: {  // SetMember
        Value v = f.pop();
        std::string name = toString(f.pop());
        Value o = f.pop();
        if (o.isObject()) setMember(o.asObject(), name, v);
        break;
      }
      case 0x50:
        push(Value(toNumber(f.pop()) + 1));
        break;
      case 0x51:
        push(Value(toNumber(f.pop()) - 1));
        break;
      case 0x52:
      case 0x53: {  // CallMethod, NewMethod
        Value nameV = f.pop();
        Value objV = f.pop();
        size_t n = static_cast<size_t>(std::max(0, toInt(f.pop())));
        std::vector<Value> args;
        for (size_t i = 0; i < n && !f.stack.empty(); ++i) args.push_back(f.pop());
        std::string name = nameV.isUndefined() ? "" : toString(nameV);
        if (op == 0x53) {
          push(construct(name.empty() ? objV : getMember(objV, name), args));
          break;
        }
        Object* superObj = objV.isObject() && objV.asObject()->className == "super" &&
                                   objV.asObject()->kind == ObjectKind::Other
                               ? objV.asObject()
                               : nullptr;
        if (name.empty()) {
          if (superObj) {
            push(callSuperConstructor(superObj, args));
          } else {
            push(call(objV, Value(), args));
          }
          break;
        }
        // A method called on a removed clip runs on the clip that took its place.
        if (Object* successor = objV.isObject() ? successorClip(objV.asObject()) : nullptr)
          objV = Value(successor);
        Value thisV = superObj ? superObj->primitive : objV;
        Object* owner = nullptr;
        Value fn;
        Object* base = objV.isObject() ? objV.asObject() : nullptr;
        if (base && !superObj && base->kind == ObjectKind::Clip && base->clip) {
          fn = getMember(base, name);
          Object* o2 = base;
          for (int d = 0; o2 && d < 256; ++d) {
            if (o2->findOwn(name, caseInsensitive())) {
              owner = o2;
              break;
            }
            o2 = o2->proto(caseInsensitive());
          }
        } else if (base) {
          Property* p = findProperty(base, name, &owner);
          if (p)
            fn = p->isAccessor() ? call(Value(p->getter), thisV, {}) : p->value;
          else
            fn = getMember(base, name);
        } else {
          fn = getMember(objV, name);
        }
        if (!isFunction(fn)) {
          push(Value());
          break;
        }
        auto* fo = static_cast<FunctionObject*>(fn.asObject());
        if (fo->body) {
          if (nestedTooDeep()) throw ScriptAbort{"recursion too deep"};
          ++callDepth_;
          struct G {
            int& d;
            ~G() { --d; }
          } g{callDepth_};
          stackCaller_ = &f;
          // A script method called on text, a number or a boolean gets a new
          // wrapper object as `this` each time.
          if (!thisV.isObject() && !thisV.isNullish()) thisV = Value(toObject(thisV));
          // From version 7 `super` comes from where the method was found. Version 6
          // takes it from the object called on: obj.m() sees obj.__proto__.__proto__,
          // and super.m() one level above the caller's, so an inherited method may
          // run twice up the chain.
          Object* home = owner;
          if (version_ >= 7 && superObj && superObj->homeProto) {
            // super.m() found above the super object's first prototype runs one
            // level below where it was found.
            Object* start = superObj->homeProto->proto(caseInsensitive());
            if (start && owner != start && start->proto(caseInsensitive()))
              home = start->proto(caseInsensitive());
          }
          if (version_ < 7) {
            home = superObj ? (superObj->homeProto ? superObj->homeProto->proto(caseInsensitive())
                                                   : nullptr)
                            : nullptr;
            if (superObj && !home) home = owner;
          }
          push(executeFunction(fo, thisV, args, home));
        } else {
          push(call(fn, thisV, args));
        }
        break;
      }
      case 0x60: {
        int32_t a = toInt(f.pop()), b = toInt(f.pop());
        push(Value(static_cast<double>(b & a)));
        break;
      }
      case 0x61: {
        int32_t a = toInt(f.pop()), b = toInt(f.pop());
        push(Value(static_cast<double>(b | a)));
        break;
      }
      case 0x62: {
        int32_t a = toInt(f.pop()), b = toInt(f.pop());
        push(Value(static_cast<double>(b ^ a)));
        break;
      }
      case 0x63: {
        int32_t a = toInt(f.pop()), b = toInt(f.pop());
        push(
            Value(static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(b) << (a & 31)))));
        break;
      }
      case 0x64: {
        int32_t a = toInt(f.pop()), b = toInt(f.pop());
        push(Value(static_cast<double>(b >> (a & 31))));
        break;
      }
      case 0x65: {  // the result is read back as a signed integer: -1 >>> 0 stays -1
        int32_t a = toInt(f.pop());
        uint32_t b = static_cast<uint32_t>(toInt(f.pop()));
        push(Value(static_cast<double>(static_cast<int32_t>(b >> (a & 31)))));
        break;
      }
      case 0x87: {  // StoreRegister
        uint8_t reg = r.u8();
        if (reg < f.registers.size()) f.registers[reg] = f.stack.empty() ? Value() : f.stack.back();
        break;
      }
      case 0x94: {  // With
        uint16_t size = r.u16();
        Value o = f.pop();
        size_t blockEnd = std::min(next + size, end);
        Object* obj = toObject(o);
        // with (null) and with (undefined) skip their block, and so does a with
        // nested deeper than the player's 13 levels.
        constexpr int kMaxWithDepth = 13;
        if (!obj || f.withDepth >= kMaxWithDepth) {
          next = blockEnd;
          break;
        }
        f.scope.push_back(obj);
        ++f.withDepth;
        struct WithLevel {
          int& depth;
          ~WithLevel() { --depth; }
        } withLevel{f.withDepth};
        size_t scopeSize = f.scope.size();
        size_t jumpedTo = SIZE_MAX;
        try {
          run(f, next, blockEnd);
        } catch (size_t target) {
          jumpedTo = target;
        } catch (...) {
          if (obj && f.scope.size() >= scopeSize) f.scope.resize(scopeSize - 1);
          throw;
        }
        if (obj && f.scope.size() >= scopeSize) f.scope.resize(scopeSize - 1);
        if (f.returned) return;
        next = blockEnd;
        if (jumpedTo == blockEnd) jumpedTo = SIZE_MAX;
        if (jumpedTo != SIZE_MAX) {
          if (jumpedTo < start || jumpedTo > end) throw jumpedTo;
          next = jumpedTo;
        }
        break;
      }
      case 0x9B:
      case 0x8E: {  // DefineFunction, DefineFunction2
        auto body = std::make_shared<ScriptFunctionBody>();
        body->name = r.str();
        uint16_t nparams = r.u16();
        if (op == 0x8E) {
          body->isFunction2 = true;
          body->registerCount = r.u8();
          body->flags = r.u16();
          for (uint16_t i = 0; i < nparams && r.ok; ++i) {
            body->paramRegisters.push_back(r.u8());
            body->params.push_back(r.str());
          }
        } else {
          for (uint16_t i = 0; i < nparams && r.ok; ++i) body->params.push_back(r.str());
        }
        uint16_t codeSize = r.u16();
        if (!r.ok) break;
        body->code = f.code;
        body->start = next;
        body->end = std::min(next + codeSize, end);
        body->version = f.version;
        body->constants = f.constants;
        body->scope = f.scope;
        body->targetClip = f.target;
        auto* fn = allocate<FunctionObject>();
        fn->body = body;
        bool ci = caseInsensitive();
        fn->put("__proto__", functionProto, kDontEnum | kDontDelete, ci);
        Object* proto = newObject();
        proto->put("constructor", fn, kDontEnum, ci);
        fn->put("prototype", proto, kDontEnum | kDontDelete, ci);
        next = body->end;
        if (body->name.empty()) {
          push(Value(fn));
        } else if (f.activation) {
          f.activation->defineOwn(body->name, ci).value = Value(fn);
        } else {
          setVariable(f, body->name, Value(fn));
        }
        break;
      }
      // ---- SWF 6 and 7 ----
      case 0x54: {  // InstanceOf
        Value ctor = f.pop();
        Value o = f.pop();
        // A primitive is an instance of nothing ("text" instanceof String is false).
        Object* obj = o.isObject() ? o.asObject() : nullptr;
        push(Value(ctor.isObject() && obj && instanceOf(obj, ctor.asObject())));
        break;
      }
      case 0x69: {  // Extends
        Value superV = f.pop();
        Value subV = f.pop();
        if (!subV.isObject() || !superV.isObject()) break;
        bool ci = caseInsensitive();
        Value superProto = getMember(superV.asObject(), "prototype");
        Object* proto = allocate<Object>();
        if (superProto.isObject()) proto->put("__proto__", superProto, kDontEnum | kDontDelete, ci);
        proto->put("__constructor__", superV, kDontEnum, ci);
        setMember(subV.asObject(), "prototype", Value(proto));
        break;
      }
      case 0x2C: {  // ImplementsOp
        Value ctor = f.pop();
        size_t n = static_cast<size_t>(std::max(0, toInt(f.pop())));
        std::vector<Value> ifaces;
        for (size_t i = 0; i < n && !f.stack.empty(); ++i) ifaces.push_back(f.pop());
        if (!ctor.isObject()) break;
        Value proto = getMember(ctor.asObject(), "prototype");
        if (proto.isObject())
          proto.asObject()->put("__implements__", Value(newArray(ifaces)), kDontEnum,
                                caseInsensitive());
        break;
      }
      case 0x2B: {  // CastOp
        Value o = f.pop();
        Value ctor = f.pop();
        bool ok = o.isObject() && ctor.isObject() && instanceOf(o.asObject(), ctor.asObject());
        push(ok ? o : Value::null());
        break;
      }
      case 0x2A:
        throw ScriptThrow{f.pop()};
      case 0x8F: {  // Try
        uint8_t flags = r.u8();
        uint16_t trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
        // Flag bits (high to low): ... CatchInRegister, Finally, Catch.
        bool catchInRegister = flags & 4;
        bool hasFinally = flags & 2;
        bool hasCatch = flags & 1;
        std::string catchName;
        uint8_t catchReg = 0;
        if (catchInRegister)
          catchReg = r.u8();
        else
          catchName = r.str();
        size_t tryStart = next;
        size_t catchStart = std::min(tryStart + trySize, end);
        size_t finallyStart = std::min(catchStart + catchSize, end);
        size_t after = std::min(finallyStart + finallySize, end);
        size_t jumpedTo = SIZE_MAX;
        bool pending = false;
        Value pendingValue;
        try {
          run(f, tryStart, catchStart);
        } catch (size_t t) {
          jumpedTo = t;
        } catch (ScriptThrow& t) {
          pending = true;
          pendingValue = t.value;
        }
        if (pending && hasCatch && !f.returned) {
          pending = false;
          if (catchInRegister) {
            if (catchReg < f.registers.size()) f.registers[catchReg] = pendingValue;
          } else if (f.activation) {
            f.activation->defineOwn(catchName, caseInsensitive()).value = pendingValue;
          } else {
            setVariable(f, catchName, pendingValue);
          }
          try {
            run(f, catchStart, finallyStart);
          } catch (size_t t) {
            jumpedTo = t;
          } catch (ScriptThrow& t) {
            pending = true;
            pendingValue = t.value;
          }
        }
        if (hasFinally) {
          bool wasReturned = f.returned;
          Value rv = f.returnValue;
          f.returned = false;
          run(f, finallyStart, after);
          if (f.returned) return;  // a return in finally wins and drops any throw
          f.returned = wasReturned;
          f.returnValue = rv;
        }
        if (pending) throw ScriptThrow{pendingValue};
        if (f.returned) return;
        next = after;
        if (jumpedTo >= tryStart && jumpedTo <= after) jumpedTo = SIZE_MAX;
        if (jumpedTo != SIZE_MAX) {
          if (jumpedTo < start || jumpedTo > end) throw jumpedTo;
          next = jumpedTo;
        }
        break;
      }
      default:
        break;  // unknown actions are skipped by their length
    }
    pc = next;
  }
}

}  // namespace orv::movie::avm1
