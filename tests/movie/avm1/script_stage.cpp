#include "script_stage.h"

#include <utility>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "movie/render/hit_test.h"
#include "movie/avm1/text_format_object.h"
#include "movie/timeline/loaded_movie.h"
#include "movie/timeline/own_folder.h"
#include "movie/swf/reader.h"

namespace orv::movie::avm1::testing {

namespace {

std::vector<uint8_t> readPath(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool sameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Timeline clips report depths offset as the player does (-16384 for depth 0).
constexpr int kTimelineDepthOffset = -16384;

// A rectangle in twips grown by mapped rectangles.
struct Box {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  bool empty = true;
  void addRect(const swf::Rect& r, const swf::Matrix& m) {
    for (auto [x, y] :
         {std::pair{r.xMin, r.yMin}, {r.xMax, r.yMin}, {r.xMin, r.yMax}, {r.xMax, r.yMax}}) {
      double px = std::round(m.mapX(x, y)), py = std::round(m.mapY(x, y));
      if (!std::isfinite(px) || !std::isfinite(py)) continue;
      if (empty) {
        xMin = xMax = px;
        yMin = yMax = py;
        empty = false;
        continue;
      }
      xMin = std::min(xMin, px);
      xMax = std::max(xMax, px);
      yMin = std::min(yMin, py);
      yMax = std::max(yMax, py);
    }
  }
};

void addClip(Box& box, StageClip& clip, const swf::Movie& movie, const swf::Matrix& toSpace,
             int nesting);

}  // namespace

// ---------------------------------------------------------------- StageClip

StageClip::StageClip(ScriptStage& stage, StageClip* parent, const swf::Movie* movie,
                     const swf::Timeline* timeline, std::string name, int depth)
    : stage_(stage),
      parent_(parent),
      movie_(movie),
      timeline_(timeline),
      name_(std::move(name)),
      depth_(depth) {}

ScriptClip* StageClip::childByName(std::string_view name, bool caseInsensitive) {
  for (auto& [d, c] : children_)
    if (caseInsensitive ? sameNoCase(c->name_, name) : c->name_ == name) return c.get();
  for (auto& c : unloading_)
    if (caseInsensitive ? sameNoCase(c->name_, name) : c->name_ == name) return c.get();
  return nullptr;
}

std::vector<ScriptClip*> StageClip::children() {
  std::vector<ScriptClip*> out;
  for (auto& [d, c] : children_) out.push_back(c.get());
  return out;
}

double StageClip::getProperty(ClipProperty p) {
  switch (p) {
    case ClipProperty::X:
      return x_;
    case ClipProperty::Y:
      return y_;
    case ClipProperty::XScale:
      return xscale_;
    case ClipProperty::YScale:
      return yscale_;
    case ClipProperty::Alpha:
      return alpha_;
    case ClipProperty::Visible:
      return visible_ ? 1 : 0;
    case ClipProperty::Rotation:
      return rotation_;
    case ClipProperty::HighQuality:
      return 1;
    case ClipProperty::FocusRect:
      return 1;
    case ClipProperty::SoundBufTime:
      return 5;
    case ClipProperty::Width:
      return sizeInParent(false);
    case ClipProperty::Height:
      return sizeInParent(true);
    default:
      return 0;
  }
}

void StageClip::setProperty(ClipProperty p, double v) {
  switch (p) {
    case ClipProperty::X:
      x_ = v;
      break;
    case ClipProperty::Y:
      y_ = v;
      break;
    case ClipProperty::XScale:
      xscale_ = v;
      placed_.reset();
      break;
    case ClipProperty::YScale:
      yscale_ = v;
      placed_.reset();
      break;
    case ClipProperty::Alpha:
      alpha_ = v;
      break;
    case ClipProperty::Visible:
      visible_ = v != 0;
      break;
    case ClipProperty::Rotation:
      rotation_ = v;
      placed_.reset();
      break;
    case ClipProperty::Width:
    case ClipProperty::Height: {
      // Scales along the axis so the bounds take the size.
      const bool h = p == ClipProperty::Height;
      const double now = sizeInParent(h);
      if (now > 0 && v >= 0) {
        (h ? yscale_ : xscale_) *= v / now;
        placed_.reset();
      }
      break;
    }
    default:
      break;
  }
}

swf::Matrix StageClip::matrix() const {
  if (placed_) {
    // A placed matrix (skew included) until scripts scale or turn the clip.
    swf::Matrix m = *placed_;
    m.tx = x_ * 20;
    m.ty = y_ * 20;
    return m;
  }
  const double r = rotation_ * M_PI / 180, sx = xscale_ / 100, sy = yscale_ / 100;
  return {sx * std::cos(r), sx * std::sin(r), -sy * std::sin(r),
          sy * std::cos(r), x_ * 20,          y_ * 20};
}

void StageClip::setMatrix(const swf::Matrix& m) {
  placed_ = m;
  x_ = m.tx / 20.0;
  y_ = m.ty / 20.0;
  xscale_ = std::hypot(m.a, m.b) * 100;
  yscale_ = std::hypot(m.c, m.d) * 100;
  rotation_ = std::atan2(m.b, m.a) * 180 / M_PI;
}

namespace {
// Whether what scripts drew in `clip` or its children covers the root point (x, y) in
// twips; the placed characters' outlines are not kept here.
bool drawingCovers(StageClip& clip, const swf::Matrix& toRoot, double x, double y, int nesting) {
  if (nesting > 64) return false;
  if (auto toLocal = toRoot.inverted();
      toLocal && clip.drawing()->contains(toLocal->mapX(x, y), toLocal->mapY(x, y)))
    return true;
  for (ScriptClip* c : clip.children()) {
    auto* child = static_cast<StageClip*>(c);
    if (drawingCovers(*child, toRoot * child->matrix(), x, y, nesting + 1)) return true;
  }
  return false;
}
}  // namespace

bool StageClip::hitTestPoint(double x, double y, bool shapeFlag) {
  if (shapeFlag) {
    swf::Matrix toRoot;
    for (StageClip* c = this; c && c->parent(); c = static_cast<StageClip*>(c->parent()))
      toRoot = c->matrix() * toRoot;
    return drawingCovers(*this, toRoot, x * 20, y * 20, 0);
  }
  ScriptClip* root = this;
  while (root->parent()) root = root->parent();
  Bounds b = bounds(root);
  return x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax;
}

namespace {
void addClip(Box& box, StageClip& clip, const swf::Movie& movie, const swf::Matrix& toSpace,
             int nesting) {
  if (nesting > 64) return;
  if (auto r = clip.drawing()->bounds(true)) box.addRect(*r, toSpace);
  for (ScriptClip* c : clip.children()) {
    auto* child = static_cast<StageClip*>(c);
    addClip(box, *child, movie, toSpace * child->matrix(), nesting + 1);
  }
  if (EditTextState* t = clip.textField()) box.addRect(t->def().bounds, toSpace);
  for (auto& [depth, shape] : clip.shapeList())
    if (const swf::Character* ch = movie.find(shape.id))
      if (auto r = render::characterBounds(movie, *ch)) box.addRect(*r, toSpace * shape.matrix);
}

swf::Matrix toRoot(StageClip* c) {
  swf::Matrix m;
  for (; c && c->parent(); c = static_cast<StageClip*>(c->parent())) m = c->matrix() * m;
  return m;
}
}  // namespace

ScriptClip::Bounds StageClip::bounds(ScriptClip* space) {
  swf::Matrix toSpace;
  if (space && space != this) {
    toSpace = toRoot(this);
    if (auto fromRoot = toRoot(static_cast<StageClip*>(space)).inverted())
      toSpace = *fromRoot * toSpace;
  }
  Box box;
  addClip(box, *this, *movie_, toSpace, 0);
  constexpr double kEmpty = 0x7FFFFFF / 20.0;
  if (box.empty) return {kEmpty, kEmpty, kEmpty, kEmpty};
  return {box.xMin / 20, box.yMin / 20, box.xMax / 20, box.yMax / 20};
}

double StageClip::sizeInParent(bool height) {
  Box box;
  addClip(box, *this, *movie_, matrix(), 0);
  if (box.empty) return 0;
  return (height ? box.yMax - box.yMin : box.xMax - box.xMin) / 20;
}

int StageClip::totalFrames() {
  if (!timeline_) return 1;
  return std::max<int>(1, static_cast<int>(timeline_->frames.size()));
}

int StageClip::frameOfLabel(std::string_view label) {
  return timeline_ ? timeline_->findLabel(std::string(label)) : -1;
}

bool StageClip::gotoLabel(std::string_view label, bool play) {
  int f = frameOfLabel(label);
  if (f < 0) return false;
  gotoFrame(f, play);
  return true;
}

void StageClip::gotoFrame(int frame, bool play) {
  playing_ = play;
  frame = std::clamp(frame, 0, totalFrames() - 1);
  if (frame == frame_) return;
  seek(frame);
}

void StageClip::runFrameActions(int frame) {
  if (!timeline_ || frame < 0 || frame >= static_cast<int>(timeline_->frames.size())) return;
  for (auto& a : timeline_->frames[static_cast<size_t>(frame)].actions)
    stage_.vm().runActions(this, a.bytes, movie_->header.version);
}

void StageClip::killTree() {
  for (auto& [d, c] : children_) c->killTree();
  if (scriptObject) stage_.vm().clipRemoved(this);
  dead = true;
}

void StageClip::removeAt(int depth) {
  shapes_.erase(depth);
  auto it = children_.find(depth);
  if (it == children_.end()) return;
  bool unloadHandler = false;
  for (auto& ca : it->second->clipActions)
    if (ca.events & swf::ClipEvent::Unload) {
      stage_.queueActions(it->second.get(), &ca.actions);
      unloadHandler = true;
    }
  if (it->second->scriptObject &&
      stage_.vm().getMember(it->second->scriptObject, "onUnload").isObject())
    unloadHandler = true;
  stage_.vm().callMethodIfPresent(it->second->scriptObject, "onUnload");
  if (unloadHandler && depth >= kTimelineDepthOffset) {
    // A clip with an unload handler stays reachable, at depth -32769 - depth, until the
    // frame's scripts are done.
    it->second->depth_ = -32769 - depth;
    unloading_.push_back(std::move(it->second));
    children_.erase(it);
    return;
  }
  it->second->killTree();
  stage_.graveyard.push_back(std::move(it->second));
  children_.erase(it);
}

void StageClip::finishUnloading() {
  for (auto& c : unloading_) {
    c->killTree();
    stage_.graveyard.push_back(std::move(c));
  }
  unloading_.clear();
  for (auto& [d, c] : children_) c->finishUnloading();
}

StageClip* StageClip::addChild(std::unique_ptr<StageClip> c) {
  int d = c->depth_;
  removeAt(d);
  StageClip* raw = c.get();
  children_[d] = std::move(c);
  return raw;
}

void StageClip::place(const swf::PlaceObject& po) {
  int depth = po.depth + kTimelineDepthOffset;
  if (po.move && !po.characterId) {
    auto it = children_.find(depth);
    if (auto sh = shapes_.find(depth); sh != shapes_.end() && po.matrix)
      sh->second.matrix = *po.matrix;
    if (it != children_.end() && po.matrix) it->second->setMatrix(*po.matrix);
    return;
  }
  if (!po.characterId) return;
  if (keepsPlacement(depth, *po.characterId)) {
    // Replaying a frame over the object it placed (going back): the object stays.
    if (auto sh = shapes_.find(depth); sh != shapes_.end() && po.matrix)
      sh->second.matrix = *po.matrix;
    if (auto it = children_.find(depth); it != children_.end() && po.matrix)
      it->second->setMatrix(*po.matrix);
    return;
  }
  if (po.move) removeAt(depth);
  const swf::Movie* m = movie_;
  const swf::SpriteDef* sprite = stage_.resolveSprite(m, *po.characterId);
  const auto* edit = sprite ? nullptr : m->get<swf::EditTextDef>(*po.characterId);
  if (edit) {
    std::string name = po.name ? *po.name : "instance" + std::to_string(++stage_.instanceCounter);
    auto child = std::make_unique<StageClip>(stage_, this, m, nullptr, name, depth);
    if (po.matrix) child->setMatrix(*po.matrix);
    const swf::FontDef* font = edit->hasFont ? m->get<swf::FontDef>(edit->fontId) : nullptr;
    child->text_ = std::make_unique<EditTextState>(*edit, font, m->header.version >= 6);
    StageClip* c = addChild(std::move(child));
    c->started_ = true;
    syncTextFieldVariable(stage_.vm(), c, true);
    return;
  }
  if (!sprite) {
    removeAt(depth);
    shapes_[depth] = {*po.characterId, po.matrix.value_or(swf::Matrix{})};
    return;
  }
  std::string name = po.name ? *po.name : "instance" + std::to_string(++stage_.instanceCounter);
  auto child = std::make_unique<StageClip>(stage_, this, m, &sprite->timeline, name, depth);
  if (po.matrix) child->setMatrix(*po.matrix);
  child->clipActions = po.clipActions;
  StageClip* c = addChild(std::move(child));
  c->enterFirstFrame();
}

void StageClip::enterFirstFrame() {
  started_ = true;
  frame_ = 0;
  if (timeline_ && !timeline_->frames.empty()) {
    stage_.queueInitActions(timeline_->frames[0], movie_);
    applyFrame(0, true);
  }
  for (auto& ca : clipActions)
    if (ca.events & swf::ClipEvent::Load) stage_.queueActions(this, &ca.actions);
}

void StageClip::applyFrame(int frame, bool runActions) {
  if (!timeline_ || frame < 0 || frame >= static_cast<int>(timeline_->frames.size())) return;
  const swf::Frame& f = timeline_->frames[static_cast<size_t>(frame)];
  if (runActions) stage_.queueInitActions(f, movie_);
  // The frame's own actions run before those of clips it places.
  if (runActions)
    for (auto& a : f.actions) stage_.queueActions(this, &a.bytes);
  applyingFrame_ = frame;
  for (auto& tag : f.displayTags) {
    if (auto* po = std::get_if<swf::PlaceObject>(&tag)) {
      place(*po);
      if (po->characterId) notePlacement(po->depth + kTimelineDepthOffset, *po->characterId, frame);
    } else if (auto* ro = std::get_if<swf::RemoveObject>(&tag)) {
      removeAt(ro->depth + kTimelineDepthOffset);
    }
  }
  applyingFrame_ = -1;
}

bool StageClip::keepsPlacement(int depth, uint16_t characterId) const {
  if (applyingFrame_ < 0) return false;
  if (auto it = children_.find(depth); it != children_.end())
    return it->second->placedFrame_ == applyingFrame_ && it->second->characterId_ == characterId;
  auto sh = shapes_.find(depth);
  return sh != shapes_.end() && sh->second.placedFrame == applyingFrame_ &&
         sh->second.id == characterId;
}

void StageClip::notePlacement(int depth, uint16_t characterId, int frame) {
  if (auto it = children_.find(depth); it != children_.end() && it->second->placedFrame_ < 0) {
    it->second->characterId_ = characterId;
    it->second->placedFrame_ = frame;
  }
  if (auto sh = shapes_.find(depth); sh != shapes_.end() && sh->second.placedFrame < 0)
    sh->second.placedFrame = frame;
}

void StageClip::seek(int frame) {
  if (frame < frame_) {
    // Going back: objects in the timeline's depths that the target frame still holds,
    // placed by the same PlaceObject, stay (with their script state); the others leave,
    // script-made clips swapped into those depths included. The frames up to
    // the target are then replayed over what stayed.
    std::map<int, std::pair<uint16_t, int>> held;  // depth -> character, frame placed
    for (int f = 0; f <= frame; ++f)
      for (auto& tag : timeline_->frames[static_cast<size_t>(f)].displayTags) {
        if (auto* po = std::get_if<swf::PlaceObject>(&tag)) {
          if (po->characterId) held[po->depth + kTimelineDepthOffset] = {*po->characterId, f};
        } else if (auto* ro = std::get_if<swf::RemoveObject>(&tag)) {
          held.erase(ro->depth + kTimelineDepthOffset);
        }
      }
    auto holds = [&](int depth, uint16_t id, int placed) {
      auto h = held.find(depth);
      return h != held.end() && h->second == std::pair<uint16_t, int>{id, placed};
    };
    std::vector<int> leaving;
    for (auto& [d, c] : children_)
      if (d < 0 && (c->placedFrame_ < 0 || !holds(d, c->characterId_, c->placedFrame_)))
        leaving.push_back(d);
    for (int d : leaving) removeAt(d);
    for (auto it = shapes_.begin(); it != shapes_.end();)
      it = holds(it->first, it->second.id, it->second.placedFrame) ? std::next(it)
                                                                   : shapes_.erase(it);
    for (int f = 0; f < frame; ++f) applyFrame(f, false);
  } else {
    for (int f = frame_ + 1; f < frame; ++f) applyFrame(f, false);
  }
  frame_ = frame;
  applyFrame(frame, true);
}

void StageClip::enterFrameEvents() {
  if (dead) return;
  for (auto& ca : clipActions)
    if (ca.events & swf::ClipEvent::EnterFrame) stage_.queueActions(this, &ca.actions);
  if (scriptObject) stage_.vm().callMethodIfPresent(scriptObject, "onEnterFrame");
  std::vector<StageClip*> kids;
  for (auto& [d, c] : children_) kids.push_back(c.get());
  for (StageClip* c : kids)
    if (!c->dead) c->enterFrameEvents();
}

void StageClip::advance() {
  if (dead) return;
  std::vector<StageClip*> kids;
  for (auto& [d, c] : children_) kids.push_back(c.get());
  if (playing_ && totalFrames() > 1) {
    int next = frame_ + 1;
    if (next >= totalFrames()) {
      seek(0);
    } else {
      frame_ = next;
      applyFrame(next, true);
    }
  }
  for (StageClip* c : kids)
    if (!c->dead) c->advance();
}

ScriptClip* StageClip::duplicate(const std::string& newName, int depth) {
  if (!parent_) return nullptr;
  auto c = std::make_unique<StageClip>(stage_, parent_, movie_, timeline_, newName, depth);
  c->x_ = x_;
  c->y_ = y_;
  c->xscale_ = xscale_;
  c->yscale_ = yscale_;
  c->rotation_ = rotation_;
  c->alpha_ = alpha_;
  c->visible_ = visible_;
  c->clipActions = clipActions;
  StageClip* raw = parent_->addChild(std::move(c));
  raw->enterFirstFrame();
  return raw;
}

ScriptClip* StageClip::attachMovie(const std::string& exportName, const std::string& newName,
                                   int depth) {
  const swf::Movie* m = movie_;
  const swf::SpriteDef* s = stage_.exportedSprite(m, exportName);
  if (!s) return nullptr;
  auto c = std::make_unique<StageClip>(stage_, this, m, &s->timeline, newName, depth);
  StageClip* raw = addChild(std::move(c));
  raw->enterFirstFrame();
  return raw;
}

ScriptClip* StageClip::createEmptyMovieClip(const std::string& newName, int depth) {
  auto c = std::make_unique<StageClip>(stage_, this, movie_, nullptr, newName, depth);
  StageClip* raw = addChild(std::move(c));
  raw->started_ = true;
  return raw;
}

std::u32string StageClip::staticText() {
  std::u32string out;
  for (auto& [depth, shape] : shapes_)
    if (const auto* text = movie_->get<swf::TextDef>(shape.id)) out += staticTextOf(*movie_, *text);
  return out;
}

ScriptClip* StageClip::createTextField(const std::string& newName, int depth, double x, double y,
                                       double width, double height) {
  const swf::EditTextDef def = createdFieldDef(width, height);
  auto c = std::make_unique<StageClip>(stage_, this, movie_, nullptr, newName, depth);
  c->x_ = x;
  c->y_ = y;
  c->text_ = std::make_unique<EditTextState>(def, nullptr, movie_->header.version >= 6);
  StageClip* raw = addChild(std::move(c));
  raw->started_ = true;
  return raw;
}

bool StageClip::removeSelf() {
  if (!parent_ || depth_ < 0 || depth_ > 2130690045) return false;
  parent_->removeAt(depth_);
  return true;
}

void StageClip::swapDepths(int depth) {
  if (!parent_ || depth == depth_) return;
  auto& siblings = parent_->children_;
  auto self = siblings.find(depth_);
  if (self == siblings.end()) return;
  std::unique_ptr<StageClip> me = std::move(self->second);
  siblings.erase(self);
  auto other = siblings.find(depth);
  if (other != siblings.end()) {
    std::unique_ptr<StageClip> o = std::move(other->second);
    siblings.erase(other);
    o->depth_ = depth_;
    siblings[depth_] = std::move(o);
  }
  me->depth_ = depth;
  siblings[depth] = std::move(me);
}

int StageClip::nextHighestDepth() {
  int d = 0;
  for (auto& [k, c] : children_) d = std::max(d, k + 1);
  return d;
}

// ---------------------------------------------------------------- ScriptStage

ScriptStage::ScriptStage(std::shared_ptr<const swf::Movie> movie, const std::string& folder,
                         const std::vector<uint8_t>& fileBytes)
    : movie_(std::move(movie)), folder_(folder) {
  // ImportAssets is not kept by the reader's Movie: scan the tags for it here.
  swf::Body body = swf::decompressBody(fileBytes.data(), fileBytes.size());
  const std::vector<uint8_t>& d = body.data;
  if (!d.empty()) {
    int nbits = d[0] >> 3;
    size_t pos = (5 + 4 * nbits + 7) / 8 + 4;
    while (pos + 2 <= d.size()) {
      uint16_t h = static_cast<uint16_t>(d[pos] | (d[pos + 1] << 8));
      pos += 2;
      uint16_t code = h >> 6;
      size_t len = h & 63;
      if (len == 63) {
        if (pos + 4 > d.size()) break;
        len = d[pos] | (d[pos + 1] << 8) | (d[pos + 2] << 16) |
              (static_cast<size_t>(d[pos + 3]) << 24);
        pos += 4;
      }
      if (pos + len > d.size() || code == 0) break;
      if (code == 57 || code == 71) {
        size_t p = pos, end = pos + len;
        auto str = [&]() {
          std::string s;
          while (p < end && d[p]) s.push_back(static_cast<char>(d[p++]));
          ++p;
          return s;
        };
        std::string url = str();
        if (code == 71) p += 2;
        std::string base = url.substr(url.find_last_of("/\\") + 1);
        auto bytes = readPath(folder + "/" + base);
        auto imported = swf::readMovie(bytes).movie;
        if (imported && p + 2 <= end) {
          imported_.push_back(imported);
          int count = d[p] | (d[p + 1] << 8);
          p += 2;
          for (int i = 0; i < count && p + 2 <= end; ++i) {
            swf::CharacterId id = static_cast<swf::CharacterId>(d[p] | (d[p + 1] << 8));
            p += 2;
            std::string name = str();
            auto ex = imported->exports.find(name);
            if (ex != imported->exports.end()) imports_[id] = {imported.get(), ex->second};
          }
        }
      }
      pos += len;
    }
  }
  vm_ = std::make_unique<Vm>(*this, movie_->header.version);
  root_ = std::make_unique<StageClip>(*this, nullptr, movie_.get(), &movie_->root, "", 0);
}

ScriptStage::~ScriptStage() { vm_.reset(); }

const swf::SpriteDef* ScriptStage::resolveSprite(const swf::Movie*& movie, swf::CharacterId id) {
  if (movie == movie_.get()) {
    auto it = imports_.find(id);
    if (it != imports_.end()) {
      movie = it->second.first;
      return movie->get<swf::SpriteDef>(it->second.second);
    }
  }
  return movie->get<swf::SpriteDef>(id);
}

const swf::SpriteDef* ScriptStage::exportedSprite(const swf::Movie*& movie,
                                                  const std::string& name) {
  for (const swf::Movie* m : {movie, movie_.get()}) {
    auto it = m->exports.find(name);
    if (it != m->exports.end()) {
      movie = m;
      return resolveSprite(movie, it->second);
    }
  }
  return nullptr;
}

void ScriptStage::trace(std::string_view line) {
  std::string s(line);
  size_t pos = 0;
  while (true) {
    size_t nl = s.find_first_of("\r\n", pos);
    trace_.push_back(s.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
    if (nl == std::string::npos) break;
    pos = nl + 1;
    if (s[nl] == '\r' && pos < s.size() && s[pos] == '\n') ++pos;
  }
}

void ScriptStage::queueActions(StageClip* clip, const std::vector<uint8_t>* bytes) {
  queue_.push_back({clip, bytes});
}

void ScriptStage::queueInitActions(const swf::Frame& frame, const swf::Movie* movie) {
  size_t at = 0;
  for (auto& ia : frame.initActions) {
    auto key = std::make_pair(movie, ia.spriteId);
    if (initDone_[key]) continue;
    initDone_[key] = true;
    // Init actions run before the frame's other actions, once per sprite, in file order.
    queue_.insert(queue_.begin() + static_cast<long>(at++), Pending{root_.get(), &ia.bytes});
  }
}

void ScriptStage::runQueue() {
  for (size_t guard = 0; !queue_.empty() && guard < 100000; ++guard) {
    Pending p = queue_.front();
    queue_.erase(queue_.begin());
    if (p.clip->dead) continue;
    vm_->runActions(p.clip, *p.bytes, p.clip->movie_->header.version);
  }
  queue_.clear();
}

void ScriptStage::runFrames(int count) {
  double step = movie_->header.frameRate > 0 ? 1000.0 / movie_->header.frameRate : 1000.0 / 12;
  for (int i = 0; i < count; ++i) {
    vm_->startFrameBudget();
    if (i == 0) {
      root_->enterFirstFrame();
    } else {
      root_->enterFrameEvents();
      root_->advance();
    }
    runQueue();
    vm_->runTimers();
    runQueue();
    vm_->runLoads();
    runQueue();
    timeMs_ += step;
    root_->finishUnloading();
    graveyard.clear();
    vm_->collectGarbage();
  }
}

std::optional<std::vector<uint8_t>> ScriptStage::readFile(const std::string& url, size_t maxBytes) {
  return readOwnFolderFile(folder_, url, maxBytes);
}

ScriptClip* ScriptStage::loadIntoClip(ScriptClip* target, const std::vector<uint8_t>& bytes,
                                      const std::string& url,
                                      const std::function<void(ScriptClip*)>& beforeFirstFrame) {
  auto* old = static_cast<StageClip*>(target);
  if (!old || !old->parent_ || loaded_.size() >= 64) return nullptr;
  auto movie = movieFromLoadedFile(bytes, movie_->header.version);
  loaded_.push_back(movie);
  auto made = std::make_unique<StageClip>(*this, old->parent_, movie.get(), &movie->root,
                                          old->name_, old->depth_);
  made->x_ = old->x_;
  made->y_ = old->y_;
  made->xscale_ = old->xscale_;
  made->yscale_ = old->yscale_;
  made->rotation_ = old->rotation_;
  made->alpha_ = old->alpha_;
  made->visible_ = old->visible_;
  made->clipActions = old->clipActions;
  made->url_ = url.empty() ? "" : "file:///" + url.substr(url.find_last_of("/\\") + 1);
  Object* self = std::exchange(old->scriptObject, nullptr);
  StageClip* raw = old->parent_->addChild(std::move(made));  // `old` unloads
  vm_->adoptClipObject(self, raw);
  if (beforeFirstFrame) beforeFirstFrame(raw);
  raw->enterFirstFrame();
  runQueue();
  return raw;
}

void ScriptStage::clipDataLoaded(ScriptClip* clip) {
  auto* c = static_cast<StageClip*>(clip);
  for (auto& ca : c->clipActions)
    if (ca.events & swf::ClipEvent::Data) queueActions(c, &ca.actions);
  runQueue();
  vm_->callMethodIfPresent(vm_->objectFor(clip), "onData");
}

}  // namespace orv::movie::avm1::testing
