// The movie's part in the right-click menu: which of its menus a click opens, the items
// it adds, and the edit entries over a text field.
#include <cmath>
#include <memory>
#include <variant>
#include <vector>

#include "movie/avm1/context_menu.h"
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/interaction/mouse_input.h"
#include "movie/player.h"
#include "movie/text/edit_text.h"
#include "movie/timeline/stage.h"

namespace orv::movie {
namespace {

bool isField(const DisplayObject& object) {
  return object.editText ||
         (object.character && std::holds_alternative<swf::EditTextDef>(*object.character));
}

// What can own a menu: clips, buttons and text fields (shapes and bitmaps cannot).
bool mayOwnMenu(DisplayObject& object) {
  return object.asClip() || isField(object) ||
         (object.character && std::holds_alternative<swf::ButtonDef>(*object.character));
}

}  // namespace

Player::MovieMenu Player::openMovieMenu(double x, double y) {
  MovieMenu menu;
  menuField_.reset();
  if (!scripts_ || !mouse_) return menu;
  std::shared_ptr<DisplayObject> hit =
      std::isfinite(x) && std::isfinite(y) ? mouse_->drawnAt(x, y) : nullptr;
  std::vector<std::shared_ptr<DisplayObject>> keep;  // scripts may take them off the stage
  std::vector<avm1::ScriptClip*> chain;
  for (DisplayObject* o = hit.get(); o && chain.size() < Stage::kMaxNesting + 1; o = o->parent) {
    if (!mayOwnMenu(*o)) continue;
    keep.push_back(o->shared_from_this());
    chain.push_back(scripts_->bridgeFor(o));
  }
  const avm1::ScriptMenu found = avm1::openMenu(scripts_->vm(), chain);
  afterChange();
  menu.zoom = found.zoom;
  menu.quality = found.quality;
  menu.play = found.play;
  menu.loop = found.loop;
  menu.rewind = found.rewind;
  menu.forwardBack = found.forwardBack;
  menu.print = found.print;
  menu.save = found.save;
  menu.showMenu = found.showMenu;
  for (const avm1::ScriptMenuItem& item : found.items)
    menu.items.push_back({item.caption, item.enabled, item.visible, item.separatorBefore});
  // The onSelect handlers may have moved or removed the field.
  if (hit && isField(*hit) && scripts_->onStage(*hit)) {
    const EditTextState* field = avm1::fieldStateOf(*hit);
    if (field && (field->selectable || field->input)) {
      menuField_ = hit;
      const auto [from, to] = field->selection();
      const bool selected = from < to && !field->password;
      menu.textField = true;
      menu.canCut = selected && field->input;
      menu.canCopy = selected;
      menu.canPaste = field->input;
      menu.canSelectAll = !field->chars().empty();
    }
  }
  return menu;
}

bool Player::selectMovieMenuItem(size_t index) {
  if (!scripts_) return false;
  const bool ran = avm1::selectMenuItem(scripts_->vm(), index);
  if (ran) afterChange();
  return ran;
}

std::u32string Player::editMenuField(FieldEdit edit, const std::u32string& text) {
  std::shared_ptr<DisplayObject> field = menuField_.lock();
  if (!scripts_ || !field || !scripts_->onStage(*field)) return {};
  std::u32string out;
  switch (edit) {
    case FieldEdit::Cut:
    case FieldEdit::Copy:
      out = scripts_->fieldSelection(*field, edit == FieldEdit::Cut);
      break;
    case FieldEdit::Paste:
      if (scripts_->insertIntoField(*field, text)) out = text;
      break;
    case FieldEdit::SelectAll:
      if (scripts_->selectAllOfField(*field)) out = avm1::fieldStateOf(*field)->chars();
      break;
  }
  afterChange();
  return out;
}

}  // namespace orv::movie
