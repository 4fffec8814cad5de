// Variables and target paths: the scope chain, slash and dot paths, _root, _global,
// _levelN, this and super as names.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "movie/avm1/frame.h"
#include "movie/avm1/vm.h"

namespace orv::movie::avm1 {

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
    // Two slashes in a row name nothing (one at the end is allowed).
    if (seg.empty() && !first && j < path.size() && path[j] == '/') return nullptr;
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
    // A removed clip in the chain stands for its successor at the same path, or for the
    // root movie when there is none.
    if (s->kind == ObjectKind::Clip && !s->clip) {
      Object* successor = successorClip(s);
      ScriptClip* root = rootClip();
      s = successor ? successor : root ? objectFor(root) : nullptr;
      if (!s) continue;
    }
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

}  // namespace orv::movie::avm1
