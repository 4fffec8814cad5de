#pragma once
// A movie's ActionScript 3, run on the machine as the root timeline reaches its frames.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "movie/avm2/value.h"

namespace orv::movie {

namespace swf {
struct Movie;
struct Frame;
}
namespace avm2 {
class Machine;
}

class MovieScripts {
 public:
  // `timeLimitMs`: how long one frame's scripts may run (0: the default 15 s).
  MovieScripts(std::shared_ptr<const swf::Movie> movie,
               std::function<void(const std::string&)> trace, double timeLimitMs);
  ~MovieScripts();
  MovieScripts(const MovieScripts&) = delete;
  MovieScripts& operator=(const MovieScripts&) = delete;

  // Runs what root frame `frame` carries, the first time it is reached.
  void frameReached(int frame);
  // The player's clock moved on by `ms`: timers that fell due fire.
  void advanceClock(double ms);
  double clockMs() const;
  bool pointerHidden() const;  // Mouse.hide()
  // Errors nothing caught ("TypeError: Error #1009: ..."), and files that could not load.
  const std::vector<std::string>& errors() const { return errors_; }
  avm2::Machine& machine() { return *machine_; }

 private:
  struct TraceHost;
  void runGuarded(const std::function<void()>& work);
  void makeDocument(const swf::Frame& frame);

  std::shared_ptr<const swf::Movie> movie_;
  std::unique_ptr<TraceHost> host_;
  std::unique_ptr<avm2::Machine> machine_;
  double timeLimitMs_;
  std::vector<bool> framesRun_;
  bool documentMade_ = false;
  std::vector<std::string> errors_;
  std::vector<avm2::Value> held_;  // the document object: kept across collections
};

}  // namespace orv::movie
