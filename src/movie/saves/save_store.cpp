#include "movie/saves/save_store.h"

#include <algorithm>
#include <cctype>

#include "files/files.h"

namespace orv::movie::saves {

namespace {

std::vector<std::string> split(const std::string& s, const std::string& separators) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : s) {
    if (separators.find(c) != std::string::npos) {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

// A folder or file name that is safe to put on disk as it is.
bool safePart(const std::string& part) {
  if (part.empty() || part == "." || part == ".." || part.size() > 255) return false;
  for (unsigned char c : part)
    if (c < 32 || std::string_view("<>:\"|?*\\/").find(char(c)) != std::string_view::npos)
      return false;
  return true;
}

bool sameFolder(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A save bigger than any a movie may keep is not read.
constexpr size_t kMaxFileBytes = 16 * SaveStore::kMaxBytesPerMovie;

}  // namespace

bool SaveStore::validName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  if (name.find_first_of("~%&\\;:\"',<>?# ") != std::string::npos) return false;
  // Slashes make folders; none of them may be empty or climb out.
  for (const std::string& part : split(name, "/"))
    if (!safePart(part)) return false;
  return true;
}

std::optional<std::vector<std::string>> SaveStore::movieFolders(const std::string& moviePath) {
  std::vector<std::string> folders;
  for (std::string part : split(moviePath, "/\\")) {
    if (part.empty()) continue;
    // "C:" is the drive: the letter alone makes the folder.
    if (folders.empty() && part.size() == 2 && part[1] == ':' &&
        std::isalpha(static_cast<unsigned char>(part[0])))
      part = std::string(1, char(std::toupper(static_cast<unsigned char>(part[0]))));
    if (!safePart(part)) return std::nullopt;
    folders.push_back(part);
  }
  if (folders.empty()) return std::nullopt;
  return folders;
}

std::optional<std::string> SaveStore::fileFor(const std::string& moviePath,
                                              const std::string& localPath,
                                              const std::string& name) const {
  if (!validName(name)) return std::nullopt;
  auto folders = movieFolders(moviePath);
  if (!folders) return std::nullopt;
  size_t keep = folders->size();
  if (!localPath.empty()) {
    // A local path names folders from the top of the movie's path, which it must lead to.
    std::vector<std::string> wanted;
    for (const std::string& part : split(localPath, "/"))
      if (!part.empty()) wanted.push_back(part);
    if (localPath[0] != '/' || wanted.size() > folders->size()) return std::nullopt;
    for (size_t i = 0; i < wanted.size(); ++i) {
      std::string w = wanted[i];
      if (i == 0 && w.size() == 2 && w[1] == ':') w.resize(1);
      if (!sameFolder(w, (*folders)[i])) return std::nullopt;
    }
    keep = wanted.size();
  }
  std::string file = folder_;
  for (size_t i = 0; i < keep; ++i) file = files::join(file, (*folders)[i]);
  for (const std::string& part : split(name, "/")) file = files::join(file, part);
  return file + ".sol";
}

SaveStore::LoadedBytes SaveStore::loadBytes(const std::string& file, const std::string& moviePath,
                                            const std::string& name) const {
  LoadedBytes loaded;
  if (!keepsFiles()) return loaded;
  if (files::isFile(file) || files::isFile(file + ".old")) {
    loaded.bytes = files::readReplaced(file, kMaxFileBytes);
    if (!loaded.bytes) loaded.problem = "cannot read " + file;
    loaded.path = file;
    return loaded;
  }
  // None of ours yet: a Flash player's, under "#SharedObjects/<any>/localhost/" and the
  // movie's path with or without its drive letter.
  auto folders = movieFolders(moviePath);
  if (flashPlayer_.empty() || !folders || !validName(name)) return loaded;
  for (const std::string& profile : files::list(flashPlayer_)) {
    for (size_t skip = 0; skip < 2 && skip < folders->size(); ++skip) {
      std::string theirs = files::join(files::join(flashPlayer_, profile), "localhost");
      for (size_t i = skip; i < folders->size(); ++i) theirs = files::join(theirs, (*folders)[i]);
      for (const std::string& part : split(name, "/")) theirs = files::join(theirs, part);
      theirs += ".sol";
      if (!files::isFile(theirs)) continue;
      if (auto bytes = files::read(theirs, kMaxFileBytes))
        if (readSolEnvelope(*bytes)) {
          loaded.bytes = std::move(bytes);
          loaded.path = theirs;
          return loaded;
        }
    }
  }
  return loaded;
}

SaveStore::Loaded SaveStore::load(const std::string& file, const std::string& moviePath,
                                  const std::string& name) const {
  Loaded loaded;
  LoadedBytes bytes = loadBytes(file, moviePath, name);
  loaded.problem = std::move(bytes.problem);
  if (!bytes.bytes) return loaded;
  loaded.file = readSol(*bytes.bytes, &loaded.problem);
  if (!loaded.file) loaded.problem = bytes.path + ": " + loaded.problem;
  return loaded;
}

bool SaveStore::save(const std::string& file, const SolFile& sol) const {
  return saveBytes(file, writeSol(sol));
}

bool SaveStore::saveBytes(const std::string& file, const std::vector<uint8_t>& bytes) const {
  if (!keepsFiles()) return false;
  if (!files::makeDirectories(files::parent(file))) return false;
  const std::string temporary = file + ".writing";
  if (!files::write(temporary, bytes.data(), bytes.size()) || !files::replace(temporary, file)) {
    files::remove(temporary);
    return false;
  }
  return true;
}

void SaveStore::remove(const std::string& file) const {
  if (!keepsFiles()) return;
  files::remove(file);
  files::remove(file + ".old");
}

}  // namespace orv::movie::saves
