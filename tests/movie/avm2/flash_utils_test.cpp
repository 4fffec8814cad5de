// flash.utils' ByteArray, Dictionary and Proxy, and JSON, called through the machine as
// scripts call them: byte order, strings, compression, hostile input, object keys.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {
namespace {

struct Utils : Host {
  Machine m{this};
  void trace(std::string_view) override {}

  Value str(const char* s) { return Value(StringRef(s)); }
  Value make(const char* cls, std::vector<Value> args = {}) {
    return m.construct(Value(static_cast<Object*>(m.findClass(cls))), args);
  }
  // receiver.method(args...) as text, or the error it throws as text.
  std::string call(const Value& receiver, const char* method, std::vector<Value> args = {}) {
    try {
      return m.toText(m.callProperty(receiver, m.publicName(method), args));
    } catch (ScriptThrow& t) {
      return m.toText(t.value);
    }
  }
  std::string get(const Value& o, const char* name) { return m.toText(m.get(o, name)); }
  std::string json(const char* method, std::vector<Value> args) {
    return call(Value(static_cast<Object*>(m.findClass("JSON"))), method, std::move(args));
  }
  Value parse(const char* text) {
    std::vector<Value> a{str(text)};
    return m.callProperty(Value(static_cast<Object*>(m.findClass("JSON"))), m.publicName("parse"), a);
  }
};

TEST(Avm2ByteArray, WritesAndReadsEveryTypeInEitherByteOrder) {
  Utils t;
  Value b = t.make("flash.utils.ByteArray");
  t.call(b, "writeInt", {Value(-2)});
  t.call(b, "writeShort", {Value(0x1234)});
  t.m.set(b, "endian", t.str("littleEndian"));
  t.call(b, "writeUnsignedInt", {Value(0xA1B2C3D4u)});
  t.call(b, "writeDouble", {Value(1.5)});
  t.call(b, "writeFloat", {Value(0.25)});
  t.call(b, "writeUTF", {t.str("h\xC3\xA9")});
  EXPECT_EQ(t.get(b, "length"), "27");
  EXPECT_EQ(t.get(b, "position"), "27");
  // Big-endian bytes first, then little-endian ones, by index.
  std::string bytes;
  for (int i : {0, 3, 4, 5, 6, 9, 26}) bytes += t.m.toText(t.m.get(b, std::to_string(i))) + " ";
  EXPECT_EQ(bytes, "255 254 18 52 212 161 169 ");
  t.m.set(b, "position", Value(0));
  t.m.set(b, "endian", t.str("bigEndian"));
  EXPECT_EQ(t.call(b, "readInt"), "-2");
  EXPECT_EQ(t.call(b, "readUnsignedShort"), "4660");
  t.m.set(b, "endian", t.str("littleEndian"));
  EXPECT_EQ(t.call(b, "readUnsignedInt"), "2712847316");
  EXPECT_EQ(t.call(b, "readDouble"), "1.5");
  EXPECT_EQ(t.call(b, "readFloat"), "0.25");
  EXPECT_EQ(t.call(b, "readUTF"), "h\xC3\xA9");
  EXPECT_EQ(t.get(b, "bytesAvailable"), "0");
  EXPECT_EQ(t.call(b, "readByte"), "Error: Error #2030: End of file was encountered.");
  t.m.set(b, "position", Value(20));
  EXPECT_EQ(t.call(b, "readDouble").substr(0, 19), "Error: Error #2030:");
  EXPECT_EQ(t.get(b, "position"), "20");  // a failed read moves nothing
  EXPECT_EQ(t.call(b, "readBytes", {Value::null()}),
            "TypeError: Error #2007: Parameter bytes must be non-null.");
}

TEST(Avm2ByteArray, TextSkipsMarksAndKeepsStrayBytes) {
  Utils t;
  Value b = t.make("flash.utils.ByteArray");
  for (int v : {0xEF, 0xBB, 0xBF, 0x6F, 0x6B, 0xE4, 0xB8, 0x80, 0xE4, 0x41})
    t.m.set(b, std::to_string(t.m.toUint(t.m.get(b, "length"))), Value(v));
  // The mark is skipped; a broken sequence's lead byte stands for itself.
  EXPECT_EQ(t.call(b, "toString"), "ok\xE4\xB8\x80\xC3\xA4" "A");
  Value u = t.make("flash.utils.ByteArray");
  for (int v : {0xFF, 0xFE, 0x68, 0, 0x69, 0}) t.m.set(u, std::to_string(t.m.toUint(t.m.get(u, "length"))), Value(v));
  EXPECT_EQ(t.call(u, "toString"), "hi");  // UTF-16, little-endian by its mark
  EXPECT_EQ(t.get(b, "99"), "undefined");  // past the end
  // Read as UTF, the text ends at a NUL; the position still moves past all the bytes.
  Value z = t.make("flash.utils.ByteArray");
  for (int v : {0x61, 0x62, 0, 0x63}) t.m.set(z, std::to_string(t.m.toUint(t.m.get(z, "length"))), Value(v));
  t.m.set(z, "position", Value(0));
  EXPECT_EQ(t.call(z, "readUTFBytes", {Value(4)}), "ab");
  EXPECT_EQ(t.get(z, "position"), "4");
  EXPECT_EQ(t.m.toText(t.m.callProperty(z, t.m.publicName("toString"), {})).size(), 4u);
}

TEST(Avm2ByteArray, CompressesAndRefusesCorruptOrHugeInput) {
  Utils t;
  Value b = t.make("flash.utils.ByteArray");
  for (int i = 0; i < 200; ++i) t.call(b, "writeUTFBytes", {t.str("abcabc")});
  for (const char* algorithm : {"zlib", "deflate"}) {
    t.call(b, "compress", {t.str(algorithm)});
    EXPECT_LT(t.m.toUint(t.m.get(b, "length")), 100u) << algorithm;
    t.call(b, "uncompress", {t.str(algorithm)});
    EXPECT_EQ(t.get(b, "length"), "1200") << algorithm;
    EXPECT_EQ(t.get(b, "position"), "0");
  }
  t.call(b, "compress");
  t.m.set(b, "length", Value(10));  // truncated
  EXPECT_EQ(t.call(b, "uncompress"), "Error: Error #2058: There was an error decompressing the data.");
  EXPECT_EQ(t.get(b, "length"), "10");  // left as it was
  Value big = t.make("flash.utils.ByteArray");
  try {
    t.m.set(big, "length", Value(0xFFFFFFFFu));
    ADD_FAILURE() << "four gigabytes were allocated";
  } catch (ScriptThrow& e) {
    EXPECT_EQ(t.m.toText(e.value), "Error: Error #1000: The system is out of memory.");
  }
  EXPECT_EQ(t.call(big, "compress", {t.str("rar")}),
            "Error: Error #2058: There was an error decompressing the data.");
  EXPECT_EQ(t.call(big, "uncompress", {Value::null()}),
            "TypeError: Error #2007: Parameter algorithm must be non-null.");
  EXPECT_EQ(t.call(big, "uncompress"), "undefined");  // nothing to inflate is no error
}

TEST(Avm2ByteArray, ObjectsRoundTripInBothEncodings) {
  Utils t;
  for (uint32_t encoding : {3u, 0u}) {
    Value b = t.make("flash.utils.ByteArray");
    t.m.set(b, "objectEncoding", Value(encoding));
    Value o = t.parse("{\"n\":1.5,\"i\":-7,\"s\":\"hi\",\"a\":[true,null,\"hi\"],\"o\":{\"x\":0}}");
    t.m.set(o, "self", o);  // a reference back to itself
    t.call(b, "writeObject", {o});
    t.m.set(b, "position", Value(0));
    Value r = t.m.callProperty(b, t.m.publicName("readObject"), {});
    EXPECT_EQ(t.json("stringify", {r, Value(static_cast<Object*>(t.m.newArray(
                                         {t.str("n"), t.str("i"), t.str("s"), t.str("a"), t.str("o"), t.str("x")})))}),
              "{\"n\":1.5,\"i\":-7,\"s\":\"hi\",\"a\":[true,null,\"hi\"],\"o\":{\"x\":0}}")
        << encoding;
    EXPECT_EQ(t.m.get(r, "self").asObject(), r.asObject()) << encoding;
    EXPECT_EQ(t.get(b, "bytesAvailable"), "0");
  }
}

// flash.net's package functions, called as scripts call them.
std::string netCall(Utils& t, const char* function, std::vector<Value> args) {
  Name n;
  n.name = t.m.intern(function);
  n.ns = t.m.namespaces.get(NamespaceKind::Public, t.m.intern("flash.net"));
  Object* holder = t.m.findDefinition(n);
  if (!holder) return "no " + std::string(function);
  try {
    return t.m.toText(t.m.callProperty(Value(holder), n, args));
  } catch (ScriptThrow& e) {
    return t.m.toText(e.value);
  }
}

TEST(Avm2ByteArray, AliasedClassesKeepTheirClassAndShareTheirTraits) {
  Utils t;
  Value point(static_cast<Object*>(t.m.findClass("flash.geom.Point")));
  EXPECT_EQ(netCall(t, "registerClassAlias", {Value::null(), point}),
            "TypeError: Error #2007: Parameter aliasName must be non-null.");
  EXPECT_EQ(netCall(t, "getClassByAlias", {t.str("pt")}),
            "ReferenceError: Error #1014: Class pt could not be found.");
  EXPECT_EQ(netCall(t, "registerClassAlias", {t.str("pt"), point}), "undefined");
  EXPECT_EQ(netCall(t, "getClassByAlias", {t.str("pt")}), "[class Point]");

  Value b = t.make("flash.utils.ByteArray");
  Value pair = Value(static_cast<Object*>(
      t.m.newArray({t.make("flash.geom.Point", {Value(1), Value(2)}),
                    t.make("flash.geom.Point", {Value(3), Value(4)})})));
  t.call(b, "writeObject", {pair});
  // The array, then the first point with its traits: alias "pt" and its sealed names.
  std::vector<uint8_t> bytes;
  for (uint32_t i = 0; i < t.m.toUint(t.m.get(b, "length")); ++i)
    bytes.push_back(uint8_t(t.m.toUint(t.m.get(b, std::to_string(i)))));
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes[0], 0x09);
  EXPECT_EQ(bytes[3], 0x0A);
  EXPECT_EQ(bytes[5], 0x05);  // the alias, a string of two bytes
  EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 8), "pt");
  // The second point refers to the first one's traits (index 0): header 0x01.
  size_t second = 0;
  for (size_t i = 8; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0x0A && bytes[i + 1] == 0x01) second = i;
  EXPECT_GT(second, 8u);

  t.m.set(b, "position", Value(0));
  Value r = t.m.callProperty(b, t.m.publicName("readObject"), {});
  Value first = t.m.get(r, "0"), other = t.m.get(r, "1");
  EXPECT_EQ(t.call(first, "toString"), "(x=1, y=2)");
  EXPECT_EQ(t.call(other, "toString"), "(x=3, y=4)");
  EXPECT_EQ(first.asObject()->klass(), t.m.findClass("flash.geom.Point"));

  // Read where the alias is not known, the same bytes make plain objects.
  Utils fresh;
  Value copy = fresh.make("flash.utils.ByteArray");
  for (size_t i = 0; i < bytes.size(); ++i) fresh.m.set(copy, std::to_string(i), Value(uint32_t(bytes[i])));
  fresh.m.set(copy, "position", Value(0));
  Value plain = fresh.m.get(fresh.m.callProperty(copy, fresh.m.publicName("readObject"), {}), "1");
  EXPECT_EQ(plain.asObject()->klass(), fresh.m.objectClass);
  EXPECT_EQ(fresh.get(plain, "y"), "4");
}

TEST(Avm2ByteArray, CorruptObjectDataOnlyThrows) {
  Utils t;
  uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    Value b = t.make("flash.utils.ByteArray");
    t.m.set(b, "objectEncoding", Value(round % 2 ? 0u : 3u));
    int size = 1 + round % 40;
    for (int i = 0; i < size; ++i) {
      seed = seed * 1103515245 + 12345;
      // Mostly markers and small numbers, so the reader gets deep before it fails.
      t.m.set(b, std::to_string(i), Value(int32_t((seed >> 16) % (i % 3 ? 20 : 256))));
    }
    try {
      t.m.callProperty(b, t.m.publicName("readObject"), {});
    } catch (ScriptThrow&) {
    }
  }
  // A count far past the data is refused before anything is allocated for it.
  Value b = t.make("flash.utils.ByteArray");
  for (int v : {0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}) t.m.set(b, std::to_string(t.m.toUint(t.m.get(b, "length"))), Value(v));
  EXPECT_EQ(t.call(b, "readObject"), "Error: Error #2030: End of file was encountered.");
}

TEST(Avm2Dictionary, ObjectKeysAreComparedByIdentity) {
  Utils t;
  Value d = t.make("flash.utils.Dictionary");
  Value a(t.m.newObject()), b(t.m.newObject());
  Name ka = t.m.publicName("[object Object]"), kb = ka;
  ka.key = a.asObject();
  kb.key = b.asObject();
  t.m.setProperty(d, ka, Value(1));
  t.m.setProperty(d, kb, Value(2));
  t.m.set(d, "[object Object]", Value(3));  // a name, not either object
  EXPECT_EQ(t.m.toText(t.m.getProperty(d, ka)), "1");
  EXPECT_EQ(t.m.toText(t.m.getProperty(d, kb)), "2");
  EXPECT_EQ(t.get(d, "[object Object]"), "3");
  EXPECT_TRUE(t.m.hasProperty(d, kb));
  EXPECT_TRUE(t.m.deleteProperty(d, ka));
  EXPECT_FALSE(t.m.hasProperty(d, ka));
  // for-in sees the name, then the remaining object key itself.
  Object* o = d.asObject();
  std::vector<Value> keys;
  for (uint32_t i = t.m.nextIndex(o, 0); i; i = t.m.nextIndex(o, i)) keys.push_back(t.m.nameAt(o, i));
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_TRUE(keys[0].isString());
  EXPECT_EQ(keys[1].asObject(), b.asObject());
  // Keys survive a collection while the dictionary does.
  t.m.defineGlobal(t.m.intern("kept"), t.m.publicNs, d);
  t.m.collect();
  EXPECT_EQ(t.m.toText(t.m.getProperty(d, kb)), "2");
}

TEST(Avm2Proxy, HandlersAreCalledOnlyWhenOverridden) {
  Utils t;
  Value p = t.make("flash.utils.Proxy");
  std::string text;
  try {
    t.get(p, "x");
  } catch (ScriptThrow& e) {
    text = t.m.toText(e.value);
  }
  EXPECT_EQ(text, "Error: Error #2088: The Proxy class does not implement getProperty. "
                  "It must be overridden by a subclass.");
  // Reading through the handlers' own namespace finds the handlers themselves.
  Name handler = t.m.publicName("getProperty");
  handler.ns = t.m.namespaces.get(NamespaceKind::User,
                                  t.m.intern("http://www.adobe.com/2006/actionscript/flash/proxy"));
  EXPECT_TRUE(t.m.getProperty(p, handler).isObject());
}

TEST(Avm2Json, ParsesTheGrammarAndNothingElse) {
  Utils t;
  Value v = t.parse(" {\"a\": [1, -2.5e1, true, null, \"x\\u00e9\\n\"], \"b\": {}} ");
  Value a = t.m.get(v, "a");
  EXPECT_EQ(t.m.toText(a), "1,-25,true,,x\xC3\xA9\n");
  EXPECT_EQ(t.json("stringify", {v}), "{\"a\":[1,-25,true,null,\"x\xC3\xA9\\n\"],\"b\":{}}");
  for (const char* bad : {"", "[1,]", "{\"a\" 1}", "01", "[1] x", "\"\t\"", "tru", "{'a':1}", "[\"\\x\"]"}) {
    std::vector<Value> a1{t.str(bad)};
    EXPECT_EQ(t.json("parse", a1), "SyntaxError: Error #1132: Invalid JSON parse input.") << bad;
  }
  // Deep nesting fails rather than exhausting the native stack.
  std::string deep(100000, '[');
  EXPECT_EQ(t.json("parse", {Value(StringRef(deep))}).substr(0, 30), "SyntaxError: Error #1132: Inva");
}

TEST(Avm2Json, StringifiesWithReplacersAndIndents) {
  Utils t;
  Value v = t.parse("{\"a\":1,\"b\":[1,{\"c\":2}],\"d\":\"q\\\"\"}");
  Value list(static_cast<Object*>(t.m.newArray({t.str("a"), t.str("d")})));
  EXPECT_EQ(t.json("stringify", {v, list}), "{\"a\":1,\"d\":\"q\\\"\"}");
  EXPECT_EQ(t.json("stringify", {t.parse("[1,[2]]"), Value::null(), Value(2)}),
            "[\n  1,\n  [\n    2\n  ]\n]");
  EXPECT_EQ(t.json("stringify", {t.parse("{\"a\":1}"), Value::null(), t.str("--")}), "{\n--\"a\": 1\n}");
  EXPECT_EQ(t.json("stringify", {v, Value(true)}),
            "TypeError: Error #1131: Replacer argument to JSON stringifier must be an array or a "
            "two parameter function.");
  // A cycle is an error, not a hang.
  Value cyc = t.parse("{}");
  t.m.set(cyc, "self", cyc);
  EXPECT_EQ(t.json("stringify", {cyc}),
            "TypeError: Error #1129: Cyclic structure cannot be converted to JSON string.");
  EXPECT_EQ(t.json("stringify", {Value(std::nan(""))}), "null");
}

TEST(Avm2Json, LibraryObjectsStringifyByTheirToJson) {
  Utils t;
  EXPECT_EQ(t.json("stringify", {t.make("flash.utils.Dictionary")}), "\"Dictionary\"");
  EXPECT_EQ(t.json("stringify", {t.make("flash.utils.ByteArray")}), "\"ByteArray\"");
  EXPECT_EQ(t.json("stringify", {t.make("XML", {t.str("<a><toJSON/></a>")})}), "\"XML\"");
  // A reviver sees every key, innermost first; undefined drops a member.
  static std::string keys;
  keys.clear();
  NativeCode doubling = [](Machine& m, const Value&, std::span<Value> a) -> Value {
    keys += m.toText(a[0]) + ";";
    if (m.toText(a[0]) == "b") return Value();
    return a[1].isNumeric() ? Value(a[1].numeric() * 2) : a[1];
  };
  Value reviver(t.m.newFunction(t.m.nativeMethod(doubling, 2, "reviver"), nullptr, nullptr));
  std::vector<Value> a{t.str("{\"a\":[1,2],\"b\":3}"), reviver};
  Value r = t.m.callProperty(Value(static_cast<Object*>(t.m.findClass("JSON"))), t.m.publicName("parse"), a);
  EXPECT_EQ(keys, "0;1;a;b;;");
  EXPECT_EQ(t.json("stringify", {r}), "{\"a\":[2,4]}");
}

TEST(Avm2Json, IsNotThereForMoviesOlderThanIt) {
  Utils t;
  EXPECT_NE(t.m.findClass("JSON"), nullptr);
  t.m.swfVersion = 12;
  EXPECT_EQ(t.m.findClass("JSON"), nullptr);
  t.m.swfVersion = 13;
  EXPECT_NE(t.m.findClass("JSON"), nullptr);
}

}  // namespace
}  // namespace orv::movie::avm2
