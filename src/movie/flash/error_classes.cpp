// flash.errors: the error classes the player's library throws besides the language's.
#include <string>

#include "movie/avm2/toplevel.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

Value makeError(Machine& m, const Value& self, std::span<Value> args) { return m.construct(self, args); }

struct ErrorClassRow {
  const char* name;
  const char* base;
};

constexpr ErrorClassRow kErrorClasses[] = {
    {"IOError", "Error"},
    {"EOFError", "flash.errors.IOError"},
    {"MemoryError", "Error"},
    {"IllegalOperationError", "Error"},
    {"InvalidSWFError", "Error"},
    {"StackOverflowError", "Error"},
    {"ScriptTimeoutError", "Error"},
};

}  // namespace

void installFlashErrors(Machine& m) {
  for (const ErrorClassRow& row : kErrorClasses) {
    ClassObject* c = installClass(m, {.package = "flash.errors", .name = row.name, .base = row.base,
                                      .call = makeError});
    c->prototypeObject->setHidden(m.intern("name"), Value(m.intern(row.name)));
  }
}

void failAs(Machine& m, std::string_view qualifiedClass, int id, std::string_view text) {
  ClassObject* c = m.findClass(qualifiedClass);
  std::string message = "Error #" + std::to_string(id) + ": " + std::string(text);
  if (!c) m.fail(ErrorClass::Error, id);
  Value args[2] = {Value(StringRef(message)), Value(int32_t(id))};
  throw ScriptThrow{m.construct(Value(static_cast<Object*>(c)), args)};
}

}  // namespace orv::movie::avm2
