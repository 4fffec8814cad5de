#pragma once
// Decoding of a movie's stream sound block by block (SoundStreamHead, SoundStreamBlock).
// MP3 blocks go through one decoder for the whole stream, so the frames' shared bit
// reservoir carries over from block to block.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "movie/codec/mp3_decoder.h"
#include "movie/codec/speech_decoder.h"
#include "movie/swf/types.h"

namespace orv::movie::sound {

class StreamSoundDecoder {
 public:
  explicit StreamSoundDecoder(const swf::SoundStreamHead& head);

  // Appends the interleaved samples of one SoundStreamBlock's data. False when the
  // block cannot be decoded (nothing is appended for it) or the format is unsupported.
  bool decodeBlock(std::span<const uint8_t> block, std::vector<int16_t>& pcm);

  // The rate and channel count of what decodeBlock() appends.
  int sampleRate() const;
  int channels() const;

 private:
  swf::AudioFormat format_;
  std::unique_ptr<codec::Mp3Decoder> mp3_;
  bool mp3Broken_ = false;
  std::unique_ptr<codec::SpeechDecoder> speech_;  // Nellymoser and Speex
  bool speechMissing_ = false;
};

}  // namespace orv::movie::sound
