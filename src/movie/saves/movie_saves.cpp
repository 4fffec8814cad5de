#include "movie/saves/movie_saves.h"

#include <map>
#include <mutex>

namespace orv::movie::saves {

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
  const std::string movie = moviePath.empty() ? "/movie.swf" : moviePath;
  const SaveStore layout("/");
  auto file = layout.fileFor(movie, localPath, name);
  if (!file) return std::nullopt;
  for (char& c : *file)
    if (c == '\\') c = '/';
  return file;
}
}  // namespace

MovieSaves::Kept MovieSaves::read(const std::string& localPath, const std::string& name) const {
  Kept kept;
  if (store_ && store_->keepsFiles()) {
    auto file = store_->fileFor(moviePath_, localPath, name);
    if (!file) {
      kept.refused = true;
      return kept;
    }
    SaveStore::LoadedBytes loaded = store_->loadBytes(*file, moviePath_, name);
    kept.bytes = std::move(loaded.bytes);
    kept.problem = std::move(loaded.problem);
    return kept;
  }
  auto key = keyOf(moviePath_, localPath, name);
  if (!key) {
    kept.refused = true;
    return kept;
  }
  KeptInMemory& memory = keptInMemory();
  std::lock_guard<std::mutex> guard(memory.lock);
  if (auto it = memory.byKey.find(*key); it != memory.byKey.end()) kept.bytes = it->second;
  return kept;
}

bool MovieSaves::write(const std::string& localPath, const std::string& name,
                       const std::vector<uint8_t>& sol) const {
  if (store_ && store_->keepsFiles()) {
    auto file = store_->fileFor(moviePath_, localPath, name);
    return file && store_->saveBytes(*file, sol);
  }
  auto key = keyOf(moviePath_, localPath, name);
  if (!key) return false;
  KeptInMemory& memory = keptInMemory();
  std::lock_guard<std::mutex> guard(memory.lock);
  memory.byKey[*key] = sol;
  return true;
}

void MovieSaves::remove(const std::string& localPath, const std::string& name) const {
  if (store_ && store_->keepsFiles()) {
    if (auto file = store_->fileFor(moviePath_, localPath, name)) store_->remove(*file);
    return;
  }
  if (auto key = keyOf(moviePath_, localPath, name)) {
    KeptInMemory& memory = keptInMemory();
    std::lock_guard<std::mutex> guard(memory.lock);
    memory.byKey.erase(*key);
  }
}

}  // namespace orv::movie::saves
