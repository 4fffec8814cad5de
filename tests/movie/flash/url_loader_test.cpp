// flash.net's URLLoader, URLRequest and URLVariables on the player: files of the movie's own
// folder load as text or variables with the player's events in order, a missing one gives
// ioError, and URLVariables reads and writes URL-encoded pairs.
#include <filesystem>
#include <fstream>

#include "../swf_writer.h"
#include "doc_script.h"

namespace orv::movie {
namespace {

// Pushes a listener tracing "TYPE:" and the loader's `field` (its data, or the event's
// text for an error).
void pushListener(DocScript& d, const std::string& field) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace"));
  body.op(op::getlocal1).op(op::getproperty, d.pub("type"));
  body.op(op::pushstring, d.abc.string(":")).op(op::add);
  if (field == "text") {
    body.op(op::getlocal1).op(op::getproperty, d.pub("text"));
  } else {
    body.op(op::getlocal1).op(op::getproperty, d.pub("target")).op(op::getproperty, d.pub(field));
  }
  body.op(op::add).op(op::callpropvoid, d.pub("trace"), 1).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 4, .localCount = 2});
  d.c.op(op::newfunction, m);
}

// Loads `url` in a new URLLoader of `format` that traces each of its events.
void loadTraced(DocScript& d, uint32_t net, const std::string& url, const std::string& format) {
  const uint32_t loader = d.abc.qname(net, "URLLoader"), request = d.abc.qname(net, "URLRequest");
  d.c.op(op::findpropstrict, loader).op(op::constructprop, loader, 0);
  d.store(1);
  d.local(1).str(format).set("dataFormat");
  for (const char* type : {"open", "progress", "httpStatus", "complete"}) {
    d.local(1).str(type);
    pushListener(d, "data");
    d.callVoid("addEventListener", 2);
  }
  d.local(1).str("ioError");
  pushListener(d, "text");
  d.callVoid("addEventListener", 2);
  d.local(1);
  d.c.op(op::findpropstrict, request);
  d.str(url);
  d.c.op(op::constructprop, request, 1);
  d.callVoid("load", 1);
}

}  // namespace

TEST(As3UrlLoader, FilesBesideTheMovieLoadAsTextOrVariablesAndAMissingOneGivesIoError) {
  MovieFolder folder;
  folder.put("note.txt", "\xEF\xBB\xBFhello there");
  folder.put("vars.txt", "name=Ann+Lee&score=7&score=9");
  DocScript d;
  const uint32_t net = d.abc.packageNs("flash.net");
  loadTraced(d, net, "note.txt", "text");
  loadTraced(d, net, "vars.txt", "variables");
  loadTraced(d, net, "missing.txt", "binary");
  Played r = folder.run(test::as3Movie(d.abcBytes(), "Doc"), 2);
  for (const std::string& e : r.errors) ADD_FAILURE() << e;
  const std::vector<std::string> expected = {
      "open:undefined",     "progress:undefined", "httpStatus:undefined",
      "complete:hello there",  // the byte order mark is not text
      "open:undefined",     "progress:undefined", "httpStatus:undefined",
      "complete:name=Ann%20Lee&score=7&score=9",
      "httpStatus:undefined", "ioError:Error #2032: Stream Error",
  };
  EXPECT_EQ(r.lines, expected);
}

TEST(As3UrlLoader, NothingLoadsBeforeTheNextTickAndANetworkUrlIsRefused) {
  MovieFolder folder;
  folder.put("note.txt", "hello");
  DocScript d;
  const uint32_t net = d.abc.packageNs("flash.net");
  loadTraced(d, net, "note.txt", "text");
  loadTraced(d, net, "http://example.com/note.txt", "text");
  d.trace([&] { d.str("constructed"); });
  Played r = folder.run(test::as3Movie(d.abcBytes(), "Doc"), 1);
  EXPECT_EQ(r.lines, std::vector<std::string>{"constructed"});
  r = folder.run(test::as3Movie(d.abcBytes(), "Doc"), 2);
  ASSERT_EQ(r.lines.size(), 7u) << testing::PrintToString(r.lines);
  EXPECT_EQ(r.lines[4], "complete:hello");
  EXPECT_EQ(r.lines[6], "ioError:Error #2032: Stream Error");
}

TEST(As3UrlVariables, PairsDecodeIntoPropertiesAndEncodeBack) {
  DocScript d;
  const uint32_t variables = d.abc.qname(d.abc.packageNs("flash.net"), "URLVariables");
  d.c.op(op::findpropstrict, variables);
  d.str("city=New%20York&tag=a&tag=b%26c&empty=");
  d.c.op(op::constructprop, variables, 1);
  d.store(1);
  d.trace([&] { d.local(1).get("city"); });
  d.trace([&] { d.local(1).get("tag").get("length"); });
  d.trace([&] {
    d.local(1).get("tag").num(1);
    d.c.op(op::getproperty, d.abc.multinameL(d.abc.nsSet({d.abc.packageNs()})));
  });
  d.trace([&] { d.local(1).call("toString", 0); });
  d.local(1).str("pairs without a value");
  d.callVoid("decode", 1);  // throws: the last line
  d.trace([&] { d.str("not reached"); });
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  const std::vector<std::string> expected = {"New York", "2", "b&c",
                                             "city=New%20York&tag=a&tag=b%26c&empty="};
  EXPECT_EQ(r.lines, expected);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_NE(r.errors[0].find("Error #2101"), std::string::npos) << r.errors[0];
}

}  // namespace orv::movie
