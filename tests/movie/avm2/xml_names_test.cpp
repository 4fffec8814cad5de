// XML's names and namespaces, writes through lists, enumeration, the settings as scripts
// see them, and trees a script builds to hurt the machine.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "movie/avm2/machine.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {
namespace {

struct Names : Host {
  Machine m{this};
  void trace(std::string_view) override {}

  Names() { m.xmlSettings.prettyPrinting = false; }
  Value str(std::string_view s) { return Value(StringRef(s)); }
  Value global(const char* name) { return m.getProperty(Value(m.topLevel), m.publicName(name)); }
  Value make(const char* cls, std::vector<Value> args) { return m.construct(global(cls), args); }
  Value xml(std::string_view text) { return make("XML", {str(text)}); }
  Value call(const Value& v, const char* method, std::vector<Value> args = {}) {
    return m.callProperty(v, m.publicName(method), args);
  }
  std::string text(const Value& v) { return m.toText(v); }
  std::string markup(const Value& v) { return m.toText(call(v, "toXMLString")); }
  std::string error(const std::function<void()>& f) {
    try {
      f();
    } catch (ScriptThrow& t) {
      return m.toText(t.value).substr(0, 22);
    }
    return "no error";
  }
  Value get(const Value& v, const char* name) { return m.getProperty(v, m.publicName(name)); }
  Value at(const Value& v, uint32_t i) { return m.getProperty(v, m.publicName(m.indexName(i))); }
  Name qualified(const char* uri, const char* local) {
    Name n;
    n.name = m.intern(local);
    n.ns = m.namespaces.get(NamespaceKind::User, m.intern(uri));
    return n;
  }
};

TEST(Avm2XmlNames, NamespacesSelectAndAreWrittenWhereNeeded) {
  Names t;
  Value x = t.xml("<r xmlns=\"urn:d\" xmlns:p=\"urn:p\"><p:a>1</p:a><a>2</a><b p:k=\"v\"/></r>");
  // Unqualified names are in no namespace: nothing here matches `a` alone.
  EXPECT_EQ(t.text(t.call(t.get(x, "a"), "length")), "0");
  EXPECT_EQ(t.text(t.m.getProperty(x, t.qualified("urn:p", "a"))), "1");
  EXPECT_EQ(t.text(t.m.getProperty(x, t.qualified("urn:d", "a"))), "2");
  // Under a default namespace, unqualified names find it.
  t.m.defaultXmlNs = t.m.intern("urn:d");
  EXPECT_EQ(t.text(t.get(x, "a")), "2");
  t.m.defaultXmlNs = nullptr;
  // A node written alone declares what it uses.
  Value pa = t.at(t.m.getProperty(x, t.qualified("urn:p", "a")), 0);
  EXPECT_EQ(t.markup(pa), "<p:a xmlns:p=\"urn:p\">1</p:a>");
  Value b = t.at(t.m.getProperty(x, t.qualified("urn:d", "b")), 0);
  EXPECT_EQ(t.markup(b), "<b p:k=\"v\" xmlns=\"urn:d\" xmlns:p=\"urn:p\"/>");
  // In-scope namespaces, declarations, and a namespace by prefix.
  EXPECT_EQ(t.text(t.m.get(t.call(x, "inScopeNamespaces"), "length")), "2");
  EXPECT_EQ(t.text(t.m.get(t.call(b, "namespaceDeclarations"), "length")), "0");
  EXPECT_EQ(t.text(t.call(b, "namespace", {t.str("p")})), "urn:p");
  EXPECT_TRUE(t.call(b, "namespace", {t.str("zz")}).isUndefined());
  // setNamespace and addNamespace change what is written.
  Value e = t.xml("<e/>");
  t.call(e, "setNamespace", {t.make("Namespace", {t.str("q"), t.str("urn:q")})});
  EXPECT_EQ(t.markup(e), "<q:e xmlns:q=\"urn:q\"/>");
  t.call(e, "addNamespace", {t.make("Namespace", {t.str("w"), t.str("urn:w")})});
  EXPECT_EQ(t.markup(e), "<q:e xmlns:q=\"urn:q\" xmlns:w=\"urn:w\"/>");
  t.call(e, "removeNamespace", {t.make("Namespace", {t.str("w"), t.str("urn:w")})});
  EXPECT_EQ(t.markup(e), "<q:e xmlns:q=\"urn:q\"/>");
  // A namespace in no declared scope gets a prefix of its own.
  Value f = t.xml("<f/>");
  t.call(f, "setName", {t.make("QName", {t.str("urn:x"), t.str("g")})});
  EXPECT_EQ(t.markup(f), "<g xmlns=\"urn:x\"/>");
  EXPECT_EQ(t.error([&] { t.make("Namespace", {t.str("p"), t.str("")}); }), "TypeError: Error #1098");
}

TEST(Avm2XmlNames, QNamesNameNodes) {
  Names t;
  Value any = t.make("QName", {Value::null(), t.str("n")});
  EXPECT_EQ(t.text(any), "*::n");
  EXPECT_TRUE(t.m.get(any, "uri").isNull());
  Value plain = t.make("QName", {t.str("n")});
  EXPECT_EQ(t.text(plain), "n");
  EXPECT_TRUE(t.m.looseEquals(plain, t.make("QName", {t.str(""), t.str("n")})));
  EXPECT_FALSE(t.m.looseEquals(plain, any));
  std::vector<Value> one{t.str("hello-world")}, bad{t.str("1x")};
  EXPECT_TRUE(t.m.call(t.global("isXMLName"), Value(), one).asBool());
  EXPECT_FALSE(t.m.call(t.global("isXMLName"), Value(), bad).asBool());
  // An attribute's name reads the attribute; an element's the element.
  Value x = t.xml("<r a=\"attr\"><a>elem</a></r>");
  Name attr = t.m.publicName("a");
  attr.attribute = true;
  Value an = t.call(t.m.getProperty(x, attr), "name");
  Value en = t.call(t.get(x, "a"), "name");
  Name n1, n2;
  ASSERT_TRUE(xmlNameFromValue(t.m, an, n1));
  ASSERT_TRUE(xmlNameFromValue(t.m, en, n2));
  EXPECT_EQ(t.text(t.m.getProperty(x, n1)), "attr");
  EXPECT_EQ(t.text(t.m.getProperty(x, n2)), "elem");
  // "@name" as a string index is an attribute too.
  EXPECT_EQ(t.text(t.m.getProperty(x, t.m.publicName("@a"))), "attr");
}

TEST(Avm2XmlNames, WritesThroughListsReachTheTree) {
  Names t;
  Value x = t.xml("<r><b>1</b><b>2</b></r>");
  Value bs = t.get(x, "b");
  t.m.setProperty(bs, t.m.publicName("0"), t.str("one"));  // replaces the element's text
  t.m.setProperty(bs, t.m.publicName("5"), t.str("three"));  // past the end: a new <b>
  EXPECT_EQ(t.markup(x), "<r><b>one</b><b>2</b><b>three</b></r>");
  // Writing through a list that found nothing makes the element it named.
  Value missing = t.get(x, "c");
  t.m.setProperty(missing, t.m.publicName("d"), t.str("deep"));
  EXPECT_EQ(t.markup(x), "<r><b>one</b><b>2</b><b>three</b><c><d>deep</d></c></r>");
  // A list of several cannot take a name; one that was deleted leaves the tree.
  EXPECT_EQ(t.error([&] { t.m.setProperty(t.get(x, "b"), t.m.publicName("z"), Value(1)); }),
            "TypeError: Error #1089");
  EXPECT_TRUE(t.m.deleteProperty(t.get(x, "b"), t.m.publicName("1")));
  EXPECT_EQ(t.markup(x), "<r><b>one</b><b>three</b><c><d>deep</d></c></r>");
  // Attributes through a list; setChildren and replace.
  Name id = t.m.publicName("id");
  id.attribute = true;
  t.m.setProperty(t.get(x, "c"), id, Value(3));
  t.call(t.at(t.get(x, "c"), 0), "setChildren", {t.str("flat")});
  EXPECT_EQ(t.markup(t.get(x, "c")), "<c id=\"3\">flat</c>");
  t.call(x, "replace", {t.str("b"), t.xml("<n/>")});
  EXPECT_EQ(t.markup(x), "<r><n/><c id=\"3\">flat</c></r>");
  t.call(x, "replace", {Value(0), t.str("txt")});
  EXPECT_EQ(t.markup(x), "<r>txt<c id=\"3\">flat</c></r>");
}

TEST(Avm2XmlNames, EnumerationAndSettings) {
  Names t;
  Value list = t.call(t.xml("<r><a>1</a><b>2</b></r>"), "children");
  Object* l = list.asObject();
  std::vector<std::string> seen;
  for (uint32_t i = t.m.nextIndex(l, 0); i; i = t.m.nextIndex(l, i))
    seen.push_back(t.text(t.m.nameAt(l, i)) + "=" + t.text(t.m.valueAt(l, i)));
  EXPECT_EQ(seen, (std::vector<std::string>{"0=1", "1=2"}));
  // The statics read and write the settings; setSettings(null) restores them.
  Value xmlClass = t.global("XML");
  t.m.set(xmlClass, "prettyIndent", Value(4));
  t.m.set(xmlClass, "ignoreComments", Value(false));
  EXPECT_EQ(t.text(t.m.get(xmlClass, "prettyIndent")), "4");
  Value settings = t.call(xmlClass, "settings");
  EXPECT_EQ(t.text(t.m.get(settings, "ignoreComments")), "false");
  t.call(xmlClass, "setSettings", {t.str("not an object")});
  EXPECT_EQ(t.m.xmlSettings.prettyIndent, 4);
  t.call(xmlClass, "setSettings", {Value::null()});
  EXPECT_EQ(t.m.xmlSettings.prettyIndent, 2);
  EXPECT_TRUE(t.m.xmlSettings.ignoreComments);
  EXPECT_EQ(t.text(t.m.get(t.call(xmlClass, "defaultSettings"), "prettyPrinting")), "true");
  // A negative indentation writes on one line; a huge one is bounded, not a crash.
  t.m.xmlSettings = {};
  t.m.xmlSettings.prettyIndent = -1;
  EXPECT_EQ(t.markup(t.xml("<a><b/></a>")), "<a><b/></a>");
  t.m.xmlSettings.prettyIndent = 1 << 30;
  EXPECT_EQ(t.error([&] { t.markup(t.xml("<a><b/></a>")); }), "Error: Error #1000: Th");
}

TEST(Avm2XmlNames, TreesScriptsBuildStayBounded) {
  Names t;
  // A chain deeper than the reader allows, built by appending: writing, copying and
  // comparing it fail with an error rather than overflowing the native stack.
  Value top = t.xml("<a/>");
  Value cur = top;
  for (int i = 0; i < kMaxXmlDepth + 50; ++i) {
    Value next = t.xml("<a/>");
    t.call(cur, "appendChild", {next});
    cur = next;
  }
  EXPECT_EQ(t.error([&] { t.markup(top); }), "Error: Error #1023: St");
  EXPECT_EQ(t.error([&] { t.call(top, "copy"); }), "Error: Error #1023: St");
  EXPECT_EQ(t.error([&] { t.m.looseEquals(top, t.call(top, "copy")); }), "Error: Error #1023: St");
  // Descendants stop at the limit instead.
  EXPECT_NO_THROW(t.call(top, "descendants"));
  // A node cannot be put under itself through a list either.
  Value x = t.xml("<p><c/></p>");
  Value c = t.at(t.get(x, "c"), 0);
  EXPECT_EQ(t.error([&] { t.m.setProperty(c, t.m.publicName("k"), x); }), "no error");
  EXPECT_EQ(t.error([&] { t.call(c, "appendChild", {x}); }), "TypeError: Error #1118");
}

}  // namespace
}  // namespace orv::movie::avm2
