#include "movie/timeline/own_folder.h"

#include "files/files.h"

namespace orv::movie {

std::optional<std::string> fileInOwnFolder(const std::string& folder, const std::string& url) {
  if (folder.empty() || url.empty() || url.size() > 1024) return std::nullopt;
  // Query and fragment are not part of the file name.
  std::string path = url.substr(0, url.find_first_of("?#"));
  if (path.find(':') != std::string::npos) return std::nullopt;  // http:, file:, C:
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  for (unsigned char c : name)
    if (c < 32 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
      return std::nullopt;
  const char last = folder.back();
  return folder + (last == '/' || last == '\\' ? "" : "/") + name;
}

std::optional<std::vector<uint8_t>> readOwnFolderFile(const std::string& folder,
                                                      const std::string& url, size_t maxBytes) {
  std::optional<std::string> path = fileInOwnFolder(folder, url);
  if (!path) return std::nullopt;
  return files::read(*path, maxBytes);
}

std::string shownMovieUrl(const std::string& path) {
  if (path.empty()) return {};
  const size_t slash = path.find_last_of("/\\");
  std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  return "file:///" + name.substr(0, name.find_first_of("?#"));
}

}  // namespace orv::movie
