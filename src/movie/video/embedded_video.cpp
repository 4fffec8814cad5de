#include "movie/video/embedded_video.h"

#include <algorithm>
#include <numeric>

#include "movie/video/flv_stream.h"
#include "movie/video/picture.h"

namespace orv::movie::video {

EmbeddedVideo::EmbeddedVideo(const swf::VideoStreamDef& stream)
    : stream_(stream), codec_(codec::VideoCodec(stream.codecId)) {
  order_.resize(stream.frames.size());
  std::iota(order_.begin(), order_.end(), size_t(0));
  std::stable_sort(order_.begin(), order_.end(), [&](size_t a, size_t b) {
    return stream.frames[a].frameNum < stream.frames[b].frameNum;
  });
  keyFrame_.resize(order_.size());
  for (size_t i = 0; i < order_.size(); ++i)
    keyFrame_[i] = isKeyFrame(codec_, stream.frames[order_[i]].data);
}

EmbeddedVideo::~EmbeddedVideo() = default;

void EmbeddedVideo::attach(std::shared_ptr<FlvStream> stream) {
  attached_ = std::move(stream);
  cleared_.reset();
}

void EmbeddedVideo::clear() {
  cleared_ = attached_ ? attached_->picture() : picture_;
}

std::shared_ptr<const render::Bitmap> EmbeddedVideo::pictureAt(int frame) {
  if (attached_) {
    auto shown = attached_->picture();
    return shown == cleared_ ? nullptr : shown;
  }
  // The last of the stream's frames numbered `frame` or lower.
  const auto after = std::upper_bound(order_.begin(), order_.end(), frame, [&](int f, size_t i) {
    return f < int(stream_.frames[i].frameNum);
  });
  if (after == order_.begin()) return nullptr;
  const size_t target = size_t(after - order_.begin()) - 1;
  if (long(target) != shown_) decodeUpTo(target);
  return picture_;
}

void EmbeddedVideo::decodeUpTo(size_t target) {
  // Start afresh at the nearest key frame when going back, or when one lies ahead of the
  // last frame decoded; else go on from there.
  size_t start = target;
  while (start > 0 && !keyFrame_[start]) --start;
  if (long(target) < fed_ || long(start) > fed_ || !decoder_) {
    if (decoderMissing_) return;
    decoder_ = codec::makeVideoDecoder(codec_);
    if (!decoder_) {
      decoderMissing_ = true;
      return;
    }
    fed_ = long(start) - 1;
  }
  bool decodedAny = false;
  for (size_t pos = size_t(fed_ + 1); pos <= target; ++pos) {
    if (decoder_->decode(stream_.frames[order_[pos]].data, decoded_)) decodedAny = true;
    fed_ = long(pos);
  }
  shown_ = long(target);
  // A frame that does not decode leaves the last picture up.
  if (decodedAny) {
    render::Bitmap bitmap = toBitmap(decoded_);
    if (bitmap.valid()) picture_ = std::make_shared<const render::Bitmap>(std::move(bitmap));
  }
}

}  // namespace orv::movie::video
