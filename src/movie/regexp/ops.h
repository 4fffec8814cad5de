// The matcher's instruction set (internal to the regexp library).
#pragma once

namespace orv::movie::regexp {

enum Op : unsigned char {
  kChar,      // a: code unit
  kCharI,     // a: canonical code unit
  kDot,       // any but a line terminator
  kAny,       // any code unit
  kClass,     // a: class index
  kClassI,    // a: class index, case-insensitive
  kSplit,     // try a, then b
  kJump,      // a
  kSave,      // a: capture slot
  kBackref,   // a: group
  kBackrefI,  // a: group
  kBol,       // a: multiline
  kEol,       // a: multiline
  kWordBoundary,
  kNotWordBoundary,
  kLookBegin,  // a: negated, b: pc after the lookahead
  kLookEnd,
  kRepeatSingle,  // a: min, b: max; the next instruction is the single-unit body
  kLoopInit,      // a: loop
  kLoopTest,      // a: loop
  kLoopEnter,     // a: loop
  kLoopEnd,       // a: loop, b: pc of the loop's test
  kMatch,
};

}  // namespace orv::movie::regexp
