// Classes registered for a library symbol (Object.registerClass): clips of that symbol,
// whether the timeline places them or a script attaches them, get the class's prototype
// and run its constructor, then their onLoad method.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "movie/player.h"
#include "movie/swf/types.h"
#include "script_test_util.h"
#include "../swf_writer.h"

namespace orv::movie::avm1 {
namespace {

namespace t = orv::movie::test;
using test::Asm;

constexpr uint8_t kAdd2 = 0x47, kSetMember = 0x4F, kGetMember = 0x4E, kCallMethod = 0x52,
                  kCallFunction = 0x3D, kPop = 0x17, kStop = 0x07;

std::vector<uint8_t> exportAssets(uint16_t id, const std::string& name) {
  t::BitWriter w;
  w.u16(1);
  w.u16(id);
  w.string(name);
  return t::tag(56, w.bytes);
}
std::vector<uint8_t> doInitAction(uint16_t sprite, const Asm& code) {
  std::vector<uint8_t> body = {uint8_t(sprite & 0xFF), uint8_t(sprite >> 8)};
  const auto bytes = code.bytes();
  body.insert(body.end(), bytes.begin(), bytes.end());
  return t::tag(59, body, true);
}
// trace(text + this._name)
Asm traceWithName(const std::string& text) {
  return Asm()
      .push({text})
      .push({"this"})
      .op(0x1C)
      .push({"_name"})
      .op(kGetMember)
      .op(kAdd2)
      .trace();
}

std::vector<std::string> play(bool registered) {
  // _global.Thing = function () { trace("ctor " + this._name) };
  // Thing.prototype.onLoad = function () { trace("onLoad " + this._name) };
  // Object.registerClass("Thing", Thing);
  Asm init;
  init.push({"_global"})
      .op(0x1C)
      .push({"Thing"})
      .function("", {}, traceWithName("ctor "))
      .op(kSetMember);
  init.push({"Thing"})
      .op(0x1C)
      .push({"prototype"})
      .op(kGetMember)
      .push({"onLoad"})
      .function("", {}, traceWithName("onLoad "))
      .op(kSetMember);
  if (registered)
    init.push({"Thing"})
        .op(0x1C)
        .push({"Thing", 2, "Object"})
        .op(0x1C)
        .push({"registerClass"})
        .op(kCallMethod)
        .op(kPop);
  // trace("frame"); attachMovie("Thing", "t2", 5); stop();
  Asm frame = Asm().push({"frame"}).trace();
  frame.push({5, "t2", "Thing", 3})
      .push({"this"})
      .op(0x1C)
      .push({"attachMovie"})
      .op(kCallMethod)
      .op(kPop)
      .op(kStop);
  t::Place place{.depth = 1, .character = 2, .name = "t1"};
  place.clipActions.push_back({swf::ClipEvent::Load, traceWithName("load ").bytes()});
  const auto bytes =
      t::movie(t::concat({t::defineSprite(2, 1, t::showFrame()), exportAssets(2, "Thing"),
                          doInitAction(2, init), t::placeObject2(place), t::doAction(frame.bytes()),
                          t::showFrame()}),
               {.version = 8});
  std::vector<std::string> lines;
  Player p;
  p.setTraceSink([&](const std::string& l) { lines.push_back(l); });
  EXPECT_TRUE(p.loadBytes(bytes));
  p.advance(p.framePeriodMs());
  return lines;
}

TEST(RegisteredClass, TimelineAndAttachedClipsRunTheirClassConstructorThenOnLoad) {
  // t1's tag comes before the frame's action: its load events run first.
  EXPECT_EQ(play(true), (std::vector<std::string>{"ctor t1", "load t1", "onLoad t1", "frame",
                                                  "ctor t2", "onLoad t2"}));
  // Without the registration the clips are plain: no constructor, no onLoad.
  EXPECT_EQ(play(false), (std::vector<std::string>{"load t1", "frame"}));
}

}  // namespace
}  // namespace orv::movie::avm1
