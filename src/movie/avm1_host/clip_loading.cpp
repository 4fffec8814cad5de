// Files scripts load, on the real stage: read from the movie's own folder only, and a
// loaded movie or image put in place of a clip's content.
#include <algorithm>
#include <utility>

#include "movie/timeline/loaded_movie.h"
#include "movie/timeline/own_folder.h"
#include "movie/avm1_host/timeline_bridge.h"

namespace orv::movie::avm1 {

std::optional<std::vector<uint8_t>> TimelineBridge::readFile(const std::string& url,
                                                             size_t maxBytes) {
  if (ownFolder.empty()) return std::nullopt;  // a movie given as bytes has no folder
  return readOwnFolderFile(ownFolder, url, maxBytes);
}

// A loaded file as a movie the stage keeps (with its URL and size noted); nullptr once
// the stage holds as many loaded movies or bytes as it may.
std::shared_ptr<const swf::Movie> TimelineBridge::keepLoaded(const std::vector<uint8_t>& bytes,
                                                             const std::string& url) {
  if (bytes.size() > Stage::kMaxLoadedBytes) return nullptr;
  std::shared_ptr<const swf::Movie> movie =
      movieFromLoadedFile(bytes, stage_.movie().header.version);
  // A compressed movie counts as what it unpacks to (as far as it may).
  const size_t size = std::max<size_t>(
      bytes.size(), std::min<size_t>(movie->header.fileLength, kMaxLoadedMovieSize));
  if (!stage_.keepLoadedMovie(movie, size)) return nullptr;
  if (!url.empty()) loadedUrls_[movie.get()] = shownMovieUrl(url);
  // A movie tells its size in its header; an image is as long as its file. A file that
  // is neither leaves nothing to count.
  const bool swf = bytes.size() >= 3 && bytes[1] == 'W' && bytes[2] == 'S';
  if (swf && movie->header.fileLength > 0)
    loadedSizes_[movie.get()] = movie->header.fileLength;
  else if (!movie->dictionary.empty())
    loadedSizes_[movie.get()] = bytes.size();
  return movie;
}

// The new content is a new clip at the same depth, with the old one's name, place,
// colour and clip events; the old content unloads. The script object stays the clip's
// (references to it stay equal) but loses what scripts stored in it.
ScriptClip* TimelineBridge::loadIntoClip(ScriptClip* target, const std::vector<uint8_t>& bytes,
                                         const std::string& url,
                                         const std::function<void(ScriptClip*)>& beforeFirstFrame) {
  auto* bridge = static_cast<ClipBridge*>(target);
  MovieClip* old = bridge ? bridge->clip() : nullptr;
  if (!old) return nullptr;
  // A level's root: the level is loaded again (or unloaded).
  if (!old->parent) {
    const int level = stage_.levelOf(*old);
    return level < 0 ? nullptr : loadIntoLevel(level, bytes, url);
  }
  if (!stage_.mayCreateObject()) return nullptr;
  auto keepOld = old->shared_from_this();
  std::shared_ptr<const swf::Movie> movie = keepLoaded(bytes, url);
  if (!movie) return nullptr;
  // A sprite as far as drawing and hit tests go; its timeline is the loaded movie's.
  static const swf::Character kLoadedSprite = swf::SpriteDef{};
  auto made = std::make_shared<MovieClip>(stage_, 0, &kLoadedSprite, &movie->root);
  made->movie = movie.get();
  made->name = old->name;
  made->matrix = old->matrix;
  made->cxform = old->cxform;
  made->visible = old->visible;
  made->clipActions = old->clipActions;
  made->transformLockedByScript = old->transformLockedByScript;
  made->scriptXScale = old->scriptXScale;
  made->scriptYScale = old->scriptYScale;
  made->scriptRotation = old->scriptRotation;
  MovieClip* parent = old->parent;
  const int depth = old->depth;
  Object* self = std::exchange(bridge->scriptObject, nullptr);
  parent->setScriptObject(depth, made);
  ClipBridge* loaded = bridgeFor(made.get());
  vm_->adoptClipObject(self, loaded);
  if (beforeFirstFrame) beforeFirstFrame(loaded);
  // The loaded clip is the script's: the parent's timeline neither moves nor replaces it.
  made->createdTick = stage_.currentTick();
  made->gotoFrame(0);
  stage_.dispatchEvents();
  return loaded;
}

// A level's new root is a clip of its own (scripts holding the old one see it gone); it
// shows its first frame on the next tick of the clock, in level order.
ScriptClip* TimelineBridge::loadIntoLevel(int level, const std::vector<uint8_t>& bytes,
                                          const std::string& url) {
  if (level < 0 || level > Stage::kMaxLevel) return nullptr;
  if (url.empty()) {
    if (level == 0) {
      // Nothing is left to show: the whole movie goes, as if an empty one came.
      std::shared_ptr<const swf::Movie> empty = keepLoaded({}, "");
      if (!empty) return nullptr;
      for (auto& gone : stage_.replaceMovie(std::move(empty))) forgetTree(*gone, gone->depth);
    } else if (auto gone = stage_.removeLevel(level)) {
      forgetTree(*gone, level);
    }
    return nullptr;
  }
  if (!stage_.mayCreateObject() ||
      (level > 0 && !stage_.level(level) && stage_.levels().size() >= Stage::kMaxLevels))
    return nullptr;
  std::shared_ptr<const swf::Movie> movie = keepLoaded(bytes, url);
  if (!movie) return nullptr;
  if (level == 0) {
    for (auto& gone : stage_.replaceMovie(std::move(movie))) forgetTree(*gone, gone->depth);
    return bridgeFor(&stage_.root());
  }
  auto root = std::make_shared<MovieClip>(stage_, 0, nullptr, &movie->root);
  root->movie = movie.get();
  bool placed = false;
  std::shared_ptr<MovieClip> gone = stage_.setLevel(level, root, &placed);
  if (gone) forgetTree(*gone, level);
  return placed ? bridgeFor(root.get()) : nullptr;
}

double TimelineBridge::movieBytes(const swf::Movie* movie) const {
  if (auto it = loadedSizes_.find(movie); it != loadedSizes_.end())
    return static_cast<double>(it->second);
  // The movie the player opened, one it imported, or what is left of a file that was no
  // movie: the first movie's length.
  return stage_.movie().header.fileLength;
}

void TimelineBridge::clipDataLoaded(ScriptClip* clip) {
  MovieClip* c = clip ? static_cast<ClipBridge*>(clip)->clip() : nullptr;
  if (c) clipButtonEvent(*c, swf::ClipEvent::Data, "onData");
}

std::string TimelineBridge::loadedUrl(const swf::Movie* movie) const {
  auto it = loadedUrls_.find(movie);
  return it == loadedUrls_.end() ? "" : it->second;
}

std::string ClipBridge::url() const {
  MovieClip* c = clip();
  // The clip a movie was loaded into; the clips inside it show the same URL.
  return c && c->movie ? bridge_.loadedUrl(c->movie) : "";
}

double ClipBridge::bytesTotal() {
  auto o = object_.lock();
  return o ? bridge_.movieBytes(o->movie) : 0;
}

}  // namespace orv::movie::avm1
