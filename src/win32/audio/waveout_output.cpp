#include "win32/audio/waveout_output.h"

namespace orv::win32 {

WaveOutOutput::WaveOutOutput(int sampleRate, int bufferMs, int bufferCount)
    : sampleRate_(sampleRate),
      framesPerBuffer_(size_t(sampleRate) * size_t(bufferMs) / 1000),
      bufferCount_(bufferCount) {}

WaveOutOutput::~WaveOutOutput() { stop(); }

void WaveOutOutput::start(movie::sound::AudioSource& source) {
  stop();
  source_ = &source;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = DWORD(sampleRate_);
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  bufferDone_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!bufferDone_) return;
  if (waveOutOpen(&device_, WAVE_MAPPER, &format, DWORD_PTR(bufferDone_), 0, CALLBACK_EVENT) !=
      MMSYSERR_NOERROR) {
    device_ = nullptr;  // no sound device: play nothing, quietly
    CloseHandle(bufferDone_);
    bufferDone_ = nullptr;
    return;
  }
  buffers_.assign(size_t(bufferCount_), std::vector<int16_t>(framesPerBuffer_ * 2));
  headers_.assign(size_t(bufferCount_), WAVEHDR{});
  for (int i = 0; i < bufferCount_; ++i) {
    WAVEHDR& h = headers_[size_t(i)];
    h.lpData = reinterpret_cast<LPSTR>(buffers_[size_t(i)].data());
    h.dwBufferLength = DWORD(framesPerBuffer_ * 4);
    waveOutPrepareHeader(device_, &h, sizeof h);
  }
  stopping_ = false;
  thread_ = std::thread([this] { run(); });
}

void WaveOutOutput::stop() {
  if (thread_.joinable()) {
    stopping_ = true;
    SetEvent(bufferDone_);
    thread_.join();
  }
  if (device_) {
    waveOutReset(device_);  // hands every queued buffer back at once
    for (WAVEHDR& h : headers_) waveOutUnprepareHeader(device_, &h, sizeof h);
    waveOutClose(device_);
    device_ = nullptr;
  }
  if (bufferDone_) {
    CloseHandle(bufferDone_);
    bufferDone_ = nullptr;
  }
  headers_.clear();
  buffers_.clear();
  source_ = nullptr;
}

void WaveOutOutput::refill(WAVEHDR& header) {
  source_->mix(reinterpret_cast<int16_t*>(header.lpData), framesPerBuffer_);
  header.dwFlags &= ~DWORD(WHDR_DONE);
  waveOutWrite(device_, &header, sizeof header);
}

void WaveOutOutput::run() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  for (WAVEHDR& h : headers_) refill(h);
  while (!stopping_) {
    WaitForSingleObject(bufferDone_, 200);
    for (WAVEHDR& h : headers_)
      if (!stopping_ && (h.dwFlags & WHDR_DONE)) refill(h);
  }
}

}  // namespace orv::win32
