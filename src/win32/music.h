#pragma once

#include <memory>
#include <string>

#include "about/media_player.h"

namespace orv::win32 {

// The about box's music on Windows: raises a run-time error when it cannot play.
std::unique_ptr<MusicPlayback> makeMusic(const std::string& path, const MusicSettings& settings);

}  // namespace orv::win32
