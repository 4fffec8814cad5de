// Local shared objects on the stage's side: kept in the player's save store on disk, or,
// where the player keeps no files, in memory for as long as the process runs (so a movie
// opened anew still finds what it flushed).
#include <map>
#include <mutex>

#include "movie/avm1_host/timeline_bridge.h"

namespace orv::movie::avm1 {

namespace {
struct KeptInMemory {
  std::mutex lock;
  std::map<std::string, std::vector<uint8_t>> byKey;  // .sol bytes by movie, path and name
};
KeptInMemory& keptInMemory() {
  static KeptInMemory kept;
  return kept;
}

// Where the movie's saves go, the same on disk and in memory; nullopt when refused.
std::optional<std::string> keyOf(const std::string& moviePath, const std::string& localPath,
                                 const std::string& name) {
  // A movie given as bytes has no path: its saves are its own all the same.
  const std::string movie = moviePath.empty() ? "/movie.swf" : moviePath;
  const saves::SaveStore layout("/");
  auto file = layout.fileFor(movie, localPath, name);
  if (!file) return std::nullopt;
  for (char& c : *file)
    if (c == '\\') c = '/';
  return file;
}
}  // namespace

ScriptHost::SharedObjectData TimelineBridge::loadSharedObject(const std::string& name,
                                                              const std::string& localPath) {
  if (saveStore && saveStore->keepsFiles()) {
    auto file = saveStore->fileFor(moviePath, localPath, name);
    if (!file) return {true, std::nullopt};
    auto loaded = saveStore->load(*file, moviePath, name);
    if (!loaded.problem.empty() && saveProblems)
      saveProblems("shared object not read: " + loaded.problem);
    return {.data = std::move(loaded.file), .unreadable = !loaded.problem.empty()};
  }
  auto key = keyOf(moviePath, localPath, name);
  if (!key) return {true, std::nullopt};
  KeptInMemory& kept = keptInMemory();
  std::lock_guard<std::mutex> guard(kept.lock);
  auto it = kept.byKey.find(*key);
  if (it == kept.byKey.end()) return {false, std::nullopt};
  std::optional<saves::SolFile> file = saves::readSol(it->second);
  const bool unreadable = !file;
  return {.data = std::move(file), .unreadable = unreadable};
}

bool TimelineBridge::saveSharedObject(const std::string& name, const std::string& localPath,
                                      const saves::SolFile& data) {
  if (saveStore && saveStore->keepsFiles()) {
    auto file = saveStore->fileFor(moviePath, localPath, name);
    return file && saveStore->save(*file, data);
  }
  auto key = keyOf(moviePath, localPath, name);
  if (!key) return false;
  KeptInMemory& kept = keptInMemory();
  std::lock_guard<std::mutex> guard(kept.lock);
  kept.byKey[*key] = saves::writeSol(data);
  return true;
}

void TimelineBridge::removeSharedObject(const std::string& name, const std::string& localPath) {
  if (saveStore && saveStore->keepsFiles()) {
    if (auto file = saveStore->fileFor(moviePath, localPath, name)) saveStore->remove(*file);
    return;
  }
  if (auto key = keyOf(moviePath, localPath, name)) {
    KeptInMemory& kept = keptInMemory();
    std::lock_guard<std::mutex> guard(kept.lock);
    kept.byKey.erase(*key);
  }
}

}  // namespace orv::movie::avm1
