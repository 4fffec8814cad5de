#pragma once

#include <windows.h>

#include "runtime/backend.h"

namespace orv {
class Control;
}

namespace orv::win32 {

class FormWindow;
class Win32Backend;

// A label, command button or icon picture: a standard child window of its form.
class ChildControl : public ControlPeer {
 public:
  ChildControl(Win32Backend& backend, Control& control, FormWindow& parent);
  ~ChildControl() override;
  void setBounds(const TwipsRect& bounds) override;
  void setVisible(bool visible) override;
  void setText(const std::string& text) override;

  HWND hwnd() const { return hwnd_; }

 private:
  Win32Backend& backend_;
  FormWindow& parent_;
  HWND hwnd_ = nullptr;
};

}  // namespace orv::win32
