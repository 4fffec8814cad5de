#pragma once
// The first machine's video side on the real stage (video_host.cpp).
#include <memory>

#include "movie/avm1/video_stream.h"

namespace orv::movie::avm1 {

// NetStreams on the player's FLV stream, shown by the placed Video objects (ClipBridges
// of DefineVideoStream instances) they are attached to.
std::shared_ptr<ScriptVideoHost> makeStageVideoHost();

}  // namespace orv::movie::avm1
