// Writing XML as text: toXMLString's markup with namespace declarations where an element
// first needs them, and the pretty-printing settings.
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

struct Writer {
  Machine& m;
  std::string out;

  // A negative indentation turns pretty printing off.
  bool pretty() const { return m.xmlSettings.prettyPrinting && m.xmlSettings.prettyIndent >= 0; }

  static bool space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  static const XmlNs* findUri(const std::vector<XmlNs>& scope, String* uri, String* prefix) {
    const XmlNs* found = nullptr;
    for (size_t i = scope.size(); i-- > 0;) {
      if (scope[i].uri != uri) continue;
      // A prefix rebound closer to the element hides this declaration.
      bool hidden = false;
      for (size_t j = i + 1; j < scope.size(); ++j)
        if (scope[j].prefix == scope[i].prefix) hidden = true;
      if (hidden) continue;
      if (scope[i].prefix == prefix) return &scope[i];
      if (!found) found = &scope[i];
    }
    return found;
  }

  static bool prefixUsed(const std::vector<XmlNs>& scope, std::string_view p) {
    for (const XmlNs& ns : scope)
      if (ns.prefix && ns.prefix->view() == p) return true;
    return false;
  }

  // The prefix a name in `uri` is written with, declaring it when none is in scope.
  String* prefixFor(std::vector<XmlNs>& scope, String* uri, String* prefix, bool attribute) {
    if (attribute && uri->view().empty()) return m.intern("");
    if (uri->view().empty()) {
      // No namespace needs no declaration unless a default namespace is in scope.
      bool defaultBound = false;
      for (const XmlNs& ns : scope)
        if (ns.prefix->view().empty()) defaultBound = !ns.uri->view().empty();
      if (!defaultBound) return m.intern("");
    }
    if (const XmlNs* ns = findUri(scope, uri, prefix)) {
      if (!(attribute && ns->prefix->view().empty())) return ns->prefix;
    }
    std::string p;
    if (prefix && !(attribute && prefix->view().empty()) && !prefixUsed(scope, prefix->view())) {
      p = prefix->text();
    } else if (!attribute && !prefixUsed(scope, "")) {
      p = "";
    } else {
      for (int i = 0;; ++i) {
        p = "ns" + std::to_string(i);
        if (!prefixUsed(scope, p)) break;
      }
    }
    scope.push_back({m.intern(p), uri});
    return scope.back().prefix;
  }

  void indent(int n) {
    if (!pretty() || n <= 0) return;
    // Markup is bounded as strings are, however wide the indentation asked.
    if (out.size() + static_cast<size_t>(n) > (size_t(1) << 28)) m.fail(ErrorClass::Error, 1000);
    out.append(static_cast<size_t>(n), ' ');
  }

  void node(const XMLObject* x, std::vector<XmlNs>& scope, int level, int depth) {
    if (depth > kMaxXmlDepth) m.fail(ErrorClass::Error, 1023);
    indent(level);
    switch (x->kind) {
      case XmlKind::Text: {
        std::string_view v = x->value.view();
        if (x->cdata) {
          out += "<![CDATA[";
          out += v;
          out += "]]>";
          return;
        }
        if (pretty()) {
          size_t b = 0, e = v.size();
          while (b < e && space(v[b])) ++b;
          while (e > b && space(v[e - 1])) --e;
          v = v.substr(b, e - b);
        }
        out += m.escapeXml(v, false);
        return;
      }
      case XmlKind::Attribute: out += m.escapeXml(x->value.view(), true); return;
      case XmlKind::Comment: out += "<!--" + std::string(x->value.view()) + "-->"; return;
      case XmlKind::Instruction:
        out += "<?" + x->local->text() + " " + std::string(x->value.view()) + "?>";
        return;
      case XmlKind::Element: break;
    }
    size_t outer = scope.size();
    for (const XmlNs& ns : x->namespaces) {
      bool known = false;
      for (const XmlNs& a : scope)
        if (a.uri == ns.uri && a.prefix == ns.prefix) known = true;
      if (!known) scope.push_back(ns);
    }
    String* prefix = prefixFor(scope, x->uri, x->prefix, false);
    std::vector<String*> attrPrefixes;
    for (const XMLObject* a : x->attributes)
      attrPrefixes.push_back(prefixFor(scope, a->uri, a->prefix, true));
    std::string name = prefix->view().empty() ? x->local->text() : prefix->text() + ":" + x->local->text();
    out += "<" + name;
    for (size_t i = 0; i < x->attributes.size(); ++i) {
      out += ' ';
      if (!attrPrefixes[i]->view().empty()) out += attrPrefixes[i]->text() + ":";
      out += x->attributes[i]->local->view();
      out += "=\"" + m.escapeXml(x->attributes[i]->value.view(), true) + "\"";
    }
    for (size_t i = outer; i < scope.size(); ++i) {
      out += " xmlns";
      if (!scope[i].prefix->view().empty()) out += ":" + scope[i].prefix->text();
      out += "=\"" + m.escapeXml(scope[i].uri->view(), true) + "\"";
    }
    if (x->children.empty()) {
      out += "/>";
      scope.resize(outer);
      return;
    }
    out += '>';
    bool indentChildren = pretty() &&
                  (x->children.size() > 1 || x->children[0]->kind != XmlKind::Text);
    int next = indentChildren ? level + m.xmlSettings.prettyIndent : 0;
    for (const XMLObject* c : x->children) {
      if (indentChildren) out += '\n';
      node(c, scope, next, depth + 1);
    }
    if (indentChildren) {
      out += '\n';
      indent(level);
    }
    out += "</" + name + ">";
    scope.resize(outer);
  }
};

}  // namespace

std::string xmlToXmlString(Machine& m, const XMLObject* x) {
  Writer w{m, {}};
  std::vector<XmlNs> scope;
  w.node(x, scope, 0, 0);
  return std::move(w.out);
}

std::string listToString(Machine& m, const XMLListObject* l) {
  if (l->items.size() == 1) return xmlToString(m, l->items[0]);
  bool simple = true;
  for (const XMLObject* x : l->items)
    if (x->kind == XmlKind::Element) simple = false;
  if (!simple) return listToXmlString(m, l);
  std::string s;
  for (const XMLObject* x : l->items)
    if (x->kind != XmlKind::Comment && x->kind != XmlKind::Instruction) s += xmlToString(m, x);
  return s;
}

std::string listToXmlString(Machine& m, const XMLListObject* l) {
  std::string s;
  for (size_t i = 0; i < l->items.size(); ++i) {
    if (i) s += '\n';
    s += xmlToXmlString(m, l->items[i]);
  }
  return s;
}

}  // namespace orv::movie::avm2
