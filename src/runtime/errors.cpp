#include "runtime/errors.h"

namespace orv {

std::string errorText(int number) {
  switch (number) {
    case err::InvalidProcedureCall:
      return "Invalid procedure call or argument";
    case err::FileNotFound:
      return "File not found";
    case err::PermissionDenied:
      return "Permission denied";
    case err::PathFileAccess:
      return "Path/File access error";
    case err::PathNotFound:
      return "Path not found";
    case err::InvalidPropertyValue:
      return "Invalid property value";
    case err::CantSizeMinMax:
      return "A form can't be moved or sized while minimized or maximized";
    case err::CantCreateObject:
      return "ActiveX component can't create object";
    case err::DialogCancelled:
      return "Cancel was selected.";
    default:
      return "Application-defined or object-defined error";
  }
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, errorText(number)) {}

RuntimeError::RuntimeError(int number, const std::string& text)
    : std::runtime_error(text), number_(number), text_(text) {}

void raiseError(int number) { throw RuntimeError(number); }

std::string untrappedErrorReport(const RuntimeError& error) {
  return "Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.text();
}

}  // namespace orv
