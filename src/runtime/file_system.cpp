#include "runtime/file_system.h"

#include <fstream>
#include <system_error>

#include "runtime/errors.h"

namespace orv {

std::filesystem::path nativePath(const std::string& programPath) {
#ifdef _WIN32
  return std::filesystem::path(programPath);
#else
  std::string p = programPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  return std::filesystem::path(p);
#endif
}

bool FileSystemObject::FileExists(const std::string& path) const {
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(nativePath(path), ec);
}

void FileSystemObject::CreateTextFile(const std::string& path, bool overwrite, bool unicode) const {
  const auto file = nativePath(path);
  std::error_code ec;
  if (!overwrite && std::filesystem::exists(file, ec))
    throw RuntimeError(58, "File already exists");
  if (!std::filesystem::is_directory(file.parent_path().empty() ? "." : file.parent_path(), ec))
    raiseError(err::PathNotFound);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) raiseError(err::PermissionDenied);
  if (unicode) out.write("\xFF\xFE", 2);  // a Unicode text file starts with its byte-order mark
  out.close();
  if (!out) raiseError(err::PermissionDenied);
}

}  // namespace orv
