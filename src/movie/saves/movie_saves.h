#pragma once
// The local shared objects of one movie as .sol files: in the player's save store on disk,
// or, where the player keeps no files, in memory for as long as the process runs (so a
// movie opened anew still finds what it flushed). Both script machines keep theirs here.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "movie/saves/save_store.h"

namespace orv::movie::saves {

class MovieSaves {
 public:
  // `store` null or keeping no files: saves stay in memory. `moviePath` empty: a movie
  // given as bytes, whose saves are its own all the same.
  MovieSaves(const SaveStore* store, std::string moviePath)
      : store_(store), moviePath_(std::move(moviePath)) {}

  struct Kept {
    bool refused = false;                       // a name or local path a Flash player refuses
    std::optional<std::vector<uint8_t>> bytes;  // the .sol file; nullopt: nothing kept yet
    std::string problem;                        // why a file that was there did not read
  };
  Kept read(const std::string& localPath, const std::string& name) const;
  // False when refused or it could not be kept (what was kept before stays).
  bool write(const std::string& localPath, const std::string& name,
             const std::vector<uint8_t>& sol) const;
  void remove(const std::string& localPath, const std::string& name) const;

 private:
  const SaveStore* store_;
  std::string moviePath_;
};

}  // namespace orv::movie::saves
