// XML and XMLNode: parsing (with its status codes), the tree's navigation and edits,
// namespaces, idMap, writing back as text, and XML.load answering on a later frame through the host.
#include <gtest/gtest.h>

#include <string>

#include "script_test_util.h"

namespace orv::movie::avm1 {
namespace {

using test::FakeHost;

Value make(Vm& vm, const char* cls, std::vector<Value> args = {}) {
  return vm.construct(vm.getMember(vm.global, cls), args);
}
Value method(Vm& vm, const Value& obj, const char* name, std::vector<Value> args = {}) {
  return vm.callMethod(obj, name, args);
}
Value get(Vm& vm, Value v, std::initializer_list<const char*> path) {
  for (const char* p : path) v = vm.getMember(v, p);
  return v;
}
std::string str(Vm& vm, const Value& v) { return vm.toString(v); }

TEST(Xml, ParsesIntoATreeAndWritesItBack) {
  FakeHost h(8);
  Vm& vm = h.vm;
  const std::string text =
      "<?xml version=\"1.0\"?><a x=\"1\"><b>hi &amp; &#65;&lt;</b><c /><![CDATA[<raw>]]></a>";
  Value doc = make(vm, "XML", {Value(text)});
  EXPECT_EQ(str(vm, vm.getMember(doc, "status")), "0");
  Value a = vm.getMember(doc, "firstChild");
  EXPECT_EQ(str(vm, vm.getMember(a, "nodeName")), "a");
  EXPECT_EQ(str(vm, get(vm, a, {"attributes", "x"})), "1");
  EXPECT_EQ(str(vm, get(vm, a, {"firstChild", "firstChild", "nodeValue"})), "hi & A<");
  EXPECT_EQ(str(vm, get(vm, a, {"firstChild", "firstChild", "nodeType"})), "3");
  Value c = get(vm, a, {"firstChild", "nextSibling"});
  EXPECT_EQ(str(vm, vm.getMember(c, "nodeName")), "c");
  EXPECT_TRUE(vm.strictEquals(get(vm, c, {"previousSibling"}), vm.getMember(a, "firstChild")));
  EXPECT_TRUE(vm.strictEquals(get(vm, c, {"parentNode"}), a));
  EXPECT_EQ(str(vm, get(vm, a, {"lastChild", "nodeValue"})), "<raw>");
  EXPECT_TRUE(get(vm, a, {"lastChild", "nextSibling"}).isNull());
  EXPECT_TRUE(vm.getMember(doc, "parentNode").isNull());
  EXPECT_EQ(str(vm, vm.getMember(doc, "xmlDecl")), "<?xml version=\"1.0\"?>");
  // Written back: the declaration, escaped text, empty elements closed in place.
  EXPECT_EQ(str(vm, method(vm, doc, "toString")),
            "<?xml version=\"1.0\"?><a x=\"1\"><b>hi &amp; A&lt;</b><c />&lt;raw&gt;</a>");
  // childNodes is a real array.
  EXPECT_EQ(str(vm, get(vm, a, {"childNodes", "length"})), "3");
}

TEST(Xml, BrokenDocumentsSayWhatIsWrongAndDeepOnesStop) {
  FakeHost h(8);
  Vm& vm = h.vm;
  auto status = [&](const std::string& text) {
    return str(vm, vm.getMember(make(vm, "XML", {Value(text)}), "status"));
  };
  EXPECT_EQ(status("<a>"), "-9");       // an element never closed
  EXPECT_EQ(status("<a></b>"), "-10");  // an end tag with no start
  EXPECT_EQ(status("</a>"), "-10");
  EXPECT_EQ(status("<a x=\"1></a>"), "-8");  // an attribute value never closed
  EXPECT_EQ(status("<!-- open"), "-5");
  EXPECT_EQ(status("<![CDATA[open"), "-2");
  EXPECT_EQ(status("<?xml open"), "-3");
  EXPECT_EQ(status("<a b></a>"), "-6");  // an attribute without a value
  EXPECT_EQ(status("plain text"), "0");
  // A hostile depth ends the parse instead of the program.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<d>";
  EXPECT_EQ(status(deep), "-6");
  // Many siblings parse in linear time (a quadratic parse would not finish here).
  std::string wide = "<w>";
  for (int i = 0; i < 50000; ++i) wide += "<i/>";
  Value big = make(vm, "XML", {Value(wide + "</w>")});
  EXPECT_EQ(str(vm, vm.getMember(big, "status")), "0");
  EXPECT_EQ(str(vm, get(vm, big, {"firstChild", "childNodes", "length"})), "50000");
  // ignoreWhite drops text that is only white space.
  Value doc = make(vm, "XML");
  vm.setMember(doc.asObject(), "ignoreWhite", Value(true));
  method(vm, doc, "parseXML", {Value("<a>\n  <b> x </b>\n</a>")});
  EXPECT_EQ(str(vm, get(vm, doc, {"firstChild", "childNodes", "length"})), "1");
  EXPECT_EQ(str(vm, get(vm, doc, {"firstChild", "firstChild", "firstChild", "nodeValue"})), " x ");
}

TEST(Xml, NodesAreMadeMovedClonedAndRemoved) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value doc = make(vm, "XML");
  Value root = method(vm, doc, "createElement", {Value("root")});
  Value one = method(vm, doc, "createElement", {Value("one")});
  Value two = method(vm, doc, "createTextNode", {Value("2 < 3")});
  method(vm, doc, "appendChild", {root});
  method(vm, root, "appendChild", {two});
  method(vm, root, "insertBefore", {one, two});
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<root><one />2 &lt; 3</root>");
  // A node cannot go inside itself.
  method(vm, one, "appendChild", {root});
  EXPECT_TRUE(vm.strictEquals(vm.getMember(root, "parentNode"), doc));
  // Moving a node takes it from where it was.
  method(vm, one, "appendChild", {two});
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<root><one>2 &lt; 3</one></root>");
  Value deepCopy = method(vm, root, "cloneNode", {Value(true)});
  Value shallow = method(vm, root, "cloneNode", {Value(false)});
  method(vm, two, "removeNode");
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<root><one /></root>");
  EXPECT_EQ(str(vm, method(vm, deepCopy, "toString")), "<root><one>2 &lt; 3</one></root>");
  EXPECT_EQ(str(vm, method(vm, shallow, "toString")), "<root />");
  EXPECT_TRUE(vm.getMember(deepCopy, "parentNode").isNull());
  EXPECT_FALSE(vm.toBool(method(vm, one, "hasChildNodes")));
  // new XMLNode(type, value)
  Value text = make(vm, "XMLNode", {Value(3.0), Value("t&")});
  EXPECT_EQ(str(vm, method(vm, text, "toString")), "t&amp;");
}

TEST(Xml, NodeDataIsReachedThroughThePrototypesAccessors) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value doc = make(vm, "XML", {Value("<t:a xmlns:t=\"nst\" xmlns=\"std\"><b t:x=\"1\" /></t:a>")});
  Value a = vm.getMember(doc, "firstChild");
  Value b = vm.getMember(a, "firstChild");
  Object* proto = get(vm, vm.getMember(vm.global, "XMLNode"), {"prototype"}).asObject();
  for (const char* name : {"nodeName", "nodeType", "nodeValue", "attributes", "childNodes",
                           "prefix", "localName", "namespaceURI", "getNamespaceForPrefix"}) {
    EXPECT_TRUE(vm.hasOwnProperty(proto, name)) << name;
    EXPECT_FALSE(vm.hasOwnProperty(a.asObject(), name)) << name;
  }
  EXPECT_EQ(str(vm, vm.getMember(a, "prefix")), "t");
  EXPECT_EQ(str(vm, vm.getMember(a, "localName")), "a");
  EXPECT_EQ(str(vm, vm.getMember(a, "namespaceURI")), "nst");
  // An unprefixed name takes the default namespace declared above it.
  EXPECT_EQ(str(vm, vm.getMember(b, "prefix")), "");
  EXPECT_EQ(str(vm, vm.getMember(b, "namespaceURI")), "std");
  EXPECT_EQ(str(vm, method(vm, b, "getNamespaceForPrefix", {Value("t")})), "nst");
  EXPECT_TRUE(method(vm, b, "getNamespaceForPrefix", {Value("zz")}).isUndefined());
  EXPECT_TRUE(method(vm, b, "getNamespaceForPrefix").isUndefined());
  EXPECT_EQ(str(vm, method(vm, b, "getPrefixForNamespace", {Value("nst")})), "t");
  EXPECT_EQ(str(vm, method(vm, b, "getPrefixForNamespace", {Value("std")})), "");
  EXPECT_TRUE(method(vm, b, "getPrefixForNamespace", {Value("none")}).isUndefined());
  // The document has no name, so neither prefix nor namespace.
  EXPECT_TRUE(vm.getMember(doc, "prefix").isNull());
  EXPECT_TRUE(vm.getMember(doc, "localName").isNull());
  EXPECT_TRUE(vm.getMember(doc, "namespaceURI").isNull());
  // nodeName and nodeValue can be written; nodeType and the links cannot.
  vm.setMember(b.asObject(), "nodeName", Value("c"));
  vm.setMember(b.asObject(), "nodeType", Value(3.0));
  vm.setMember(b.asObject(), "parentNode", Value::null());
  EXPECT_EQ(str(vm, vm.getMember(b, "nodeType")), "1");
  EXPECT_TRUE(vm.strictEquals(vm.getMember(b, "parentNode"), a));
  EXPECT_EQ(str(vm, method(vm, b, "toString")), "<c t:x=\"1\" />");
  // Attributes sit on an object with no prototype.
  EXPECT_TRUE(get(vm, b, {"attributes", "toString"}).isUndefined());
}

TEST(Xml, ChildNodesIsACopyOfTheTreeMadeAnewOnEachChange) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value doc = make(vm, "XML", {Value("<a /><b />")});
  Value a = vm.getMember(doc, "firstChild");
  Value b = vm.getMember(doc, "lastChild");
  Value kids = vm.getMember(doc, "childNodes");
  method(vm, kids, "push", {Value("not a node")});
  EXPECT_EQ(str(vm, vm.getMember(kids, "length")), "3");
  EXPECT_TRUE(vm.strictEquals(vm.getMember(doc, "lastChild"), b));
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<a /><b />");
  // Appending a node already among the children leaves it where it is ...
  method(vm, doc, "appendChild", {a});
  EXPECT_TRUE(vm.strictEquals(vm.getMember(doc, "firstChild"), a));
  // ... as does appending something that is no node; a real change rebuilds the array.
  method(vm, doc, "appendChild", {Value(vm.newObject())});
  EXPECT_EQ(str(vm, vm.getMember(kids, "length")), "3");
  method(vm, a, "removeNode");
  EXPECT_EQ(str(vm, vm.getMember(kids, "length")), "1");
  method(vm, doc, "appendChild", {a});
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<b /><a />");
}

TEST(Xml, ParsingAgainReplacesTheChildrenAndKeepsTheIdMap) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value doc = make(vm, "XML", {Value("<a id=\"one\"><b id=\"two\">t</b></a>")});
  Value map = vm.getMember(doc, "idMap");
  Value a = vm.getMember(doc, "firstChild");
  EXPECT_TRUE(vm.strictEquals(vm.getMember(map, "one"), a));
  EXPECT_TRUE(vm.strictEquals(vm.getMember(map, "two"), vm.getMember(a, "firstChild")));
  // Nodes put in by hand are not looked for.
  Value c = method(vm, doc, "createElement", {Value("c")});
  vm.setMember(vm.getMember(c, "attributes").asObject(), "id", Value("three"));
  method(vm, doc, "appendChild", {c});
  EXPECT_TRUE(vm.getMember(map, "three").isUndefined());
  method(vm, doc, "parseXML", {Value("<d id=\"four\" />")});
  EXPECT_TRUE(vm.strictEquals(vm.getMember(doc, "idMap"), map));
  EXPECT_EQ(vm.enumerableNames(map.asObject()).size(), 3u);
  // The old children have left the document.
  EXPECT_TRUE(vm.getMember(a, "parentNode").isNull());
  EXPECT_TRUE(vm.getMember(c, "parentNode").isNull());
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<d id=\"four\" />");
  // Before SWF 8 there is no idMap.
  FakeHost old(7);
  Value doc7 = make(old.vm, "XML", {Value("<a id=\"x\" />")});
  EXPECT_TRUE(old.vm.getMember(doc7, "idMap").isUndefined());
}

TEST(Xml, NewNodesTakeWhatXmlNodePrototypeIsNow) {
  FakeHost h(8);
  Vm& vm = h.vm;
  Value ctor = vm.getMember(vm.global, "XMLNode");
  Object* original = vm.getMember(ctor, "prototype").asObject();
  Object* custom = vm.newObject(original);
  vm.setMember(custom, "extra", Value(5.0));
  vm.setMember(ctor.asObject(), "prototype", Value(custom));
  Value doc = make(vm, "XML", {Value("<a>x</a>")});
  EXPECT_EQ(str(vm, get(vm, doc, {"firstChild", "extra"})), "5");
  EXPECT_EQ(str(vm, get(vm, doc, {"firstChild", "firstChild", "extra"})), "5");
  EXPECT_EQ(str(vm, get(vm, method(vm, doc, "createTextNode", {Value("y")}), {"extra"})), "5");
  // With no usable prototype there, the player's own is used.
  vm.setMember(ctor.asObject(), "prototype", Value(1.0));
  Value node = method(vm, doc, "createElement", {Value("e")});
  EXPECT_EQ(str(vm, method(vm, node, "toString")), "<e />");
}

// A host whose folder holds one file.
class FileHost : public FakeHost {
 public:
  FileHost() : FakeHost(8) {}
  std::optional<std::vector<uint8_t>> readFile(const std::string& url, size_t) override {
    if (url != "doc.xml") return std::nullopt;
    std::string text = "<list><item n=\"1\" /></list>";
    return std::vector<uint8_t>(text.begin(), text.end());
  }
};

TEST(Xml, LoadParsesWhatArrivesOnTheNextFrameAndTellsOnLoad) {
  FileHost h;
  Vm& vm = h.vm;
  h.run(test::Asm()
            .push({"doc", 0, "XML"})
            .op(0x40)
            .op(0x1D)
            .getVar("doc")
            .push({"onLoad"})
            .function("", {"ok"},
                      test::Asm()
                          .push({"onLoad "})
                          .getVar("ok")
                          .op(0x47)
                          .push({" "})
                          .op(0x47)
                          .getVar("this")
                          .push({"loaded"})
                          .op(0x4E)
                          .op(0x47)
                          .trace())
            .op(0x4F)
            .push({"doc.xml", 1})
            .getVar("doc")
            .push({"load"})
            .op(0x52)
            .trace());
  EXPECT_EQ(h.out, "true\n");
  Value doc = vm.getMember(h.vm.objectFor(&h.root), "doc");
  EXPECT_EQ(str(vm, method(vm, doc, "getBytesLoaded")), "0");
  EXPECT_TRUE(method(vm, doc, "getBytesTotal").isUndefined());
  EXPECT_TRUE(method(vm, make(vm, "XML"), "getBytesLoaded").isUndefined());
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "");  // nothing yet
  h.out.clear();
  vm.runLoads();
  EXPECT_EQ(h.out, "onLoad true true\n");
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<list><item n=\"1\" /></list>");
  // loaded belongs to the document without being a property of its own.
  EXPECT_FALSE(vm.hasOwnProperty(doc.asObject(), "loaded"));
  // The byte counts cannot be deleted.
  EXPECT_EQ(str(vm, method(vm, doc, "getBytesTotal")), "27");
  vm.deleteMember(doc.asObject(), "_bytesLoaded");
  EXPECT_EQ(str(vm, vm.getMember(doc, "_bytesLoaded")), "27");
  EXPECT_EQ(str(vm, method(vm, doc, "getBytesLoaded")), "27");
  // A file that is not there: onLoad(false), and the document is left as it was.
  h.out.clear();
  method(vm, doc, "load", {Value("missing.xml")});
  vm.runLoads();
  EXPECT_EQ(h.out, "onLoad false false\n");
  EXPECT_EQ(str(vm, method(vm, doc, "toString")), "<list><item n=\"1\" /></list>");
}

}  // namespace
}  // namespace orv::movie::avm1
