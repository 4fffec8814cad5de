#include "movie/stage.h"

#include <algorithm>

#include "movie/edit_text.h"

namespace orv::movie {

namespace {
constexpr size_t kMaxEventsPerDispatch = 1'000'000;  // a listener feeding itself stops here
constexpr size_t kMaxPendingSoundEvents = 4096;

void buildNodes(const MovieClip& clip, std::vector<render::DisplayNode>& out);

render::DisplayNode makeNode(int depth, const std::shared_ptr<DisplayObject>& obj) {
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
  node.cacheAsBitmap = obj->cacheAsBitmap;
  node.movie = obj->movie;
  if (obj->scrollRect) {
    const auto& r = *obj->scrollRect;
    node.scrollRect = std::array<double, 4>{r.x, r.y, r.width, r.height};
  }
  node.filters = obj->filters;
  node.bitmap = obj->bitmap;
  node.smoothBitmap = obj->smoothBitmap;
  if (obj->hasText) node.text = &obj->text;
  if (obj->editText) {
    node.character = &obj->editText->character;
    node.text = &obj->editText->shownText;
    const EditTextState& field = *obj->editText;
    node.field = &field;
    node.fieldBox = render::FieldBox{field.borderOn, field.background, field.borderColor & 0xFFFFFFu,
                                     field.backgroundColor & 0xFFFFFFu};
  }
  if (MovieClip* child = obj->asClip()) {
    if (child->drawing && !child->drawing->empty()) node.drawing = child->drawing.get();
    buildNodes(*child, node.children);
  }
  return node;
}

void buildNodes(const MovieClip& clip, std::vector<render::DisplayNode>& out) {
  out.reserve(clip.displayList().size());
  for (const auto& [depth, obj] : clip.displayList()) out.push_back(makeNode(depth, obj));
}
}  // namespace

Stage::Stage(std::shared_ptr<const swf::Movie> movie, const ImportLoader& importLoader)
    : movie_(std::move(movie)) {
  // Imports are loaded before the first frame shows: the movies that use them place the
  // imported characters at once. Each file is read once, however many tags name it.
  std::map<std::string, std::shared_ptr<const swf::Movie>> byUrl;
  for (const swf::Movie::Import& imp : movie_->imports) {
    if (!importLoader || byUrl.size() >= kMaxImportedMovies) break;
    auto found = byUrl.find(imp.url);
    if (found == byUrl.end()) {
      found = byUrl.emplace(imp.url, importLoader(imp.url)).first;
      if (found->second) importedMovies_.push_back(found->second);
    }
    const swf::Movie* source = found->second.get();
    if (!source) continue;
    for (const auto& [id, name] : imp.assets) {
      auto ex = source->exports.find(name);
      if (ex != source->exports.end()) imports_[{movie_.get(), id}] = {source, ex->second};
    }
  }
  root_ = std::make_shared<MovieClip>(*this, 0, nullptr, &movie_->root);
  root_->gotoFrame(0);
}

const swf::Character* Stage::resolve(const swf::Movie*& movie, swf::CharacterId id) const {
  if (!movie) movie = movie_.get();
  auto it = imports_.find({movie, id});
  if (it != imports_.end()) {
    movie = it->second.first;
    id = it->second.second;
  }
  return movie->find(id);
}

const swf::Character* Stage::exported(const swf::Movie*& movie, const std::string& name) const {
  for (const swf::Movie* m : {movie ? movie : movie_.get(), movie_.get()}) {
    auto it = m->exports.find(name);
    if (it != m->exports.end()) {
      movie = m;
      return resolve(movie, it->second);
    }
    // A name the movie imported can be attached as well.
    for (const swf::Movie::Import& imp : m->imports)
      for (const auto& [id, importedName] : imp.assets)
        if (importedName == name && imports_.count({m, id})) {
          movie = m;
          return resolve(movie, id);
        }
  }
  return nullptr;
}

std::vector<render::DisplayNode> Stage::contentOf(const std::shared_ptr<DisplayObject>& object) const {
  std::vector<render::DisplayNode> nodes;
  if (!object) return nodes;
  nodes.push_back(makeNode(0, object));
  nodes.back().matrix = swf::Matrix{};
  nodes.back().cxform = swf::ColorTransform{};
  nodes.back().visible = true;
  nodes.back().clipDepth = 0;
  return nodes;
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

void Stage::queueAt(size_t position, TimelineEvent event) {
  events_.insert(events_.begin() + static_cast<std::ptrdiff_t>(std::min(position, events_.size())), std::move(event));
}

void Stage::tick() {
  advanceTimelines();
  dispatchEvents();
}

void Stage::advanceTimelines() {
  ++tick_;
  root_->advance(tick_);
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

void Stage::finishUnloading(const std::function<void(DisplayObject&)>& gone) {
  std::vector<std::weak_ptr<DisplayObject>> parents;
  parents.swap(unloadingParents_);
  for (auto& w : parents)
    if (auto p = w.lock())
      if (MovieClip* clip = p->asClip()) clip->finishUnloading(gone);
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
