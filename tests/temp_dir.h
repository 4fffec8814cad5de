#pragma once
// A folder of the test's own under the system's temporary folder, made empty and removed
// with the object. Its name is unique (mkdtemp), so tests run in parallel, by several
// builds at once or repeated, never share a file.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace orv::test {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "orv") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for " + prefix);
    path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    // A test may have taken the write permission away; it is given back to clean up.
    std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::filesystem::path operator/(const std::string& name) const { return path / name; }
  // Writes a file in the folder and gives its path.
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
    return (path / name).string();
  }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return (path / name).string();
  }

  std::filesystem::path path;
};

}  // namespace orv::test
