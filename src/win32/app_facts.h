#pragma once

#include <string>

namespace orv::win32 {

// The program file's full path, as GetModuleFileNameA gives it.
std::string programFile();
// "C:\dir\prog.exe" -> "C:\dir" (no trailing backslash).
std::string directoryOf(const std::string& file);
// "C:\dir\prog.exe" -> "prog".
std::string baseNameOf(const std::string& file);
// The text after the program name of a command line, quotes kept, leading blanks gone.
std::string argumentsOf(const std::string& commandLine);
// The name of the mutex that marks a running instance of the program file `file`: the
// same for every spelling of the path's case.
std::string instanceMutexName(const std::string& file);
// Whether two program paths name the same file, letter case aside.
bool samePath(const std::string& a, const std::string& b);

}  // namespace orv::win32
