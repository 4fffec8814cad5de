#include "movie/avm2/string.h"

#include <functional>

namespace orv::movie::avm2 {

namespace {
size_t hashText(std::string_view v) { return std::hash<std::string_view>()(v); }
bool allAscii(std::string_view v) {
  for (unsigned char c : v)
    if (c >= 0x80) return false;
  return true;
}
}  // namespace

String::String(std::string_view text)
    : text_(text), hash_(hashText(text)), ascii_(allAscii(text)) {}

String* String::make(std::string_view text) { return new String(text); }

size_t StringTable::Hash::operator()(std::string_view v) const { return hashText(v); }

StringTable::~StringTable() {
  for (String* s : set_) {
    s->interned_ = false;  // strings still referenced elsewhere stop comparing by identity
    s->release();
  }
}

String* StringTable::intern(std::string_view text) {
  auto it = set_.find(text);
  if (it != set_.end()) return *it;
  String* s = String::make(text);
  s->interned_ = true;
  set_.insert(s);
  return s;
}

String* StringTable::intern(String* s) {
  if (s->interned_) return s;
  auto it = set_.find(s);
  if (it != set_.end()) return *it;
  s->retain();
  s->interned_ = true;
  set_.insert(s);
  return s;
}

}  // namespace orv::movie::avm2
