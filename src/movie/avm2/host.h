// What the ActionScript 3 machine asks of the program around it: the machine's only way
// out. The timeline side (display objects, frames, events) joins it later, in avm2_host/.
#pragma once

#include <string_view>

namespace orv::movie::avm2 {

class Host {
 public:
  virtual ~Host() = default;
  // One line a script traced (trace() joins its arguments with spaces).
  virtual void trace(std::string_view line) = 0;
};

}  // namespace orv::movie::avm2
