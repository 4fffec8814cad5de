// The movie's own right-click menu through the player: which object's ContextMenu a right
// click finds, its onSelect before it opens, the items and built-in switches it gives,
// the player's rules for captions, the chosen item's handler, and the edit entries over a
// text field.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "movie/avm1/context_menu.h"
#include "movie/player.h"
#include "menu_movies.h"

namespace orv::movie {
namespace {

using avm1::test::Asm;
using namespace orv::movie::test::menus;

struct MenuPlayer {
  Player player;
  std::vector<std::string> lines;
  explicit MenuPlayer(const std::vector<uint8_t>& bytes) {
    player.setTraceSink([this](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(player.loadBytes(bytes));
    lines.clear();
  }
  Player::MovieMenu open(double x, double y) { return player.openMovieMenu(x * 20, y * 20); }
  std::vector<std::string> captions(const Player::MovieMenu& m) {
    std::vector<std::string> out;
    for (const auto& item : m.items) out.push_back(item.caption);
    return out;
  }
  std::vector<std::string> take() { return std::exchange(lines, {}); }
};

using Lines = std::vector<std::string>;

TEST(MovieMenu, TheTopmostObjectWithAMenuOwnsItElseTheMovie) {
  MenuPlayer m(menuMovie(Asm()
                             .append(makeMenu("rootMenu"))
                             .append(addItem("rootMenu", "Movie item"))
                             .append(setMenu("_root", "rootMenu"))
                             .append(makeMenu("clipMenu"))
                             .append(addItem("clipMenu", "Clip item"))
                             .append(addItem("clipMenu", "Second", true))
                             .append(setMenu("clip", "clipMenu"))
                             .append(makeMenu("buttonMenu"))
                             .append(addItem("buttonMenu", "Button item"))
                             .append(setMenu("btn", "buttonMenu"))));
  // Over "kid", which has no menu of its own: its parent's.
  Player::MovieMenu menu = m.open(155, 155);
  EXPECT_EQ(m.take(), Lines{"open _level0.clip"}) << "onSelect runs before the menu opens";
  EXPECT_EQ(m.captions(menu), (Lines{"Clip item", "Second"}));
  EXPECT_FALSE(menu.items[0].separatorBefore);
  EXPECT_TRUE(menu.items[1].separatorBefore);
  EXPECT_TRUE(m.player.selectMovieMenuItem(1));
  EXPECT_EQ(m.take(), Lines{"Second on _level0.clip"});

  menu = m.open(320, 120);
  EXPECT_EQ(m.take(), Lines{"open _level0.btn"});
  EXPECT_EQ(m.captions(menu), Lines{"Button item"});

  // The bare stage.
  for (auto [x, y] : {std::pair{20.0, 20.0}, std::pair{500.0, 380.0}}) {
    menu = m.open(x, y);
    EXPECT_EQ(m.take(), Lines{"open _level0"});
    EXPECT_EQ(m.captions(menu), Lines{"Movie item"});
  }
  EXPECT_TRUE(m.player.selectMovieMenuItem(0));
  EXPECT_EQ(m.take(), Lines{"Movie item on _level0"});
  EXPECT_FALSE(m.player.selectMovieMenuItem(1)) << "the root's menu has one item";
  EXPECT_TRUE(m.take().empty());
}

TEST(MovieMenu, BuiltInSwitchesAndShowMenuSayWhatThePlayerKeeps) {
  {
    MenuPlayer m(menuMovie(Asm()));
    const Player::MovieMenu menu = m.open(20, 20);
    EXPECT_TRUE(menu.zoom && menu.quality && menu.play && menu.loop && menu.rewind &&
                menu.forwardBack && menu.print && menu.save && menu.showMenu);
    EXPECT_TRUE(menu.items.empty());
    EXPECT_FALSE(menu.textField);
    EXPECT_FALSE(m.player.selectMovieMenuItem(0));
  }
  {
    MenuPlayer m(menuMovie(Asm()
                               .append(makeMenu("cm"))
                               .append(callMethod("cm", "hideBuiltInItems"))
                               .append(setBuiltIn("cm", "loop", true))
                               .append(setBuiltIn("cm", "forward_back", true))
                               .append(setMenu("clip", "cm"))));
    const Player::MovieMenu menu = m.open(110, 110);
    EXPECT_FALSE(menu.zoom || menu.quality || menu.play || menu.rewind || menu.print ||
                 menu.save);
    EXPECT_TRUE(menu.loop);
    EXPECT_TRUE(menu.forwardBack);
    EXPECT_TRUE(m.open(20, 20).zoom) << "the movie has no menu: everything stays";
  }
  {
    MenuPlayer m(menuMovie(Asm().getVar("Stage").push({"showMenu", false}).op(kSetMember)));
    EXPECT_FALSE(m.open(20, 20).showMenu);
  }
}

TEST(MovieMenu, CaptionsFollowThePlayersRules) {
  Asm script = Asm().append(makeMenu("cm"));
  for (const char* caption :
       {"Good", "", "   ", "Zoom In", "zoom-in", "GOOD", "Adobe thing", "My Settings",
        "  Spaced out\t", "Show all levels"})
    script.append(addItem("cm", caption));
  script.append(addItem("cm", std::string(101, 'x')));
  script.append(addItem("cm", std::string(100, 'y')));
  for (int i = 0; i < 20; ++i) script.append(addItem("cm", "Extra " + std::to_string(i)));
  script.append(setMenu("_root", "cm"));
  MenuPlayer m(menuMovie(script));
  const Player::MovieMenu menu = m.open(20, 20);
  const Lines captions = m.captions(menu);
  ASSERT_EQ(captions.size(), avm1::ScriptMenu::kMostItems);
  EXPECT_EQ((Lines{captions.begin(), captions.begin() + 5}),
            (Lines{"Good", "Spaced out", "Show all levels", std::string(100, 'y'), "Extra 0"}));
  EXPECT_EQ(captions.back(), "Extra 10");
  // Item k is the k-th the menu shows, not the k-th of the array.
  m.take();
  EXPECT_TRUE(m.player.selectMovieMenuItem(1));
  EXPECT_EQ(m.take(), Lines{"  Spaced out\t on _level0"});

  EXPECT_EQ(avm1::acceptedCaption("Copy link"), "");
  EXPECT_EQ(avm1::acceptedCaption("Copy the link"), "Copy the link");
  EXPECT_EQ(avm1::acceptedCaption("About Orvanta..."), "") << "the player's own entry";
  EXPECT_EQ(avm1::acceptedCaption("Flash Player rocks"), "");
}

TEST(MovieMenu, SwitchesItemsAndHandlersAsTheScriptsLeaveThem) {
  // The menu's onSelect hides the first item and turns the second off: the menu shows
  // what it left, and a disabled or hidden item does not run.
  Asm onOpen = Asm()
                   .getVar("menu")
                   .push({"customItems"})
                   .op(kGetMember)
                   .push({"0"})
                   .op(kGetMember)
                   .push({"visible", false})
                   .op(kSetMember)
                   .getVar("menu")
                   .push({"customItems"})
                   .op(kGetMember)
                   .push({"1"})
                   .op(kGetMember)
                   .push({"enabled", false})
                   .op(kSetMember);
  Asm script = Asm()
                   .push({"cm"})
                   .function("", {"obj", "menu"}, onOpen)
                   .push({1, "ContextMenu"})
                   .op(kNewObject)
                   .op(kSetVariable)
                   .append(addItem("cm", "One"))
                   .append(addItem("cm", "Two"))
                   .append(addItem("cm", "Three", false, true, false))
                   .append(setMenu("clip", "cm"));
  MenuPlayer m(menuMovie(script));
  const Player::MovieMenu menu = m.open(110, 110);
  ASSERT_EQ(m.captions(menu), (Lines{"One", "Two", "Three"}));
  EXPECT_FALSE(menu.items[0].visible);
  EXPECT_TRUE(menu.items[0].enabled);
  EXPECT_FALSE(menu.items[1].enabled);
  EXPECT_FALSE(menu.items[2].visible);
  for (size_t k = 0; k < 3; ++k) EXPECT_FALSE(m.player.selectMovieMenuItem(k)) << k;
  EXPECT_TRUE(m.take().empty());
}

TEST(MovieMenu, AMenuOnlyPartlyThereOrThatNeverEndsStillOpens) {
  // Not a menu at all, a menu whose parts are the wrong things, and one whose onSelect
  // loops for ever: the player goes on with what it can read.
  Asm forever = Asm().jump(-5);
  Asm script = Asm()
                   .getVar("clip")
                   .push({"menu", 5})
                   .op(kSetMember)
                   .append(makeMenu("odd"))
                   .getVar("odd")
                   .push({"customItems", "not a list"})
                   .op(kSetMember)
                   .getVar("odd")
                   .push({"builtInItems", avm1::test::Null{}})
                   .op(kSetMember)
                   .append(setMenu("btn", "odd"))
                   .push({"stuck"})
                   .function("", {}, forever)
                   .push({1, "ContextMenu"})
                   .op(kNewObject)
                   .op(kSetVariable)
                   .append(addItem("stuck", "Still here"))
                   .append(setMenu("_root", "stuck"));
  Player player;
  player.setScriptTimeLimit(200);
  ASSERT_TRUE(player.loadBytes(menuMovie(script)));
  Player::MovieMenu menu = player.openMovieMenu(320 * 20, 120 * 20);
  EXPECT_TRUE(menu.items.empty());
  EXPECT_TRUE(menu.zoom);
  // The clip's `menu` is a number: the movie's menu applies, whose onSelect never ends.
  menu = player.openMovieMenu(110 * 20, 110 * 20);
  EXPECT_TRUE(menu.items.empty()) << "the stopped script left nothing to read";
  EXPECT_TRUE(menu.zoom);
  EXPECT_FALSE(player.selectMovieMenuItem(0));
  for (double bad : {-1e300, 1e300, std::nan("")}) player.openMovieMenu(bad, bad);
}

TEST(MovieMenu, OverAnInputFieldTheEditEntriesActOnItsText) {
  MenuPlayer m(menuMovie(fieldScript("input")));
  Player::MovieMenu menu = m.open(50, 310);
  EXPECT_EQ(m.take(), Lines{"open _level0.f"});
  EXPECT_EQ(m.captions(menu), Lines{"Field item"});
  ASSERT_TRUE(menu.textField);
  EXPECT_FALSE(menu.canCut) << "nothing selected yet";
  EXPECT_FALSE(menu.canCopy);
  EXPECT_TRUE(menu.canPaste);
  EXPECT_TRUE(menu.canSelectAll);
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::Copy), U"");

  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::SelectAll), U"Hello world");
  menu = m.open(50, 310);
  EXPECT_TRUE(menu.canCut);
  EXPECT_TRUE(menu.canCopy);
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::Copy), U"Hello world");
  m.take();
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::Cut), U"Hello world");
  EXPECT_EQ(m.take(), Lines{""}) << "the field is empty and says so";
  menu = m.open(50, 310);
  EXPECT_FALSE(menu.canSelectAll);
  m.take();
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::Paste, U"two\nlines"), U"two\nlines");
  EXPECT_EQ(m.take(), Lines{"two"}) << "a one-line field takes the first line";

  // Away from the field the edit entries go, and act on nothing.
  menu = m.open(20, 20);
  EXPECT_FALSE(menu.textField);
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::SelectAll), U"");
}

TEST(MovieMenu, ADynamicFieldCopiesButTakesNothingAndAnUnselectableOneIsNoField) {
  MenuPlayer m(menuMovie(fieldScript("dynamic")));
  Player::MovieMenu menu = m.open(50, 310);
  ASSERT_TRUE(menu.textField);
  EXPECT_FALSE(menu.canPaste);
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::SelectAll), U"Hello world");
  menu = m.open(50, 310);
  EXPECT_FALSE(menu.canCut);
  EXPECT_TRUE(menu.canCopy);
  m.take();
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::Cut), U"");
  EXPECT_EQ(m.player.editMenuField(Player::FieldEdit::Paste, U"x"), U"");
  EXPECT_TRUE(m.take().empty()) << "the text stays as it was";

  MenuPlayer locked(
      menuMovie(Asm().append(fieldScript("dynamic")).getVar("f").push({"selectable", false}).op(
          kSetMember)));
  menu = locked.open(50, 310);
  EXPECT_FALSE(menu.textField);
  EXPECT_EQ(locked.captions(menu), Lines{"Field item"}) << "its menu is still its own";
}

}  // namespace
}  // namespace orv::movie
