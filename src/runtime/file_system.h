#pragma once

#include <string>

namespace orv {

// A program path ("C:\dir\file", backslashes) as the machine's file system names it.
std::string nativePath(const std::string& programPath);

// The file-system object: FileExists and CreateTextFile.
class FileSystemObject {
 public:
  bool FileExists(const std::string& path) const;
  // Creates (or with overwrite, empties) a text file and closes it at once. Raises
  // error 58 when it exists and overwrite is off, 70/76 when it cannot be created.
  void CreateTextFile(const std::string& path, bool overwrite = true, bool unicode = false) const;
};

}  // namespace orv
