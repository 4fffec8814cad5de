#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

void installFlashPackages(Machine& m) {
  installEventClasses(m);  // before the display classes, which are dispatchers
  installTimerClasses(m);
  installGeomClasses(m);
  installUiClasses(m);
  installDisplayClasses(m);
  installFlashErrors(m);
  installByteArray(m);
  installDictionary(m);
  installProxy(m);
  installApplicationDomain(m);
}

}  // namespace orv::movie::avm2
