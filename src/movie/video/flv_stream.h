#pragma once
// One NetStream playing an FLV file, for either script machine through its host: what
// time it is in the stream (moved on by the player's frame ticks), the picture of that
// time, and the status and data events the script hears of (onStatus/netStatus,
// onMetaData, onCuePoint), queued for the machine to deliver.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "movie/codec/video_decoder.h"
#include "movie/render/raster/paint.h"
#include "movie/video/flv.h"

namespace orv::movie::video {

struct StreamEvent {
  // A status: code and level ("status" or "error"); else a data message for `handler`
  // (onMetaData, onCuePoint ...) with the script tag's argument.
  std::string code, level;
  std::string handler;
  std::shared_ptr<const FlvFile> file;  // keeps the argument's graph
  const FlvScript* script = nullptr;
  bool isStatus() const { return handler.empty(); }
};

class FlvStream {
 public:
  FlvStream();
  ~FlvStream();

  // Starts the file `bytes` (nullopt: it was not found) from its start.
  void play(std::optional<std::vector<uint8_t>> bytes);
  // Pauses (true), resumes (false) or toggles (nullopt); nothing without a file. The
  // second machine's streams report it (Pause.Notify, Unpause.Notify), the first's do not.
  void pause(std::optional<bool> paused);
  void setPauseNotices(bool on) { pauseNotices_ = on; }
  // Goes to the key frame at or before `seconds`; the data messages of that time and
  // before are not sent again.
  void seek(double seconds);
  // Stops and lets go of the file.
  void close();
  // The player's clock moved on by `ms`.
  void advance(double ms);
  // The next event for the script, in order; none left: nullopt. Playing anew drops the
  // events of the last play not yet delivered.
  std::optional<StreamEvent> nextEvent();

  double timeSeconds() const { return timeMs_ / 1000.0; }
  double bufferTime() const { return bufferTime_; }
  void setBufferTime(double seconds) { bufferTime_ = seconds > 0 ? seconds : 0; }
  double bufferLength() const;
  double bytesLoaded() const { return bytes_ ? double(bytes_->size()) : 0; }
  double bytesTotal() const { return bytesLoaded(); }
  double currentFps() const;
  bool playing() const { return file_ && !paused_ && !ended_; }

  // The picture of the stream's current time (null before the first, or for a codec
  // the player does not decode) and its size.
  std::shared_ptr<const render::Bitmap> picture();
  int pictureWidth() const { return decoded_.width; }
  int pictureHeight() const { return decoded_.height; }

 private:
  void status(const char* code, const char* level = "status");
  void passTagsUpTo(int64_t ms);  // delivers the script tags the time passed
  long videoTagAt(double ms) const;

  std::shared_ptr<std::vector<uint8_t>> bytes_;
  std::shared_ptr<const FlvFile> file_;
  std::deque<StreamEvent> events_;
  double timeMs_ = 0;
  double endMs_ = 0;
  double frameRate_ = 0;  // of the video tags, as their times say
  double bufferTime_ = 0.1;
  bool paused_ = false, ended_ = false;
  bool pauseNotices_ = true;
  size_t nextTag_ = 0;  // the first tag whose time has not come

  std::unique_ptr<codec::VideoDecoder> decoder_;
  int decoderCodec_ = -1;
  long fed_ = -1;   // the tag last fed to the decoder
  long shown_ = -1;  // the tag whose picture `picture_` holds
  codec::VideoPicture decoded_;
  std::shared_ptr<const render::Bitmap> picture_;
};

}  // namespace orv::movie::video
