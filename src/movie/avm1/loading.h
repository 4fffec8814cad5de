// Files that scripts ask for (loadVariables, loadMovie, LoadVars, MovieClipLoader,
// Sound.loadSound) arrive after the call, never inside it, as they do over a network in
// a Flash player: text and sounds at the end of the frame that asked for them, movies a
// frame later. The queue holds what is in flight; Vm::runLoads() moves each request on.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "movie/avm1/value.h"

namespace orv::movie::avm1 {

class Object;

struct LoadRequest {
  enum class Kind {
    Data,           // LoadVars (load, sendAndLoad): onData(text) on `receiver`
    ClipVariables,  // loadVariables: name=value pairs into the clip, then its data event
    Movie,          // loadMovie / unloadMovie: the clip shows the file (empty url: nothing)
    ClipLoader,     // MovieClipLoader.loadClip: loadMovie with the loader's callbacks
    Sound,          // Sound.loadSound: the MP3 into the Sound `receiver`
  };
  Kind kind = Kind::Data;
  std::string url;
  Value receiver;           // the LoadVars or MovieClipLoader
  Value clip;               // the target clip's object
  int level = -1;           // Movie: loadMovieNum's level instead of a clip (it may not exist yet)
  int step = 0;             // ClipLoader: 0 read and start, 1 complete, 2 init
  bool wholeImage = false;  // ClipLoader: a PNG or GIF picture, decoded only once whole
  bool streaming = false;   // Sound: plays as soon as it is there
  int ticket = 0;           // Sound: which of its loadSound calls this answers

  // Text and sounds are read at the end of the frame; movies take a frame of their own.
  bool endsFrame() const { return kind == Kind::Data || kind == Kind::ClipVariables || kind == Kind::Sound; }
};

class Vm;
// A sound file a Sound asked for came (or not): builtins_sound.cpp.
void deliverSoundFile(Vm& vm, const LoadRequest& request,
                      const std::optional<std::vector<uint8_t>>& bytes);

class LoadQueue {
 public:
  // Bounds on what a movie can ask for: requests waiting at once, files read per frame
  // and bytes read per frame (the rest wait for the next frame), and the size of one file.
  static constexpr size_t kMaxInFlight = 64;
  static constexpr size_t kMaxReadsPerFrame = 4;
  static constexpr size_t kMaxBytesPerFrame = 8u << 20;  // once passed, reads wait
  static constexpr size_t kMaxFileBytes = 32u << 20;

  // False when too many requests are waiting already.
  bool add(LoadRequest request) {
    if (pending_.size() >= kMaxInFlight) return false;
    pending_.push_back(std::move(request));
    return true;
  }
  bool empty() const { return pending_.empty(); }
  size_t size() const { return pending_.size(); }
  // The objects the requests hold, for the collector.
  void roots(std::vector<Object*>& out) const {
    for (const LoadRequest& r : pending_)
      for (const Value* v : {&r.receiver, &r.clip})
        if (v->isObject()) out.push_back(v->asObject());
  }
  std::deque<LoadRequest>& pending() { return pending_; }

 private:
  std::deque<LoadRequest> pending_;
};

}  // namespace orv::movie::avm1
