// Files scripts load, on the real stage: read from the movie's own folder only, and a
// loaded movie or image put in place of a clip's content.
#include <algorithm>
#include <utility>

#include "movie/loaded_movie.h"
#include "movie/own_folder.h"
#include "movie/script/timeline_bridge.h"

namespace orv::movie::script {

std::optional<std::vector<uint8_t>> TimelineBridge::readFile(const std::string& url, size_t maxBytes) {
    if (ownFolder.empty()) return std::nullopt;  // a movie given as bytes has no folder
    return readOwnFolderFile(ownFolder, url, maxBytes);
}

// The new content is a new clip at the same depth, with the old one's name, place,
// colour and clip events; the old content unloads. The script object stays the clip's
// (references to it stay equal) but loses what scripts stored in it.
ScriptClip* TimelineBridge::loadIntoClip(ScriptClip* target, const std::vector<uint8_t>& bytes,
                                         const std::string& url) {
    auto* bridge = static_cast<ClipBridge*>(target);
    MovieClip* old = bridge ? bridge->clip() : nullptr;
    // Replacing a whole level (the root) is not supported: the movie stays.
    if (!old || !old->parent || !stage_.mayCreateObject() || bytes.size() > Stage::kMaxLoadedBytes) return nullptr;
    auto keepOld = old->shared_from_this();
    std::shared_ptr<const swf::Movie> movie = movieFromLoadedFile(bytes, stage_.movie().header.version);
    // A compressed movie counts as what it unpacks to (as far as it may).
    const size_t size = std::max<size_t>(bytes.size(), std::min<size_t>(movie->header.fileLength, kMaxLoadedMovieSize));
    if (!stage_.keepLoadedMovie(movie, size)) return nullptr;
    if (!url.empty()) {
        // The player shows a movie's URL by its file name only, not the folders it lies in.
        const size_t slash = url.find_last_of("/\\");
        std::string name = url.substr(slash == std::string::npos ? 0 : slash + 1);
        name = name.substr(0, name.find_first_of("?#"));
        loadedUrls_[movie.get()] = "file:///" + name;
    }
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
    // The loaded clip is the script's: the parent's timeline neither moves nor replaces it.
    made->createdTick = stage_.currentTick();
    made->gotoFrame(0);
    stage_.dispatchEvents();
    return loaded;
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

}  // namespace orv::movie::script
