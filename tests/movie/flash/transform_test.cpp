// A display object's Transform as ActionScript 3 reads and sets it: copies of its matrix
// and colour transform, what they change on the stage, the transforms combined up to the
// stage, and blendMode by name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_script.h"

namespace orv::movie {
namespace {

using Lines = std::vector<std::string>;

struct GeomScript : DocScript {
  uint32_t geom = abc.packageNs("flash.geom");
  // new flash.geom.`cls`(values)
  GeomScript& geomOf(const std::string& cls, std::initializer_list<int> values) {
    uint32_t q = abc.qname(geom, cls);
    c.op(op::findpropstrict, q);
    for (int v : values) c.op(op::pushint, abc.integer(v));
    c.op(op::constructprop, q, uint32_t(values.size()));
    return *this;
  }
};

TEST(Avm2Transform, MatrixAndColourAreCopiesThatChangeTheObjectWhenSet) {
  GeomScript s;
  s.make("Sprite").store(1);
  s.self().local(1).callVoid("addChild", 1);
  s.local(1).get("graphics").num(0).callVoid("beginFill", 1);
  s.local(1).get("graphics").num(0).num(0).num(10).num(10).callVoid("drawRect", 4);
  s.trace([&] { s.local(1).get("transform").get("matrix"); });
  // A copy: changing it leaves the object alone.
  s.local(1).get("transform").get("matrix").num(50).set("tx");
  s.trace([&] { s.local(1).get("x"); });
  s.local(1).get("transform");
  s.geomOf("Matrix", {2, 0, 0, 3, 20, 30});
  s.set("matrix");
  s.trace([&] { s.local(1).get("x"); });
  s.trace([&] { s.local(1).get("scaleY"); });
  s.trace([&] { s.local(1).get("width"); });
  s.trace([&] { s.local(1).get("transform").get("pixelBounds"); });
  // Red added to black, alpha kept.
  s.local(1).get("transform");
  s.geomOf("ColorTransform", {1, 1, 1, 1, 255, 0, 0, 0});
  s.set("colorTransform");
  s.trace([&] { s.local(1).get("transform").get("colorTransform").get("redOffset"); });
  // Inside a parent scaled by two: combined down from the stage.
  s.make("Sprite").store(2);
  s.self().local(2).callVoid("addChild", 1);
  s.local(2).local(1).callVoid("addChild", 1);
  s.local(2).num(2).set("scaleX");
  s.trace([&] { s.local(1).get("transform").get("concatenatedMatrix"); });
  Player player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& l) { lines.push_back(l); });
  ASSERT_TRUE(player.loadBytes(test::as3Movie(s.abcBytes(), "Doc")));
  player.start();
  EXPECT_EQ(lines, (Lines{"(a=1, b=0, c=0, d=1, tx=0, ty=0)", "0", "20", "3", "20",
                          "(x=20, y=30, w=20, h=30)", "255", "(a=4, b=0, c=0, d=3, tx=40, ty=30)"}));
  Pixmap pm;
  pm.width = 550;
  pm.height = 400;
  player.render(pm, player.stage());
  ASSERT_EQ(pm.pixels.size(), 550u * 400u);
  EXPECT_EQ(pm.pixels[40 * 550 + 60] & 0xFFFFFFu, 0xFF0000u);  // inside: tinted red
  EXPECT_EQ(pm.pixels[40 * 550 + 85] & 0xFFFFFFu, 0xFFFFFFu);  // past its 40 pixels
}

TEST(Avm2Transform, AScrollRectShowsOnlyItsPartAtTheObjectsPlace) {
  GeomScript s;
  s.make("Sprite").store(1);
  s.self().local(1).callVoid("addChild", 1);
  s.local(1).get("graphics").c.op(op::pushint, s.abc.integer(0xFF0000));
  s.callVoid("beginFill", 1);
  s.local(1).get("graphics").num(0).num(0).num(100).num(100).callVoid("drawRect", 4);
  s.trace([&] { s.local(1).get("scrollRect"); });
  s.local(1);
  s.geomOf("Rectangle", {50, 0, 30, 100});
  s.set("scrollRect");
  s.trace([&] { s.local(1).get("scrollRect"); });
  s.local(1).c.op(op::pushtrue);
  s.set("cacheAsBitmap");
  s.trace([&] { s.local(1).get("cacheAsBitmap"); });
  Player player;
  std::vector<std::string> lines;
  player.setTraceSink([&](const std::string& l) { lines.push_back(l); });
  ASSERT_TRUE(player.loadBytes(test::as3Movie(s.abcBytes(), "Doc")));
  player.start();
  EXPECT_EQ(lines, (Lines{"null", "(x=50, y=0, w=30, h=100)", "true"}));
  Pixmap pm;
  pm.width = 550;
  pm.height = 400;
  player.render(pm, player.stage());
  ASSERT_EQ(pm.pixels.size(), 550u * 400u);
  EXPECT_EQ(pm.pixels[50 * 550 + 10] & 0xFFFFFFu, 0xFF0000u);  // the part shown, moved left
  EXPECT_EQ(pm.pixels[50 * 550 + 40] & 0xFFFFFFu, 0xFFFFFFu);  // past its 30 pixels
}

TEST(Avm2Transform, BlendModesGoByName) {
  DocScript d;
  d.make("Sprite").store(1);
  d.trace([&] { d.local(1).get("blendMode"); });
  d.local(1).str("multiply").set("blendMode");
  d.trace([&] { d.local(1).get("blendMode"); });
  d.local(1).str("mixed").set("blendMode");
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.lines, (Lines{"normal", "multiply"}));
  EXPECT_EQ(r.errors,
            (Lines{"ArgumentError: Error #2008: Parameter blendMode must be one of the accepted values."}));
}

}  // namespace
}  // namespace orv::movie
