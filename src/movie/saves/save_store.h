#pragma once
// Where a movie's local shared objects live on disk, laid out as a Flash player lays out
// a local movie's: under the store's folder, the movie's path (its drive letter as a
// folder, then its folders, then the movie's file name as a folder), then NAME.sol. The
// `localPath` a movie asks for picks a folder on that way instead.
//
// Files are written under a temporary name and renamed, so a crash or a full disk never
// leaves half a save; a file that does not read is left alone until the movie saves anew.
// A Flash player's own save folder, when given, is read for a save Orvanta has none of yet.
#include <optional>
#include <string>
#include <vector>

#include "movie/saves/sol_file.h"

namespace orv::movie::saves {

class SaveStore {
 public:
  // What a movie may keep in one shared object.
  static constexpr size_t kMaxBytesPerMovie = 1 << 20;

  // `folder` empty: the store keeps nothing on disk. `flashPlayerFolder`: a Flash
  // player's "#SharedObjects" folder to read saves from once, or empty.
  explicit SaveStore(std::string folder = {}, std::string flashPlayerFolder = {})
      : folder_(std::move(folder)), flashPlayer_(std::move(flashPlayerFolder)) {}

  bool keepsFiles() const { return !folder_.empty(); }

  // The file of shared object `name` of the movie at `moviePath` (a Windows or POSIX
  // path), in `localPath` ("" for the movie's own folder, "/" or a leading part of the
  // movie's path, with forward slashes). nullopt for names and local paths a Flash player
  // refuses: characters it does not take, "." or ".." parts, a local path that is not on
  // the way to the movie.
  std::optional<std::string> fileFor(const std::string& moviePath, const std::string& localPath,
                                     const std::string& name) const;

  struct Loaded {
    std::optional<SolFile> file;  // nullopt: nothing kept yet, or unreadable
    std::string problem;          // why a file that was there did not read
  };
  // The kept save at `file`, or else the Flash player's for the same movie and name.
  Loaded load(const std::string& file, const std::string& moviePath,
              const std::string& name) const;
  // The same as bytes, for a caller that reads the members itself (AMF3).
  struct LoadedBytes {
    std::optional<std::vector<uint8_t>> bytes;  // nullopt: nothing kept yet, or unreadable
    std::string path;                           // the file they came from
    std::string problem;                        // why a file that was there did not read
  };
  LoadedBytes loadBytes(const std::string& file, const std::string& moviePath,
                        const std::string& name) const;
  // Writes `sol` as `file` (folders made as needed); false when it could not be written,
  // in which case whatever was there before is still there.
  bool save(const std::string& file, const SolFile& sol) const;
  bool saveBytes(const std::string& file, const std::vector<uint8_t>& bytes) const;
  // Takes the save at `file` away (SharedObject.clear).
  void remove(const std::string& file) const;

  // Whether `name` is a shared object name a Flash player takes.
  static bool validName(const std::string& name);

 private:
  // The movie's path as folders: drive letter (if any), folders, file name.
  static std::optional<std::vector<std::string>> movieFolders(const std::string& moviePath);

  std::string folder_;
  std::string flashPlayer_;
};

}  // namespace orv::movie::saves
