#pragma once
// A video stream of the movie (DefineVideoStream and its VideoFrame tags) as one placed
// instance shows it: the picture of whichever frame the timeline asks for, decoded
// forwards from the last picture or from the nearest key frame before it.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "movie/codec/video_decoder.h"
#include "movie/render/raster/paint.h"
#include "movie/swf/types.h"

namespace orv::movie::video {

class FlvStream;  // flv_stream.h

class EmbeddedVideo {
 public:
  explicit EmbeddedVideo(const swf::VideoStreamDef& stream);
  ~EmbeddedVideo();

  // The picture of the stream's frame `frame`, or of the latest frame before it the
  // stream holds; null before the first, or when nothing decodes.
  // A NetStream attached by a script shows its current picture instead (null: none).
  std::shared_ptr<const render::Bitmap> pictureAt(int frame);

  // The NetStream's stream shown from now on (nullptr: the stream's own frames again).
  void attach(std::shared_ptr<FlvStream> stream);
  const std::shared_ptr<FlvStream>& attached() const { return attached_; }
  void clear();  // the picture shown now goes; the next one comes up
  // Smoothing as a script set it, else as the stream's definition says.
  void setSmoothing(bool on) { smoothing_ = on; }
  bool smoothing() const { return smoothing_.value_or(stream_.smoothing); }

 private:
  void decodeUpTo(size_t position);

  const swf::VideoStreamDef& stream_;
  const codec::VideoCodec codec_;
  std::vector<size_t> order_;    // the stream's frames sorted by frame number
  std::vector<bool> keyFrame_;   // by position in order_
  std::unique_ptr<codec::VideoDecoder> decoder_;
  bool decoderMissing_ = false;
  long fed_ = -1;                // position in order_ of the last frame fed to the decoder
  long shown_ = -1;              // position whose picture `picture_` holds
  codec::VideoPicture decoded_;
  std::shared_ptr<const render::Bitmap> picture_;
  std::shared_ptr<FlvStream> attached_;
  std::shared_ptr<const render::Bitmap> cleared_;
  std::optional<bool> smoothing_;
};

}  // namespace orv::movie::video
