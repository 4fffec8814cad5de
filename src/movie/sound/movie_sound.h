#pragma once
// A movie's sound as the player hears it: the timeline's StartSound events start event
// sounds (decoded once, kept while the movie is loaded) and its SoundStreamBlocks feed
// one stream voice per clip. Everything ends up in one Mixer that an output pulls on its
// own thread; the rest runs on the program's thread.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "movie/sound/audio_output.h"
#include "movie/sound/mixer.h"
#include "movie/sound/stream_sound.h"
#include "movie/timeline/stage.h"

namespace orv::movie::sound {

class MovieSound final : public TimelineListener {
 public:
  explicit MovieSound(int outputRate = 44100);
  ~MovieSound() override;
  MovieSound(const MovieSound&) = delete;
  MovieSound& operator=(const MovieSound&) = delete;

  // Takes the Sound and StreamBlock events; the others are ignored.
  void onTimelineEvent(Stage& stage, const TimelineEvent& event) override;

  // A StartSound of `movie` (also for button sounds): applies its stop and no-multiple
  // flags, else starts the sound with its loops, in/out points and envelope.
  void startSound(const swf::Movie& movie, const swf::StartSound& start);
  // `clip` shows `frame`, which carries a SoundStreamBlock. The stream is fed ahead of
  // the frame shown, with the blocks of the next frames of the clip's timeline, so that
  // neither the output's latency nor a timer that fires a little late runs it dry. A frame
  // that does not follow the last one shown (a seek, a loop) starts the stream afresh.
  void streamBlock(MovieClip& clip, int frame);
  // Silences the stream sounds (the movie stopped or jumped); event sounds play on.
  void stopStreams();
  // Whether a stream sound is playing (queued sound or waiting for the next block).
  bool streaming() const;
  // After the timeline caught up with the clock: drops the queued stream sound that is
  // more than `leadMs` ahead of the end of the frame shown (the blocks fed ahead are
  // kept), so the sound is back in step with the frames instead of lagging by the time
  // it waited for them.
  void alignStreams(double leadMs);
  // Silences everything and forgets the decoded sounds (a movie was unloaded).
  void reset();
  // Silences every sound playing (stopAllSounds); a stream sounds again from its clip's
  // next block.
  void stopAll();

  // ---- Sounds scripts start (Sound.start, loadSound) ----
  // A script's sound: one of the movie's (id) or one loaded from a file (loaded).
  struct ScriptSound {
    const swf::Movie* movie = nullptr;
    swf::CharacterId id = 0;
    int loaded = 0;
  };
  // Starts `sound` `offsetSeconds` in (each play starts there), `plays` times, for `owner`
  // (whatever stands for who started it; only compared). 0: not started (no such sound,
  // undecodable, or too many voices).
  VoiceId startScriptSound(const ScriptSound& sound, double offsetSeconds, uint32_t plays,
                           const void* owner, float left, float right);
  // Stops the sounds `owner` started (nullptr: anyone's), only those of `sound` unless it
  // names none.
  void stopScriptSounds(const void* owner, const ScriptSound& sound);
  void setScriptGains(const void* owner, float left, float right);
  // The length of `sound` in milliseconds; nullopt when it cannot play.
  std::optional<double> durationMs(const ScriptSound& sound);
  // How far the voice is into the sound, in milliseconds; nullopt once it has ended.
  std::optional<double> positionMs(VoiceId voice) const;
  // Decodes an MP3 file a script loaded; its number for ScriptSound::loaded, 0 when it
  // holds no sound or the loaded sounds are too big already (kMaxCachedSamples).
  int addLoadedSound(std::span<const uint8_t> mp3);
  static constexpr size_t kMaxLoadedSounds = 64;
  // The movie's overall volume: gains on everything it plays.
  void setMasterGains(float left, float right) { mixer_->setMasterGains(left, right); }

  // Plays through `output` (nullptr: none) at its rate. Sounds playing are dropped when
  // the rate changes.
  void setOutput(AudioOutput* output);
  // Pulls mixed sound by hand (no output attached): `frames` stereo frames at rate().
  void mix(int16_t* out, size_t frames) { mixer_->mix(out, frames); }
  int rate() const { return mixer_->outputRate(); }
  Mixer& mixer() { return *mixer_; }

  // Bounds on what a hostile movie can make us hold.
  static constexpr size_t kMaxEventVoices = 64;
  static constexpr size_t kMaxStreams = 16;
  static constexpr size_t kMaxCachedSamples = size_t(128) << 20;
  static constexpr int kMaxFramesAhead = 16;

 private:
  struct Stream {
    std::weak_ptr<DisplayObject> clip;
    const MovieClip* key = nullptr;
    std::unique_ptr<StreamSoundDecoder> decoder;
    VoiceId voice = 0;
    int voiceRate = 0, voiceChannels = 0;
    int shownFrame = -1;  // the clip's frame last shown
    int queuedUpTo = -1;  // the last frame whose block is queued
    // Sample frames queued for each frame after the one shown, oldest first.
    std::vector<std::pair<int, size_t>> queuedAhead;
  };
  // How many frames after the one shown are kept queued.
  int framesAhead(const swf::SoundStreamHead& head) const;
  void queueBlock(Stream& s, int frame, std::span<const uint8_t> block);
  std::shared_ptr<const PcmAudio> decoded(const swf::Movie& movie, swf::CharacterId id);
  void pruneVoices();
  void dropStream(Stream& s);

  std::unique_ptr<Mixer> mixer_;
  AudioOutput* output_ = nullptr;
  const swf::Movie* cachedFor_ = nullptr;
  std::map<swf::CharacterId, std::shared_ptr<const PcmAudio>> cache_;  // null: undecodable
  size_t cachedSamples_ = 0;
  std::map<swf::CharacterId, std::vector<VoiceId>> eventVoices_;
  std::vector<Stream> streams_;
  std::shared_ptr<const PcmAudio> pcmOf(const ScriptSound& sound);
  struct ScriptVoice {
    VoiceId voice = 0;
    const void* owner = nullptr;
    ScriptSound sound;
    int sampleRate = 0;
  };
  std::vector<ScriptVoice> scriptVoices_;
  std::map<int, std::shared_ptr<const PcmAudio>> loaded_;
  size_t loadedSamples_ = 0;
  int nextLoaded_ = 1;
};

}  // namespace orv::movie::sound
