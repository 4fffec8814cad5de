#include "movie/version.h"

namespace orv::movie {

const char* engineName() { return "Orvanta SWF engine"; }

}  // namespace orv::movie
