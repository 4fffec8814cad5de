#include "movie/sound/stream_sound.h"

#include "movie/sound/swf_sound.h"

namespace orv::movie::sound {

StreamSoundDecoder::StreamSoundDecoder(const swf::SoundStreamHead& head) : format_(head.stream) {}

int StreamSoundDecoder::sampleRate() const {
  if (mp3_ && mp3_->format().sampleRate > 0) return mp3_->format().sampleRate;
  if (const int speech = speechSampleRate(format_)) return speech;
  return int(format_.rate);
}

int StreamSoundDecoder::channels() const {
  if (mp3_ && mp3_->format().channels > 0) return mp3_->format().channels;
  if (speechSampleRate(format_)) return 1;
  return format_.stereo ? 2 : 1;
}

bool StreamSoundDecoder::decodeBlock(std::span<const uint8_t> block, std::vector<int16_t>& pcm) {
  const int channelCount = format_.stereo ? 2 : 1;
  DecodeResult r;
  switch (format_.format) {
    case swf::SoundFormat::PcmNative:
    case swf::SoundFormat::PcmLittle:
      r = decodePcm(block, format_.is16Bit, channelCount, int(format_.rate));
      break;
    case swf::SoundFormat::Adpcm:  // every block is a complete ADPCM packet sequence
      r = decodeAdpcm(block, channelCount, int(format_.rate));
      break;
    case swf::SoundFormat::Mp3: {
      // SampleCount (UI16) and SeekSamples (SI16), then whole MP3 frames.
      if (block.size() < 4 || mp3Broken_) return false;
      if (!mp3_) mp3_ = codec::makeMp3Decoder();
      if (!mp3_) return false;
      const size_t before = pcm.size();
      if (!mp3_->feed(block.subspan(4), pcm)) {
        pcm.resize(before);
        mp3Broken_ = true;
        return false;
      }
      return true;
    }
    case swf::SoundFormat::Nellymoser16k:
    case swf::SoundFormat::Nellymoser8k:
    case swf::SoundFormat::Nellymoser:
    case swf::SoundFormat::Speex: {
      if (!speech_ && !speechMissing_) {
        speech_ = makeSpeechDecoder(format_);
        speechMissing_ = !speech_;
      }
      return speech_ && speech_->decode(block, pcm);
    }
    default:
      return false;
  }
  if (!r.ok()) return false;
  pcm.insert(pcm.end(), r.audio.samples.begin(), r.audio.samples.end());
  return true;
}

}  // namespace orv::movie::sound
