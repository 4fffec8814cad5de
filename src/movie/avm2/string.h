// Script strings: immutable text shared by reference (a copy of a value copies a pointer
// and bumps a count; a move copies nothing). Names the machine compares are interned in a
// StringTable, so two interned strings are equal exactly when they are the same object.
//
// Text is held as UTF-8. Most script text is ASCII, where a UTF-16 code unit index (what
// String methods count in) is the byte index; `isAscii()` tells the built-ins when they may
// index bytes directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

namespace orv::movie::avm2 {

class String {
 public:
  // A new string with one reference, owned by the caller (see StringRef::adopt).
  static String* make(std::string_view text);
  // `a` followed by `b`, with one reference. When `a` is the longest string over its
  // buffer the new string extends that buffer in place, so building a string by
  // appending to it costs time in proportion to its length, not its square.
  static String* concat(String* a, std::string_view b);

  std::string_view view() const { return std::string_view(buffer_->data(), length_); }
  std::string text() const { return std::string(view()); }
  size_t size() const { return length_; }
  size_t hash() const {
    if (!hashed_) {
      hash_ = std::hash<std::string_view>()(view());
      hashed_ = true;
    }
    return hash_;
  }
  bool isAscii() const { return ascii_; }
  bool isInterned() const { return interned_; }

  void retain() { ++refs_; }
  void release() {
    if (--refs_ == 0) delete this;
  }
  uint32_t refCount() const { return refs_; }

  static bool equal(const String* a, const String* b) {
    if (a == b) return true;
    if (a->interned_ && b->interned_) return false;
    return a->length_ == b->length_ && a->view() == b->view();
  }

 private:
  explicit String(std::string_view text);
  String(std::shared_ptr<std::string> buffer, size_t length, bool ascii);
  friend class StringTable;

  std::shared_ptr<std::string> buffer_;
  size_t length_;
  mutable size_t hash_ = 0;
  mutable bool hashed_ = false;
  uint32_t refs_ = 1;
  bool ascii_;
  bool interned_ = false;
};

// An owning handle to a string (null allowed).
class StringRef {
 public:
  StringRef() = default;
  explicit StringRef(std::string_view text) : s_(String::make(text)) {}
  StringRef(String* s) : s_(s) {  // shares s
    if (s_) s_->retain();
  }
  static StringRef adopt(String* s) {
    StringRef r;
    r.s_ = s;
    return r;
  }
  StringRef(const StringRef& o) : s_(o.s_) {
    if (s_) s_->retain();
  }
  StringRef(StringRef&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }
  StringRef& operator=(StringRef o) noexcept {
    std::swap(s_, o.s_);
    return *this;
  }
  ~StringRef() {
    if (s_) s_->release();
  }
  String* get() const { return s_; }
  String* operator->() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  std::string_view view() const { return s_ ? s_->view() : std::string_view(); }

 private:
  String* s_ = nullptr;
};

// The machine's interned names. The table holds a reference to each string it interns, so
// an interned string lives as long as the table.
class StringTable {
 public:
  StringTable() = default;
  StringTable(const StringTable&) = delete;
  StringTable& operator=(const StringTable&) = delete;
  ~StringTable();

  // The one interned string with this text (borrowed: the table keeps it alive).
  String* intern(std::string_view text);
  String* intern(String* s);  // s itself when it is already interned
  size_t size() const { return set_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(const String* s) const { return s->hash(); }
    size_t operator()(std::string_view v) const;
  };
  struct Eq {
    using is_transparent = void;
    bool operator()(const String* a, const String* b) const { return a->view() == b->view(); }
    bool operator()(std::string_view a, const String* b) const { return a == b->view(); }
    bool operator()(const String* a, std::string_view b) const { return a->view() == b; }
  };
  std::unordered_set<String*, Hash, Eq> set_;
};

}  // namespace orv::movie::avm2
