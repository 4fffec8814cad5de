// Local shared objects on the stage's side: the movie's saves (saves::MovieSaves) as the
// first machine's AMF0 data.
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/saves/movie_saves.h"

namespace orv::movie::avm1 {

ScriptHost::SharedObjectData TimelineBridge::loadSharedObject(const std::string& name,
                                                              const std::string& localPath) {
  saves::MovieSaves::Kept kept = saves::MovieSaves(saveStore, moviePath).read(localPath, name);
  SharedObjectData result;
  if (kept.refused) {
    result.refused = true;
    return result;
  }
  if (!kept.bytes) {
    if (!kept.problem.empty() && saveProblems) saveProblems("shared object not read: " + kept.problem);
    result.unreadable = !kept.problem.empty();
    return result;
  }
  std::string why;
  std::optional<saves::SolFile> file = saves::readSol(*kept.bytes, &why);
  if (!file && saveProblems) saveProblems("shared object not read: " + name + ".sol: " + why);
  result.unreadable = !file;
  result.data = std::move(file);
  return result;
}

bool TimelineBridge::saveSharedObject(const std::string& name, const std::string& localPath,
                                      const saves::SolFile& data) {
  return saves::MovieSaves(saveStore, moviePath).write(localPath, name, saves::writeSol(data));
}

void TimelineBridge::removeSharedObject(const std::string& name, const std::string& localPath) {
  saves::MovieSaves(saveStore, moviePath).remove(localPath, name);
}

}  // namespace orv::movie::avm1
