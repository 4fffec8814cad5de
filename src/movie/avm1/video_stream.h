#pragma once
// A video stream as NetStream scripts play it: the host makes it (the player's FLV
// stream) and a Video object may show it; the machine moves it on each frame and tells
// the NetStream of what it reports. A host that plays video gives the machine its
// ScriptVideoHost (setVideoHost) once the machine is made.
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "movie/saves/amf.h"

namespace orv::movie::avm1 {

class ScriptVideoStream {
 public:
  struct Event {
    std::string code, level;  // a status (onStatus's info object)
    std::string handler;      // else a data message (onMetaData, onCuePoint) ...
    saves::AmfGraph graph;    // ... with this argument
    saves::AmfValue value;
  };
  virtual ~ScriptVideoStream() = default;
  // The file's bytes (nullopt: not found or refused) played from their start.
  virtual void play(std::optional<std::vector<uint8_t>> bytes) = 0;
  virtual void pause(std::optional<bool> paused) = 0;  // nullopt toggles
  virtual void seek(double seconds) = 0;
  virtual void close() = 0;
  virtual void advance(double ms) = 0;
  virtual std::optional<Event> nextEvent() = 0;
  virtual double time() const = 0;
  virtual double bufferTime() const = 0;
  virtual void setBufferTime(double seconds) = 0;
  virtual double bufferLength() const = 0;
  virtual double bytesLoaded() const = 0;
  virtual double bytesTotal() const = 0;
  virtual double currentFps() const = 0;
};

class Object;
class ScriptClip;
class Value;
class Vm;

class ScriptVideoHost {
 public:
  virtual ~ScriptVideoHost() = default;
  virtual std::shared_ptr<ScriptVideoStream> makeStream() = 0;
  // Whether the clip is a Video object (a placed DefineVideoStream).
  virtual bool isVideo(ScriptClip* clip) = 0;
  // The stream the Video shows (nullptr: none, back to its own frames).
  virtual void attach(ScriptClip* video, std::shared_ptr<ScriptVideoStream> stream) = 0;
  virtual void clear(ScriptClip* video) = 0;  // the picture shown now goes
  virtual void setSmoothing(ScriptClip* video, bool on) = 0;
  virtual std::pair<int, int> pictureSize(ScriptClip* video) = 0;  // the decoded picture's
};

// builtins_video.cpp: the host's video side; the prototype of Video objects (null before
// SWF 6 or without a video host); each frame, the streams move on by the host's clock and
// their events reach their scripts.
void setVideoHost(Vm& vm, std::shared_ptr<ScriptVideoHost> host);
ScriptVideoHost* videoHost(Vm& vm);
Object* videoPrototype(Vm& vm);
void installVideoMembers(Vm& vm, Object* video);  // on a Video's own script object
void runVideoStreams(Vm& vm);

// A value of AMF data (a shared object's, an FLV file's script tag) as script values
// (builtins_shared_object.cpp).
Value valueFromAmf(Vm& vm, const saves::AmfGraph& graph, const saves::AmfValue& value);

}  // namespace orv::movie::avm1
