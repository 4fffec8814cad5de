#include "movie/avm2_host/movie_scripts.h"

#include "movie/abc/reader.h"
#include "movie/avm2/machine.h"
#include "movie/flash/timers.h"
#include "movie/swf/types.h"

namespace orv::movie {

namespace {

constexpr double kDefaultLimitMs = 15000;

}  // namespace

struct MovieScripts::TraceHost : avm2::Host {
  std::function<void(const std::string&)> sink;
  std::vector<std::string>* errors = nullptr;
  double clock = 0;
  bool pointerHidden = false;
  void setPointerHidden(bool hidden) override { pointerHidden = hidden; }
  void trace(std::string_view line) override {
    if (sink) sink(std::string(line));
  }
  void uncaughtError(std::string_view text) override { errors->emplace_back(text); }
  double clockMs() override { return clock; }
};

MovieScripts::MovieScripts(std::shared_ptr<const swf::Movie> movie,
                           std::function<void(const std::string&)> trace, double timeLimitMs)
    : movie_(std::move(movie)), host_(std::make_unique<TraceHost>()) {
  host_->sink = std::move(trace);
  host_->errors = &errors_;
  machine_ = std::make_unique<avm2::Machine>(host_.get());
  machine_->swfVersion = movie_->header.version;
  machine_->frameRoots.push_back(&held_);
  timeLimitMs_ = timeLimitMs > 0 ? timeLimitMs : kDefaultLimitMs;
  framesRun_.assign(movie_->root.frames.size(), false);
}

MovieScripts::~MovieScripts() = default;

void MovieScripts::runGuarded(const std::function<void()>& work) {
  avm2::Machine& m = *machine_;
  try {
    work();
  } catch (avm2::ScriptThrow& t) {
    std::string text;
    try {
      text = m.toText(t.value);
    } catch (avm2::ScriptThrow&) {
      text = "an error that cannot be printed";
    }
    errors_.push_back(text);
  }
}

void MovieScripts::frameReached(int frame) {
  if (frame < 0 || static_cast<size_t>(frame) >= framesRun_.size() || framesRun_[frame]) return;
  framesRun_[frame] = true;
  avm2::Machine& m = *machine_;
  m.setTimeLimit(timeLimitMs_);
  const swf::Frame& f = movie_->root.frames[frame];
  for (const swf::DoAbc& tag : f.abc) {
    abc::ReadResult read = abc::readAbc(tag.bytes);
    if (!read) {
      errors_.push_back("VerifyError: " + read.error.message());
      continue;
    }
    std::string error;
    avm2::AbcUnit* unit = m.load(read.file, error);
    if (!unit) {
      errors_.push_back("VerifyError: " + error);
      continue;
    }
    if (!(tag.flags & swf::DoAbc::kLazyInitialize))
      runGuarded([&] { m.runEntryScript(*unit); });
  }
  if (!documentMade_) makeDocument(f);
  // Between frames no script runs: what the scripts can no longer reach is freed.
  if (m.depth == 0) m.collect();
}

double MovieScripts::clockMs() const { return host_->clock; }
bool MovieScripts::pointerHidden() const { return host_->pointerHidden; }

void MovieScripts::advanceClock(double ms) {
  double until = host_->clock + (ms > 0 ? ms : 0);
  avm2::Machine& m = *machine_;
  m.setTimeLimit(timeLimitMs_);
  runGuarded([&] { avm2::runDueTimers(m, until, [&](double t) { host_->clock = t; }); });
  host_->clock = until;
}

void MovieScripts::makeDocument(const swf::Frame& f) {
  avm2::Machine& m = *machine_;
  for (const swf::SymbolClass& link : f.symbolClasses) {
    if (link.id != 0) continue;
    documentMade_ = true;
    runGuarded([&] {
      avm2::ClassObject* cls = m.findClass(link.className);
      if (!cls) m.fail(avm2::ErrorClass::ReferenceError, 1065, {link.className});
      // The root is a display object: a document class that is no Sprite cannot be one.
      avm2::ClassObject* sprite = m.findClass("flash.display.Sprite");
      if (sprite && !cls->isSubclassOf(sprite)) {
        std::string name(cls->name->view());
        if (size_t dot = name.rfind('.'); dot != std::string::npos) name.replace(dot, 1, "::");
        try {
          m.fail(avm2::ErrorClass::TypeError, 2023, {name + "$"});
        } catch (avm2::ScriptThrow& t) {
          m.traceLine(m.toText(t.value));  // the player reports it where scripts trace
          throw;
        }
      }
      held_.push_back(m.construct(avm2::Value(static_cast<avm2::Object*>(cls)), {}));
    });
  }
}

}  // namespace orv::movie
