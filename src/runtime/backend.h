#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/geometry.h"
#include "runtime/popup_menu.h"

namespace orv {

class Control;
class Form;
class MenuItem;
class RuntimeError;
class SystemApi;
class Timer;

// The platform side of a loaded form: a real window, or state in memory.
class FormPeer {
 public:
  virtual ~FormPeer() = default;
  virtual TwipsRect outerBounds() const = 0;
  // Moves and sizes the window; the run-time has already checked the window state.
  virtual void setOuterBounds(const TwipsRect& bounds) = 0;
  // Size of the client area (below the menu bar), twips.
  virtual float clientWidth() const = 0;
  virtual float clientHeight() const = 0;
  virtual WindowState windowState() const = 0;
  virtual void setWindowState(WindowState state) = 0;
  virtual bool visible() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual void setCaption(const std::string& caption) = 0;
  // Whether the window takes input (a modal window elsewhere disables it).
  virtual void setEnabled(bool enabled) = 0;
  virtual std::intptr_t handle() const = 0;
  // A menu entry's caption, check mark, enabled or visible state changed.
  virtual void menuItemChanged(const MenuItem& item) = 0;
};

// The platform side of a visible control, placed in its form's client area.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void setBounds(const TwipsRect& bounds) = 0;
  virtual void setVisible(bool visible) = 0;
  virtual void setText(const std::string& text) = 0;
};

// A control whose pixels the program draws (the movie control).
class SurfacePeer : public ControlPeer {
 public:
  // Premultiplied 0xAARRGGBB pixels, row-major, width * height of them.
  virtual void present(const std::uint32_t* pixels, int width, int height) = 0;
  // A short text drawn inside the control instead of a picture; "" removes it.
  virtual void setNotice(const std::string& notice) = 0;
  // Shows `entries` as a pop-up menu at the control's pixel (x, y) and waits for the
  // user: the chosen entry's id, or 0 when the menu was dismissed.
  virtual int showPopupMenu(const std::vector<PopupEntry>& entries, int x, int y) = 0;
  // The system's clipboard as text (the edit entries of the menu over a text field).
  virtual void putClipboardText(const std::u32string& text) = 0;
  virtual std::u32string clipboardText() = 0;
};

class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  virtual void start(int intervalMs) = 0;
  virtual void stop() = 0;
};

struct OpenDialogRequest {
  std::string filter;    // "Label|*.a;*.b" pairs
  std::string fileName;  // initial file name
  int maxFileSize = 260;
  std::string title;
  std::string initialDirectory;
};

struct AppFacts {
  std::string path;     // program directory, no trailing backslash
  std::string exeName;  // program file name without directory and extension
  std::string command;  // command-line arguments, taken whole
  bool prevInstance = false;
};

struct ScreenFacts {
  int widthPixels = 1024;
  int heightPixels = 768;
  float twipsPerPixelX = 15;
  float twipsPerPixelY = 15;
};

// What the form run-time needs from a platform. Events flow back as calls on the
// run-time's objects (Form::onResized, MenuItem::click, Timer::tick ...).
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::unique_ptr<FormPeer> createForm(Form& form) = 0;
  virtual std::unique_ptr<ControlPeer> createControl(Control& control, FormPeer& parent) = 0;
  virtual std::unique_ptr<SurfacePeer> createSurface(Control& control, FormPeer& parent) = 0;
  virtual std::unique_ptr<TimerPeer> createTimer(Timer& timer, FormPeer& parent) = 0;
  // Runs the open-file dialog; nullopt when the user cancels.
  virtual std::optional<std::string> showOpenDialog(const OpenDialogRequest& request,
                                                    FormPeer* owner) = 0;
  // Shows a form modally: returns once the form is hidden or unloaded.
  virtual void runModal(Form& form) = 0;
  virtual AppFacts appFacts() = 0;
  virtual ScreenFacts screen() = 0;
  virtual SystemApi& system() = 0;
  // A monotonic clock in milliseconds.
  virtual double nowMs() = 0;
  // An error escaped every handler: report it and end the program.
  virtual void reportUntrappedError(const RuntimeError& error) = 0;
  // The program ends at once; no handler runs.
  virtual void endProgram() = 0;
  // The last loaded form went away.
  virtual void lastFormUnloaded() = 0;
  // Whether `window` is the main window of another running instance of this same
  // program file (so that closing it cannot hit another application).
  virtual bool isAnotherInstanceWindow(std::intptr_t window) = 0;
  // Waits, at most `timeoutMs`, until the program owning `window` has ended.
  virtual void waitForProgramOf(std::intptr_t window, int timeoutMs) = 0;
  // Whether any part of `bounds` (screen twips) lies on a monitor.
  virtual bool isOnSomeMonitor(const TwipsRect& bounds) = 0;
};

}  // namespace orv
