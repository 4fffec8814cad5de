#include "movie/flash/packages.h"
#include "movie/flash/filters.h"
#include "movie/flash/net_connection.h"
#include "movie/flash/text.h"

namespace orv::movie::avm2 {

void installFlashPackages(Machine& m) {
  installEventClasses(m);  // before the display classes, which are dispatchers
  installTimerClasses(m);
  installGeomClasses(m);
  installFilterClasses(m);
  installUiClasses(m);
  installDisplayClasses(m);
  installTextFormat(m);
  installTextFields(m);
  installFlashErrors(m);
  installByteArray(m);
  installNetAliases(m);
  installSharedObject(m);
  installNetConnection(m);
  installUrlLoading(m);
  installDictionary(m);
  installProxy(m);
  installApplicationDomain(m);
  installSoundClasses(m);
}

}  // namespace orv::movie::avm2
