#include "movie/timeline/stage.h"

#include <algorithm>

#include "movie/text/edit_text.h"
#include "movie/video/embedded_video.h"

namespace orv::movie {

namespace {
constexpr size_t kMaxEventsPerDispatch = 1'000'000;  // a listener feeding itself stops here
constexpr size_t kMaxPendingSoundEvents = 4096;

void buildNodes(const MovieClip& clip, std::vector<render::DisplayNode>& out, bool inMask = false);

// An object's own coordinates to the stage's, in twips.
swf::Matrix toStage(const DisplayObject* o) {
  swf::Matrix m;
  for (int guard = 0; o && guard < 100000; o = o->parent, ++guard) m = o->matrix * m;
  return m;
}

// Nodes copied into masks set by script, per display tree: many masks that each hold a big
// part of the tree stop being drawn as masks past this.
constexpr size_t kMaxMaskNodes = 100'000;
thread_local size_t maskNodesLeft = kMaxMaskNodes;

size_t countNodes(const render::DisplayNode& node) {
  size_t n = 1;
  for (const auto& child : node.children) n += countNodes(child);
  return n;
}

// `inMask`: the node is part of a mask set by script; masks inside masks are left out.
render::DisplayNode makeNode(int depth, const std::shared_ptr<DisplayObject>& obj,
                             bool inMask = false) {
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
  if (obj->filters && obj->filters == obj->scriptFilters.get())
    node.filterMaps = obj->scriptFilterMaps;
  node.bitmap = obj->bitmap;
  node.smoothBitmap = obj->smoothBitmap;
  if (const auto* stream = obj->character ? std::get_if<swf::VideoStreamDef>(obj->character) : nullptr) {
    if (!obj->video) obj->video = std::make_shared<video::EmbeddedVideo>(*stream);
    node.bitmap = obj->video->pictureAt(obj->ratio);
    node.smoothBitmap = obj->video->smoothing();
  }
  if (obj->hasText) node.text = &obj->text;
  if (obj->editText) {
    node.character = &obj->editText->character;
    node.text = &obj->editText->shownText;
    const EditTextState& field = *obj->editText;
    node.field = &field;
    node.fieldBox =
        render::FieldBox{field.borderOn, field.background, field.borderColor & 0xFFFFFFu,
                         field.backgroundColor & 0xFFFFFFu};
  }
  if (MovieClip* child = obj->asClip()) {
    if (child->drawing && !child->drawing->empty()) node.drawing = child->drawing.get();
    buildNodes(*child, node.children, inMask);
  }
  // A clip masking another (setMask) is drawn only as that one's mask.
  if (auto masked = obj->masking.lock(); masked && masked->scriptMask.lock() == obj)
    node.visible = false;
  auto mask = inMask ? nullptr : obj->scriptMask.lock();
  if (mask && mask != obj && mask->masking.lock() == obj && maskNodesLeft > 0) {
    auto shapes = std::make_shared<render::DisplayNode>(makeNode(0, mask, true));
    maskNodesLeft -= std::min(maskNodesLeft, countNodes(*shapes));
    const auto parentToStage = toStage(obj->parent).inverted();
    shapes->matrix = parentToStage ? *parentToStage * toStage(mask.get()) : swf::Matrix{};
    shapes->visible = true;
    shapes->clipDepth = 0;
    node.mask = std::move(shapes);
  }
  return node;
}

void buildNodes(const MovieClip& clip, std::vector<render::DisplayNode>& out, bool inMask) {
  out.reserve(clip.displayList().size());
  for (const auto& [depth, obj] : clip.displayList()) out.push_back(makeNode(depth, obj, inMask));
}
}  // namespace

Stage::Stage(std::shared_ptr<const swf::Movie> movie, const ImportLoader& importLoader)
    : movie_(std::move(movie)), importLoader_(importLoader) {
  loadImports(*movie_);
  root_ = std::make_shared<MovieClip>(*this, 0, nullptr, &movie_->root);
  levels_[0] = root_;
  root_->gotoFrame(0);
  // The movie's own load event (its onLoad) follows its first frame.
  queue(TimelineEvent{TimelineEvent::Kind::Placed, root_});
}

// Imports are loaded before the first frame shows: the movies that use them place the
// imported characters at once. Each file is read once, however many tags name it.
void Stage::loadImports(const swf::Movie& movie) {
  std::map<std::string, std::shared_ptr<const swf::Movie>> byUrl;
  for (const swf::Movie::Import& imp : movie.imports) {
    if (!importLoader_ || byUrl.size() >= kMaxImportedMovies ||
        importedMovies_.size() >= kMaxImportedMovies)
      break;
    auto found = byUrl.find(imp.url);
    if (found == byUrl.end()) {
      found = byUrl.emplace(imp.url, importLoader_(imp.url)).first;
      if (found->second) importedMovies_.push_back(found->second);
    }
    const swf::Movie* source = found->second.get();
    if (!source) continue;
    for (const auto& [id, name] : imp.assets) {
      auto ex = source->exports.find(name);
      if (ex != source->exports.end()) imports_[{&movie, id}] = {source, ex->second};
    }
  }
}

MovieClip* Stage::level(int n) const {
  auto it = levels_.find(n);
  return it == levels_.end() ? nullptr : it->second.get();
}

int Stage::levelOf(const DisplayObject& object) const {
  if (object.parent) return -1;
  for (const auto& [n, root] : levels_)
    if (root.get() == &object) return n;
  return -1;
}

int Stage::loadedLevelOf(const DisplayObject& object) const {
  const int now = levelOf(object);
  if (now < 0) return -1;
  auto it = loadedAt_.find(&object);
  return it == loadedAt_.end() ? now : it->second;
}

std::shared_ptr<MovieClip> Stage::setLevel(int n, std::shared_ptr<MovieClip> root, bool* placed) {
  *placed = false;
  if (n <= 0 || n > kMaxLevel || !root) return nullptr;
  std::shared_ptr<MovieClip> old;
  if (auto it = levels_.find(n); it != levels_.end())
    old = std::move(it->second);
  else if (levels_.size() >= kMaxLevels)
    return nullptr;
  if (old) loadedAt_.erase(old.get());
  loadedAt_[root.get()] = n;
  root->parent = nullptr;
  root->depth = n;
  root->name.clear();
  levels_[n] = std::move(root);
  *placed = true;
  return old;
}

std::shared_ptr<MovieClip> Stage::removeLevel(int n) {
  if (n <= 0) return nullptr;
  auto it = levels_.find(n);
  if (it == levels_.end()) return nullptr;
  std::shared_ptr<MovieClip> old = std::move(it->second);
  levels_.erase(it);
  loadedAt_.erase(old.get());
  return old;
}

bool Stage::moveLevel(int from, int to) {
  if (from <= 0 || to <= 0 || to > kMaxLevel || from == to) return false;
  auto a = levels_.find(from);
  if (a == levels_.end()) return false;
  std::shared_ptr<MovieClip> moving = std::move(a->second);
  levels_.erase(a);
  if (auto b = levels_.find(to); b != levels_.end()) {
    b->second->depth = from;
    levels_[from] = std::move(b->second);
  }
  moving->depth = to;
  levels_[to] = std::move(moving);
  return true;
}

std::vector<std::shared_ptr<MovieClip>> Stage::replaceMovie(
    std::shared_ptr<const swf::Movie> movie) {
  std::vector<std::shared_ptr<MovieClip>> gone;
  if (!movie) return gone;
  for (auto& [n, root] : levels_) gone.push_back(std::move(root));
  levels_.clear();
  loadedAt_.clear();
  formerMovies_.push_back(std::move(movie_));  // its clips' scripts may still point into it
  movie_ = std::move(movie);
  loadImports(*movie_);
  root_ = std::make_shared<MovieClip>(*this, 0, nullptr, &movie_->root);
  levels_[0] = root_;
  return gone;
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

// A name is exported once the frame holding its ExportAssets has been reached by the
// movie's root timeline (for a movie playing as a level; one in a clip knows them all).
bool Stage::exportReached(const swf::Movie& movie, const std::string& name) const {
  auto frame = movie.exportFrames.find(name);
  if (frame == movie.exportFrames.end() || frame->second == 0) return true;
  for (const auto& [n, root] : levels_)
    if (root && root->movie == &movie) return root->highestFrame() >= frame->second;
  return true;
}

const swf::Character* Stage::exported(const swf::Movie*& movie, const std::string& name) const {
  for (const swf::Movie* m : {movie ? movie : movie_.get(), movie_.get()}) {
    auto it = m->exports.find(name);
    if (it != m->exports.end() && exportReached(*m, name)) {
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

std::vector<render::DisplayNode> Stage::contentOf(
    const std::shared_ptr<DisplayObject>& object) const {
  std::vector<render::DisplayNode> nodes;
  if (!object) return nodes;
  maskNodesLeft = kMaxMaskNodes;
  nodes.push_back(makeNode(0, object));
  nodes.back().matrix = swf::Matrix{};
  nodes.back().cxform = swf::ColorTransform{};
  nodes.back().visible = true;
  nodes.back().clipDepth = 0;
  return nodes;
}

Stage::~Stage() {
  events_.clear();
  lateLoads_.clear();
  levels_.clear();
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

void Stage::queueLoad(TimelineEvent event) {
  if (advancing_)
    lateLoads_.push_back(std::move(event));
  else
    queue(std::move(event));
}

bool Stage::queueImmediate(TimelineEvent& event) {
  if (!advancing_) return false;
  queueAt(immediateAt_++, std::move(event));
  return true;
}

void Stage::queueAt(size_t position, TimelineEvent event) {
  events_.insert(events_.begin() + static_cast<std::ptrdiff_t>(std::min(position, events_.size())),
                 std::move(event));
}

std::vector<TimelineEvent> Stage::takeConstructionEvents(size_t position) {
  std::vector<TimelineEvent> taken;
  auto keep = events_.begin() + static_cast<std::ptrdiff_t>(std::min(position, events_.size()));
  for (auto it = keep; it != events_.end(); ++it) {
    const bool construction = it->kind == TimelineEvent::Kind::Initialized ||
                              it->kind == TimelineEvent::Kind::Constructed ||
                              it->kind == TimelineEvent::Kind::InitAction;
    if (construction)
      taken.push_back(std::move(*it));
    else if (keep++ != it)
      *std::prev(keep) = std::move(*it);
  }
  events_.erase(keep, events_.end());
  return taken;
}

void Stage::tick() {
  advanceTimelines();
  dispatchEvents();
}

void Stage::advanceTimelines() {
  ++tick_;
  // Levels in order, lowest first; a level loaded since the last tick shows its first
  // frame now. The list is taken first: scripts do not run here, but be safe.
  std::vector<std::shared_ptr<MovieClip>> roots;
  roots.reserve(levels_.size());
  for (const auto& [n, root] : levels_) roots.push_back(root);
  advancing_ = true;
  immediateAt_ = events_.size();
  for (const auto& root : roots) {
    if (root->currentFrame() < 0) {
      root->createdTick = tick_;
      root->gotoFrame(0);
      queueLoad(TimelineEvent{TimelineEvent::Kind::Placed, root});
    } else {
      root->advance(tick_);
    }
  }
  advancing_ = false;
  for (auto& ev : lateLoads_) queue(std::move(ev));
  lateLoads_.clear();
}

void Stage::log(std::string line) {
  if (!traceSink) {
    if (earlyLog_.size() < 256) earlyLog_.push_back(std::move(line));
    return;
  }
  for (const std::string& early : std::exchange(earlyLog_, {})) traceSink(early);
  traceSink(line);
}

void Stage::dispatchEvents() {
  if (traceSink && !earlyLog_.empty())
    for (const std::string& early : std::exchange(earlyLog_, {})) traceSink(early);
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
  maskNodesLeft = kMaxMaskNodes;
  // What scripts drew on the root lies below everything placed on it.
  if (root_->drawing && !root_->drawing->empty()) {
    render::DisplayNode drawn;
    drawn.drawing = root_->drawing.get();
    nodes.push_back(std::move(drawn));
  }
  buildNodes(*root_, nodes);
  // The other levels above, each as a node holding its display list, in its root's
  // place, colour and visibility.
  for (const auto& [n, root] : levels_) {
    if (n == 0) continue;
    render::DisplayNode level;
    level.movie = root->movie;
    level.matrix = root->matrix;
    level.cxform = root->cxform;
    level.visible = root->visible;
    level.depth = static_cast<uint16_t>(std::clamp(n, 0, 65535));
    if (root->drawing && !root->drawing->empty()) level.drawing = root->drawing.get();
    buildNodes(*root, level.children);
    nodes.push_back(std::move(level));
  }
  return nodes;
}

}  // namespace orv::movie
