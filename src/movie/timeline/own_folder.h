#pragma once
// Where a movie may read other files from: only its own folder. A relative URL names a
// file there by its last part; URLs with a scheme or a drive and names that leave the
// folder name nothing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orv::movie {

// The native path of `url` inside `folder`, or nothing when the URL may not be read.
std::optional<std::string> fileInOwnFolder(const std::string& folder, const std::string& url);

// The bytes of that file, at most `maxBytes`; nothing when it cannot be read.
std::optional<std::vector<uint8_t>> readOwnFolderFile(const std::string& folder,
                                                      const std::string& url, size_t maxBytes);

// The URL scripts see for a movie at `path` (or URL): its file name only, not the
// folders it lies in ("file:///NAME.swf"); empty for no path.
std::string shownMovieUrl(const std::string& path);

}  // namespace orv::movie
