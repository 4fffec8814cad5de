#include "runtime/timer.h"

#include "runtime/errors.h"
#include "runtime/form.h"
#include "runtime/runtime.h"

namespace orv {

Timer::Timer(Form& owner, std::string name, int intervalMs, bool enabled)
    : owner_(owner), name_(std::move(name)), interval_(intervalMs), enabled_(enabled) {
  owner_.addTimer(*this);
}

Timer::Timer(Form& owner, std::string name, int intervalMs, bool enabled, Internal)
    : owner_(owner),
      name_(std::move(name)),
      interval_(intervalMs),
      enabled_(enabled),
      internal_(true) {}

Timer::~Timer() {
  detach();
  if (!internal_) owner_.removeTimer(*this);
}

void Timer::setInterval(int intervalMs) {
  if (intervalMs < 0 || intervalMs > 65535) raiseError(err::InvalidPropertyValue);
  interval_ = intervalMs;
  sync();
}

void Timer::setEnabled(bool enabled) {
  enabled_ = enabled;
  sync();
}

void Timer::tick() {
  if (!enabled_ || interval_ == 0 || !onTimer) return;
  owner_.runtime().dispatch(onTimer);
}

void Timer::attach(Backend& backend, FormPeer& parent) {
  peer_ = backend.createTimer(*this, parent);
  sync();
}

void Timer::detach() {
  if (peer_) peer_->stop();
  peer_.reset();
}

void Timer::sync() {
  if (!peer_) return;
  if (enabled_ && interval_ > 0)
    peer_->start(interval_);
  else
    peer_->stop();
}

}  // namespace orv
