#include "runtime/headless/headless_backend.h"

#include <algorithm>
#include <limits>

#include "runtime/errors.h"
#include "runtime/form.h"
#include "runtime/timer.h"

namespace orv::headless {

// Windows parks a minimised window here, 160 by 28 pixels.
constexpr float kMinimizedPosPixels = -32000;
constexpr float kMinimizedWidthPixels = 160, kMinimizedHeightPixels = 28;
// Frame, caption and menu bar of a sizable window with a menu, pixels.
constexpr float kFramePixels = 8, kCaptionPixels = 23, kMenuPixels = 20;

class HeadlessTimerPeer : public TimerPeer {
 public:
  HeadlessTimerPeer(HeadlessBackend& backend, Timer& timer) : backend_(backend), timer_(timer) {
    backend_.timers_.push_back(this);
  }
  ~HeadlessTimerPeer() override { std::erase(backend_.timers_, this); }
  void start(int intervalMs) override {
    interval_ = intervalMs;
    due_ = backend_.now_ + intervalMs;
    running_ = true;
  }
  void stop() override { running_ = false; }

  HeadlessBackend& backend_;
  Timer& timer_;
  int interval_ = 0;
  double due_ = 0;
  bool running_ = false;
};

HeadlessBackend::HeadlessBackend() {
  app.path = "C:\\Orvanta";
  app.exeName = "orvanta";
}

HeadlessBackend::~HeadlessBackend() = default;

HeadlessFormPeer* HeadlessBackend::peerOf(Form& form) {
  return dynamic_cast<HeadlessFormPeer*>(form.peer());
}

std::unique_ptr<FormPeer> HeadlessBackend::createForm(Form& form) {
  system_.setScreenPixels(screenFacts.widthPixels, screenFacts.heightPixels);
  return std::make_unique<HeadlessFormPeer>(*this, form, nextHandle_ += 0x10);
}

std::unique_ptr<ControlPeer> HeadlessBackend::createControl(Control&, FormPeer&) {
  return std::make_unique<HeadlessControlPeer>();
}

std::unique_ptr<SurfacePeer> HeadlessBackend::createSurface(Control&, FormPeer&) {
  return std::make_unique<HeadlessControlPeer>();
}

std::unique_ptr<TimerPeer> HeadlessBackend::createTimer(Timer& timer, FormPeer&) {
  return std::make_unique<HeadlessTimerPeer>(*this, timer);
}

std::optional<std::string> HeadlessBackend::showOpenDialog(const OpenDialogRequest& request,
                                                           FormPeer*) {
  dialogRequests.push_back(request);
  if (dialogAnswers.empty()) return std::nullopt;
  auto answer = dialogAnswers.front();
  dialogAnswers.pop_front();
  return answer;
}

void HeadlessBackend::runModal(Form& form) {
  // Every other window takes no input while the modal one is open.
  std::vector<HeadlessFormPeer*> disabled;
  for (HeadlessFormPeer* peer : forms_) {
    if (&peer->form() != &form && peer->enabled()) {
      peer->setEnabled(false);
      disabled.push_back(peer);
    }
  }
  if (whileModal) whileModal(form);
  for (HeadlessFormPeer* peer : forms_)
    if (std::find(disabled.begin(), disabled.end(), peer) != disabled.end()) peer->setEnabled(true);
}

void HeadlessBackend::reportUntrappedError(const RuntimeError& error) {
  untrappedErrors.push_back(untrappedErrorReport(error));
  programEnded = true;
}

void HeadlessBackend::endProgram() {
  endCalled = true;
  programEnded = true;
}

void HeadlessBackend::advance(double ms) {
  const double end = now_ + ms;
  // Bounded: a handler that keeps re-arming timers cannot spin forever.
  for (int fired = 0; fired < 1000000 && !programEnded; ++fired) {
    HeadlessTimerPeer* next = nullptr;
    for (HeadlessTimerPeer* t : timers_)
      if (t->running_ && t->interval_ > 0 && t->due_ <= end && (!next || t->due_ < next->due_))
        next = t;
    if (!next) break;
    now_ = next->due_;
    next->due_ += next->interval_;
    next->timer_.tick();
  }
  now_ = std::max(now_, end);
}

bool HeadlessBackend::isAnotherInstanceWindow(std::intptr_t window) {
  return std::find(otherInstanceWindows.begin(), otherInstanceWindows.end(), window) !=
         otherInstanceWindows.end();
}

void HeadlessBackend::waitForProgramOf(std::intptr_t window, int) {
  waitedFor.push_back(window);
  if (whileOtherInstanceEnds) whileOtherInstanceEnds(window);
}

bool HeadlessBackend::isOnSomeMonitor(const TwipsRect& b) {
  const float w = static_cast<float>(screenFacts.widthPixels) * screenFacts.twipsPerPixelX;
  const float h = static_cast<float>(screenFacts.heightPixels) * screenFacts.twipsPerPixelY;
  return b.left < w && b.top < h && b.left + b.width > 0 && b.top + b.height > 0;
}

bool HeadlessBackend::pressShortcut(Form& form, char letter) {
  HeadlessFormPeer* peer = peerOf(form);
  if (!peer || !peer->visible() || !peer->enabled()) return false;
  MenuItem* item = form.menuBar().findByShortcut(letter);
  return item && item->click();
}

bool HeadlessBackend::clickMenu(Form& form, const std::string& name) {
  HeadlessFormPeer* peer = peerOf(form);
  if (!peer || !peer->enabled()) return false;
  MenuItem* item = form.menuBar().find(name);
  return item && item->click();
}

void HeadlessBackend::closeWindow(Form& form) {
  if (form.loaded()) form.onCloseRequested();
}

bool HeadlessBackend::dropFiles(Form& form, const std::vector<std::string>& paths) {
  HeadlessFormPeer* peer = peerOf(form);
  if (!peer || !peer->enabled() || !form.design().acceptsFiles) return false;
  form.onFilesDropped(paths);
  return true;
}

void HeadlessBackend::userSetBounds(Form& form, const TwipsRect& bounds) {
  if (HeadlessFormPeer* peer = peerOf(form)) peer->place(bounds);
}

HeadlessFormPeer::HeadlessFormPeer(HeadlessBackend& backend, Form& form, std::intptr_t handle)
    : backend_(backend), form_(form), handle_(handle), caption_(form.Caption()) {
  // The outer frame around the design client area.
  const FormDesign& d = form.design();
  const ScreenFacts s = backend.screen();
  float frameX = 0, frameY = 0, extraTop = 0;
  if (d.border != BorderStyle::None) {
    frameX = kFramePixels * s.twipsPerPixelX;
    frameY = kFramePixels * s.twipsPerPixelY;
    extraTop = kCaptionPixels * s.twipsPerPixelY;
  }
  if (!form.menuBar().entries().empty()) extraTop += kMenuPixels * s.twipsPerPixelY;
  normal_ = {d.client.left - frameX, d.client.top - frameY - extraTop, d.client.width + 2 * frameX,
             d.client.height + 2 * frameY + extraTop};
  backend_.forms_.push_back(this);
}

HeadlessFormPeer::~HeadlessFormPeer() { std::erase(backend_.forms_, this); }

TwipsRect HeadlessFormPeer::outerBounds() const {
  const ScreenFacts s = backend_.screen();
  switch (state_) {
    case WindowState::Minimized:
      return {kMinimizedPosPixels * s.twipsPerPixelX, kMinimizedPosPixels * s.twipsPerPixelY,
              kMinimizedWidthPixels * s.twipsPerPixelX, kMinimizedHeightPixels * s.twipsPerPixelY};
    case WindowState::Maximized:
      return {-kFramePixels * s.twipsPerPixelX, -kFramePixels * s.twipsPerPixelY,
              (static_cast<float>(s.widthPixels) + 2 * kFramePixels) * s.twipsPerPixelX,
              (static_cast<float>(s.heightPixels) + 2 * kFramePixels) * s.twipsPerPixelY};
    case WindowState::Normal:
      break;
  }
  return normal_;
}

void HeadlessFormPeer::setOuterBounds(const TwipsRect& bounds) { place(bounds); }

void HeadlessFormPeer::place(const TwipsRect& bounds) {
  // Windows keeps whole pixels.
  const ScreenFacts s = backend_.screen();
  auto snap = [](float v, float tpp) {
    return static_cast<float>(static_cast<long>(v / tpp)) * tpp;
  };
  const TwipsRect snapped{snap(bounds.left, s.twipsPerPixelX), snap(bounds.top, s.twipsPerPixelY),
                          snap(bounds.width, s.twipsPerPixelX),
                          snap(bounds.height, s.twipsPerPixelY)};
  const bool resized = snapped.width != normal_.width || snapped.height != normal_.height;
  normal_ = snapped;
  if (resized && state_ == WindowState::Normal) form_.onResized();
}

float HeadlessFormPeer::clientWidth() const {
  const ScreenFacts s = backend_.screen();
  const float frame = form_.design().border == BorderStyle::None ? 0 : kFramePixels;
  return std::max(0.0f, outerBounds().width - 2 * frame * s.twipsPerPixelX);
}

float HeadlessFormPeer::clientHeight() const {
  const ScreenFacts s = backend_.screen();
  float extra = 0;
  if (form_.design().border != BorderStyle::None) extra += 2 * kFramePixels + kCaptionPixels;
  if (!form_.menuBar().entries().empty()) extra += kMenuPixels;
  return std::max(0.0f, outerBounds().height - extra * s.twipsPerPixelY);
}

void HeadlessFormPeer::setWindowState(WindowState state) {
  if (state == state_) return;
  state_ = state;
  form_.onResized();
}

void HeadlessControlPeer::present(const std::uint32_t* pixels, int width, int height) {
  frame_.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
  frameWidth_ = width;
  frameHeight_ = height;
  ++framesPresented_;
}

namespace {

// The entry a path of captions names ("Quality/Low"), looked up through the submenus.
const PopupEntry* entryNamed(const std::vector<PopupEntry>& entries, const std::string& path) {
  const size_t slash = path.find('/');
  const std::string first = path.substr(0, slash);
  for (const PopupEntry& e : entries) {
    if (e.separator() || e.caption != first) continue;
    if (slash == std::string::npos) return e.submenu.empty() ? &e : nullptr;
    return e.enabled ? entryNamed(e.submenu, path.substr(slash + 1)) : nullptr;
  }
  return nullptr;
}

}  // namespace

int HeadlessControlPeer::showPopupMenu(const std::vector<PopupEntry>& entries, int x, int y) {
  popupRequests.push_back({entries, x, y});
  const PopupEntry* chosen = entryNamed(entries, popupAnswer);
  popupAnswer.clear();
  return chosen && chosen->enabled ? chosen->id : 0;
}

}  // namespace orv::headless
