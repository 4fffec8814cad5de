#pragma once

#include <stdexcept>
#include <string>

namespace orv {

// Numbered run-time errors, as the form run-time raises them.
namespace err {
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int FileNotFound = 53;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPropertyValue = 380;
inline constexpr int CantSizeMinMax = 384;
inline constexpr int CantCreateObject = 429;
inline constexpr int DialogCancelled = 32755;
}  // namespace err

// The standard text of a run-time error number ("Invalid property value" for 380).
std::string errorText(int number);

class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(int number);
  RuntimeError(int number, const std::string& text);
  int number() const { return number_; }
  const std::string& text() const { return text_; }

 private:
  int number_;
  std::string text_;
};

[[noreturn]] void raiseError(int number);

// The body of the run-time's report of an error no handler trapped.
std::string untrappedErrorReport(const RuntimeError& error);

}  // namespace orv
