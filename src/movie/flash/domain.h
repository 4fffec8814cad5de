// flash.system.ApplicationDomain's objects: each names one of the machine's domains.
#pragma once

#include <cstdint>

#include "movie/avm2/machine.h"

namespace orv::movie::avm2 {

class DomainObject : public Object {
 public:
  using Object::Object;
  uint32_t domain = Machine::kMainDomain;
};

// A new ApplicationDomain object for `domain`.
Value domainObject(Machine& m, uint32_t domain);
// The domain an ApplicationDomain names; Machine::kNoDomain for anything else.
uint32_t domainOfValue(const Value& v);

}  // namespace orv::movie::avm2
