// Exceptions: Try with its catch and finally blocks, and Throw.
#include <algorithm>

#include "movie/avm1/action_run.h"

namespace orv::movie::avm1 {

namespace {

// Try's flag bits.
enum : uint8_t { kHasCatch = 1, kHasFinally = 2, kCatchInRegister = 4 };

}  // namespace

void ActionRun::tryBlock(PayloadReader& r) {
  uint8_t flags = r.u8();
  uint16_t trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
  const bool catchInRegister = flags & kCatchInRegister;
  const bool hasFinally = flags & kHasFinally;
  const bool hasCatch = flags & kHasCatch;
  std::string catchName;
  uint8_t catchReg = 0;
  if (catchInRegister)
    catchReg = r.u8();
  else
    catchName = r.str();
  size_t tryStart = next;
  size_t catchStart = std::min(tryStart + trySize, end);
  size_t finallyStart = std::min(catchStart + catchSize, end);
  size_t after = std::min(finallyStart + finallySize, end);
  size_t jumpedTo = SIZE_MAX;
  bool pending = false;
  Value pendingValue;
  const size_t depthAtTry = f.stack.size();
  try {
    vm.run(f, tryStart, catchStart);
  } catch (size_t t) {
    jumpedTo = t;
  } catch (ScriptThrow& t) {
    pending = true;
    pendingValue = t.value;
    // A throw drops what the try block pushed; what it popped stays popped.
    while (f.stack.size() > depthAtTry) f.stack.pop_back();
  }
  if (pending && hasCatch && !f.returned) {
    pending = false;
    if (catchInRegister) {
      if (Value* slot = f.registerToStore(catchReg)) *slot = pendingValue;
    } else if (f.activation) {
      f.activation->defineOwn(catchName, vm.caseInsensitive()).value = pendingValue;
    } else {
      vm.setVariable(f, catchName, pendingValue);
    }
    try {
      vm.run(f, catchStart, finallyStart);
    } catch (size_t t) {
      jumpedTo = t;
    } catch (ScriptThrow& t) {
      pending = true;
      pendingValue = t.value;
    }
  }
  if (hasFinally) {
    bool wasReturned = f.returned;
    Value rv = f.returnValue;
    f.returned = false;
    vm.run(f, finallyStart, after);
    if (f.returned) return finish();  // a return in finally wins and drops any throw
    f.returned = wasReturned;
    f.returnValue = rv;
  }
  if (pending) throw ScriptThrow{pendingValue};
  if (f.returned) return finish();
  // A jump to within the whole statement lands after it.
  if (jumpedTo >= tryStart && jumpedTo <= after) jumpedTo = SIZE_MAX;
  resumeAfterBlock(after, jumpedTo);
}

void ActionRun::throwValue() { throw ScriptThrow{f.pop()}; }

}  // namespace orv::movie::avm1
