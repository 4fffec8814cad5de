#include "movie/interaction/keyboard_focus.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <variant>

#include "movie/text/edit_text.h"
#include "movie/interaction/mouse_input.h"
#include "movie/render/hit_test.h"
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/timeline/stage.h"

namespace orv::movie {
namespace {

// Tab looks at no more objects than this on one stage.
constexpr size_t kMaxVisited = 20000;

struct StageBox {
  bool empty = true;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  void add(double x, double y) {
    if (empty) {
      x0 = x1 = x;
      y0 = y1 = y;
      empty = false;
      return;
    }
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  void addRect(const swf::Matrix& m, double xMin, double yMin, double xMax, double yMax) {
    for (auto [x, y] : {std::pair{xMin, yMin}, {xMax, yMin}, {xMin, yMax}, {xMax, yMax}})
      add(m.mapX(x, y), m.mapY(x, y));
  }
};

swf::Matrix toStage(const DisplayObject& object) {
  swf::Matrix m;
  int guard = 0;
  for (const DisplayObject* d = &object; d && guard < Stage::kMaxNesting * 4;
       d = d->parent, ++guard)
    m = d->matrix * m;
  return m;
}

// The stage rectangle around what `object` draws (its characters' bounds), as getBounds
// measures it.
void addBounds(DisplayObject& object, const swf::Matrix& m, StageBox& box, int nesting) {
  if (nesting > Stage::kMaxNesting) return;
  if (MovieClip* clip = object.asClip()) {
    if (clip->drawing)
      if (auto r = clip->drawing->bounds(true)) box.addRect(m, r->xMin, r->yMin, r->xMax, r->yMax);
    for (const auto& [depth, child] : clip->displayList())
      if (child->clipDepth == 0) addBounds(*child, m * child->matrix, box, nesting + 1);
    return;
  }
  if (object.editText && !object.character) {  // a field scripts made
    const swf::Rect& r = object.editText->def().bounds;
    box.addRect(m, r.xMin, r.yMin, r.xMax, r.yMax);
    return;
  }
  if (!object.character || !object.movie) return;
  if (auto r = render::characterBounds(*object.movie, *object.character))
    box.addRect(m, r->xMin, r->yMin, r->xMax, r->yMax);
}

StageBox stageBox(DisplayObject& object) {
  StageBox box;
  addBounds(object, toStage(object), box, 0);
  return box;
}

bool isButton(const DisplayObject& object) {
  return object.character && std::holds_alternative<swf::ButtonDef>(*object.character);
}
bool isTextField(const DisplayObject& object) {
  return object.editText ||
         (object.character && std::holds_alternative<swf::EditTextDef>(*object.character));
}

}  // namespace

KeyboardFocus::KeyboardFocus(Stage& stage, avm1::TimelineBridge& scripts, MouseInput& mouse)
    : stage_(stage), scripts_(scripts), mouse_(mouse) {}

DisplayObject* KeyboardFocus::current() {
  DisplayObject* focused = scripts_.focusedObject();
  // A focus that changed since the last look (a script's setFocus, Tab) shows the
  // rectangle; a focused button shows its over state while the rectangle is up.
  auto seen = seen_.lock();
  if (focused != seen.get()) {
    seen_ = focused ? focused->weak_from_this() : std::weak_ptr<DisplayObject>();
    shown_ = focused != nullptr;
  }
  auto over = overState_.lock();
  DisplayObject* want = shown_ && focused && isButton(*focused) ? focused : nullptr;
  if (over.get() != want) {
    if (over && over->buttonState == 1 && !mouse_.underPointer(*over)) over->buttonState = 0;
    if (want && want->buttonState == 0) want->buttonState = 1;
    overState_ = want ? want->weak_from_this() : std::weak_ptr<DisplayObject>();
  }
  return focused;
}

void KeyboardFocus::focus(DisplayObject* object) {
  scripts_.focusObject(object);
  current();
  shown_ = true;
  current();
}

std::vector<std::shared_ptr<DisplayObject>> KeyboardFocus::tabOrder() {
  return tabStops().order;
}

KeyboardFocus::TabStops KeyboardFocus::tabStops() {
  struct Stop {
    std::shared_ptr<DisplayObject> object;
    avm1::TimelineBridge::TabFacts facts;
    double x = 0, y = 0;
  };
  std::vector<Stop> stops;
  size_t visited = 0;
  // Depth first, children in depth order; hidden objects and what they hold are skipped.
  // The properties read may be getters that change the lists: each list is copied first.
  auto visit = [&](auto& self, MovieClip& clip, int nesting) -> void {
    if (nesting >= Stage::kMaxNesting) return;
    std::vector<std::shared_ptr<DisplayObject>> children;
    for (const auto& [depth, child] : clip.displayList()) {
      if (visited + children.size() >= kMaxVisited) break;
      children.push_back(child);
    }
    for (const auto& child : children) {
      if (++visited > kMaxVisited) return;
      if (!child->visible || child->clipDepth > 0) continue;
      const auto facts = scripts_.tabFacts(*child);
      if (facts.stop) stops.push_back({child, facts});
      if (MovieClip* inner = child->asClip(); inner && facts.intoChildren)
        self(self, *inner, nesting + 1);
    }
  };
  // Every level's movie, lowest level first.
  std::vector<std::shared_ptr<MovieClip>> roots;
  for (const auto& [level, root] : stage_.levels()) roots.push_back(root);
  for (const auto& root : roots)
    if (scripts_.tabFacts(*root).intoChildren) visit(visit, *root, 0);

  const bool indexed =
      std::any_of(stops.begin(), stops.end(), [](const Stop& s) { return s.facts.hasIndex; });
  if (indexed) {
    // Only objects with a tabIndex, by it (equal ones in display order).
    std::erase_if(stops, [](const Stop& s) { return !s.facts.hasIndex; });
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Stop& a, const Stop& b) { return a.facts.index < b.facts.index; });
  } else {
    // Top to bottom, then left to right, by the top-left corner of their bounds.
    for (Stop& s : stops) {
      const StageBox box = stageBox(*s.object);
      // Whole twips: transforms that differ only in rounding give the same corner.
      s.x = box.empty ? 0 : std::round(box.x0);
      s.y = box.empty ? 0 : std::round(box.y0);
    }
    std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) {
      return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
  }
  TabStops out;
  out.indexed = indexed;
  out.order.reserve(stops.size());
  for (Stop& s : stops) {
    out.order.push_back(std::move(s.object));
    out.corners.emplace_back(s.y, s.x);
  }
  return out;
}

bool KeyboardFocus::tab(bool backward) {
  const TabStops stops = tabStops();
  const auto& order = stops.order;
  if (order.empty()) return false;
  DisplayObject* focused = current();
  const size_t n = order.size();
  size_t next = backward ? n - 1 : 0;
  for (size_t i = 0; i < n; ++i) {
    if (order[i].get() != focused) continue;
    next = backward ? (i + n - 1) % n : (i + 1) % n;
    if (stops.indexed) break;
    // By position, Tab goes on to the next corner further down or right: of objects whose
    // corners coincide only the first in display order is ever reached.
    const auto& here = stops.corners[i];
    next = 0;
    for (size_t j = 0; j < n; ++j)
      if (backward ? stops.corners[j] < here : stops.corners[j] > here) {
        next = j;
        if (!backward) break;
      }
    if (backward && !(stops.corners[next] < here)) next = n - 1;
    break;
  }
  // Among objects sharing a corner, the first in display order stands for them all.
  if (!stops.indexed)
    while (next > 0 && stops.corners[next - 1] == stops.corners[next]) --next;
  if (order[next].get() == focused) {
    shown_ = true;
    current();
    return false;
  }
  moveTo(order[next], focused);
  return true;
}

// What loses and takes the focus by the keyboard rolls out and over, as under the mouse.
void KeyboardFocus::moveTo(const std::shared_ptr<DisplayObject>& gaining, DisplayObject* focused) {
  std::shared_ptr<DisplayObject> losing = focused ? focused->shared_from_this() : nullptr;
  focus(gaining.get());
  if (losing && !isTextField(*losing) && (isButton(*losing) || losing->asClip()))
    mouse_.roll(*losing, false);
  if (current() == gaining.get() && !isTextField(*gaining) &&
      (isButton(*gaining) || gaining->asClip()))
    mouse_.roll(*gaining, true);
  current();
}

bool KeyboardFocus::arrow(int dx, int dy) {
  DisplayObject* focused = current();
  if (!focused || !shown_ || isTextField(*focused) || !scripts_.focusRectShown(*focused))
    return false;
  const StageBox from = stageBox(*focused);
  if (from.empty) return false;
  const double cx = (from.x0 + from.x1) / 2, cy = (from.y0 + from.y1) / 2;
  // The nearest object whose centre lies that way, straying sideways counting double.
  std::shared_ptr<DisplayObject> best;
  double bestScore = 0;
  for (const auto& candidate : tabOrder()) {
    if (candidate.get() == focused) continue;
    const StageBox box = stageBox(*candidate);
    if (box.empty) continue;
    const double ox = (box.x0 + box.x1) / 2 - cx, oy = (box.y0 + box.y1) / 2 - cy;
    const double along = ox * dx + oy * dy;
    if (!(along > 0)) continue;
    const double score = along + 2 * std::abs(ox * dy + oy * dx);
    if (!best || score < bestScore) {
      best = candidate;
      bestScore = score;
    }
  }
  if (!best) return false;
  moveTo(best, focused);
  return true;
}

bool KeyboardFocus::activate() {
  DisplayObject* focused = current();
  if (!focused || isTextField(*focused) || (!isButton(*focused) && !focused->asClip()))
    return false;
  mouse_.click(*focused);
  current();
  return true;
}

bool KeyboardFocus::mouseUsed() {
  current();
  const bool was = shown_;
  shown_ = false;
  current();
  return was;
}

void KeyboardFocus::keyUsed() {
  if (current()) shown_ = true;
  current();
}

std::optional<KeyboardFocus::Box> KeyboardFocus::highlight() {
  DisplayObject* focused = current();
  if (!shown_ || !focused || isTextField(*focused) || !scripts_.focusRectShown(*focused))
    return std::nullopt;
  const StageBox box = stageBox(*focused);
  if (box.empty) return std::nullopt;
  // The box lands on whole stage pixels (20 twips), corners to the nearest.
  auto snap = [](double twips) { return std::round(twips / 20) * 20; };
  Box out{snap(box.x0), snap(box.y0), snap(box.x1), snap(box.y1)};
  if (!(out.x1 > out.x0) || !(out.y1 > out.y0) || !std::isfinite(out.x0) ||
      !std::isfinite(out.y0) || !std::isfinite(out.x1) || !std::isfinite(out.y1))
    return std::nullopt;
  return out;
}

}  // namespace orv::movie
