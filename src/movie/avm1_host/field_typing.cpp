// What the user types goes into the input field that has the keyboard focus.
#include <algorithm>
#include <optional>
#include <utility>

#include "movie/text/char_restrict.h"
#include "movie/text/edit_text.h"
#include "movie/render/text_layout.h"
#include "movie/avm1/text_format_object.h"
#include "movie/avm1_host/timeline_bridge.h"

namespace orv::movie::avm1 {

namespace {

// Key codes as Player::keyPress names them.
constexpr int kLeft = 1, kRight = 2, kHome = 3, kEnd = 4, kDelete = 6, kBackspace = 8, kEnter = 13,
              kUp = 14, kDown = 15, kPageUp = 16, kPageDown = 17;
constexpr size_t kControlKey = 17;  // its Windows key code, as Key.isDown knows it

// The stage point (twips) in the field's own space; none when the field is squashed flat.
std::optional<std::pair<double, double>> fieldPoint(const DisplayObject& field, double x,
                                                    double y) {
  swf::Matrix toStage;
  for (const DisplayObject* d = &field; d; d = d->parent) toStage = d->matrix * toStage;
  const std::optional<swf::Matrix> inverse = toStage.inverted();
  if (!inverse) return std::nullopt;
  return std::pair<double, double>{inverse->mapX(x, y), inverse->mapY(x, y)};
}

// Whether the field's box covers the stage point (twips).
bool fieldCovers(DisplayObject& field, double x, double y) {
  const auto p = fieldPoint(field, x, y);
  if (!p) return false;
  const swf::Rect& box = field.editText->def().bounds;
  return p->first >= box.xMin && p->first <= box.xMax && p->second >= box.yMin &&
         p->second <= box.yMax;
}

// The caret position nearest the stage point (twips), as the field lays its text out.
size_t caretAt(const DisplayObject& object, double x, double y) {
  const EditTextState& field = *object.editText;
  const auto p = fieldPoint(object, x, y);
  if (!p) return field.chars().size();
  const render::TextLayout layout =
      render::layoutFieldText(field);
  return render::caretIndexAt(layout, p->first, p->second);
}

// Scrolls the field so that its caret shows: whole lines up or down, and, in a field
// that does not wrap, pixels sideways.
void revealCaret(EditTextState& field) {
  auto layoutNow = [&field] {
    return render::layoutFieldText(field);
  };
  const swf::Rect& box = field.def().bounds;
  render::TextLayout layout = layoutNow();
  // A line at a time: typing and the arrows move the caret a line or two.
  for (int step = 0; step < 64; ++step) {
    const int before = field.scroll;
    const size_t caret = std::min(field.caretIndex, field.chars().size());
    if (!layout.caretShown) {
      const bool above = !layout.lineBoxes.empty() && caret < layout.lineBoxes.front().begin;
      field.scroll = above ? field.scroll - 1 : field.scroll + 1;
    } else if (layout.caretBottom > box.yMax && field.scroll < field.maxScroll()) {
      field.scroll += 1;  // its line only partly in the field
    }
    field.scroll = std::clamp(field.scroll, 1, std::max(1, field.maxScroll()));
    if (field.scroll == before) break;
    layout = layoutNow();
  }
  if (field.def().wordWrap || !layout.caretShown) return;
  constexpr double kGutter = 40;  // twips between the field's edge and its text
  const double left = box.xMin + kGutter, right = box.xMax - kGutter;
  int hscroll = field.hscroll;
  if (layout.caretX > right)
    hscroll += int(std::ceil((layout.caretX - right) / 20));
  else if (layout.caretX < left)
    hscroll -= int(std::ceil((left - layout.caretX) / 20));
  field.hscroll = std::max(0, hscroll);
}

// The start (or with `end`, the end) of the shown line the caret stands on; with no such
// line, the text's.
size_t caretLineEdge(EditTextState& field, size_t caret, bool end) {
  const size_t kept = field.caretIndex;
  field.caretIndex = caret;
  revealCaret(field);
  field.caretIndex = kept;
  const render::TextLayout layout =
      render::layoutFieldText(field);
  for (size_t i = 0; i < layout.lineBoxes.size(); ++i) {
    const render::LineBox& box = layout.lineBoxes[i];
    const bool next = i + 1 < layout.lineBoxes.size() && layout.lineBoxes[i + 1].begin == caret;
    if (caret >= box.begin && caret <= box.end && !next) return end ? box.end : box.begin;
  }
  return end ? field.chars().size() : 0;
}

// Where the caret goes with the up or down arrow (`lines` -1 or 1): the character
// nearest its place on the line above or below, the field scrolled to show that line.
size_t caretOnNextLine(EditTextState& field, size_t caret, int lines) {
  auto layoutNow = [&field] {
    return render::layoutFieldText(field);
  };
  const size_t kept = field.caretIndex;
  field.caretIndex = caret;
  revealCaret(field);
  field.caretIndex = kept;
  render::TextLayout layout = layoutNow();
  auto lineOf = [&caret](const render::TextLayout& l) {
    for (size_t i = 0; i < l.lineBoxes.size(); ++i) {
      const render::LineBox& box = l.lineBoxes[i];
      const bool next = i + 1 < l.lineBoxes.size() && l.lineBoxes[i + 1].begin == caret;
      if (caret >= box.begin && caret <= box.end && !next) return int(i);
    }
    return -1;
  };
  int line = lineOf(layout);
  if (line < 0) return caret;
  const int lastShown = int(layout.lineBoxes.size()) - 1;
  if ((lines < 0 && line == 0 && field.scroll > 1) ||
      (lines > 0 && line == lastShown && field.scroll < field.maxScroll())) {
    field.scroll += lines;
    layout = layoutNow();
    line = lineOf(layout);
    if (line < 0) return caret;
  }
  const int target = line + lines;
  if (target < 0 || target >= int(layout.lineBoxes.size())) return caret;
  const render::LineBox& box = layout.lineBoxes[size_t(line)];
  double x = box.right;
  for (const auto& [at, start] : box.starts)
    if (at == caret) x = start;
  const render::LineBox& to = layout.lineBoxes[size_t(target)];
  return render::caretIndexAt(layout, x, (to.top + to.bottom) / 2);
}

EditTextState* focusedInput(TimelineBridge& bridge) {
  DisplayObject* object = bridge.focusedObject();
  return object && object->editText && object->editText->input ? object->editText.get() : nullptr;
}

}  // namespace

bool TimelineBridge::typeIntoFocusedField(int code, bool extend) {
  DisplayObject* object = focusedObject();
  if (!object || !object->editText || !object->editText->input) return false;
  EditTextState& field = *object->editText;
  const size_t length = field.chars().size();
  size_t caret = std::min(field.caretIndex, length);
  const std::pair<size_t, size_t> range = field.selection();
  const size_t from = range.first, to = range.second;
  const bool selected = from < to;
  bool changed = false;
  auto move = [&](size_t target, size_t collapsed) {
    if (extend) {
      if (field.selectionAnchor == SIZE_MAX) field.selectionAnchor = caret;
      caret = target;
    } else {
      caret = selected ? collapsed : target;
      field.selectionAnchor = SIZE_MAX;
    }
  };
  auto removeSelection = [&] {
    field.replaceText(from, to, U"");
    caret = from;
    field.selectionAnchor = SIZE_MAX;
    changed = true;
  };
  switch (code) {
    case kLeft:
      move(caret > 0 ? caret - 1 : 0, from);
      break;
    case kRight:
      move(std::min(length, caret + 1), to);
      break;
    // Home and End go to the ends of the caret's line; with Ctrl, of the whole text.
    case kHome: {
      const size_t target = vm_->keysDown[kControlKey] ? 0 : caretLineEdge(field, caret, false);
      move(target, target);
      break;
    }
    case kEnd: {
      const size_t target = vm_->keysDown[kControlKey] ? length : caretLineEdge(field, caret, true);
      move(target, target);
      break;
    }
    case kUp:
    case kDown: {
      const size_t target = caretOnNextLine(field, caret, code == kUp ? -1 : 1);
      move(target, target);
      break;
    }
    case kPageUp:
    case kPageDown: {
      // As many lines as the field shows.
      const int page = std::clamp(field.bottomScroll() - field.scroll + 1, 1, 100);
      size_t target = caret;
      for (int i = 0; i < page; ++i)
        target = caretOnNextLine(field, target, code == kPageUp ? -1 : 1);
      move(target, target);
      break;
    }
    case kBackspace:
      if (selected) {
        removeSelection();
      } else if (caret > 0) {
        field.replaceText(caret - 1, caret, U"");
        --caret;
        changed = true;
      }
      break;
    case kDelete:
      if (selected) {
        removeSelection();
      } else if (caret < length) {
        field.replaceText(caret, caret + 1, U"");
        changed = true;
      }
      break;
    default: {
      char32_t c = 0;
      if (code == kEnter) {
        if (!field.def().multiline) return true;
        c = U'\r';
      } else if (code >= 32 && code != 127) {
        const std::optional<char32_t> taken = restrictedChar(field.restrict, char32_t(code));
        if (!taken) return true;
        c = *taken;
      } else {
        return true;  // other keys do nothing in a field
      }
      const size_t most =
          field.def().maxLength > 0 ? field.def().maxLength : EditTextState::kMaxChars;
      if (length - (to - from) >= most) return true;
      if (selected) removeSelection();
      field.replaceText(caret, caret, std::u32string(1, c));
      ++caret;
      changed = true;
    }
  }
  field.caretIndex = caret;
  revealCaret(field);
  if (changed) {
    field.selectionAnchor = SIZE_MAX;
    fieldTextTyped(*vm_, bridgeFor(object));
  }
  return true;
}

std::u32string TimelineBridge::selectedFieldText(bool cut) {
  DisplayObject* object = focusedObject();
  return object && focusedInput(*this) ? fieldSelection(*object, cut) : std::u32string();
}

bool TimelineBridge::insertIntoField(const std::u32string& text) {
  DisplayObject* object = focusedObject();
  return object && focusedInput(*this) && insertIntoField(*object, text);
}

std::u32string TimelineBridge::fieldSelection(DisplayObject& object, bool cut) {
  EditTextState* field = fieldStateOf(object);
  if (!field || !(field->selectable || field->input) || (cut && !field->input)) return {};
  const auto [from, to] = field->selection();
  // What a password field holds is not handed out.
  if (from >= to || field->password) return {};
  std::u32string text = field->chars().substr(from, to - from);
  if (cut && field->input) {
    field->replaceText(from, to, U"");
    field->caretIndex = from;
    field->selectionAnchor = SIZE_MAX;
    revealCaret(*field);
    fieldTextTyped(*vm_, bridgeFor(&object));
  }
  return text;
}

bool TimelineBridge::insertIntoField(DisplayObject& object, const std::u32string& text) {
  EditTextState* field = fieldStateOf(object);
  if (!field || !field->input) return false;
  // Only what could be typed goes in, within the field's room; a single-line field
  // takes the first line.
  std::u32string in;
  const auto [from, to] = field->selection();
  const size_t most =
      field->def().maxLength > 0 ? field->def().maxLength : EditTextState::kMaxChars;
  const size_t room = most - std::min(most, field->chars().size() - (to - from));
  for (char32_t c : text) {
    if (in.size() >= room) break;
    if (c == U'\n' || c == U'\r') {
      if (!field->def().multiline) break;
      if (c == U'\n' && !in.empty() && in.back() == U'\r') continue;
      in += U'\r';
      continue;
    }
    const std::optional<char32_t> taken = restrictedChar(field->restrict, c);
    if (c < 32 || c == 127 || !taken) continue;
    in += *taken;
  }
  field->replaceText(from, to, in);
  field->caretIndex = from + in.size();
  field->selectionAnchor = SIZE_MAX;
  revealCaret(*field);
  fieldTextTyped(*vm_, bridgeFor(&object));
  return true;
}

bool TimelineBridge::selectAllOfField(DisplayObject& object) {
  EditTextState* field = fieldStateOf(object);
  if (!field || !field->selectable || field->chars().empty()) return false;
  field->selectionAnchor = 0;
  field->caretIndex = field->chars().size();
  return true;
}

bool TimelineBridge::focusFieldAt(double x, double y) {
  // The topmost selectable field under the point (input or not: a field that cannot be
  // selected takes no focus from the mouse): the last one found, children after parents
  // and later depths after earlier ones.
  std::shared_ptr<DisplayObject> hit;
  for (auto& weak : clipsParentsFirst()) {
    auto clip = weak.lock();
    MovieClip* c = clip ? clip->asClip() : nullptr;
    if (!c) continue;
    for (auto& [depth, child] : c->displayList()) {
      if (!child->visible) continue;
      // Fields no script has touched get their state when the user reaches them.
      const auto* edit =
          child->character ? std::get_if<swf::EditTextDef>(child->character) : nullptr;
      if (!child->editText && !(edit && !edit->noSelect)) continue;
      const EditTextState* field = fieldStateOf(*child);
      if (!field || !field->selectable) continue;
      if (fieldCovers(*child, x * 20, y * 20)) hit = child;
    }
  }
  if (!hit) return false;
  if (focusedObject() != hit.get()) focusObject(hit.get());
  EditTextState& field = *hit->editText;
  field.caretIndex = caretAt(*hit, x * 20, y * 20);
  field.selectionAnchor = field.caretIndex;
  selectingField_ = hit;
  return true;
}

bool TimelineBridge::wheelAt(double x, double y, int delta) {
  std::shared_ptr<DisplayObject> hit;
  for (auto& weak : clipsParentsFirst()) {
    auto clip = weak.lock();
    MovieClip* c = clip ? clip->asClip() : nullptr;
    if (!c) continue;
    for (auto& [depth, child] : c->displayList())
      if (child->visible && fieldStateOf(*child) && fieldCovers(*child, x * 20, y * 20))
        hit = child;
  }
  bool changed = false;
  if (hit && hit->editText->mouseWheelEnabled) {
    EditTextState& field = *hit->editText;
    const int scroll = std::clamp(field.scroll - delta, 1, std::max(1, field.maxScroll()));
    changed = scroll != field.scroll;
    field.scroll = scroll;
  }
  const Value mouse = vm_->getMember(Value(vm_->global), "Mouse");
  if (Object* m = vm_->toObject(mouse)) {
    const Value target = hit ? Value(vm_->objectFor(bridgeFor(hit.get()))) : Value();
    vm_->callMethodIfPresent(m, "broadcastMessage",
                             {Value("onMouseWheel"), Value(double(delta)), target});
    changed = true;
  }
  stage_.dispatchEvents();
  return changed;
}

bool TimelineBridge::dragFieldSelection(double x, double y) {
  auto object = selectingField_.lock();
  if (!object || object.get() != focusedObject() || !object->editText) return false;
  EditTextState& field = *object->editText;
  const size_t caret = caretAt(*object, x * 20, y * 20);
  if (caret == field.caretIndex) return false;
  field.caretIndex = caret;
  return true;
}

}  // namespace orv::movie::avm1
