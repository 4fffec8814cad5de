// The XML class: conversions to XML and lists, the methods (most of which XMLList shares:
// they work on every node of their receiver) and the settings.
#include "movie/avm2/toplevel.h"
#include "movie/avm2/conversions.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {

namespace {

Value wrap(Object* o) { return Value(o); }

std::vector<XMLObject*> parseValue(Machine& m, const Value& v) {
  std::string text = m.toText(v);
  return parseXml(m, text, m.defaultXmlNs);
}

}  // namespace

XMLObject* toXml(Machine& m, const Value& v) {
  if (XMLObject* x = asXml(m, v)) return x;
  if (XMLListObject* l = asXmlList(m, v)) {
    if (l->items.size() == 1) return l->items[0];
    m.fail(ErrorClass::TypeError, 1088);
  }
  if (v.isNullish()) return newXmlNode(m, XmlKind::Text);
  std::vector<XMLObject*> nodes = parseValue(m, v);
  if (nodes.size() > 1) m.fail(ErrorClass::TypeError, 1088);
  if (nodes.empty()) {
    XMLObject* t = newXmlNode(m, XmlKind::Text);
    t->value = StringRef("");
    return t;
  }
  return nodes[0];
}

XMLListObject* toXmlList(Machine& m, const Value& v) {
  if (XMLListObject* l = asXmlList(m, v)) return l;
  XMLListObject* l = newXmlList(m);
  if (XMLObject* x = asXml(m, v)) {
    l->items.push_back(x);
    return l;
  }
  if (v.isNullish()) return l;
  l->items = parseValue(m, v);
  return l;
}

void appendToList(Machine& m, XMLListObject* list, const Value& v) {
  if (XMLObject* x = asXml(m, v)) list->items.push_back(x);
  else if (XMLListObject* l = asXmlList(m, v)) list->items.insert(list->items.end(), l->items.begin(), l->items.end());
  else if (!v.isUndefined()) list->items.push_back(toXml(m, v));
}

// The nodes a method works on: the XML itself or each node of a list.
std::vector<XMLObject*> nodesOf(Machine& m, const Value& self, const char* method) {
  if (XMLObject* x = asXml(m, self)) return {x};
  if (XMLListObject* l = asXmlList(m, self)) return l->items;
  m.fail(ErrorClass::TypeError, 1004, {method});
}

// A method's name argument: a QName, "@name" for attributes, "*", or a local name.
Name argName(Machine& m, const Value& v, bool attribute) {
  Name n;
  n.attribute = attribute;
  if (xmlNameFromValue(m, v, n)) {
    n.attribute = attribute;
    return n;
  }
  std::string s = v.isUndefined() ? "*" : m.toText(v);
  if (!s.empty() && s[0] == '@') {
    n.attribute = true;
    s.erase(0, 1);
  }
  n.name = s == "*" ? nullptr : m.intern(s);
  n.ns = m.publicNs;
  if (!n.name) {  // `*`: every child, text too
    static const std::vector<const Namespace*> kEveryNamespace;
    n.ns = nullptr;
    n.set = &kEveryNamespace;
  }
  if (n.name) n.index = arrayIndexOf(n.name->view());
  return n;
}

namespace {

// A list of the nodes' children (or attributes) that `keep` selects, written through self.
template <typename Keep>
Value gather(Machine& m, const Value& self, const char* method, const Name& n, bool attributes,
             Keep keep) {
  XMLListObject* out = newXmlList(m);
  out->target = self.asObject();
  out->targetName = n;
  out->targetName.index = -1;
  out->targetUri = m.intern("");
  out->hasTarget = true;
  for (XMLObject* x : nodesOf(m, self, method))
    for (XMLObject* c : attributes ? x->attributes : x->children)
      if (keep(c)) out->items.push_back(c);
  return wrap(out);
}

Value xmlAttribute(Machine& m, const Value& self, std::span<Value> args) {
  Name n = argName(m, arg(args, 0), true);
  XmlName xn = xmlNameOf(m, n);
  return gather(m, self, "attribute", n, true, [&](XMLObject* c) { return xn.matches(c); });
}

Value xmlAttributes(Machine& m, const Value& self, std::span<Value>) {
  Name n{.anyNamespace = true, .attribute = true};
  return gather(m, self, "attributes", n, true, [](XMLObject*) { return true; });
}

Value xmlChild(Machine& m, const Value& self, std::span<Value> args) {
  Value a = arg(args, 0);
  if (a.isNull()) m.fail(ErrorClass::TypeError, 1009);
  if (a.isNumeric() || (a.isString() && arrayIndexOf(a.asString()->view()) >= 0)) {
    int64_t i = a.isNumeric() ? static_cast<int64_t>(a.numeric()) : arrayIndexOf(a.asString()->view());
    XMLListObject* out = newXmlList(m);
    for (XMLObject* x : nodesOf(m, self, "child"))
      if (i >= 0 && i < static_cast<int64_t>(x->children.size())) out->items.push_back(x->children[i]);
    return wrap(out);
  }
  Name n = argName(m, a, false);
  XmlName xn = xmlNameOf(m, n);
  return gather(m, self, "child", n, n.attribute, [&](XMLObject* c) { return xn.matches(c); });
}

Value xmlChildren(Machine& m, const Value& self, std::span<Value>) {
  Name n{.anyNamespace = true};
  return gather(m, self, "children", n, false, [](XMLObject*) { return true; });
}

Value xmlComments(Machine& m, const Value& self, std::span<Value>) {
  Name n{.anyNamespace = true};
  return gather(m, self, "comments", n, false,
                [](XMLObject* c) { return c->kind == XmlKind::Comment; });
}

Value xmlElements(Machine& m, const Value& self, std::span<Value> args) {
  Name n = argName(m, arg(args, 0), false);
  XmlName xn = xmlNameOf(m, n);
  return gather(m, self, "elements", n, false,
                [&](XMLObject* c) { return c->kind == XmlKind::Element && xn.matches(c); });
}

Value xmlInstructions(Machine& m, const Value& self, std::span<Value> args) {
  Name n = argName(m, arg(args, 0), false);
  String* local = n.name;
  return gather(m, self, "processingInstructions", Name{.anyNamespace = true}, false,
                [&](XMLObject* c) {
                  return c->kind == XmlKind::Instruction && !n.attribute &&
                         (!local || c->local == local);
                });
}

Value xmlText(Machine& m, const Value& self, std::span<Value>) {
  return gather(m, self, "text", Name{.anyNamespace = true}, false,
                [](XMLObject* c) { return c->kind == XmlKind::Text; });
}

Value xmlDescendantsMethod(Machine& m, const Value& self, std::span<Value> args) {
  Name n = argName(m, arg(args, 0), false);
  return xmlGetDescendants(m, self, n);
}

Value xmlCopy(Machine& m, const Value& self, std::span<Value>) {
  if (XMLObject* x = asXml(m, self)) return wrap(copyXml(m, x));
  XMLListObject* out = newXmlList(m);
  for (XMLObject* x : nodesOf(m, self, "copy")) out->items.push_back(copyXml(m, x));
  return wrap(out);
}

Value xmlLength(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<int32_t>(nodesOf(m, self, "length").size()));
}

Value xmlHasSimple(Machine& m, const Value& self, std::span<Value>) {
  if (XMLObject* x = asXml(m, self)) return Value(hasSimpleContent(x));
  auto nodes = nodesOf(m, self, "hasSimpleContent");
  if (nodes.size() == 1) return Value(hasSimpleContent(nodes[0]));
  for (XMLObject* x : nodes)
    if (x->kind == XmlKind::Element) return Value(false);
  return Value(true);
}

Value xmlHasComplex(Machine& m, const Value& self, std::span<Value>) {
  auto nodes = nodesOf(m, self, "hasComplexContent");
  if (asXml(m, self) || nodes.size() == 1)
    return Value(nodes[0]->kind == XmlKind::Element && !hasSimpleContent(nodes[0]));
  for (XMLObject* x : nodes)
    if (x->kind == XmlKind::Element) return Value(true);
  return Value(false);
}

Value xmlContains(Machine& m, const Value& self, std::span<Value> args) {
  for (XMLObject* x : nodesOf(m, self, "contains"))
    if (m.looseEquals(wrap(x), arg(args, 0))) return Value(true);
  return Value(false);
}

Value xmlNormalize(Machine& m, const Value& self, std::span<Value>) {
  std::vector<XMLObject*> work = nodesOf(m, self, "normalize");
  for (size_t w = 0; w < work.size() && w < (size_t(1) << 24); ++w) {
    XMLObject* x = work[w];
    if (x->kind != XmlKind::Element) continue;
    for (size_t i = 0; i < x->children.size();) {
      XMLObject* c = x->children[i];
      if (c->kind == XmlKind::Element) {
        work.push_back(c);
        ++i;
      } else if (c->kind == XmlKind::Text) {
        std::string v = std::string(c->value.view());
        while (i + 1 < x->children.size() && x->children[i + 1]->kind == XmlKind::Text) {
          v += x->children[i + 1]->value.view();
          xmlRemoveChildAt(x, i + 1);
        }
        if (v.find_first_not_of(" \t\r\n") == std::string::npos) {
          xmlRemoveChildAt(x, i);
        } else {
          c->value = StringRef(v);
          ++i;
        }
      } else {
        ++i;
      }
    }
  }
  return self;
}

Value xmlParent(Machine& m, const Value& self, std::span<Value>) {
  auto nodes = nodesOf(m, self, "parent");
  if (nodes.empty()) return Value();
  XMLObject* p = nodes[0]->parent;
  for (XMLObject* x : nodes)
    if (x->parent != p) return Value();
  return p ? wrap(p) : Value();
}

Value xmlPropertyIsEnumerable(Machine& m, const Value& self, std::span<Value> args) {
  int64_t i = arrayIndexOf(m.toText(arg(args, 0)));
  if (asXml(m, self)) return Value(i == 0);
  return Value(i >= 0 && i < static_cast<int64_t>(nodesOf(m, self, "propertyIsEnumerable").size()));
}

Value xmlToStringMethod(Machine& m, const Value& self, std::span<Value>) {
  if (XMLObject* x = asXml(m, self)) return Value(StringRef(xmlToString(m, x)));
  if (XMLListObject* l = asXmlList(m, self)) return Value(StringRef(listToString(m, l)));
  if (self.isObject() && (self.asObject() == m.xmlClass->prototypeObject ||
                          self.asObject() == m.xmlListClass->prototypeObject))
    return Value(StringRef(""));
  m.fail(ErrorClass::TypeError, 1004, {"XML.prototype.toString"});
}

Value xmlToXmlStringMethod(Machine& m, const Value& self, std::span<Value>) {
  if (XMLObject* x = asXml(m, self)) return Value(StringRef(xmlToXmlString(m, x)));
  if (XMLListObject* l = asXmlList(m, self)) return Value(StringRef(listToXmlString(m, l)));
  m.fail(ErrorClass::TypeError, 1004, {"XML.prototype.toXMLString"});
}

Value xmlValueOf(Machine&, const Value& self, std::span<Value>) { return self; }

// JSON writes an XML value as its class's name.
Value xmlToJson(Machine& m, const Value& self, std::span<Value>) {
  return Value(m.intern(asXmlList(m, self) ? "XMLList" : "XML"));
}

Value xmlHasOwnProperty(Machine& m, const Value& self, std::span<Value> args) {
  if (!isXmlValue(m, self)) {  // XML.prototype itself: Object's answer
    const Value* own = m.objectClass->prototypeObject->findOwn(m.intern("hasOwnProperty"));
    return own ? m.call(*own, self, args) : Value(false);
  }
  return Value(xmlHas(m, self.asObject(), argName(m, arg(args, 0), false), false));
}

}  // namespace

namespace {

const NativeMember kSharedMembers[] = {
    {"attribute", MemberKind::Method, xmlAttribute, 1},
    {"attributes", MemberKind::Method, xmlAttributes},
    {"child", MemberKind::Method, xmlChild, 1},
    {"children", MemberKind::Method, xmlChildren},
    {"comments", MemberKind::Method, xmlComments},
    {"contains", MemberKind::Method, xmlContains, 1},
    {"copy", MemberKind::Method, xmlCopy},
    {"descendants", MemberKind::Method, xmlDescendantsMethod},
    {"elements", MemberKind::Method, xmlElements},
    {"hasComplexContent", MemberKind::Method, xmlHasComplex},
    {"hasSimpleContent", MemberKind::Method, xmlHasSimple},
    {"hasOwnProperty", MemberKind::Method, xmlHasOwnProperty, 1},
    {"length", MemberKind::Method, xmlLength},
    {"normalize", MemberKind::Method, xmlNormalize},
    {"parent", MemberKind::Method, xmlParent},
    {"processingInstructions", MemberKind::Method, xmlInstructions},
    {"propertyIsEnumerable", MemberKind::Method, xmlPropertyIsEnumerable, 1},
    {"text", MemberKind::Method, xmlText},
    {"toString", MemberKind::Method, xmlToStringMethod},
    {"toXMLString", MemberKind::Method, xmlToXmlStringMethod},
    {"valueOf", MemberKind::Method, xmlValueOf},
    {"toJSON", MemberKind::Method, xmlToJson, 1},
};

// ---- Settings ----
Value getIgnoreComments(Machine& m, const Value&, std::span<Value>) { return Value(m.xmlSettings.ignoreComments); }
Value getIgnorePIs(Machine& m, const Value&, std::span<Value>) { return Value(m.xmlSettings.ignoreProcessingInstructions); }
Value getIgnoreWhitespace(Machine& m, const Value&, std::span<Value>) { return Value(m.xmlSettings.ignoreWhitespace); }
Value getPrettyPrinting(Machine& m, const Value&, std::span<Value>) { return Value(m.xmlSettings.prettyPrinting); }
Value getPrettyIndent(Machine& m, const Value&, std::span<Value>) { return Value(int32_t(m.xmlSettings.prettyIndent)); }
Value setIgnoreComments(Machine& m, const Value&, std::span<Value> a) { m.xmlSettings.ignoreComments = toBoolean(arg(a, 0)); return Value(); }
Value setIgnorePIs(Machine& m, const Value&, std::span<Value> a) { m.xmlSettings.ignoreProcessingInstructions = toBoolean(arg(a, 0)); return Value(); }
Value setIgnoreWhitespace(Machine& m, const Value&, std::span<Value> a) { m.xmlSettings.ignoreWhitespace = toBoolean(arg(a, 0)); return Value(); }
Value setPrettyPrinting(Machine& m, const Value&, std::span<Value> a) { m.xmlSettings.prettyPrinting = toBoolean(arg(a, 0)); return Value(); }
Value setPrettyIndent(Machine& m, const Value&, std::span<Value> a) { m.xmlSettings.prettyIndent = m.toInt(arg(a, 0)); return Value(); }

Value settingsObject(Machine& m, const Machine::XmlSettings& s) {
  Object* o = m.newObject();
  o->setOwn(m.intern("ignoreComments"), Value(s.ignoreComments));
  o->setOwn(m.intern("ignoreProcessingInstructions"), Value(s.ignoreProcessingInstructions));
  o->setOwn(m.intern("ignoreWhitespace"), Value(s.ignoreWhitespace));
  o->setOwn(m.intern("prettyIndent"), Value(int32_t(s.prettyIndent)));
  o->setOwn(m.intern("prettyPrinting"), Value(s.prettyPrinting));
  return wrap(o);
}

Value xmlSettings(Machine& m, const Value&, std::span<Value>) { return settingsObject(m, m.xmlSettings); }
Value xmlDefaultSettings(Machine& m, const Value&, std::span<Value>) { return settingsObject(m, {}); }

Value xmlSetSettings(Machine& m, const Value&, std::span<Value> args) {
  Value o = arg(args, 0);
  if (o.isNullish()) m.xmlSettings = {};
  if (!o.isObject()) return Value();
  auto flag = [&](const char* name, bool& into) {
    Value v = m.get(o, name);
    if (v.isBool()) into = v.asBool();
  };
  flag("ignoreComments", m.xmlSettings.ignoreComments);
  flag("ignoreProcessingInstructions", m.xmlSettings.ignoreProcessingInstructions);
  flag("ignoreWhitespace", m.xmlSettings.ignoreWhitespace);
  flag("prettyPrinting", m.xmlSettings.prettyPrinting);
  Value indent = m.get(o, "prettyIndent");
  if (indent.isNumeric()) m.xmlSettings.prettyIndent = m.toInt(indent);
  return Value();
}

const NativeMember kXmlStatics[] = {
    {"ignoreComments", MemberKind::StaticGetter, getIgnoreComments},
    {"ignoreComments", MemberKind::StaticSetter, setIgnoreComments},
    {"ignoreProcessingInstructions", MemberKind::StaticGetter, getIgnorePIs},
    {"ignoreProcessingInstructions", MemberKind::StaticSetter, setIgnorePIs},
    {"ignoreWhitespace", MemberKind::StaticGetter, getIgnoreWhitespace},
    {"ignoreWhitespace", MemberKind::StaticSetter, setIgnoreWhitespace},
    {"prettyPrinting", MemberKind::StaticGetter, getPrettyPrinting},
    {"prettyPrinting", MemberKind::StaticSetter, setPrettyPrinting},
    {"prettyIndent", MemberKind::StaticGetter, getPrettyIndent},
    {"prettyIndent", MemberKind::StaticSetter, setPrettyIndent},
    {"settings", MemberKind::StaticMethod, xmlSettings},
    {"setSettings", MemberKind::StaticMethod, xmlSetSettings},
    {"defaultSettings", MemberKind::StaticMethod, xmlDefaultSettings},
};

Value xmlCallCode(Machine& m, const Value&, std::span<Value> args) {
  return wrap(toXml(m, arg(args, 0)));
}

// A copy keeps the comments and instructions the settings would have kept when reading.
XMLObject* filteredCopy(Machine& m, XMLObject* x) {
  XMLObject* c = copyXml(m, x);
  const Machine::XmlSettings& s = m.xmlSettings;
  std::vector<XMLObject*> work{c};
  for (size_t w = 0; w < work.size(); ++w) {
    auto& kids = work[w]->children;
    for (size_t i = 0; i < kids.size();) {
      XmlKind k = kids[i]->kind;
      if ((k == XmlKind::Comment && s.ignoreComments) ||
          (k == XmlKind::Instruction && s.ignoreProcessingInstructions)) {
        kids[i]->parent = nullptr;
        kids.erase(kids.begin() + i);
        continue;
      }
      if (k == XmlKind::Element) work.push_back(kids[i]);
      ++i;
    }
  }
  return c;
}

Value xmlConstruct(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  if (XMLObject* x = asXml(m, v)) return wrap(filteredCopy(m, x));
  if (XMLListObject* l = asXmlList(m, v); l && l->items.size() == 1)
    return wrap(copyXml(m, l->items[0]));
  return wrap(toXml(m, v));
}

Value listCallCode(Machine& m, const Value&, std::span<Value> args) {
  return wrap(toXmlList(m, arg(args, 0)));
}

Value listConstruct(Machine& m, const Value&, std::span<Value> args) {
  Value v = arg(args, 0);
  if (XMLListObject* l = asXmlList(m, v)) {
    XMLListObject* out = newXmlList(m);
    for (XMLObject* x : l->items) out->items.push_back(copyXml(m, x));
    return wrap(out);
  }
  return wrap(toXmlList(m, v));
}

}  // namespace

void addPrototypeMethods(Machine& m, ClassObject* cls, std::span<const NativeMember> rows) {
  for (const NativeMember& row : rows) {
    Method* method = m.nativeMethod(row.code, row.length, row.name);
    cls->prototypeObject->setHidden(m.intern(row.name),
                                    wrap(m.newFunction(method, nullptr, nullptr)));
  }
}

void installXmlClasses(Machine& m) {
  m.xmlClass = installClass(m, {.name = "XML", .members = kXmlStatics, .call = xmlCallCode,
                                .construct = xmlConstruct, .isFinal = true, .initLength = 1});
  m.xmlListClass = installClass(m, {.name = "XMLList", .call = listCallCode,
                                    .construct = listConstruct, .isFinal = true, .initLength = 1});
  // The statics answer in the AS3 namespace too, as compilers may call them there.
  for (const char* name : {"settings", "setSettings", "defaultSettings"}) {
    Traits& statics = *m.xmlClass->classTraits;
    if (const Binding* b = statics.find(m.intern(name), m.publicNs))
      statics.bind(m.intern(name), m.as3Ns, *b);
  }
  addPrototypeMethods(m, m.xmlClass, kSharedMembers);
  addPrototypeMethods(m, m.xmlListClass, kSharedMembers);
  installXmlNodeMethods(m, m.xmlClass, m.xmlListClass);
}

}  // namespace orv::movie::avm2
