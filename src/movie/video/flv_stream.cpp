#include "movie/video/flv_stream.h"

#include <algorithm>

#include "movie/video/picture.h"

namespace orv::movie::video {

FlvStream::FlvStream() = default;
FlvStream::~FlvStream() = default;

void FlvStream::status(const char* code, const char* level) {
  StreamEvent e;
  e.code = code;
  e.level = level;
  events_.push_back(std::move(e));
}

std::optional<StreamEvent> FlvStream::nextEvent() {
  if (events_.empty()) return std::nullopt;
  StreamEvent e = std::move(events_.front());
  events_.pop_front();
  return e;
}

void FlvStream::play(std::optional<std::vector<uint8_t>> bytes) {
  close();
  events_.clear();
  std::optional<FlvFile> file;
  if (bytes) {
    bytes_ = std::make_shared<std::vector<uint8_t>>(std::move(*bytes));
    file = readFlv(*bytes_);
  }
  if (!file) {
    bytes_.reset();
    status(bytes ? "NetStream.Play.FileStructureInvalid" : "NetStream.Play.StreamNotFound", "error");
    return;
  }
  file_ = std::make_shared<const FlvFile>(std::move(*file));
  // The stream lasts to its last tag and one frame more.
  int64_t firstVideo = -1, lastVideo = -1;
  size_t videoTags = 0;
  for (const FlvTag& t : file_->tags) {
    if (t.type != FlvTag::Type::Video) continue;
    if (firstVideo < 0) firstVideo = t.timeMs;
    lastVideo = t.timeMs;
    ++videoTags;
  }
  frameRate_ = videoTags > 1 && lastVideo > firstVideo
                   ? double(videoTags - 1) * 1000.0 / double(lastVideo - firstVideo)
                   : 0;
  endMs_ = double(file_->lastTimeMs()) + (frameRate_ > 0 ? 1000.0 / frameRate_ : 0);
  status("NetStream.Play.Start");
  // A file on this machine fills the buffer at once.
  status("NetStream.Buffer.Full");
  passTagsUpTo(0);
}

void FlvStream::close() {
  file_.reset();
  bytes_.reset();
  timeMs_ = endMs_ = frameRate_ = 0;
  paused_ = ended_ = false;
  nextTag_ = 0;
  decoder_.reset();
  decoderCodec_ = -1;
  fed_ = shown_ = -1;
  decoded_ = {};
  picture_.reset();
}

void FlvStream::pause(std::optional<bool> paused) {
  if (!file_) return;
  const bool now = paused.value_or(!paused_);
  if (now == paused_) return;
  paused_ = now;
  if (pauseNotices_) status(now ? "NetStream.Pause.Notify" : "NetStream.Unpause.Notify");
}

void FlvStream::seek(double seconds) {
  if (!file_) return;
  if (!(seconds > 0)) seconds = 0;  // NaN too
  const double ms = std::min(seconds * 1000.0, endMs_);
  const long key = file_->keyFrameBefore(int64_t(ms));
  timeMs_ = key >= 0 ? double(file_->tags[size_t(key)].timeMs) : ms;
  ended_ = false;
  nextTag_ = 0;
  while (nextTag_ < file_->tags.size() && double(file_->tags[nextTag_].timeMs) <= timeMs_) ++nextTag_;
  status("NetStream.Seek.Notify");
}

void FlvStream::advance(double ms) {
  if (!playing() || !(ms > 0)) return;
  timeMs_ = std::min(timeMs_ + ms, endMs_);
  passTagsUpTo(int64_t(timeMs_));
  if (timeMs_ >= endMs_) {
    ended_ = true;
    status("NetStream.Buffer.Flush");
    status("NetStream.Play.Stop");
    status("NetStream.Buffer.Empty");
  }
}

void FlvStream::passTagsUpTo(int64_t ms) {
  for (; nextTag_ < file_->tags.size() && file_->tags[nextTag_].timeMs <= ms; ++nextTag_) {
    const FlvTag& t = file_->tags[nextTag_];
    if (t.type != FlvTag::Type::Script) continue;
    StreamEvent e;
    e.file = file_;
    e.script = &file_->scripts[size_t(t.script)];
    e.handler = e.script->name;
    events_.push_back(std::move(e));
  }
}

double FlvStream::bufferLength() const {
  if (!file_ || ended_) return 0;
  return std::max(0.0, std::min(bufferTime_, (endMs_ - timeMs_) / 1000.0));
}

double FlvStream::currentFps() const { return playing() ? frameRate_ : 0; }

long FlvStream::videoTagAt(double ms) const {
  long found = -1;
  for (size_t i = 0; i < file_->tags.size(); ++i) {
    const FlvTag& t = file_->tags[i];
    if (double(t.timeMs) > ms) break;
    if (t.type == FlvTag::Type::Video && t.frameType != 5) found = long(i);
  }
  return found;
}

std::shared_ptr<const render::Bitmap> FlvStream::picture() {
  if (!file_) return picture_;
  const long target = videoTagAt(timeMs_);
  if (target < 0 || target == shown_) return picture_;
  const std::vector<FlvTag>& tags = file_->tags;
  const int codec = tags[size_t(target)].codec;
  // Start afresh at the key frame before the target when going back, when a key frame
  // lies ahead of the last tag decoded, or when the codec changed.
  long start = target;
  while (start > 0 && !(tags[size_t(start)].type == FlvTag::Type::Video && tags[size_t(start)].keyFrame()))
    --start;
  if (target < fed_ || start > fed_ || !decoder_ || decoderCodec_ != codec) {
    decoder_ = codec::makeVideoDecoder(codec::VideoCodec(codec));
    decoderCodec_ = codec;
    fed_ = start - 1;
  }
  shown_ = target;
  if (!decoder_) return picture_;  // H.264 and unknown codecs: no picture
  bool decodedAny = false;
  for (long i = fed_ + 1; i <= target; ++i) {
    const FlvTag& t = tags[size_t(i)];
    fed_ = i;
    if (t.type != FlvTag::Type::Video || t.codec != codec || t.frameType == 5) continue;
    if (decoder_->decode(videoPayload(t, *bytes_), decoded_)) decodedAny = true;
  }
  if (decodedAny) {
    render::Bitmap bitmap = toBitmap(decoded_);
    if (bitmap.valid()) picture_ = std::make_shared<const render::Bitmap>(std::move(bitmap));
  }
  return picture_;
}

}  // namespace orv::movie::video
