// The machine's own errors: the player's numbers, classes and messages.
#include <string>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

namespace {

struct ErrorText {
  int id;
  const char* text;  // %1, %2, %3: the arguments
};

constexpr ErrorText kErrors[] = {
    {1000, "The system is out of memory."},
    {1001, "The method %1 is not implemented."},
    {1002,
     "Number.toPrecision has a range of 1 to 21. Number.toFixed and Number.toExponential have "
     "a range of 0 to 20. Specified value is not within expected range."},
    {1003, "The radix argument must be between 2 and 36; got %1."},
    {1004, "Method %1 was invoked on an incompatible object."},
    {1005, "Array index is not a positive integer (%1)."},
    {1006, "%1 is not a function."},
    {1007, "Instantiation attempted on a non-constructor."},
    {1009, "Cannot access a property or method of a null object reference."},
    {1010, "A term is undefined and has no properties."},
    {1014, "Class %1 could not be found."},
    {1023, "Stack overflow occurred."},
    {1025, "An invalid register %1 was accessed."},
    {1026, "Slot %1 exceeds slotCount=%2 of %3."},
    {1034, "Type Coercion failed: cannot convert %1 to %2."},
    {1035, "Illegal super expression found in method %1."},
    {1037, "Cannot assign to a method %1 on %2."},
    {1040, "The right-hand side of instanceof must be a class or function."},
    {1041, "The right-hand side of operator must be a class."},
    {1050, "Cannot convert %1 to primitive."},
    {1052, "Invalid URI passed to %1 function."},
    {1056, "Cannot create property %1 on %2."},
    {1063, "Argument count mismatch on %1. Expected %2, got %3."},
    {1064, "Cannot call method %1 as constructor."},
    {1065, "Variable %1 is not defined."},
    {1066, "The form function('function body') is not supported."},
    {1069, "Property %1 not found on %2 and there is no default value."},
    {1081, "Property %1 not found on %2 and there is no default value."},
    {1070, "Method %1 not found on %2"},
    {1074, "Illegal write to read-only property %1 on %2."},
    {1075, "Math is not a function."},
    {1076, "Math is not a constructor."},
    {1077, "Illegal read of write-only property %1 on %2."},
    {1080, "Illegal value for namespace."},
    {1083, "The prefix \"%1\" for element \"%2\" is not bound."},
    {1084, "Element or attribute (\"%1\") does not match QName production: QName::=(NCName':')?NCName."},
    {1085, "The element type \"%1\" must be terminated by the matching end-tag \"</%2>\"."},
    {1086, "The %1 method only works on lists containing one item."},
    {1087, "Assignment to indexed XML is not allowed."},
    {1088, "The markup in the document following the root element must be well-formed."},
    {1089, "Assignment to lists with more than one item is not supported."},
    {1090, "XML parser failure: element is malformed."},
    {1091, "XML parser failure: Unterminated CDATA section."},
    {1092, "XML parser failure: Unterminated XML declaration."},
    {1093, "XML parser failure: Unterminated DOCTYPE declaration."},
    {1094, "XML parser failure: Unterminated comment."},
    {1095, "XML parser failure: Unterminated attribute."},
    {1096, "XML parser failure: Unterminated element."},
    {1097, "XML parser failure: Unterminated processing instruction."},
    {1098, "Illegal prefix %1 for no namespace."},
    {1100, "Cannot supply flags when constructing one RegExp from another."},
    {1103, "Class %1 cannot extend final base class."},
    {1104, "Attribute \"%1\" was already specified for element \"%2\"."},
    {1112, "Argument count mismatch on class coercion.  Expected 1, got %1."},
    {1115, "%1 is not a constructor."},
    {1116, "second argument to Function.prototype.apply must be an array."},
    {1117, "Invalid XML name: %1."},
    {1118, "Illegal cyclical loop between nodes."},
    {1119, "Delete operator is not supported with operand of type %1."},
    {1120, "Cannot delete property %1 on %2."},
    {1123, "Filter operator not supported on type %1."},
    {1125, "The index %1 is out of range %2."},
    {1126, "Cannot change the length of a fixed Vector."},
    {1127, "Type application attempted on a non-parameterized type."},
    {1128, "Incorrect number of type parameters for %1. Expected %2, got %3."},
    {1129, "Cyclic structure cannot be converted to JSON string."},
    {1131, "Replacer argument to JSON stringifier must be an array or a two parameter function."},
    {1132, "Invalid JSON parse input."},
    {1502, "A script has executed for longer than the default timeout period of 15 seconds."},
    {1506, "The specified range is invalid."},
    {1508, "The value specified for argument %1 is invalid."},
    {2005, "Parameter %1 is of the incorrect type. Should be type %2."},
    {2006, "The supplied index is out of bounds."},
    {2007, "Parameter %1 must be non-null."},
    {2008, "Parameter %1 must be one of the accepted values."},
    {2012, "%1 class cannot be instantiated."},
    {2015, "Invalid BitmapData."},
    {2030, "End of file was encountered."},
    {2023, "Class %1 must inherit from Sprite to link to the root."},
    {2024, "An object cannot be added as a child of itself."},
    {2025, "The supplied DisplayObject must be a child of the caller."},
    {2037, "Functions called in incorrect sequence, or earlier call was unsuccessful."},
    {2066, "The Timer delay specified is out of range."},
    {2126, "NetConnection object must be connected."},
    {2004, "One of the parameters is invalid."},
    {2101, "The String passed to URLVariables.decode() must be a URL-encoded query string containing name/value pairs."},
    {2130, "Unable to flush SharedObject."},
    {2134, "Cannot create SharedObject."},
    {2108, "Scene %1 not found."},
    {2109, "Frame label %1 not found in scene %2."},
    {2150,
     "An object cannot be added as a child to one of it's children (or children's children, "
     "etc.)."},
};

}  // namespace

const char* errorClassName(ErrorClass c) {
  static const char* const kNames[] = {
      "Error",       "TypeError", "ReferenceError", "RangeError",    "ArgumentError",  "VerifyError",
      "EvalError",   "SyntaxError", "URIError",     "SecurityError", "DefinitionError"};
  return kNames[static_cast<int>(c)];
}

Object* Machine::makeError(ErrorClass cls, int id, std::string_view message) {
  ClassObject* c = errorClasses[static_cast<int>(cls)];
  Value args[2] = {Value(StringRef(message)), Value(int32_t(id))};
  Value e = construct(Value(static_cast<Object*>(c)), args);
  return e.asObject();
}

void Machine::fail(ErrorClass cls, int id, std::initializer_list<std::string> args) {
  std::string text = "Error #" + std::to_string(id);
  for (const ErrorText& e : kErrors) {
    if (e.id != id) continue;
    text += ": ";
    for (const char* p = e.text; *p; ++p) {
      if (*p == '%' && p[1] >= '1' && p[1] <= '9') {
        size_t i = static_cast<size_t>(p[1] - '1');
        if (i < args.size()) text += *(args.begin() + i);
        ++p;
      } else {
        text += *p;
      }
    }
    break;
  }
  // An error past the depth limit still needs a frame of its own to be made.
  int saved = depth;
  if (depth >= maxDepth) depth = maxDepth - 1;
  Object* e = makeError(cls, id, text);
  depth = saved;
  throw ScriptThrow{Value(e)};
}

namespace {
constexpr uint64_t kInstructionsBetweenClockChecks = 1 << 16;
}

void Machine::setTimeLimit(double milliseconds) {
  hasDeadline_ = true;
  timedOut = false;
  deadline_ = std::chrono::steady_clock::now() +
              std::chrono::microseconds(static_cast<int64_t>(milliseconds * 1000));
  budget = kInstructionsBetweenClockChecks;
}

void Machine::budgetSpent() {
  if (hasDeadline_ && !timedOut && std::chrono::steady_clock::now() < deadline_) {
    budget = kInstructionsBetweenClockChecks;
    return;
  }
  timeOut();
}

void Machine::timeOut() {
  budget = 0;
  timedOut = true;
  fail(ErrorClass::Error, 1502);
}

}  // namespace orv::movie::avm2
