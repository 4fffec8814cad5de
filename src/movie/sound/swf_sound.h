#pragma once
// Decoding of the sound formats a movie stores (DefineSound, SoundStreamBlock):
// uncompressed PCM, SWF ADPCM, MP3 and the speech codecs.
#include <cstdint>
#include <memory>
#include <span>

#include "movie/codec/speech_decoder.h"
#include "movie/sound/mixer.h"
#include "movie/sound/pcm_audio.h"
#include "movie/swf/types.h"

namespace orv::movie::sound {

// Uncompressed samples: 8-bit ones are unsigned, 16-bit ones little-endian (the byte
// order of the machines "native" movies were made on). A trailing partial frame is dropped.
DecodeResult decodePcm(std::span<const uint8_t> data, bool is16Bit, int channels, int sampleRate);

// SWF ADPCM: a 2-bit code size (2 to 5 bits per sample), then packets of 4096 samples
// per channel, each starting with a 16-bit sample and a 6-bit step index per channel.
DecodeResult decodeAdpcm(std::span<const uint8_t> data, int channels, int sampleRate);

// The speech codecs' sounds (Nellymoser at 8 kHz, 16 kHz or the format's rate; Speex at
// 16 kHz), mono: their rate (0 for other formats), and a decoder for one stream (null for
// other formats, or without a library).
int speechSampleRate(const swf::AudioFormat& format);
std::unique_ptr<codec::SpeechDecoder> makeSpeechDecoder(const swf::AudioFormat& format);
DecodeResult decodeSpeech(const swf::AudioFormat& format, std::span<const uint8_t> data);

// A DefineSound's data in any supported format (PCM, ADPCM, MP3, Nellymoser, Speex); an
// error for data that does not decode.
DecodeResult decodeSound(const swf::SoundDef& sound);

// How a StartSound's SOUNDINFO plays a sound: its loop count, in and out points and
// envelope (levels 0..32768 become 0..1).
VoiceSettings voiceSettingsFor(const swf::SoundInfo& info);

}  // namespace orv::movie::sound
