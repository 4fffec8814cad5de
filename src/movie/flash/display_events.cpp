// The display list's events: a display object's containers are its event path, added and
// removed (and their stage counterparts) as scripts change the list, and the frame
// events every object hears.
#include "movie/flash/display.h"
#include "movie/flash/events.h"

#include <algorithm>

namespace orv::movie::avm2 {

namespace {

constexpr int kMaxNesting = 64;

Object* displayParentOf(Machine& m, Object* o) {
  auto* d = dynamic_cast<DisplayScript*>(o);
  if (!d || !d->handle || !m.host) return nullptr;
  Value p = displayObjectFor(m, m.host->parentOf(d->handle));
  return p.isObject() ? p.asObject() : nullptr;
}

std::vector<Object*> ancestorsOf(Machine& m, Object* o) {
  std::vector<Object*> path;
  for (Object* p = displayParentOf(m, o); p && path.size() < 256; p = displayParentOf(m, p))
    path.push_back(p);
  return path;
}

// `type` at the object and at every object inside it, the object first. Each hears it is
// on the stage once: children a timeline made inside a clip already there heard it then.
void sendDown(Machine& m, DisplayHandle h, std::string_view type, int nesting) {
  if (nesting > kMaxNesting) return;
  Value o = displayObjectFor(m, h);
  auto* d = o.isObject() ? dynamic_cast<DisplayScript*>(o.asObject()) : nullptr;
  const bool arriving = type == "addedToStage";
  if (d && (!arriving || !d->heardOnStage)) {
    d->heardOnStage = arriving;
    dispatchEvent(m, d, makeEvent(m, type));
  }
  const int n = m.host->numChildren(h);
  std::vector<DisplayHandle> kids;
  for (int i = 0; i < n; ++i) kids.push_back(m.host->childAt(h, i));
  for (DisplayHandle k : kids) sendDown(m, k, type, nesting + 1);
}

bool onStage(Machine& m, DisplayHandle h) {
  const DisplayHandle stage = m.host->stage();
  for (int i = 0; h && i < 256; ++i, h = m.host->parentOf(h))
    if (h == stage) return true;
  return false;
}

}  // namespace

void sendDisplayEvent(Machine& m, DisplayHandle h, std::string_view type, bool bubbles) {
  if (!m.host || !h) return;
  Value o = displayObjectFor(m, h);
  if (!o.isObject()) return;
  std::vector<Object*> path = ancestorsOf(m, o.asObject());
  dispatchEvent(m, o.asObject(), makeEvent(m, type, bubbles), path);
}

void sendAdded(Machine& m, DisplayHandle h) {
  sendDisplayEvent(m, h, "added", true);
  if (onStage(m, h)) sendDown(m, h, "addedToStage", 0);
}

void sendRemoved(Machine& m, DisplayHandle h) {
  sendDisplayEvent(m, h, "removed", true);
  if (onStage(m, h)) {
    focusLeavesStage(m, h);
    sendDown(m, h, "removedFromStage", 0);
  }
}

struct RenderRequest : PackageState {
  bool invalidated = false;  // Stage.invalidate() since the last render event
  void markRoots(Marker&) const override {}
};

// A broadcast reaches every display object listening for it, on the stage or not, in the
// order they began to listen.
void broadcastFrameEvent(Machine& m, std::string_view type) {
  if (!m.host) return;
  std::vector<std::pair<uint64_t, DisplayHandle>> listening;
  for (const auto& [h, object] : m.displayObjects)
    if (uint64_t since = listeningSince(m, object, type)) listening.emplace_back(since, h);
  std::sort(listening.begin(), listening.end());
  for (const auto& [since, h] : listening) {
    auto it = m.displayObjects.find(h);
    if (it == m.displayObjects.end() || listeningSince(m, it->second, type) != since) continue;
    dispatchEvent(m, it->second, makeEvent(m, type));
  }
}

void invalidateStage(Machine& m) { m.packageState<RenderRequest>().invalidated = true; }

void sendRenderIfInvalidated(Machine& m) {
  RenderRequest& order = m.packageState<RenderRequest>();
  if (!order.invalidated) return;
  order.invalidated = false;  // an invalidate() from a render listener waits for the next frame
  broadcastFrameEvent(m, "render");
}

static double displayLocalToStage(Machine& m, Object* target, double x, double y, bool wantY) {
  auto* d = dynamic_cast<DisplayScript*>(target);
  if (!d || !d->handle || !m.host) return (wantY ? y : x) * 0;
  m.host->mapPoint(d->handle, x, y, true);
  return wantY ? y : x;
}

void installDisplayEvents(Machine& m) {
  setEventParentOf(m, displayParentOf);
  setEventLocalToStage(m, displayLocalToStage);
}

}  // namespace orv::movie::avm2
