#pragma once

namespace orv::movie {

// Name shown by the tools; the engine's version follows the program's.
const char* engineName();

}  // namespace orv::movie
