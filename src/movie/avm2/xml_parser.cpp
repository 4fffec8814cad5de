// Reading XML text into nodes. The text is a script's or a movie's and may be hostile: the
// reader keeps its own stack (no recursion), bounds the nesting and the number of nodes,
// and reports what is wrong with the player's TypeErrors.
#include <cstring>

#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxNodes = size_t(1) << 20;

struct RawAttr {
  std::string_view name;
  std::string value;
};

class Reader {
 public:
  Reader(Machine& m, std::string_view s, String* defaultUri) : m_(m), s_(s), root_(newXmlNode(m, XmlKind::Element)) {
    root_->local = m.intern("parent");
    root_->namespaces.push_back({m.intern("xml"), m.intern("http://www.w3.org/XML/1998/namespace")});
    if (defaultUri) root_->namespaces.push_back({m.intern(""), defaultUri});
  }

  std::vector<XMLObject*> run() {
    XMLObject* open = root_;
    int depth = 0;
    while (p_ < s_.size()) {
      if (s_[p_] != '<') {
        text(open);
        continue;
      }
      if (starts("<!--")) {
        size_t e = s_.find("-->", p_ + 4);
        if (e == std::string_view::npos) fail(1094);
        if (!m_.xmlSettings.ignoreComments) add(open, XmlKind::Comment, s_.substr(p_ + 4, e - p_ - 4));
        p_ = e + 3;
      } else if (starts("<![CDATA[")) {
        size_t e = s_.find("]]>", p_ + 9);
        if (e == std::string_view::npos) fail(1091);
        add(open, XmlKind::Text, s_.substr(p_ + 9, e - p_ - 9))->cdata = true;
        p_ = e + 3;
      } else if (starts("<!DOCTYPE")) {
        doctype();
      } else if (starts("<?")) {
        instruction(open);
      } else if (starts("</")) {
        p_ += 2;
        std::string_view name = readName();
        skipSpace();
        if (p_ >= s_.size() || s_[p_] != '>') fail(1090);
        ++p_;
        if (open == root_) fail(1088);
        if (name != written(open)) fail(1085, {written(open), written(open)});
        open = open->parent;
        --depth;
      } else {
        XMLObject* e = element(open);
        if (e && ++depth > kMaxXmlDepth) m_.fail(ErrorClass::Error, 1023);
        if (e) open = e;
      }
    }
    if (open != root_) fail(1085, {written(open), written(open)});
    std::vector<XMLObject*> nodes = root_->children;
    for (XMLObject* n : nodes) n->parent = nullptr;
    return nodes;
  }

 private:
  [[noreturn]] void fail(int id, std::initializer_list<std::string> args = {}) {
    m_.fail(ErrorClass::TypeError, id, args);
  }
  bool starts(const char* t) const { return s_.substr(p_).starts_with(t); }
  static bool space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  void skipSpace() {
    while (p_ < s_.size() && space(s_[p_])) ++p_;
  }
  std::string_view readName() {
    size_t b = p_;
    while (p_ < s_.size() && !space(s_[p_]) && !std::strchr("/>=<\"'", s_[p_])) ++p_;
    return s_.substr(b, p_ - b);
  }
  // The name as the text wrote it, for messages.
  std::string written(const XMLObject* e) const {
    return e->prefix && !e->prefix->view().empty() ? e->prefix->text() + ":" + e->local->text()
                                                   : e->local->text();
  }

  XMLObject* add(XMLObject* parent, XmlKind kind, std::string_view value) {
    if (++nodes_ > kMaxNodes) m_.fail(ErrorClass::Error, 1000);
    XMLObject* n = newXmlNode(m_, kind);
    n->value = StringRef(value);
    n->parent = parent;
    parent->children.push_back(n);
    return n;
  }

  std::string decode(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      size_t semi = raw.find(';', i);
      if (semi == std::string_view::npos || semi - i > 12) {
        out += '&';
        continue;
      }
      std::string_view ent = raw.substr(i + 1, semi - i - 1);
      static const std::pair<const char*, char> named[] = {
          {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
      bool done = false;
      for (auto& [n, c] : named)
        if (ent == n) {
          out += c;
          done = true;
        }
      if (!done && ent.size() > 1 && ent[0] == '#') {
        bool hex = ent[1] == 'x' || ent[1] == 'X';
        uint32_t code = 0;
        bool ok = ent.size() > (hex ? 2u : 1u);
        for (char c : ent.substr(hex ? 2 : 1)) {
          int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                  : hex && std::isxdigit(static_cast<unsigned char>(c)) ? (std::tolower(c) - 'a' + 10)
                                                                          : -1;
          if (d < 0 || code > 0x10FFFF) ok = false;
          else code = code * (hex ? 16 : 10) + d;
        }
        if (ok && code <= 0x10FFFF) {
          std::u16string u;
          if (code >= 0x10000) {
            u += char16_t(0xD800 + ((code - 0x10000) >> 10));
            u += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
          } else {
            u += char16_t(code);
          }
          out += utf8(u);
          done = true;
        }
      }
      if (!done) out += raw.substr(i, semi - i + 1);  // an unknown reference stays as written
      i = semi;
    }
    return out;
  }

  void text(XMLObject* open) {
    size_t e = s_.find('<', p_);
    if (e == std::string_view::npos) e = s_.size();
    std::string_view raw = s_.substr(p_, e - p_);
    p_ = e;
    bool blank = true;
    for (char c : raw)
      if (!space(c)) blank = false;
    if (blank && m_.xmlSettings.ignoreWhitespace) return;
    std::string v = decode(raw);
    if (m_.xmlSettings.ignoreWhitespace) {
      size_t b = 0, n = v.size();
      while (b < n && space(v[b])) ++b;
      while (n > b && space(v[n - 1])) --n;
      v = v.substr(b, n - b);
    }
    add(open, XmlKind::Text, v);
  }

  void doctype() {
    int nest = 0;
    for (size_t i = p_ + 2; i < s_.size(); ++i) {
      if (s_[i] == '[') ++nest;
      else if (s_[i] == ']') --nest;
      else if (s_[i] == '>' && nest <= 0) {
        p_ = i + 1;
        return;
      }
    }
    fail(1093);
  }

  void instruction(XMLObject* open) {
    size_t e = s_.find("?>", p_ + 2);
    if (e == std::string_view::npos) fail(starts("<?xml ") ? 1092 : 1097);
    p_ += 2;
    std::string_view target = readName();
    skipSpace();
    std::string_view body = p_ < e ? s_.substr(p_, e - p_) : std::string_view();
    p_ = e + 2;
    if (target == "xml" || m_.xmlSettings.ignoreProcessingInstructions) return;
    add(open, XmlKind::Instruction, body)->local = m_.intern(target);
  }

  // The URI a prefix is bound to at `e` (null: unbound).
  String* resolve(const XMLObject* e, std::string_view prefix) {
    for (int steps = 0; e; e = e->parent, ++steps)
      for (const XmlNs& ns : e->namespaces)
        if (ns.prefix->view() == prefix) return ns.uri;
    return prefix.empty() ? m_.intern("") : nullptr;
  }

  // A start tag: the element, or null when it closed itself.
  XMLObject* element(XMLObject* open) {
    ++p_;
    std::string_view qname = readName();
    if (qname.empty()) fail(1090);
    std::vector<RawAttr> attrs;
    for (;;) {
      size_t before = p_;
      skipSpace();
      if (p_ >= s_.size()) fail(1096);
      if (s_[p_] == '>' || starts("/>")) break;
      if (p_ == before) fail(1090);
      std::string_view name = readName();
      skipSpace();
      if (name.empty() || p_ >= s_.size() || s_[p_] != '=') fail(1090);
      ++p_;
      skipSpace();
      if (p_ >= s_.size() || (s_[p_] != '"' && s_[p_] != '\'')) fail(1090);
      char q = s_[p_];
      size_t e = s_.find(q, p_ + 1);
      if (e == std::string_view::npos) fail(1095);
      std::string_view raw = s_.substr(p_ + 1, e - p_ - 1);
      if (raw.find('<') != std::string_view::npos) fail(1090);
      p_ = e + 1;
      for (const RawAttr& a : attrs)
        if (a.name == name) fail(1104, {std::string(name), std::string(qname)});
      attrs.push_back({name, decode(raw)});
    }
    bool empty = s_[p_] == '/';
    p_ += empty ? 2 : 1;
    if (++nodes_ > kMaxNodes) m_.fail(ErrorClass::Error, 1000);
    XMLObject* e = newXmlNode(m_, XmlKind::Element);
    e->parent = open;
    for (const RawAttr& a : attrs) {
      if (a.name == "xmlns") e->namespaces.push_back({m_.intern(""), m_.intern(a.value)});
      else if (a.name.starts_with("xmlns:"))
        e->namespaces.push_back({m_.intern(a.name.substr(6)), m_.intern(a.value)});
    }
    auto split = [&](std::string_view q, bool attribute, XMLObject* node) {
      size_t colon = q.find(':');
      std::string_view prefix = colon == std::string_view::npos ? "" : q.substr(0, colon);
      std::string_view local = colon == std::string_view::npos ? q : q.substr(colon + 1);
      if (local.empty() || colon == 0 || local.find(':') != std::string_view::npos)
        fail(1084, {std::string(q)});
      String* uri = attribute && prefix.empty() ? m_.intern("") : resolve(e, prefix);
      if (!uri) fail(1083, {std::string(prefix), std::string(q)});
      node->uri = uri;
      node->local = m_.intern(local);
      node->prefix = m_.intern(prefix);
    };
    split(qname, false, e);
    for (const RawAttr& a : attrs) {
      if (a.name == "xmlns" || a.name.starts_with("xmlns:")) continue;
      XMLObject* at = newXmlNode(m_, XmlKind::Attribute);
      split(a.name, true, at);
      at->value = StringRef(a.value);
      at->parent = e;
      e->attributes.push_back(at);
    }
    open->children.push_back(e);
    return empty ? nullptr : e;
  }

  Machine& m_;
  std::string_view s_;
  size_t p_ = 0;
  size_t nodes_ = 0;
  XMLObject* root_;
};

}  // namespace

std::vector<XMLObject*> parseXml(Machine& m, std::string_view text, String* defaultUri) {
  return Reader(m, text, defaultUri).run();
}

}  // namespace orv::movie::avm2
