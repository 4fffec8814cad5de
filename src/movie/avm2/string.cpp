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
    : buffer_(std::make_shared<std::string>(text)), length_(text.size()), ascii_(allAscii(text)) {}

String::String(std::shared_ptr<std::string> buffer, size_t length, bool ascii)
    : buffer_(std::move(buffer)), length_(length), ascii_(ascii) {}

String* String::make(std::string_view text) { return new String(text); }

String* String::concat(String* a, std::string_view b) {
  bool ascii = a->ascii_ && allAscii(b);
  if (!a->interned_ && a->length_ == a->buffer_->size()) {
    // b may view this very buffer, which the append can move.
    std::string tail(b);
    a->buffer_->append(tail);
    return new String(a->buffer_, a->buffer_->size(), ascii);
  }
  auto buffer = std::make_shared<std::string>();
  buffer->reserve(a->length_ + b.size());
  buffer->append(a->view());
  buffer->append(b);
  size_t length = buffer->size();
  return new String(std::move(buffer), length, ascii);
}

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
