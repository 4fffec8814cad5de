// XML and XMLList through the machine as scripts use them: reading text (hostile text
// included), writing it back, names, children and attributes read, written and deleted,
// the methods, and the operators' rules for lists.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "movie/avm2/machine.h"
#include "movie/avm2/xml.h"

namespace orv::movie::avm2 {
namespace {

struct Xml : Host {
  Machine m{this};
  void trace(std::string_view) override {}

  Value str(std::string_view s) { return Value(StringRef(s)); }
  Value global(const char* name) { return m.getProperty(Value(m.topLevel), m.publicName(name)); }
  Value xml(std::string_view text) {
    std::vector<Value> args{str(text)};
    return m.construct(global("XML"), args);
  }
  // new XML(text) written back, or the error it throws as text.
  std::string parse(std::string_view text) {
    try {
      return m.toText(call(xml(text), "toXMLString"));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  Value call(const Value& v, const char* method, std::vector<Value> args = {}) {
    return m.callProperty(v, m.publicName(method), args);
  }
  std::string text(const Value& v, const char* method, std::vector<Value> args = {}) {
    try {
      return m.toText(call(v, method, std::move(args)));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  Name attr(const char* name) {
    Name n = m.publicName(name);
    n.attribute = true;
    return n;
  }
  std::string xmlText(const Value& v) { return m.toText(call(v, "toXMLString")); }
};

TEST(Avm2Xml, TextIsReadAndWrittenBack) {
  Xml t;
  EXPECT_EQ(t.parse("<a><b x=\"1\">hi</b><c/></a>"), "<a>\n  <b x=\"1\">hi</b>\n  <c/>\n</a>");
  EXPECT_EQ(t.parse("<a>&lt;&amp;&#65;&#x42;</a>"), "<a>&lt;&amp;AB</a>");
  EXPECT_EQ(t.parse("<a q='say \"x\"'/>"), "<a q=\"say &quot;x&quot;\"/>");
  EXPECT_EQ(t.parse("<?xml version=\"1.0\"?><!-- c --><a><![CDATA[<raw>]]></a>"),
            "<a><![CDATA[<raw>]]></a>");
  EXPECT_EQ(t.parse("<p:a xmlns:p=\"urn:p\"><p:b/></p:a>"),
            "<p:a xmlns:p=\"urn:p\">\n  <p:b/>\n</p:a>");
  EXPECT_EQ(t.parse("  plain text  "), "plain text");
  EXPECT_EQ(t.parse(""), "");
  // Settings change what is kept and how it is written.
  t.m.xmlSettings.ignoreComments = false;
  t.m.xmlSettings.prettyPrinting = false;
  EXPECT_EQ(t.parse("<a> <!--c--> <b/></a>"), "<a><!--c--><b/></a>");
  t.m.xmlSettings.ignoreWhitespace = false;
  EXPECT_EQ(t.parse("<a> <b/></a>"), "<a> <b/></a>");
  // toString gives simple content as text and complex content as markup.
  t.m.xmlSettings = {};
  EXPECT_EQ(t.m.toText(t.xml("<a>hi<!--x--></a>")), "hi");
  EXPECT_EQ(t.m.toText(t.xml("<a><b>1</b><b>2</b></a>")), "<a>\n  <b>1</b>\n  <b>2</b>\n</a>");
}

TEST(Avm2Xml, BadTextFailsWithThePlayersErrors) {
  Xml t;
  EXPECT_EQ(t.parse("<a><b></a>").substr(0, 22), "TypeError: Error #1085");
  EXPECT_EQ(t.parse("<a/><b/>").substr(0, 22), "TypeError: Error #1088");
  EXPECT_EQ(t.parse("<a><!-- open</a>").substr(0, 22), "TypeError: Error #1094");
  EXPECT_EQ(t.parse("<a><![CDATA[x</a>").substr(0, 22), "TypeError: Error #1091");
  EXPECT_EQ(t.parse("<a x=\"1></a>").substr(0, 22), "TypeError: Error #1095");
  EXPECT_EQ(t.parse("<a x=1/>").substr(0, 22), "TypeError: Error #1090");
  EXPECT_EQ(t.parse("<p:a/>"),
            "TypeError: Error #1083: The prefix \"p\" for element \"p:a\" is not bound.");
  EXPECT_EQ(t.parse("<a x=\"1\" x=\"2\"/>").substr(0, 22), "TypeError: Error #1104");
  // Nesting past the limit is an error, not a native stack overflow.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_EQ(t.parse(deep).substr(0, 18), "Error: Error #1023");
}

TEST(Avm2Xml, HostileTextNeverCrashes) {
  Xml t;
  const std::string doc =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"x\">]><r xmlns:p=\"urn:p\" a=\"&amp;\">"
      "<p:b c='1'>t&#x1F600;<![CDATA[d]]></p:b><?pi body?><!--c--></r>";
  std::mt19937 rng(7);
  for (size_t cut = 0; cut <= doc.size(); ++cut) t.parse(doc.substr(0, cut));
  for (int round = 0; round < 2000; ++round) {
    std::string s = doc;
    for (int k = 0; k < 3; ++k) s[rng() % s.size()] = "<>&;:\"'/=!?[]-x \0"[rng() % 17];
    std::string out = t.parse(s);
    (void)out;
  }
  SUCCEED();
}

TEST(Avm2Xml, ChildrenAndAttributesByName) {
  Xml t;
  Value x = t.xml("<a id=\"7\"><b>1</b><c><b>2</b></c><b>3</b></a>");
  Value bs = t.m.getProperty(x, t.m.publicName("b"));
  EXPECT_EQ(t.text(bs, "length"), "2");
  EXPECT_EQ(t.m.toText(bs), "<b>1</b>\n<b>3</b>");
  EXPECT_EQ(t.m.toText(t.m.getProperty(x, t.attr("id"))), "7");
  EXPECT_TRUE(t.m.looseEquals(t.m.getProperty(x, t.attr("id")), Value(7)));
  Value all = t.m.getProperty(x, Name{.anyNamespace = true});
  EXPECT_EQ(t.text(all, "length"), "3");
  // Descendants in document order.
  Value d = xmlGetDescendants(t.m, x, t.m.publicName("b"));
  EXPECT_EQ(t.m.toText(d), "<b>1</b>\n<b>2</b>\n<b>3</b>");
  // Writing: a new element, an attribute, a replaced text and a deletion.
  t.m.setProperty(x, t.m.publicName("e"), t.str("new"));
  t.m.setProperty(x, t.attr("id"), Value(8));
  t.m.setProperty(t.m.getProperty(x, t.m.publicName("c")), t.m.publicName("b"), t.str("<"));
  EXPECT_TRUE(t.m.deleteProperty(x, t.m.publicName("b")));
  t.m.xmlSettings.prettyPrinting = false;
  EXPECT_EQ(t.xmlText(x), "<a id=\"8\"><c><b>&lt;</b></c><e>new</e></a>");
  EXPECT_TRUE(t.m.hasProperty(x, t.m.publicName("e")));
  EXPECT_FALSE(t.m.hasProperty(x, t.m.publicName("b")));
  // An XML is a list of itself; x[1] is nothing and x[0] = ... is refused.
  Name zero = t.m.publicName("0"), one = t.m.publicName("1");
  EXPECT_EQ(t.m.getProperty(x, zero).asObject(), x.asObject());
  EXPECT_TRUE(t.m.getProperty(x, one).isUndefined());
  try {
    t.m.setProperty(x, zero, Value(1));
    ADD_FAILURE();
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value).substr(0, 22), "TypeError: Error #1087");
  }
}

TEST(Avm2Xml, MethodsEditTheTree) {
  Xml t;
  t.m.xmlSettings.prettyPrinting = false;
  Value x = t.xml("<a><b/></a>");
  Value b = t.m.getProperty(t.m.getProperty(x, t.m.publicName("b")), t.m.publicName("0"));
  t.call(x, "appendChild", {t.xml("<c/>")});
  t.call(x, "insertChildBefore", {b, t.xml("<z/>")});
  t.call(x, "prependChild", {t.str("text")});
  EXPECT_EQ(t.xmlText(x), "<a>text<z/><b/><c/></a>");
  EXPECT_EQ(t.text(b, "childIndex"), "2");
  EXPECT_EQ(t.text(t.call(x, "children"), "length"), "4");
  EXPECT_EQ(t.text(t.call(x, "elements"), "length"), "3");
  EXPECT_EQ(t.text(t.call(x, "text"), "toString"), "text");
  EXPECT_EQ(t.text(b, "nodeKind"), "element");
  EXPECT_EQ(t.text(b, "parent"), t.m.toText(x));
  // A node cannot become its own descendant.
  EXPECT_EQ(t.text(b, "appendChild", {x}).substr(0, 22), "TypeError: Error #1118");
  // Names and namespaces.
  Value p = t.xml("<p:a xmlns:p=\"urn:p\" p:k=\"v\"/>");
  EXPECT_EQ(t.text(p, "name"), "urn:p::a");
  EXPECT_EQ(t.text(p, "localName"), "a");
  EXPECT_EQ(t.text(t.call(p, "namespace"), "toString"), "urn:p");
  EXPECT_EQ(t.m.toText(t.m.get(t.call(p, "namespace"), "prefix")), "p");
  t.call(p, "setLocalName", {t.str("renamed")});
  EXPECT_EQ(t.xmlText(p), "<p:renamed p:k=\"v\" xmlns:p=\"urn:p\"/>");
  EXPECT_EQ(t.text(p, "setLocalName", {t.str("1bad")}).substr(0, 22), "TypeError: Error #1117");
  EXPECT_EQ(t.text(p, "setName", {Value()}).substr(0, 22), "TypeError: Error #1117");  // no name
  // normalize joins adjacent text and drops empty text.
  Value n = t.xml("<a>x</a>");
  t.call(n, "appendChild", {t.str("y")});
  EXPECT_EQ(t.text(t.call(n, "children"), "length"), "2");
  t.call(n, "normalize");
  EXPECT_EQ(t.text(t.call(n, "children"), "length"), "1");
  // A list answers to a node's methods only when it holds one node.
  Value two = t.call(t.xml("<a><b/><b/></a>"), "children");
  EXPECT_EQ(t.text(two, "name"),
            "TypeError: Error #1086: The name method only works on lists containing one item.");
  // Text appended after an element becomes an element of its name; prepended, it is read.
  Value s = t.xml("<s><m/></s>");
  t.call(s, "appendChild", {t.str("<i>")});
  t.call(s, "prependChild", {t.str("<p/>")});
  EXPECT_EQ(t.xmlText(s), "<s><p/><m/><m>&lt;i&gt;</m></s>");
  // Simple content answers to String's methods.
  EXPECT_EQ(t.text(t.xml("<a>Hello</a>"), "toUpperCase"), "HELLO");
}

TEST(Avm2Xml, ListsAddCompareAndConvert) {
  Xml t;
  Value a = t.xml("<a>1</a>");
  Value b = t.xml("<b>2</b>");
  Value both = t.m.add(a, b);
  EXPECT_EQ(t.m.toText(t.m.typeOf(both)), "xml");
  EXPECT_EQ(t.text(both, "length"), "2");
  EXPECT_TRUE(t.m.looseEquals(a, t.str("1")));
  EXPECT_TRUE(t.m.looseEquals(t.xml("<a><b/></a>"), t.xml("<a><b/></a>")));
  EXPECT_FALSE(t.m.looseEquals(t.xml("<a><b/></a>"), t.xml("<a><c/></a>")));
  std::vector<Value> none;
  Value empty = t.m.construct(t.global("XMLList"), none);
  EXPECT_TRUE(t.m.looseEquals(empty, Value()));
  // Converting: XML() of a one-node list is its node; of two nodes an error.
  std::vector<Value> args{both};
  try {
    t.m.call(t.global("XML"), Value(), args);
    ADD_FAILURE();
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value).substr(0, 22), "TypeError: Error #1088");
  }
  // QName and Namespace.
  std::vector<Value> qargs{t.str("urn:x"), t.str("n")};
  Value q = t.m.construct(t.global("QName"), qargs);
  EXPECT_EQ(t.m.toText(q), "urn:x::n");
  EXPECT_EQ(t.m.toText(t.m.get(q, "localName")), "n");
  std::vector<Value> nargs{t.str("p"), t.str("urn:x")};
  Value ns = t.m.construct(t.global("Namespace"), nargs);
  EXPECT_EQ(t.m.toText(t.m.get(ns, "prefix")), "p");
  EXPECT_TRUE(t.m.looseEquals(ns, t.str("urn:x")));
}

}  // namespace
}  // namespace orv::movie::avm2
