#include "movie/player.h"

#include <algorithm>
#include <cmath>

#include "files/files.h"
#include "movie/interaction/keyboard_focus.h"
#include "movie/interaction/mouse_input.h"
#include "movie/timeline/own_folder.h"
#include "movie/render/movie_renderer.h"
#include "movie/avm1_host/timeline_bridge.h"
#include "movie/avm2_host/display_host.h"
#include "movie/avm2_host/movie_scripts.h"
#include "movie/saves/save_store.h"
#include "movie/sound/movie_sound.h"
#include "movie/timeline/stage.h"
#include "movie/swf/reader.h"

namespace orv::movie {

// Keeps the renderer's caches (decoded bitmaps, edges) between frames.
class PlayerRenderer {
 public:
  explicit PlayerRenderer(std::shared_ptr<const swf::Movie> movie) : renderer(std::move(movie)) {}
  render::MovieRenderer renderer;
};

namespace {
constexpr double kDefaultFrameRate = 12;
constexpr double kMaxFrameRate = 120;
constexpr size_t kMaxFileSize = 512u << 20;
constexpr size_t kMaxImportSize = 64u << 20;  // each imported movie
// How far ahead of the frame shown a stream sound may run after the timeline caught up:
// about one output buffer, so the output's own buffering is not cut.
constexpr double kStreamSlackMs = 40;
// Key codes of the keys that move and use the keyboard focus.
constexpr int kTabKey = 9, kEnterKey = 13, kShiftKey = 16, kSpaceKey = 32, kLeftKey = 37,
              kUpKey = 38, kRightKey = 39, kDownKey = 40;

bool hasAnimatedClips(const MovieClip& clip) {
  for (const auto& [depth, obj] : clip.displayList()) {
    if (const MovieClip* child = obj->asClip()) {
      if ((child->playing() && child->frameCount() > 1) || hasAnimatedClips(*child)) return true;
    }
  }
  return false;
}
// A movie's saves are laid out by where it lies, wherever it was opened from.
std::string absolutePath(const std::string& path) { return files::absolute(path); }
}  // namespace

Player::Player() : sound_(std::make_unique<sound::MovieSound>()) {}
Player::~Player() {
  sound_.reset();  // stops the output's pulls before anything else goes
}

bool Player::load(const std::string& path) {
  unload();
  files::ReadError why = files::ReadError::None;
  std::optional<std::vector<uint8_t>> read = files::read(path, kMaxFileSize, &why);
  if (!read) {
    error_ = why == files::ReadError::Missing    ? "cannot open " + path
             : why == files::ReadError::TooLarge ? "file too large to be a movie"
                                                 : "cannot read " + path;
    return false;
  }
  std::vector<uint8_t> bytes = std::move(*read);
  const size_t slash = path.find_last_of("/\\");
  if (!loadFrom(std::move(bytes), slash == std::string::npos ? "." : path.substr(0, slash + 1),
                absolutePath(path)))
    return false;
  return true;
}

bool Player::loadBytes(std::vector<uint8_t> bytes) { return loadFrom(std::move(bytes), "", ""); }

bool Player::loadFrom(std::vector<uint8_t> bytes, const std::string& folder,
                      const std::string& moviePath) {
  unload();
  moviePath_ = moviePath;
  swf::ReadResult result = swf::readMovie(bytes);
  const uint32_t fileSize = static_cast<uint32_t>(bytes.size());
  std::vector<uint8_t> fileData;  // kept for a script's LoaderInfo.bytes
  if (result.movie && result.movie->fileAttributes && result.movie->fileAttributes->actionScript3)
    fileData = std::move(bytes);
  bytes.clear();
  bytes.shrink_to_fit();
  if (!result.movie) {
    error_ = result.error;
    return false;
  }
  movie_ = result.movie;
  ImportLoader importer;
  if (!folder.empty())
    importer = [folder](const std::string& url) -> std::shared_ptr<const swf::Movie> {
      auto file = readOwnFolderFile(folder, url, kMaxImportSize);
      return file ? swf::readMovie(*file).movie : nullptr;
    };
  stage_ = std::make_unique<Stage>(movie_, importer);
  stage_->setLoop(loop_);
  stage_->traceSink = traceSink_;
  scripts_ = std::make_unique<avm1::TimelineBridge>(*stage_, scriptTimeLimitMs_);
  scripts_->ownFolder = folder;  // scripts load files from there only
  scripts_->moviePath = moviePath_;
  scripts_->saveStore = saves_.get();
  scripts_->saveProblems = traceSink_;
  scripts_->sound = sound_.get();
  stage_->setListener(scripts_.get());
  if (movie_->fileAttributes && movie_->fileAttributes->actionScript3) {
    auto trace = [this](const std::string& line) {
      if (traceSink_) traceSink_(line);
    };
    as3_ = std::make_unique<MovieScripts>(*stage_, trace, scriptTimeLimitMs_);
    as3_->next = scripts_.get();
    as3_->host().ownFolder = folder;
    as3_->host().movieUrl = shownMovieUrl(moviePath_);
    as3_->host().movieFileSize = fileSize;
    as3_->host().movieFileData = std::move(fileData);
    as3_->host().saves.emplace(saves_.get(), moviePath_);
    as3_->host().saveProblems = traceSink_;
    as3_->host().sound = sound_.get();
    stage_->setListener(as3_.get());
  }
  stage_->dispatchEvents();  // the first frame's actions, queued when the stage was made
  scripts_->endFrame();
  if (as3_) as3_->firstFrame(stage_->root().currentFrame());
  firstFrameStopped_ = !stage_->root().playing();
  stage_->root().stop();  // a loaded movie shows its first frame and waits
  stage_->setSoundListener(sound_.get());
  stage_->dispatchSoundEvents();  // the first frame's event sounds
  renderer_ = std::make_unique<PlayerRenderer>(movie_);
  setRenderThreads(renderThreads_, leastBandedPixels_);
  mouse_ = std::make_unique<MouseInput>(*stage_, scripts_.get(), sound_.get());
  focus_ = std::make_unique<KeyboardFocus>(*stage_, *scripts_, *mouse_);
  if (as3_) as3_->setMouse(mouse_.get());
  error_.clear();
  return true;
}

void Player::unload() {
  if (as3_) as3_->setMouse(nullptr);
  focus_.reset();
  mouse_.reset();
  sound_->reset();
  renderer_.reset();
  // The script state refers to the stage's clips: it goes first, and the stage's
  // own teardown then reaches no listener.
  if (stage_) stage_->setListener(nullptr);
  as3_.reset();
  scripts_.reset();
  stage_.reset();
  movie_.reset();
  clockMs_ = 0;
}

bool Player::loaded() const { return stage_ != nullptr; }
const std::string& Player::error() const { return error_; }
int Player::version() const { return movie_ ? movie_->header.version : 0; }
int Player::frameCount() const { return stage_ ? stage_->root().frameCount() : 0; }
// The movie at _level0 sets the pace and the background: the one opened, or one a script
// loaded there in its place. The stage keeps the opened movie's size (the window's).
double Player::frameRate() const {
  if (stage_) return stage_->movie().header.frameRate;
  return movie_ ? movie_->header.frameRate : 0;
}

ViewRect Player::stage() const {
  if (!movie_) return {};
  const swf::Rect& r = movie_->header.frameSize;
  return {double(r.xMin), double(r.yMin), double(r.width()), double(r.height())};
}

uint32_t Player::backgroundColor() const {
  const swf::Movie* base = stage_ ? &stage_->movie() : movie_.get();
  if (!base || !base->backgroundColor) return 0xFFFFFF;
  const swf::RGBA& c = *base->backgroundColor;
  return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

// The stream sound starts with the frame shown; the clock feeds the next ones.
void Player::startStreamHere() {
  MovieClip& root = stage_->root();
  int frame = root.currentFrame();
  if (frame >= 0 && frame < root.frameCount()) {
    const auto& block = root.timeline().frames[size_t(frame)].streamBlock;
    if (block) sound_->streamBlock(root, frame);
  }
}

void Player::start() {
  if (stage_ && !firstFrameStopped_) play();
}

void Player::play() {
  if (!stage_) return;
  MovieClip& root = stage_->root();
  if (!root.playing()) startStreamHere();
  root.play();
}
void Player::stop() {
  if (!stage_) return;
  stage_->root().stop();
  sound_->stopStreams();
}
bool Player::playing() const { return stage_ && stage_->root().playing(); }

void Player::setLoop(bool loop) {
  loop_ = loop;
  if (stage_) stage_->setLoop(loop);
}
bool Player::loop() const { return loop_; }

void Player::afterChange() {
  if (stage_) stage_->dispatchEvents();
  if (as3_ && stage_) as3_->frameReached(stage_->root().currentFrame());
}

void Player::tickOnce() {
  scripts_->clockMs += framePeriodMs();
  scripts_->tick();
  if (as3_ && stage_) {
    as3_->tick(stage_->root().currentFrame());
    as3_->advanceClock(framePeriodMs());
  }
}

void Player::forward() {
  if (!stage_) return;
  stop();
  stage_->root().gotoFrame(stage_->root().currentFrame() + 1);
  afterChange();
  stop();  // the frame's actions may have called play()
}

void Player::back() {
  if (!stage_) return;
  stop();
  stage_->root().gotoFrame(stage_->root().currentFrame() - 1);
  afterChange();
  stop();
}

void Player::rewind() {
  if (!stage_) return;
  stop();
  stage_->root().gotoFrame(0);
  afterChange();
  stop();
}

void Player::gotoFrame(int frame) {
  if (!stage_) return;
  sound_->stopStreams();
  stage_->root().gotoFrame(frame);
  afterChange();
  // A playing movie's stream sound goes on from the frame jumped to.
  if (stage_ && stage_->root().playing()) startStreamHere();
}

int Player::currentFrame() const { return stage_ ? stage_->root().currentFrame() : 0; }

double Player::framePeriodMs() const {
  double rate = frameRate();
  if (!(rate >= 0.01)) rate = kDefaultFrameRate;
  return 1000.0 / std::min(rate, kMaxFrameRate);
}

bool Player::advance(double milliseconds) {
  if (!stage_ || !(milliseconds > 0)) return false;
  const double period = framePeriodMs();
  const bool synced = sound_->streaming();
  const int maxTicks =
      synced ? std::max(kMaxFramesPerAdvance, static_cast<int>(kMaxStreamCatchUpMs / period))
             : kMaxFramesPerAdvance;
  clockMs_ += std::min(milliseconds, period * (maxTicks + 1));
  int due = static_cast<int>(std::floor(clockMs_ / period));
  if (due == 0) return false;
  int ticks = std::min(due, maxTicks);
  clockMs_ = due > maxTicks ? 0 : clockMs_ - ticks * period;
  // Each level's root and frame: a level that came, went or moved on changes the picture.
  auto levelFrames = [this] {
    std::vector<std::pair<const MovieClip*, int>> frames;
    for (const auto& [n, root] : stage_->levels())
      frames.push_back({root.get(), root->currentFrame()});
    return frames;
  };
  const auto before = levelFrames();
  // Scripts that ran (timers, onEnterFrame, handlers) or files that arrived may have
  // changed what is shown, in a movie whose frames stand still as much as in any other.
  const uint64_t actionsBefore = scripts_->vm().actionsExecuted();
  const bool loading = scripts_->vm().loading();
  for (int i = 0; i < ticks && stage_; ++i) tickOnce();
  const bool scripted = loading || (scripts_ && scripts_->vm().actionsExecuted() != actionsBefore);
  const bool rolled = mouse_->refresh();  // what is under a still pointer may have changed
  if (as3_) as3_->pointerRefresh();
  // The stream ran dry while the frames were late; what it got since is partly out of
  // date: keep about one frame's worth so it plays with the frame shown.
  if (synced && ticks > 1) sound_->alignStreams(period + kStreamSlackMs);
  bool animated = false;
  for (const auto& [n, root] : stage_->levels()) animated = animated || hasAnimatedClips(*root);
  return rolled || levelFrames() != before || animated || scripted;
}

// The mouse in use hides the focus rectangle (a move to where it already was does not).
bool Player::mouseMove(double x, double y) {
  if (!mouse_) return false;
  const bool hid = (x != mouse_->x() || y != mouse_->y()) && focus_->mouseUsed();
  // A drag that began in an input field selects its text.
  const bool selected = scripts_ && scripts_->dragFieldSelection(x / 20, y / 20);
  const bool moved = mouse_->move(x, y);
  if (as3_) {
    as3_->pointerMoved(x, y);
    afterChange();
    return true;  // listeners may have changed anything
  }
  return moved || hid || selected;
}
bool Player::mouseDown(double x, double y) {
  if (!mouse_) return false;
  const bool hid = focus_->mouseUsed();
  if (scripts_) scripts_->vm().setKeyState(avm1::Vm::kMouseButtonKey, true);
  const bool moved = mouse_->move(x, y);
  const bool pressed = mouse_->press();
  if (as3_) {
    as3_->pointerMoved(x, y);
    as3_->pointerButton(true);
  }
  // A click on a selectable field gives it the keyboard focus; one elsewhere takes the focus
  // from the field that had it.
  bool field = false;
  if (scripts_) {
    field = scripts_->focusFieldAt(x / 20, y / 20);
    if (!field) {
      DisplayObject* focused = scripts_->focusedObject();
      if (focused && focused->editText) {
        scripts_->focusObject(nullptr);
        field = true;
      }
    }
    afterChange();
  }
  return pressed || moved || hid || field || as3_;
}
bool Player::mouseUp(double x, double y) {
  if (!mouse_) return false;
  const bool hid = focus_->mouseUsed();
  bool selected = false;
  if (scripts_) {
    scripts_->vm().setKeyState(avm1::Vm::kMouseButtonKey, false);
    selected = scripts_->dragFieldSelection(x / 20, y / 20);
    scripts_->endFieldSelection();
  }
  const bool moved = mouse_->move(x, y);
  const bool released = mouse_->release();
  if (as3_) {
    as3_->pointerMoved(x, y);
    as3_->pointerButton(false);
    afterChange();
    return true;
  }
  return released || moved || hid || selected;
}
bool Player::otherButton(double x, double y, bool right, bool down) {
  if (!as3_) return false;
  as3_->pointerMoved(x, y);
  as3_->pointerOtherButton(right, down);
  afterChange();
  return true;
}
void Player::windowFocus(bool gained) {
  if (!as3_) return;
  as3_->windowFocus(gained);
  afterChange();
}
bool Player::handCursor() const {
  return (mouse_ && mouse_->handCursor()) || (as3_ && as3_->handCursor());
}
bool Player::pointerHidden() const {
  return (scripts_ && scripts_->vm().pointerHidden) || (as3_ && as3_->pointerHidden());
}
// A focused input field takes what is typed; otherwise buttons hear the key.
bool Player::keyPress(int code) {
  if (scripts_ && scripts_->typeIntoFocusedField(code, shiftDown_)) {
    afterChange();
    return true;
  }
  return mouse_ && mouse_->keyPress(code);
}

bool Player::mouseWheel(double x, double y, int delta) {
  if (!scripts_ || delta == 0) return false;
  if (as3_) {
    as3_->pointerMoved(x, y);
    as3_->pointerWheel(std::clamp(delta, -1000, 1000));
    afterChange();
  }
  const bool changed = scripts_->wheelAt(x / 20, y / 20, std::clamp(delta, -1000, 1000));
  if (changed) afterChange();
  return changed;
}

std::u32string Player::selectedText(bool cut) {
  if (!scripts_) return {};
  std::u32string text = scripts_->selectedFieldText(cut);
  if (cut && !text.empty()) afterChange();
  return text;
}

bool Player::pasteText(const std::u32string& text) {
  if (!scripts_ || !scripts_->insertIntoField(text)) return false;
  afterChange();
  return true;
}

// Key's listeners hear the key go down or up (Key.addListener, SWF 6 on).
void Player::keyEvent(int keyCode, bool down) {
  if (!scripts_) return;
  avm1::Vm& vm = scripts_->vm();
  vm.setKeyState(keyCode, down);
  const avm1::Value key = vm.getMember(vm.global, "Key");
  if (key.isObject())
    vm.callMethodIfPresent(key.asObject(), "broadcastMessage", {down ? "onKeyDown" : "onKeyUp"});
  if (scripts_) scripts_->keyToFocused(down);  // then what has the keyboard focus
  if (as3_) as3_->keyChanged(keyCode, down);
  afterChange();
}

bool Player::keyDown(int keyCode) {
  if (!scripts_) return false;
  keyEvent(keyCode, true);
  if (keyCode == kShiftKey) shiftDown_ = true;
  focus_->keyUsed();
  if (keyCode == kTabKey)
    focus_->tab(shiftDown_);
  else if (keyCode == kEnterKey || keyCode == kSpaceKey)
    focus_->activate();
  else if (keyCode >= kLeftKey && keyCode <= kDownKey)
    focus_->arrow(keyCode == kLeftKey    ? -1
                  : keyCode == kRightKey ? 1
                                         : 0,
                  keyCode == kUpKey     ? -1
                  : keyCode == kDownKey ? 1
                                        : 0);
  return true;
}

void Player::keyUp(int keyCode) {
  if (keyCode == kShiftKey) shiftDown_ = false;
  keyEvent(keyCode, false);
}

void Player::setRenderThreads(int threads, int64_t leastPixels) {
  renderThreads_ = threads;
  leastBandedPixels_ = leastPixels;
  if (renderer_)
    renderer_->renderer.setThreads(
        threads, leastPixels > 0 ? leastPixels : render::BandPool::kWorthSplitting);
}

void Player::setQuality(Quality q) { quality_ = q; }
Quality Player::quality() const { return quality_; }

void Player::render(Pixmap& target, const ViewRect& view) const {
  constexpr int64_t kMaxPixels = int64_t(1) << 26;  // 8192 x 8192
  if (target.width <= 0 || target.height <= 0 ||
      int64_t(target.width) * target.height > kMaxPixels) {
    target.pixels.clear();
    return;
  }
  if (!stage_ || !renderer_) {
    target.pixels.assign(size_t(target.width) * size_t(target.height),
                         0xFF000000u | backgroundColor());
    return;
  }
  // The renderer clears to the background itself.
  target.pixels.resize(size_t(target.width) * size_t(target.height));
  render::Surface surface{target.pixels.data(), target.width, target.height};
  render::StageView sv{view.x, view.y, view.width, view.height};
  renderer_->renderer.render(stage_->displayTree(), surface, sv, quality_, backgroundColor());
  if (focus_) drawFocusRect(target, view);
}

// The yellow frame around what has the keyboard focus, over everything else: a band
// KeyboardFocus::kLineTwips wide inside its box; pixels whose centres fall in it.
void Player::drawFocusRect(Pixmap& target, const ViewRect& view) const {
  const auto box = focus_->highlight();
  if (!box || !(view.width > 0) || !(view.height > 0)) return;
  const double sx = target.width / view.width, sy = target.height / view.height;
  const double line = KeyboardFocus::kLineTwips;
  auto column = [&](double x) { return (x - view.x) * sx; };
  auto row = [&](double y) { return (y - view.y) * sy; };
  const double ox0 = column(box->x0), ox1 = column(box->x1), oy0 = row(box->y0), oy1 = row(box->y1);
  const double ix0 = column(box->x0 + line), ix1 = column(box->x1 - line);
  const double iy0 = row(box->y0 + line), iy1 = row(box->y1 - line);
  // The pixels whose centres lie in [from, to), within the target.
  auto span = [](double from, double to, int size) {
    const double a = std::clamp(std::ceil(from - 0.5), 0.0, double(size));
    const double b = std::clamp(std::ceil(to - 0.5), 0.0, double(size));
    return std::pair{int(a), int(std::max(a, b))};
  };
  const auto [x0, x1] = span(ox0, ox1, target.width);
  const auto [y0, y1] = span(oy0, oy1, target.height);
  const auto [inX0, inX1] = span(ix0, ix1, target.width);
  const auto [inY0, inY1] = span(iy0, iy1, target.height);
  for (int y = y0; y < y1; ++y) {
    const bool inner = y >= inY0 && y < inY1;
    uint32_t* rowPixels = target.pixels.data() + size_t(y) * size_t(target.width);
    for (int x = x0; x < x1; ++x)
      if (!inner || x < inX0 || x >= inX1) rowPixels[x] = KeyboardFocus::kColor;
  }
}

void Player::setAudioOutput(sound::AudioOutput* output) { sound_->setOutput(output); }
void Player::mixAudio(int16_t* out, size_t frames) { sound_->mix(out, frames); }
int Player::audioRate() const { return sound_->rate(); }

void Player::setTraceSink(std::function<void(const std::string&)> sink) {
  traceSink_ = std::move(sink);
  if (stage_) stage_->traceSink = traceSink_;
  if (scripts_) scripts_->saveProblems = traceSink_;
  if (as3_) as3_->host().saveProblems = traceSink_;
}

void Player::setSaveFolders(const std::string& folder, const std::string& flashPlayerFolder) {
  saves_ = std::make_unique<saves::SaveStore>(folder, flashPlayerFolder);
  if (scripts_) scripts_->saveStore = saves_.get();
  if (as3_) as3_->host().saves.emplace(saves_.get(), moviePath_);
}

}  // namespace orv::movie
