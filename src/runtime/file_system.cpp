#include "runtime/file_system.h"

#include "files/files.h"
#include "runtime/errors.h"

namespace orv {

std::string nativePath(const std::string& programPath) {
#ifdef _WIN32
  return programPath;
#else
  std::string p = programPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
#endif
}

bool FileSystemObject::FileExists(const std::string& path) const {
  return !path.empty() && files::isFile(nativePath(path));
}

void FileSystemObject::CreateTextFile(const std::string& path, bool overwrite, bool unicode) const {
  const std::string file = nativePath(path);
  if (!overwrite && (files::isFile(file) || files::isDirectory(file)))
    throw RuntimeError(58, "File already exists");
  const std::string folder = files::parent(file);
  if (!files::isDirectory(folder.empty() ? "." : folder)) raiseError(err::PathNotFound);
  // A Unicode text file starts with its byte-order mark.
  if (!files::write(file, "\xFF\xFE", unicode ? 2 : 0)) raiseError(err::PermissionDenied);
}

}  // namespace orv
