// Gradient fills of the ActionScript 3 drawing API, drawn through the player: colours
// along the gradient box, the spread past its ends, and the player's error for a type it
// does not know.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_script.h"

namespace orv::movie {
namespace {

using Lines = std::vector<std::string>;

// A 200 by 50 rectangle at the stage's corner, filled red to blue across its left half
// (the gradient box is 100 pixels wide), spread as `spread`.
std::vector<uint32_t> drawGradient(const std::string& spread) {
  DocScript d;
  uint32_t geom = d.abc.packageNs("flash.geom");
  uint32_t matrix = d.abc.qname(geom, "Matrix");
  d.c.op(op::findpropstrict, matrix).op(op::constructprop, matrix, 0);
  d.store(2);
  d.local(2).num(100).num(50).num(0).num(0).num(0).callVoid("createGradientBox", 5);
  d.self().get("graphics").str("linear");
  for (int v : {0xFF0000, 0x0000FF}) d.c.op(op::pushint, d.abc.integer(v));
  d.c.op(op::newarray, 2);
  d.num(1).num(1).c.op(op::newarray, 2);
  d.num(0).c.op(op::pushint, d.abc.integer(255)).op(op::newarray, 2);
  d.local(2).str(spread).callVoid("beginGradientFill", 6);
  d.self().get("graphics").num(0).num(0).c.op(op::pushint, d.abc.integer(200));
  d.num(50).callVoid("drawRect", 4);
  Player player;
  EXPECT_TRUE(player.loadBytes(test::as3Movie(d.abcBytes(), "Doc")));
  player.start();
  if (player.as3Scripts()) {
    EXPECT_TRUE(player.as3Scripts()->errors().empty());
  }
  Pixmap pm;
  pm.width = 550;
  pm.height = 400;
  player.render(pm, player.stage());
  std::vector<uint32_t> row;
  for (int x : {2, 50, 97, 150, 197}) row.push_back(pm.pixels[25 * 550 + x] & 0xFFFFFFu);
  return row;
}

bool near(uint32_t got, uint32_t want) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((got >> shift) & 255) - int((want >> shift) & 255)) > 12) return false;
  return true;
}

TEST(Avm2GraphicsFill, LinearGradientsRunAcrossTheirBoxAndSpreadPastIt) {
  const std::vector<uint32_t> pad = drawGradient("pad");
  EXPECT_TRUE(near(pad[0], 0xFF0000)) << std::hex << pad[0];
  EXPECT_TRUE(near(pad[1], 0x800080)) << std::hex << pad[1];  // halfway
  EXPECT_TRUE(near(pad[2], 0x0000FF)) << std::hex << pad[2];
  EXPECT_TRUE(near(pad[3], 0x0000FF)) << std::hex << pad[3];  // past the end: the last colour
  const std::vector<uint32_t> reflect = drawGradient("reflect");
  EXPECT_TRUE(near(reflect[3], 0x800080)) << std::hex << reflect[3];  // on the way back
  EXPECT_TRUE(near(reflect[4], 0xFF0000)) << std::hex << reflect[4];
}

TEST(Avm2GraphicsFill, AnUnknownGradientTypeIsRefused) {
  DocScript d;
  d.self().get("graphics").str("conic").c.op(op::newarray, 0).op(op::newarray, 0).op(op::newarray, 0);
  d.callVoid("beginGradientFill", 4);
  Played r = play(test::as3Movie(d.abcBytes(), "Doc"));
  EXPECT_EQ(r.errors,
            (Lines{"ArgumentError: Error #2008: Parameter type must be one of the accepted values."}));
}

}  // namespace
}  // namespace orv::movie
