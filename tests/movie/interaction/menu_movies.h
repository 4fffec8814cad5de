#pragma once
// Movies with ContextMenus for the menu tests: action blocks that make menus and their
// items (with handlers that trace what they hear), and a stage with a clip, a clip in it
// and a button to right-click.
#include <string>
#include <vector>

#include "movie/avm1/script_test_util.h"
#include "movie/interaction/button_movies.h"

namespace orv::movie::test::menus {

using avm1::test::Asm;

inline constexpr uint8_t kGetVariable = 0x1C, kSetVariable = 0x1D, kGetMember = 0x4E, kSetMember = 0x4F,
                  kCallMethod = 0x52, kNewObject = 0x40, kAdd2 = 0x47, kPop = 0x17, kStop = 0x07;

// <var> = new ContextMenu(function (obj, menu) { trace("open " + obj); })
inline Asm makeMenu(const std::string& var) {
  Asm onOpen = Asm().push({"open "}).getVar("obj").op(kAdd2).trace();
  return Asm()
      .push({var})
      .function("", {"obj", "menu"}, onOpen)
      .push({1, "ContextMenu"})
      .op(kNewObject)
      .op(kSetVariable);
}

// <var>.customItems.push(new ContextMenuItem(caption, function (obj, item) { <body> },
// separatorBefore, enabled, visible))
inline Asm addItemRunning(const std::string& var, const std::string& caption, const Asm& body,
                          bool separatorBefore = false, bool enabled = true, bool visible = true) {
  return Asm()
      .push({visible, enabled, separatorBefore})
      .function("", {"obj", "item"}, body)
      .push({caption, 5, "ContextMenuItem"})
      .op(kNewObject)
      .push({1})
      .getVar(var)
      .push({"customItems"})
      .op(kGetMember)
      .push({"push"})
      .op(kCallMethod)
      .op(kPop);
}

// The same with a handler that traces item.caption + " on " + obj.
inline Asm addItem(const std::string& var, const std::string& caption,
                   bool separatorBefore = false, bool enabled = true, bool visible = true) {
  Asm chosen = Asm()
                   .getVar("item")
                   .push({"caption"})
                   .op(kGetMember)
                   .push({" on "})
                   .op(kAdd2)
                   .getVar("obj")
                   .op(kAdd2)
                   .trace();
  return addItemRunning(var, caption, chosen, separatorBefore, enabled, visible);
}

inline Asm callMethod(const std::string& var, const std::string& method) {
  return Asm().push({0}).getVar(var).push({method}).op(kCallMethod).op(kPop);
}

// <target>.menu = <var>
inline Asm setMenu(const std::string& target, const std::string& var) {
  return Asm().getVar(target).push({"menu"}).getVar(var).op(kSetMember);
}

// <var>.builtInItems.<flag> = value
inline Asm setBuiltIn(const std::string& var, const std::string& flag, bool value) {
  return Asm().getVar(var).push({"builtInItems"}).op(kGetMember).push({flag, value}).op(kSetMember);
}

// A 550x400 stage: "clip" at (100, 100) px, a 100 px square holding "kid", a 20 px
// square at (50, 50); a button "btn" (a 50 px square) at (300, 100); `script` runs on
// the first frame, which stops.
inline std::vector<uint8_t> menuMovie(const Asm& script, uint8_t version = 8) {
  namespace t = orv::movie::test;
  const auto kid = t::defineSprite(
      4, 1, t::concat({t::placeObject2({.depth = 1, .character = 3}), t::showFrame()}));
  const auto clip = t::defineSprite(
      2, 1,
      t::concat({t::placeObject2({.depth = 1, .character = 1}),
                 t::placeObject2(
                     {.depth = 2, .character = 4, .translate = {{1000, 1000}}, .name = "kid"}),
                 t::showFrame()}));
  const auto button = t::defineButton2(
      6, {{.up = true, .over = true, .down = true, .hit = true, .character = 5}}, {});
  Asm all = Asm().append(script).op(kStop);
  return t::movie(
      t::concat({t::defineRect(1, 2000, 2000, 255, 0, 0), t::defineRect(3, 400, 400, 0, 255, 0),
                 t::defineRect(5, 1000, 1000, 0, 0, 255), kid, clip, button,
                 t::placeObject2(
                     {.depth = 1, .character = 2, .translate = {{2000, 2000}}, .name = "clip"}),
                 t::placeObject2(
                     {.depth = 2, .character = 6, .translate = {{6000, 2000}}, .name = "btn"}),
                 t::doAction(all.bytes()), t::showFrame()}),
      {.version = version});
}


// An input field "f" at (10, 300), 200x30 px, holding "Hello world", with its own menu;
// each change traces its text.
inline Asm fieldScript(const char* type) {
  Asm onChanged = Asm().getVar("f").push({"text"}).op(kGetMember).trace();
  return Asm()
      .push({30, 200, 300, 10, 1, "f", 6})
      .getVar("_root")
      .push({"createTextField"})
      .op(kCallMethod)
      .op(kPop)
      .push({"f"})
      .getVar("_root")
      .push({"f"})
      .op(kGetMember)
      .op(kSetVariable)
      .getVar("f")
      .push({"type", type})
      .op(kSetMember)
      .getVar("f")
      .push({"text", "Hello world"})
      .op(kSetMember)
      .getVar("f")
      .push({"onChanged"})
      .function("", {}, onChanged)
      .op(kSetMember)
      .append(makeMenu("fieldMenu"))
      .append(addItem("fieldMenu", "Field item"))
      .append(setMenu("f", "fieldMenu"));
}

}  // namespace orv::movie::test::menus
