// The MP3 decoder seam on libmpg123, decoding from memory in feed mode.
#include <mpg123.h>

#include <mutex>

#include "movie/codec/mp3_decoder.h"

namespace orv::movie::codec {

namespace {

class Mpg123Decoder final : public Mp3Decoder {
 public:
  Mpg123Decoder() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });  // needed by libmpg123 before 1.27
    handle_ = mpg123_new(nullptr, nullptr);
    if (!handle_) return;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Signed 16-bit output at whatever rate and channel count the stream has.
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
      mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(handle_) != MPG123_OK) {
      mpg123_delete(handle_);
      handle_ = nullptr;
    }
  }
  ~Mpg123Decoder() override {
    if (handle_) mpg123_delete(handle_);
  }
  Mpg123Decoder(const Mpg123Decoder&) = delete;
  Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

  bool feed(std::span<const uint8_t> bytes, std::vector<int16_t>& pcm) override {
    if (!handle_ || failed_) return false;
    const unsigned char* in = bytes.data();
    size_t inSize = bytes.size();
    alignas(int16_t) unsigned char buffer[32768];
    int idle = 0;  // calls that neither produced output nor asked for input
    for (;;) {
      size_t produced = 0;
      int rc = mpg123_decode(handle_, in, inSize, buffer, sizeof buffer, &produced);
      in = nullptr;  // the input is taken whole by the first call
      inSize = 0;
      if (rc == MPG123_NEW_FORMAT) {
        long rate = 0;
        int channels = 0, encoding = 0;
        mpg123_getformat(handle_, &rate, &channels, &encoding);
        if (format_.sampleRate != 0 && (format_.sampleRate != rate || format_.channels != channels))
          return fail();
        format_ = {int(rate), channels};
      }
      if (produced > 0) {
        const int16_t* samples = reinterpret_cast<const int16_t*>(buffer);
        pcm.insert(pcm.end(), samples, samples + produced / sizeof(int16_t));
      }
      if (rc == MPG123_NEED_MORE) return true;
      if (rc == MPG123_ERR || rc == MPG123_DONE) return rc == MPG123_DONE ? true : fail();
      // MPG123_OK or MPG123_NEW_FORMAT: more output may be waiting.
      idle = produced > 0 ? 0 : idle + 1;
      if (idle > 64) return fail();
    }
  }

  Mp3Format format() const override { return format_; }
  bool usable() const { return handle_ != nullptr; }

 private:
  bool fail() {
    failed_ = true;
    return false;
  }
  mpg123_handle* handle_ = nullptr;
  Mp3Format format_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<Mp3Decoder> makeMp3Decoder() {
  auto decoder = std::make_unique<Mpg123Decoder>();
  if (!decoder->usable()) return nullptr;
  return decoder;
}

}  // namespace orv::movie::codec
