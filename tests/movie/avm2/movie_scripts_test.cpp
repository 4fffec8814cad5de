// A movie made for ActionScript 3 on the player: its ABC runs, its document class is
// constructed, trace reaches the player's sink, and what the scripts do not catch is kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../abc/abc_writer.h"
#include "movie/avm2_host/movie_scripts.h"
#include "movie/player.h"

namespace orv::movie {
namespace {

namespace op = test::op;
using test::Code;

// A document class Doc extending flash.display.MovieClip whose constructor runs `body`.
std::vector<uint8_t> documentMovie(test::AbcBuilder& abc, const Code& body) {
  uint32_t movieClip = abc.qname(abc.packageNs("flash.display"), "MovieClip");
  uint32_t doc = abc.qname("Doc");
  uint32_t iinit = abc.method();
  abc.body(iinit, body, {.maxStack = 4});
  abc.defineClass({.name = doc, .superName = movieClip, .iinit = iinit, .cinit = abc.emptyMethod()});
  uint32_t init = abc.method();
  Code c;
  c.op(op::getlocal0).op(op::pushscope).op(op::getscopeobject, 0);
  c.op(op::getlex, movieClip).op(op::newclass, 0).op(op::initproperty, doc).op(op::returnvoid);
  abc.body(init, c, {.maxStack = 4});
  abc.script(init, {abc.classTrait(doc, 0)});
  return test::as3Movie(abc.bytes(), "Doc");
}

TEST(Avm2MovieScripts, DocumentClassIsConstructedAndTraces) {
  test::AbcBuilder abc;
  Code body;
  body.op(op::getlocal0).op(op::pushscope).op(op::getlocal0).op(op::constructsuper, 0);
  body.op(op::findpropstrict, abc.qname("trace")).op(op::pushstring, abc.string("made"));
  body.op(op::callpropvoid, abc.qname("trace"), 1).op(op::returnvoid);
  Player player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& l) { lines.push_back(l); });
  ASSERT_TRUE(player.loadBytes(documentMovie(abc, body)));
  EXPECT_EQ(lines, (std::vector<std::string>{"made"}));
  ASSERT_NE(player.as3Scripts(), nullptr);
  EXPECT_TRUE(player.as3Scripts()->errors().empty());
  player.start();
  player.advance(player.framePeriodMs() * 3);  // the frames after run nothing again
  EXPECT_EQ(lines.size(), 1u);
}

TEST(Avm2MovieScripts, UncaughtErrorsAreKeptAndTheMoviePlaysOn) {
  test::AbcBuilder abc;
  Code body;
  body.op(op::getlocal0).op(op::pushscope).op(op::pushnull).op(op::getproperty, abc.qname("x"));
  body.op(op::returnvoid);
  Player player;
  ASSERT_TRUE(player.loadBytes(documentMovie(abc, body)));
  ASSERT_NE(player.as3Scripts(), nullptr);
  EXPECT_EQ(player.as3Scripts()->errors(),
            (std::vector<std::string>{"TypeError: Error #1009: Cannot access a property or "
                                      "method of a null object reference."}));
  player.start();
  player.advance(player.framePeriodMs());
}

}  // namespace
}  // namespace orv::movie
