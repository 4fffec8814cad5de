// The display host's movie files: the opened movie and movies loaded beside it, their
// bytes and code, files of the movie's own folder, and the movie's saves.
#include "movie/avm2_host/display_host.h"
#include "movie/timeline/own_folder.h"
#include "movie/timeline/loaded_movie.h"
#include "movie/swf/reader.h"

#include <optional>
#include <vector>

namespace orv::movie {

using avm2::DisplayHandle;

namespace {
constexpr double kTwips = 20;
}  // namespace

avm2::Host::MovieFile DisplayHost::movieFile() {
  MovieFile file;
  if (!stage_) return file;
  const swf::Header& header = stage_->movie().header;
  file.url = movieUrl;
  file.bytesTotal = movieFileSize ? movieFileSize : header.fileLength;
  file.width = header.frameSize.width() / kTwips;
  file.height = header.frameSize.height() / kTwips;
  file.frameRate = header.frameRate;
  file.version = header.version;
  return file;
}

// A movie's bytes as a player holds them once read: uncompressed, signed "FWS".
std::vector<uint8_t> DisplayHost::uncompressedMovie(const std::vector<uint8_t>& file) {
  if (file.size() < 8) return {};
  swf::ReadLimits limits;
  limits.maxUncompressedSize = kMaxLoadedMovieSize;
  swf::Body body = swf::decompressBody(file.data(), file.size(), limits);
  if (!body.error.empty() && body.data.empty()) return {};
  std::vector<uint8_t> out{'F', 'W', 'S', file[3]};
  const uint32_t length = static_cast<uint32_t>(body.data.size() + 8);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(length >> (8 * i)));
  out.insert(out.end(), body.data.begin(), body.data.end());
  return out;
}

std::vector<uint8_t> DisplayHost::movieBytes() { return uncompressedMovie(movieFileData); }

avm2::Host::LoadedMovie DisplayHost::loadMovie(const std::vector<uint8_t>& bytes) {
  LoadedMovie loaded;
  const bool swf = bytes.size() >= 8 && (bytes[0] == 'F' || bytes[0] == 'C' || bytes[0] == 'Z') &&
                   bytes[1] == 'W' && bytes[2] == 'S';
  if (!stage_ || !swf || !stage_->mayCreateObject() || bytes.size() > Stage::kMaxLoadedBytes)
    return loaded;
  std::shared_ptr<const swf::Movie> movie = movieFromLoadedFile(bytes, stage_->movie().header.version);
  if (!movie || movie->root.frames.empty()) return loaded;
  const size_t size = std::max<size_t>(
      bytes.size(), std::min<size_t>(movie->header.fileLength, kMaxLoadedMovieSize));
  if (!stage_->keepLoadedMovie(movie, size)) return loaded;
  const uint64_t key = reinterpret_cast<uint64_t>(movie.get());
  LoadedSwf& kept = loadedSwfs[key];
  kept.movie = movie;
  for (const swf::Frame& f : movie->root.frames)
    for (const swf::SymbolClass& link : f.symbolClasses) kept.links.emplace(link.id, link.className);
  // A sprite as far as drawing and hit tests go; its timeline is the loaded movie's.
  static const swf::Character kLoadedSprite = swf::SpriteDef{};
  auto root = std::make_shared<MovieClip>(*stage_, 0, &kLoadedSprite, &movie->root);
  root->movie = movie.get();
  root->madeByScript = true;
  root->createdTick = stage_->currentTick();
  root->gotoFrame(0);
  held_[root->instanceId] = root;
  stage_->dispatchEvents();
  const swf::Header& header = movie->header;
  loaded.root = root->instanceId;
  loaded.movie = key;
  loaded.file.bytesTotal = static_cast<uint32_t>(bytes.size());
  loaded.file.width = header.frameSize.width() / kTwips;
  loaded.file.height = header.frameSize.height() / kTwips;
  loaded.file.frameRate = header.frameRate;
  loaded.file.version = header.version;
  loaded.actionScript3 = movie->fileAttributes && movie->fileAttributes->actionScript3;
  loaded.bytes = uncompressedMovie(bytes);
  return loaded;
}

uint64_t DisplayHost::movieOf(DisplayHandle h) {
  DisplayObject* o = find(h);
  if (!o) return 0;
  const uint64_t key = reinterpret_cast<uint64_t>(o->movie);
  return loadedSwfs.count(key) ? key : 0;
}

std::vector<avm2::Host::AbcTag> DisplayHost::movieFrameAbc(uint64_t movie, int frame) {
  std::vector<AbcTag> tags;
  auto it = loadedSwfs.find(movie);
  if (it == loadedSwfs.end() || frame < 0) return tags;
  const auto& frames = it->second.movie->root.frames;
  if (static_cast<size_t>(frame) >= frames.size()) return tags;
  for (const swf::DoAbc& tag : frames[frame].abc)
    tags.push_back({&tag.bytes, (tag.flags & swf::DoAbc::kLazyInitialize) != 0});
  return tags;
}

std::string DisplayHost::documentClass(uint64_t movie) {
  auto it = loadedSwfs.find(movie);
  if (it == loadedSwfs.end()) return {};
  auto link = it->second.links.find(0);
  return link == it->second.links.end() ? std::string() : link->second;
}

std::optional<std::vector<uint8_t>> DisplayHost::readFile(const std::string& url, size_t maxBytes) {
  if (ownFolder.empty()) return std::nullopt;  // a movie given as bytes has no folder
  return readOwnFolderFile(ownFolder, url, maxBytes);
}

DisplayHost::SavedObject DisplayHost::loadSharedObject(const std::string& name,
                                                       const std::string& localPath) {
  SavedObject saved;
  if (!saves) {
    saved.refused = true;
    return saved;
  }
  saves::MovieSaves::Kept kept = saves->read(localPath, name);
  saved.refused = kept.refused;
  std::string why = kept.problem;
  if (kept.bytes) {
    if (auto sol = saves::readSolEnvelope(*kept.bytes, &why)) {
      saved.members = std::move(sol->members);
      saved.amfVersion = sol->amfVersion;
    }
  }
  saved.unreadable = !saved.members && !why.empty();
  if (saved.unreadable && saveProblems)
    saveProblems("shared object not read: " + name + ".sol: " + why);
  return saved;
}

bool DisplayHost::saveSharedObject(const std::string& name, const std::string& localPath,
                                   uint32_t amfVersion, const std::vector<uint8_t>& members) {
  if (!saves) return false;
  saves::SolEnvelope sol;
  sol.name = name;
  sol.amfVersion = amfVersion;
  sol.members = members;
  return saves->write(localPath, name, saves::writeSolEnvelope(sol));
}

void DisplayHost::removeSharedObject(const std::string& name, const std::string& localPath) {
  if (saves) saves->remove(localPath, name);
}

}  // namespace orv::movie
