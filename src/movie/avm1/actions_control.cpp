// Control flow: Jump, If and With. A jump out of the stretch a pass runs unwinds (as a
// size_t thrown) to the pass that holds its target: that of an enclosing With or Try
// block, or none when it leaves a function.
#include <algorithm>

#include "movie/avm1/action_run.h"

namespace orv::movie::avm1 {

void ActionRun::jumpBy(int16_t offset) {
  long target = static_cast<long>(next) + offset;
  if (target < static_cast<long>(start) || target > static_cast<long>(end)) {
    if (target < 0 || static_cast<size_t>(target) >= code.size()) return finish();
    throw static_cast<size_t>(target);  // leaves a With/Try block or a function
  }
  next = static_cast<size_t>(target);
}

void ActionRun::jump(PayloadReader& r) { jumpBy(static_cast<int16_t>(r.u16())); }

void ActionRun::branch(PayloadReader& r) {
  int16_t offset = static_cast<int16_t>(r.u16());
  if (vm.toBool(f.pop())) jumpBy(offset);
}

void ActionRun::resumeAfterBlock(size_t after, size_t jumpedTo) {
  next = after;
  if (jumpedTo != SIZE_MAX) {
    if (jumpedTo < start || jumpedTo > end) throw jumpedTo;
    next = jumpedTo;
  }
}

void ActionRun::with(PayloadReader& r) {
  uint16_t size = r.u16();
  Value o = f.pop();
  size_t blockEnd = std::min(next + size, end);
  Object* obj = vm.toObject(o);
  // with (null) and with (undefined) skip their block, and so does a with nested deeper
  // than the player's 13 levels.
  constexpr int kMaxWithDepth = 13;
  if (!obj || f.withDepth >= kMaxWithDepth) {
    next = blockEnd;
    return;
  }
  f.scope.push_back(obj);
  ++f.withDepth;
  struct WithLevel {
    int& depth;
    ~WithLevel() { --depth; }
  } withLevel{f.withDepth};
  size_t scopeSize = f.scope.size();
  size_t jumpedTo = SIZE_MAX;
  try {
    vm.run(f, next, blockEnd);
  } catch (size_t target) {
    jumpedTo = target;
  } catch (...) {
    if (f.scope.size() >= scopeSize) f.scope.resize(scopeSize - 1);
    throw;
  }
  if (f.scope.size() >= scopeSize) f.scope.resize(scopeSize - 1);
  if (f.returned) return finish();
  if (jumpedTo == blockEnd) jumpedTo = SIZE_MAX;
  resumeAfterBlock(blockEnd, jumpedTo);
}

}  // namespace orv::movie::avm1
