#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "runtime/backend.h"
#include "win32/win32_system.h"

namespace orv::win32 {

class FormWindow;

// The form run-time on real Win32 windows: forms are top-level windows, controls are
// child windows, timers are SetTimer timers, and events come from the message loop.
class Win32Backend : public Backend {
 public:
  explicit Win32Backend(HINSTANCE instance);
  ~Win32Backend() override;

  std::unique_ptr<FormPeer> createForm(Form& form) override;
  std::unique_ptr<ControlPeer> createControl(Control& control, FormPeer& parent) override;
  std::unique_ptr<SurfacePeer> createSurface(Control& control, FormPeer& parent) override;
  std::unique_ptr<TimerPeer> createTimer(Timer& timer, FormPeer& parent) override;
  std::optional<std::string> showOpenDialog(const OpenDialogRequest& request,
                                            FormPeer* owner) override;
  void runModal(Form& form) override;
  AppFacts appFacts() override;
  ScreenFacts screen() override;
  SystemApi& system() override { return system_; }
  double nowMs() override;
  void reportUntrappedError(const RuntimeError& error) override;
  void endProgram() override;
  void lastFormUnloaded() override;
  bool isAnotherInstanceWindow(std::intptr_t window) override;
  void waitForProgramOf(std::intptr_t window, int timeoutMs) override;
  bool isOnSomeMonitor(const TwipsRect& bounds) override;

  // Runs the message loop until the program ends; returns the exit code.
  int run();

  // --- for the windows of this backend ---
  HINSTANCE instance() const { return instance_; }
  HICON icon(bool small) const { return small ? smallIcon_ : bigIcon_; }
  HFONT font() const { return font_; }
  // The hidden window that owns forms kept off the task bar.
  HWND hiddenOwner();
  float twipsPerPixelX() const { return twipsPerPixelX_; }
  float twipsPerPixelY() const { return twipsPerPixelY_; }
  int toPixelsX(float twips) const;
  int toPixelsY(float twips) const;
  float toTwipsX(int pixels) const { return static_cast<float>(pixels) * twipsPerPixelX_; }
  float toTwipsY(int pixels) const { return static_cast<float>(pixels) * twipsPerPixelY_; }
  void formCreated(FormWindow& window) { forms_.push_back(&window); }
  void formDestroyed(FormWindow& window);
  // A form's window became the active window (the most recent comes first).
  void formActivated(FormWindow& window);
  const std::vector<FormWindow*>& forms() const { return forms_; }
  UINT_PTR nextTimerId() { return ++lastTimerId_; }
  // A control's pop-up menu opened or closed (see Win32System::menuKeysHeld).
  void menuKeysHeld(bool open) { system_.menuKeysHeld(open); }

 private:
  // One message: false once WM_QUIT arrived (it is left for the outer loop to see).
  bool pumpOne(int& exitCode);

  HINSTANCE instance_;
  Win32System system_;
  HICON bigIcon_ = nullptr, smallIcon_ = nullptr;
  HFONT font_ = nullptr;
  HWND hiddenOwner_ = nullptr;
  float twipsPerPixelX_ = 15, twipsPerPixelY_ = 15;
  std::vector<FormWindow*> forms_;
  std::vector<FormWindow*> activationOrder_;
  UINT_PTR lastTimerId_ = 0;
  HANDLE instanceMutex_ = nullptr;
  bool prevInstance_ = false;
  LARGE_INTEGER counterFrequency_{};
};

}  // namespace orv::win32
