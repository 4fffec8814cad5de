#include "win32/child_controls.h"

#include "runtime/controls.h"
#include "win32/form_window.h"
#include "win32/win32_backend.h"

namespace orv::win32 {
namespace {

// Child ids stay clear of the menu's command ids and of IDOK/IDCANCEL.
int nextChildId() {
  static int id = 1000;
  return ++id;
}

}  // namespace

ChildControl::ChildControl(Win32Backend& backend, Control& control, FormWindow& parent)
    : backend_(backend), parent_(parent) {
  const char* windowClass = "STATIC";
  DWORD style = WS_CHILD;
  switch (control.kind()) {
    case ControlKind::Label:
      style |= SS_LEFT;
      break;
    case ControlKind::CommandButton:
      // Never the default button: Enter does not press it.
      windowClass = "BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::PictureBox:
      style |= SS_ICON;
      break;
    default:
      break;
  }
  hwnd_ = CreateWindowExA(0, windowClass, "", style, 0, 0, 0, 0, parent.hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextChildId())),
                          backend.instance(), nullptr);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(backend.font()), FALSE);
  if (auto* picture = dynamic_cast<PictureBox*>(&control); picture && picture->showsIcon())
    SendMessageA(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(backend.icon(false)), 0);
  if (auto* button = dynamic_cast<CommandButton*>(&control))
    parent_.addCommandTarget(hwnd_, [button] { button->click(); });
}

ChildControl::~ChildControl() {
  parent_.removeCommandTarget(hwnd_);
  DestroyWindow(hwnd_);
}

void ChildControl::setBounds(const TwipsRect& b) {
  SetWindowPos(hwnd_, nullptr, backend_.toPixelsX(b.left), backend_.toPixelsY(b.top),
               backend_.toPixelsX(b.width), backend_.toPixelsY(b.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void ChildControl::setVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void ChildControl::setText(const std::string& text) { SetWindowTextA(hwnd_, text.c_str()); }

}  // namespace orv::win32
