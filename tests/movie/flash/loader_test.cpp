// flash.display.Loader on the player: an image beside the movie loads as the Loader's one
// child, a Bitmap with the image's pixels, with its contentLoaderInfo's events in the
// player's order; a missing file and bytes that are no image give ioError.
#include <filesystem>
#include <fstream>

#include "../swf_writer.h"
#include "doc_script.h"

namespace orv::movie {
namespace {

// A 1x1 GIF whose one pixel is red.
const std::string kRedDot(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
    "!\xf9\x04\x00\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
    43);

// Pushes a listener tracing the event's type and what `path` (from the event's target, the
// contentLoaderInfo) reads; "text" reads the event's text instead.
void pushListener(DocScript& d, const std::vector<std::string>& path) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace"));
  body.op(op::getlocal1).op(op::getproperty, d.pub("type"));
  body.op(op::pushstring, d.abc.string(" ")).op(op::add);
  body.op(op::getlocal1);
  if (path.empty() || path[0] != "text") body.op(op::getproperty, d.pub("target"));
  for (const std::string& p : path) {
    if (p == "getPixel") {
      body.pushbyte(0).pushbyte(0).op(op::callproperty, d.pub("getPixel"), 2);
    } else {
      body.op(op::getproperty, d.pub(p));
    }
  }
  body.op(op::add).op(op::callpropvoid, d.pub("trace"), 1).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 6, .localCount = 2});
  d.c.op(op::newfunction, m);
}

using Listeners = std::vector<std::pair<const char*, std::vector<std::string>>>;

// A Loader in local 1, its contentLoaderInfo in local 2, listening for every event (or
// for those given).
void makeLoader(DocScript& d, const Listeners& listeners = {
                                  {"open", {"bytesTotal"}},
                                  {"progress", {"bytesLoaded"}},
                                  {"init", {"contentType"}},
                                  {"httpStatus", {"width"}},
                                  {"complete", {"content", "bitmapData", "getPixel"}},
                                  {"ioError", {"text"}},
                              }) {
  d.make("Loader").store(1);
  d.local(1).get("contentLoaderInfo").store(2);
  for (const auto& listener : listeners) {
    d.local(2).str(listener.first);
    pushListener(d, listener.second);
    d.callVoid("addEventListener", 2);
  }
}

Played runBesideDot(const std::vector<uint8_t>& swf) {
  MovieFolder folder;
  folder.put("dot.gif", kRedDot);
  return folder.run(swf, 2);
}

void load(DocScript& d, const std::string& url) {
  const uint32_t request = d.abc.qname(d.abc.packageNs("flash.net"), "URLRequest");
  d.local(1);
  d.c.op(op::findpropstrict, request);
  d.str(url);
  d.c.op(op::constructprop, request, 1);
  d.callVoid("load", 1);
}

}  // namespace

TEST(As3Loader, AnImageBesideTheMovieBecomesTheLoadersBitmapAfterItsEvents) {
  DocScript d;
  makeLoader(d);
  load(d, "dot.gif");
  d.trace([&] { d.local(1).get("content"); });
  Played r = runBesideDot(test::as3Movie(d.abcBytes(), "Doc"));
  for (const std::string& e : r.errors) ADD_FAILURE() << e;
  const std::vector<std::string> expected = {
      "null",  // nothing before the clock ticks
      "open 0",          "progress 0",  "progress 43", "init image/gif",
      "httpStatus 1",    "complete 16711680",
  };
  EXPECT_EQ(r.lines, expected);
}

TEST(As3Loader, AMissingFileAndBytesThatAreNoImageGiveIoError) {
  DocScript d;
  makeLoader(d);
  load(d, "nothing.png");
  Played missing = runBesideDot(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(missing.lines,
            std::vector<std::string>{"ioError Error #2035: URL Not Found. URL: file:///nothing.png"});

  DocScript bytes;
  makeLoader(bytes);
  const uint32_t byteArray = bytes.abc.qname(bytes.abc.packageNs("flash.utils"), "ByteArray");
  bytes.c.op(op::findpropstrict, byteArray).op(op::constructprop, byteArray, 0);
  bytes.store(3);
  bytes.local(3).str("not an image");
  bytes.callVoid("writeUTFBytes", 1);
  bytes.local(1).local(3);
  bytes.callVoid("loadBytes", 1);
  bytes.trace([&] { bytes.local(2).get("bytesLoaded"); });
  Played unknown = runBesideDot(test::as3Movie(bytes.abcBytes(), "Doc"));
  // Bytes are all there at once: no open, and the error comes inside loadBytes.
  const std::vector<std::string> expected = {"progress 0", "progress 12",
                                             "ioError Error #2124: Loaded file is an unknown type.",
                                             "12"};
  EXPECT_EQ(unknown.lines, expected);
}

// In a listener: trace(<domain>.hasDefinition(name)), the domain the event target's
// (the contentLoaderInfo's) or, with `own`, the running code's.
void traceHasDefinition(DocScript& d, const std::string& name, bool own) {
  const uint32_t domainClass = d.abc.qname(d.abc.packageNs("flash.system"), "ApplicationDomain");
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace"));
  if (own)
    body.op(op::getlex, domainClass).op(op::getproperty, d.pub("currentDomain"));
  else
    body.op(op::getlocal1).op(op::getproperty, d.pub("target")).op(op::getproperty, d.pub("applicationDomain"));
  body.op(op::pushstring, d.abc.string(name)).op(op::callproperty, d.pub("hasDefinition"), 1);
  body.op(op::callpropvoid, d.pub("trace"), 1).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 6, .localCount = 2});
  d.local(2).str("complete");
  d.c.op(op::newfunction, m);
  d.callVoid("addEventListener", 2);
}

TEST(As3Loader, AMovieBesideTheMovieIsPlayedAsTheLoadersChildWithItsCodeInADomainOfItsOwn) {
  DocScript child;
  child.className = "Child";
  child.trace([&] { child.str("child made"); });
  child.trace([&] { child.self().get("parent"); });  // not yet in the Loader
  const std::vector<uint8_t> childMovie = test::as3Movie(child.abcBytes(), "Child");

  DocScript d;
  makeLoader(d, {{"open", {"bytesTotal"}},
                 {"progress", {"bytesLoaded"}},
                 {"init", {"contentType"}},
                 {"complete", {"content", "parent", "numChildren"}},
                 {"complete", {"url"}},
                 {"complete", {"loaderURL"}},
                 {"complete", {"swfVersion"}},
                 {"ioError", {"text"}}});
  traceHasDefinition(d, "Child", false);
  traceHasDefinition(d, "Child", true);
  traceHasDefinition(d, "Doc", false);  // the loading movie's classes are seen below it
  load(d, "child.swf?a=1");
  d.self().local(1).callVoid("addChild", 1);
  MovieFolder folder;
  folder.put("child.swf", std::string(childMovie.begin(), childMovie.end()));
  Played r = folder.run(test::as3Movie(d.abcBytes(), "Doc"), 2);
  for (const std::string& e : r.errors) ADD_FAILURE() << e;
  const std::string size = std::to_string(childMovie.size());
  const std::vector<std::string> expected = {
      "open 0",
      "progress 0",
      "progress " + size,
      "child made",
      "null",
      "init application/x-shockwave-flash",
      "complete 1",
      "complete file:///child.swf?a=1",
      "complete file:///movie.swf",
      "complete " + std::to_string(childMovie[3]),
      "true",
      "false",
      "true",
  };
  EXPECT_EQ(r.lines, expected);
}

}  // namespace orv::movie

namespace orv::movie {

TEST(As3Loader, LoaderContextsKeepWhatTheyAreMadeWith) {
  DocScript d;
  const uint32_t system = d.abc.packageNs("flash.system");
  const uint32_t jpeg = d.abc.qname(system, "JPEGLoaderContext");
  const uint32_t plain = d.abc.qname(system, "LoaderContext");
  d.c.op(op::findpropstrict, jpeg);
  d.num(2);
  d.c.op(op::pushtrue).op(op::constructprop, jpeg, 2);
  d.store(1);
  for (const char* field : {"deblockingFilter", "checkPolicyFile", "applicationDomain",
                            "imageDecodingPolicy", "allowCodeImport"})
    d.trace([&] { d.local(1).get(field); });
  d.c.op(op::findpropstrict, plain).op(op::constructprop, plain, 0);
  d.store(2);
  d.trace([&] { d.local(2).get("checkPolicyFile"); });
  d.trace([&] {
    d.local(1);
    d.c.op(op::getlex, plain).op(op::istypelate);
  });
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  const std::vector<std::string> expected = {"2", "true", "null", "onDemand", "true", "false",
                                             "true"};
  EXPECT_EQ(r.lines, expected);
}

}  // namespace orv::movie
