#include "movie/stage.h"

#include <algorithm>

#include "movie/edit_text.h"

namespace orv::movie {

namespace {
constexpr size_t kMaxEventsPerDispatch = 1'000'000;  // a listener feeding itself stops here
constexpr size_t kMaxPendingSoundEvents = 4096;

void buildNodes(const MovieClip& clip, std::vector<render::DisplayNode>& out) {
  out.reserve(clip.displayList().size());
  for (const auto& [depth, obj] : clip.displayList()) {
    render::DisplayNode node;
    node.character = obj->character;
    node.matrix = obj->matrix;
    node.cxform = obj->cxform;
    node.depth = static_cast<uint16_t>(std::clamp(depth, 0, 65535));
    node.clipDepth = obj->clipDepth;
    node.ratio = obj->ratio;
    node.visible = obj->visible;
    node.buttonState = obj->buttonState;
    node.blendMode = obj->blendMode;
    node.filters = obj->filters;
    if (obj->hasText) node.text = &obj->text;
    if (obj->editText) {
      node.character = &obj->editText->character;
      node.text = &obj->editText->shownText;
    }
    if (MovieClip* child = obj->asClip()) {
      if (child->drawing && !child->drawing->empty()) node.drawing = child->drawing.get();
      buildNodes(*child, node.children);
    }
    out.push_back(std::move(node));
  }
}
}  // namespace

Stage::Stage(std::shared_ptr<const swf::Movie> movie) : movie_(std::move(movie)) {
  root_ = std::make_shared<MovieClip>(*this, 0, nullptr, &movie_->root);
  root_->gotoFrame(0);
}

Stage::~Stage() {
  events_.clear();
  root_.reset();
}

void Stage::queue(TimelineEvent event) {
  // Kept even before a listener is set, so frame 0's actions reach the script engine;
  // dispatchEvents() drops them when there is still no listener.
  // Sound events wait for a sound listener (bounded: a stage without one keeps few).
  if (event.kind == TimelineEvent::Kind::Sound || event.kind == TimelineEvent::Kind::StreamBlock) {
    if (soundEvents_.size() >= kMaxPendingSoundEvents) soundEvents_.pop_front();
    soundEvents_.push_back(event);
  }
  events_.push_back(std::move(event));
}

void Stage::tick() {
  ++tick_;
  root_->advance(tick_);
  dispatchEvents();
}

void Stage::dispatchEvents() {
  if (dispatching_) return;
  dispatching_ = true;
  size_t delivered = 0;
  while (!events_.empty() && listener_ && delivered++ < kMaxEventsPerDispatch) {
    TimelineEvent ev = std::move(events_.front());
    events_.pop_front();
    listener_->onTimelineEvent(*this, ev);
  }
  events_.clear();
  dispatching_ = false;
  dispatchSoundEvents();
}

void Stage::dispatchSoundEvents() {
  if (!soundListener_) return;
  std::deque<TimelineEvent> pending;
  pending.swap(soundEvents_);
  for (const TimelineEvent& ev : pending) soundListener_->onTimelineEvent(*this, ev);
}

std::vector<render::DisplayNode> Stage::displayTree() const {
  std::vector<render::DisplayNode> nodes;
  // What scripts drew on the root lies below everything placed on it.
  if (root_->drawing && !root_->drawing->empty()) {
    render::DisplayNode drawn;
    drawn.drawing = root_->drawing.get();
    nodes.push_back(std::move(drawn));
  }
  buildNodes(*root_, nodes);
  return nodes;
}

}  // namespace orv::movie
