#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

void installFlashPackages(Machine& m) {
  installDisplayClasses(m);
}

}  // namespace orv::movie::avm2
