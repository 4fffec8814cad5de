// Video objects and NetStreams of the first machine: the player's FLV stream behind the
// machine's stream seam, shown by the placed video it is attached to.
#include "movie/avm1_host/video_host.h"

#include <variant>

#include "movie/avm1_host/timeline_bridge.h"
#include "movie/video/embedded_video.h"
#include "movie/video/flv_stream.h"

namespace orv::movie::avm1 {

namespace {

class StreamBridge : public ScriptVideoStream {
 public:
  void play(std::optional<std::vector<uint8_t>> bytes) override { stream->play(std::move(bytes)); }
  void pause(std::optional<bool> paused) override { stream->pause(paused); }
  void seek(double seconds) override { stream->seek(seconds); }
  void close() override { stream->close(); }
  void advance(double ms) override { stream->advance(ms); }
  std::optional<Event> nextEvent() override {
    std::optional<video::StreamEvent> e = stream->nextEvent();
    if (!e) return std::nullopt;
    Event out;
    out.code = e->code;
    out.level = e->level;
    out.handler = e->handler;
    if (e->script) {
      out.graph = e->script->graph;
      out.value = e->script->value;
    }
    return out;
  }
  double time() const override { return stream->timeSeconds(); }
  double bufferTime() const override { return stream->bufferTime(); }
  void setBufferTime(double seconds) override { stream->setBufferTime(seconds); }
  double bufferLength() const override { return stream->bufferLength(); }
  double bytesLoaded() const override { return stream->bytesLoaded(); }
  double bytesTotal() const override { return stream->bytesTotal(); }
  double currentFps() const override { return stream->currentFps(); }

  std::shared_ptr<video::FlvStream> stream = [] {
    auto s = std::make_shared<video::FlvStream>();
    s->setPauseNotices(false);  // ActionScript 2 streams hear of no pause
    return s;
  }();
};

// The video stream instance behind a Video object, made on first use.
video::EmbeddedVideo* videoOf(ScriptClip* clip) {
  auto* bridge = dynamic_cast<ClipBridge*>(clip);
  DisplayObject* o = bridge ? bridge->object() : nullptr;
  const auto* def = o && o->character ? std::get_if<swf::VideoStreamDef>(o->character) : nullptr;
  if (!def) return nullptr;
  if (!o->video) o->video = std::make_shared<video::EmbeddedVideo>(*def);
  return o->video.get();
}

class StageVideoHost : public ScriptVideoHost {
 public:
  std::shared_ptr<ScriptVideoStream> makeStream() override { return std::make_shared<StreamBridge>(); }
  bool isVideo(ScriptClip* clip) override {
    auto* bridge = dynamic_cast<ClipBridge*>(clip);
    DisplayObject* o = bridge ? bridge->object() : nullptr;
    return o && o->character && std::holds_alternative<swf::VideoStreamDef>(*o->character);
  }
  void attach(ScriptClip* clip, std::shared_ptr<ScriptVideoStream> stream) override {
    auto* bridge = dynamic_cast<StreamBridge*>(stream.get());
    if (video::EmbeddedVideo* v = videoOf(clip)) v->attach(bridge ? bridge->stream : nullptr);
  }
  void clear(ScriptClip* clip) override {
    if (video::EmbeddedVideo* v = videoOf(clip)) v->clear();
  }
  void setSmoothing(ScriptClip* clip, bool on) override {
    if (video::EmbeddedVideo* v = videoOf(clip)) v->setSmoothing(on);
  }
  std::pair<int, int> pictureSize(ScriptClip* clip) override {
    video::EmbeddedVideo* v = videoOf(clip);
    if (!v || !v->attached()) return {0, 0};
    v->attached()->picture();
    return {v->attached()->pictureWidth(), v->attached()->pictureHeight()};
  }
};

}  // namespace

std::shared_ptr<ScriptVideoHost> makeStageVideoHost() { return std::make_shared<StageVideoHost>(); }

}  // namespace orv::movie::avm1
