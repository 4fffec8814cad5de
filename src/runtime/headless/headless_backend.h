#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "runtime/headless/simulated_system.h"

namespace orv::headless {

class HeadlessFormPeer;
class HeadlessTimerPeer;

// The run-time without a window system: windows, controls and timers are state in
// memory, the clock moves only when a test advances it, and tests raise the events a
// user would (menu clicks, shortcuts, closing a window, moving it).
class HeadlessBackend : public Backend {
 public:
  HeadlessBackend();
  ~HeadlessBackend() override;

  std::unique_ptr<FormPeer> createForm(Form& form) override;
  std::unique_ptr<ControlPeer> createControl(Control& control, FormPeer& parent) override;
  std::unique_ptr<SurfacePeer> createSurface(Control& control, FormPeer& parent) override;
  std::unique_ptr<TimerPeer> createTimer(Timer& timer, FormPeer& parent) override;
  std::optional<std::string> showOpenDialog(const OpenDialogRequest& request,
                                            FormPeer* owner) override;
  void runModal(Form& form) override;
  AppFacts appFacts() override { return app; }
  ScreenFacts screen() override { return screenFacts; }
  SystemApi& system() override { return system_; }
  double nowMs() override { return now_; }
  void reportUntrappedError(const RuntimeError& error) override;
  void endProgram() override;
  void lastFormUnloaded() override { programEnded = true; }
  bool isAnotherInstanceWindow(std::intptr_t window) override;
  void waitForProgramOf(std::intptr_t window, int timeoutMs) override;
  bool isOnSomeMonitor(const TwipsRect& bounds) override;

  // --- what tests set and drive ---
  AppFacts app;
  ScreenFacts screenFacts;
  SimulatedSystem& simulated() { return system_; }
  // Answers for the coming open-file dialogs, in order; nullopt (or none left) cancels.
  std::deque<std::optional<std::string>> dialogAnswers;
  std::vector<OpenDialogRequest> dialogRequests;
  // Runs while a form is shown modally (the user's actions in it).
  std::function<void(Form&)> whileModal;
  // Advances the clock, firing every timer that falls due, in time order.
  void advance(double ms);
  // Main windows of other running instances of this program.
  std::vector<std::intptr_t> otherInstanceWindows;
  // Runs while the program waits for another instance to end (what that instance does).
  std::function<void(std::intptr_t window)> whileOtherInstanceEnds;
  std::vector<std::intptr_t> waitedFor;
  // Ctrl+letter in the form: runs the entry's handler when the form can take input.
  bool pressShortcut(Form& form, char letter);
  bool clickMenu(Form& form, const std::string& name);
  // The user drops files from the shell on the window: reaches the form when its design
  // accepts files and it takes input; false otherwise.
  bool dropFiles(Form& form, const std::vector<std::string>& paths);
  // The user closes the window (close box, Alt+F4).
  void closeWindow(Form& form);
  // The user drags or resizes the window (no run-time checks apply).
  void userSetBounds(Form& form, const TwipsRect& bounds);

  // --- what tests look at ---
  std::vector<std::string> untrappedErrors;  // each report's text
  bool programEnded = false;                 // End, an untrapped error, or the last form gone
  bool endCalled = false;                    // the End statement
  static HeadlessFormPeer* peerOf(Form& form);

 private:
  friend class HeadlessTimerPeer;
  SimulatedSystem system_;
  double now_ = 0;
  std::intptr_t nextHandle_ = 0x10010;
  std::vector<HeadlessTimerPeer*> timers_;
  std::vector<HeadlessFormPeer*> forms_;
  friend class HeadlessFormPeer;
};

class HeadlessFormPeer : public FormPeer {
 public:
  HeadlessFormPeer(HeadlessBackend& backend, Form& form, std::intptr_t handle);
  ~HeadlessFormPeer() override;
  TwipsRect outerBounds() const override;
  void setOuterBounds(const TwipsRect& bounds) override;
  float clientWidth() const override;
  float clientHeight() const override;
  WindowState windowState() const override { return state_; }
  void setWindowState(WindowState state) override;
  bool visible() const override { return visible_; }
  void setVisible(bool visible) override { visible_ = visible; }
  void setCaption(const std::string& caption) override { caption_ = caption; }
  void setEnabled(bool enabled) override { enabled_ = enabled; }
  std::intptr_t handle() const override { return handle_; }
  void menuItemChanged(const MenuItem&) override {}

  Form& form() const { return form_; }
  bool enabled() const { return enabled_; }
  const std::string& caption() const { return caption_; }
  // Moves without the run-time's checks, as the user or the system does.
  void place(const TwipsRect& bounds);

 private:
  HeadlessBackend& backend_;
  Form& form_;
  std::intptr_t handle_;
  TwipsRect normal_;
  WindowState state_ = WindowState::Normal;
  bool visible_ = false, enabled_ = true;
  std::string caption_;
};

class HeadlessControlPeer : public SurfacePeer {
 public:
  void setBounds(const TwipsRect& bounds) override { bounds_ = bounds; }
  void setVisible(bool visible) override { visible_ = visible; }
  void setText(const std::string& text) override { text_ = text; }
  void present(const std::uint32_t* pixels, int width, int height) override;
  void setNotice(const std::string& notice) override { notice_ = notice; }
  // Records the menu and answers with the entry `popupAnswer` names ("Quality/Low"), when
  // it is there and enabled; "" or anything else dismisses the menu.
  int showPopupMenu(const std::vector<PopupEntry>& entries, int x, int y) override;
  // A clipboard of its own.
  void putClipboardText(const std::u32string& text) override { clipboard = text; }
  std::u32string clipboardText() override { return clipboard; }
  std::u32string clipboard;

  struct PopupRequest {
    std::vector<PopupEntry> entries;
    int x = 0, y = 0;
  };
  std::vector<PopupRequest> popupRequests;
  std::string popupAnswer;

  TwipsRect bounds_;
  bool visible_ = true;
  std::string text_, notice_;
  std::vector<std::uint32_t> frame_;
  int frameWidth_ = 0, frameHeight_ = 0, framesPresented_ = 0;
};

}  // namespace orv::headless
