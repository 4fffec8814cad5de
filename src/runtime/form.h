#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/backend.h"
#include "runtime/menu.h"

namespace orv {

class Control;
class Runtime;
class Timer;

// What a form is at design time.
struct FormDesign {
  std::string caption;
  BorderStyle border = BorderStyle::Sizable;
  TwipsRect client;  // client area at design time, screen twips
  bool hasIcon = true;
  bool minButton = true;
  bool maxButton = true;
  bool showInTaskbar = true;
  // Files dragged from the shell may be dropped on the window (see onFilesDropped).
  bool acceptsFiles = false;
  // The platform window class; another instance's main window is recognised by it.
  std::string windowClass = "OrvantaForm";
};

enum class ShowMode { Modeless = 0, Modal = 1 };

// A window of the program. Loading creates its window (hidden) and its controls in
// creation order, then runs Form_Load; unloading runs Form_Unload and destroys them.
class Form {
 public:
  Form(Runtime& runtime, std::string name, FormDesign design);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Runtime& runtime() const { return runtime_; }
  const std::string& name() const { return name_; }
  const FormDesign& design() const { return design_; }

  void Load();
  bool loaded() const { return peer_ != nullptr; }
  void Show(ShowMode mode = ShowMode::Modeless);
  void Hide();
  void Unload();

  // Outer position and size, twips. Setting them while minimised or maximised raises
  // error 384; a negative size raises 380.
  float Left();
  float Top();
  float Width();
  float Height();
  void setLeft(float value);
  void setTop(float value);
  void setWidth(float value);
  void setHeight(float value);
  float ScaleWidth();
  float ScaleHeight();
  WindowState windowState();
  void setWindowState(WindowState state);
  bool Visible();
  void setVisible(bool visible);
  const std::string& Caption() const { return caption_; }
  void setCaption(const std::string& caption);
  std::intptr_t hWnd();

  MenuBar& menuBar() { return menuBar_; }
  const std::vector<Control*>& controls() const { return controls_; }
  const std::vector<Timer*>& timers() const { return timers_; }

  // Called by the backend.
  void onResized();
  virtual void onCloseRequested();
  // Files from the shell were dropped on a window whose design accepts them (full paths).
  virtual void onFilesDropped(const std::vector<std::string>& paths) { (void)paths; }
  FormPeer* peer() const { return peer_.get(); }

  // Controls and timers register themselves here when constructed.
  void addControl(Control& control);
  void addTimer(Timer& timer);
  void removeControl(Control& control);
  void removeTimer(Timer& timer);

 protected:
  virtual void Form_Load() {}
  virtual void Form_Unload(int& cancel) { (void)cancel; }
  virtual void Form_Resize() {}

 private:
  FormPeer& window();
  void setBounds(const TwipsRect& bounds);

  Runtime& runtime_;
  std::string name_;
  FormDesign design_;
  std::string caption_;
  MenuBar menuBar_;
  std::vector<Control*> controls_;
  std::vector<Timer*> timers_;
  std::unique_ptr<FormPeer> peer_;
  bool shownOnce_ = false;
  bool unloading_ = false;
};

}  // namespace orv
