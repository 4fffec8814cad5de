// XML trees and lists as script objects: element, text, comment, processing-instruction
// and attribute nodes with parent links and namespaces, the lists the E4X operators make,
// QName objects, and the rules of property access, conversion and comparison on them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "movie/avm2/toplevel.h"

namespace orv::movie::avm2 {

enum class XmlKind : uint8_t { Element, Text, Comment, Instruction, Attribute };

// A namespace as a node declares it: prefix null when undefined.
struct XmlNs {
  String* prefix = nullptr;
  String* uri = nullptr;
};

class XMLObject : public Object {
 public:
  using Object::Object;
  XmlKind kind = XmlKind::Element;
  bool cdata = false;     // a text node that came from a CDATA section
  String* uri = nullptr;  // interned; "" for no namespace
  String* local = nullptr;  // interned; an instruction's target
  String* prefix = nullptr;  // the prefix the name was written with (null: none known)
  StringRef value;           // text, comment, instruction and attribute nodes
  XMLObject* parent = nullptr;
  std::vector<XMLObject*> children;
  std::vector<XMLObject*> attributes;
  std::vector<XmlNs> namespaces;  // declared on this element

  void markChildren(Marker& m) const override;
};

class XMLListObject : public Object {
 public:
  using Object::Object;
  std::vector<XMLObject*> items;
  Object* target = nullptr;  // the XML or list the list came from, for writes through it
  Name targetName;           // its name there (name and namespace only)
  String* targetUri = nullptr;
  bool hasTarget = false;

  void markChildren(Marker& m) const override;
};

class QNameObject : public Object {
 public:
  using Object::Object;
  String* uri = nullptr;  // null: any namespace
  String* local = nullptr;
  String* prefix = nullptr;
  bool attribute = false;  // the name of an attribute, so x[name] reads the attribute
};

// What an E4X name matches: attribute or not, a local name (null: any) and URIs.
struct XmlName {
  bool attribute = false;
  String* local = nullptr;
  bool anyUri = true;
  std::vector<String*> uris;
  String* prefix = nullptr;
  String* createUri = nullptr;  // where a new node of this name goes
  bool elementsOnly = false;    // `*` in any namespace passes over text
  bool matches(const XMLObject* node) const;
  String* firstUri(String* fallback) const {
    return anyUri || uris.empty() ? fallback : createUri ? createUri : uris[0];
  }
};

constexpr int kMaxXmlDepth = 1000;

// ---- Recognising and making (xml_tree.cpp) ----
XMLObject* asXml(Machine& m, const Value& v);
XMLListObject* asXmlList(Machine& m, const Value& v);
inline bool isXmlValue(Machine& m, const Value& v) { return asXml(m, v) || asXmlList(m, v); }
inline bool isQName(Machine& m, const Value& v) {
  return v.isObject() && m.qnameClass && v.asObject()->klass() == m.qnameClass;
}
XMLObject* newXmlNode(Machine& m, XmlKind kind);
XMLListObject* newXmlList(Machine& m);
XmlName xmlNameOf(Machine& m, const Name& n);
// The node and its subtree copied, without a parent.
XMLObject* copyXml(Machine& m, const XMLObject* x, int depth = 0);
bool xmlEquals(Machine& m, const XMLObject* a, const XMLObject* b, int depth = 0);
bool hasSimpleContent(const XMLObject* x);
std::string xmlToString(Machine& m, const XMLObject* x);
std::string xmlToXmlString(Machine& m, const XMLObject* x);
std::string listToString(Machine& m, const XMLListObject* l);
std::string listToXmlString(Machine& m, const XMLListObject* l);
// The descendants of x that `name` matches, in document order.
void xmlDescendants(const XMLObject* x, const XmlName& name, std::vector<XMLObject*>& out,
                    int depth = 0);
// Whether `node` is x or one of its ancestors (a child may not contain its own parent).
bool isAncestorOrSelf(const XMLObject* node, const XMLObject* x);
void xmlRemoveChildAt(XMLObject* parent, size_t index);
// Puts v at index i of x's children (past the end: appended), as E4X's [[Replace]].
void xmlReplaceAt(Machine& m, XMLObject* x, size_t i, const Value& v);
void xmlInsertAt(Machine& m, XMLObject* x, size_t i, const Value& v);
// The namespace `uri` has in scope at x (null prefix when none is declared).
XmlNs xmlNamespaceFor(const XMLObject* x, String* uri, String* preferredPrefix);
bool isXmlName(std::string_view s);

// ---- Parsing (xml_parser.cpp) ----
// The nodes of `text` as children of a fresh parent; fails with the player's TypeErrors.
std::vector<XMLObject*> parseXml(Machine& m, std::string_view text, String* defaultUri);

// ---- Conversions (toplevel_xml.cpp) ----
XMLObject* toXml(Machine& m, const Value& v);
XMLListObject* toXmlList(Machine& m, const Value& v);
void appendToList(Machine& m, XMLListObject* list, const Value& v);

// ---- The machine's property operations on XML and lists (xml_access.cpp) ----
Value xmlGet(Machine& m, Object* o, const Name& n);
void xmlPut(Machine& m, Object* o, const Name& n, const Value& v);
bool xmlDelete(Machine& m, Object* o, const Name& n);
bool xmlHas(Machine& m, Object* o, const Name& n, bool methods = true);
Value xmlCall(Machine& m, Object* o, const Name& n, std::span<Value> args);
Value xmlGetDescendants(Machine& m, const Value& v, const Name& n);
Value xmlAdd(Machine& m, const Value& a, const Value& b);
bool xmlLooseEquals(Machine& m, const Value& a, const Value& b);
// A runtime name from a QName value (true when v was one).
bool xmlNameFromValue(Machine& m, const Value& v, Name& n);
// ---- The classes (toplevel_xml*.cpp) ----
std::vector<XMLObject*> nodesOf(Machine& m, const Value& self, const char* method);
Name argName(Machine& m, const Value& v, bool attribute);
void addPrototypeMethods(Machine& m, ClassObject* cls, std::span<const NativeMember> rows);
void installXmlNodeMethods(Machine& m, ClassObject* xml, ClassObject* list);
void installXmlClasses(Machine& m);  // XML, XMLList, QName, isXMLName
Value namespaceMake(Machine& m, const Value& self, std::span<Value> args);
Value namespacePrefix(Machine& m, const Value& self, std::span<Value> args);

}  // namespace orv::movie::avm2
