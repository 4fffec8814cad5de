#include "win32/form_window.h"
#include "win32/surface_window.h"

#include <windowsx.h>

#include <set>

#include "runtime/controls.h"
#include "runtime/form.h"
#include "runtime/timer.h"
#include "win32/win32_backend.h"

namespace orv::win32 {
namespace {

struct WindowStyle {
  DWORD style, exStyle;
};

WindowStyle styleFor(const FormDesign& design) {
  DWORD style = WS_CLIPCHILDREN;
  DWORD exStyle = 0;
  switch (design.border) {
    case BorderStyle::None:
      style |= WS_POPUP;
      break;
    case BorderStyle::FixedSingle:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_BORDER;
      break;
    case BorderStyle::FixedDialog:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      exStyle |= WS_EX_DLGMODALFRAME;
      break;
    case BorderStyle::Sizable:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      break;
  }
  if (design.border == BorderStyle::Sizable || design.border == BorderStyle::FixedSingle) {
    if (design.minButton) style |= WS_MINIMIZEBOX;
    if (design.maxButton) style |= WS_MAXIMIZEBOX;
  }
  exStyle |= WS_EX_CONTROLPARENT;
  return {style, exStyle};
}

}  // namespace

void FormWindow::registerClass(const std::string& className) {
  static std::set<std::string> registered;
  if (registered.count(className)) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &FormWindow::windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className.c_str();
  if (RegisterClassExA(&wc)) registered.insert(className);
}

FormWindow::FormWindow(Win32Backend& backend, Form& form) : backend_(backend), form_(form) {
  const FormDesign& design = form.design();
  registerClass(design.windowClass);
  const WindowStyle ws = styleFor(design);
  if (!form.menuBar().entries().empty()) menu_ = std::make_unique<WindowMenu>(form.menuBar());
  HMENU menu = menu_ ? menu_->handle() : nullptr;

  // The design gives the client area; the window is that plus its frame.
  RECT r{backend.toPixelsX(design.client.left), backend.toPixelsY(design.client.top), 0, 0};
  r.right = r.left + backend.toPixelsX(design.client.width);
  r.bottom = r.top + backend.toPixelsY(design.client.height);
  AdjustWindowRectEx(&r, ws.style, menu != nullptr, ws.exStyle);
  // A window kept off the task bar is owned by a hidden window.
  HWND owner = design.showInTaskbar ? nullptr : backend.hiddenOwner();
  hwnd_ = CreateWindowExA(ws.exStyle, design.windowClass.c_str(), form.Caption().c_str(), ws.style,
                          r.left, r.top, r.right - r.left, r.bottom - r.top, owner, menu,
                          backend.instance(), this);
  if (design.hasIcon) {
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(backend.icon(false)));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(backend.icon(true)));
  }
  RECT client{};
  GetClientRect(hwnd_, &client);
  lastClientWidth_ = client.right;
  lastClientHeight_ = client.bottom;
  if (design.acceptsFiles) DragAcceptFiles(hwnd_, TRUE);
  backend_.formCreated(*this);
}

FormWindow::~FormWindow() {
  backend_.formDestroyed(*this);
  if (!hwnd_) return;
  // Messages sent while the window goes must not reach this object any more.
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  for (const auto& [id, timer] : timers_) KillTimer(hwnd_, id);
  if (menu_) SetMenu(hwnd_, nullptr);  // the menu is WindowMenu's to destroy
  DestroyWindow(hwnd_);
}

LRESULT CALLBACK FormWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* self = static_cast<FormWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  // The handler may unload the form, which destroys `self`: nothing may touch it after.
  return self->handle(message, wParam, lParam);
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      forwardResize();
      return 0;
    case WM_MOUSEWHEEL: {
      // The wheel goes to the window with the keyboard focus: pass it to the child under
      // the pointer (the movie), as the user expects.
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      HWND under = WindowFromPoint(at);
      if (under && under != hwnd_ && IsChild(hwnd_, under))
        return SendMessageA(under, message, wParam, lParam);
      break;
    }
    case WM_CLOSE:
      // The run-time decides: its unload destroys this window.
      form_.onCloseRequested();
      return 0;
    case WM_TIMER: {
      auto it = timers_.find(wParam);
      if (it == timers_.end()) break;
      it->second->tick();
      return 0;
    }
    case WM_COMMAND: {
      if (lParam != 0) {
        auto it = commandTargets_.find(reinterpret_cast<HWND>(lParam));
        if (it != commandTargets_.end() && HIWORD(wParam) == BN_CLICKED) {
          auto onClick = it->second;  // the click may unload the form
          onClick();
        }
        return 0;
      }
      if (MenuItem* item = form_.menuBar().findByCommand(LOWORD(wParam))) item->click();
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) backend_.formActivated(*this);
      break;
    case WM_SETFOCUS:
      // Keyboard focus goes on to the first control that takes it, as in a dialog.
      if (wantsDialogKeys()) {
        if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) {
          SetFocus(first);
          return 0;
        }
      }
      break;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      // Shift+F10 opens the movie's own menu, as the menu key does (not the menu bar).
      if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0 && hasVisibleMovie()) {
        if (message == WM_SYSKEYDOWN)
          forwardKeyToMovies(WM_CONTEXTMENU, 0, static_cast<LPARAM>(-1));
        return 0;
      }
      break;
    case WM_DROPFILES:
      filesDropped(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      // The form keeps the keyboard; the movies shown in it hear the keys typed.
      forwardKeyToMovies(message, wParam, lParam);
      break;
    case WM_CTLCOLORSTATIC:
      // Labels sit on the form's face colour.
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
      break;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void FormWindow::forwardKeyToMovies(UINT message, WPARAM wParam, LPARAM lParam) {
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (isSurfaceWindow(child) && IsWindowVisible(child))
      SendMessageA(child, message, wParam, lParam);
}

bool FormWindow::hasVisibleMovie() const {
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (isSurfaceWindow(child) && IsWindowVisible(child)) return true;
  return false;
}

void FormWindow::filesDropped(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileA(drop, i, nullptr, 0);
    if (length == 0 || length > 32767) continue;  // longer than any Windows path
    std::string path(length + 1, '\0');
    const UINT got = DragQueryFileA(drop, i, path.data(), length + 1);
    path.resize(got);
    paths.push_back(path);
  }
  DragFinish(drop);
  // A window that takes no input (a modal window is open) takes no files either.
  if (!paths.empty() && form_.design().acceptsFiles && IsWindowEnabled(hwnd_))
    form_.onFilesDropped(paths);
}

void FormWindow::forwardResize() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const WindowState state = windowState();
  if (client.right == lastClientWidth_ && client.bottom == lastClientHeight_ && state == lastState_)
    return;
  lastClientWidth_ = client.right;
  lastClientHeight_ = client.bottom;
  lastState_ = state;
  form_.onResized();
}

TwipsRect FormWindow::outerBounds() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return {backend_.toTwipsX(r.left), backend_.toTwipsY(r.top), backend_.toTwipsX(r.right - r.left),
          backend_.toTwipsY(r.bottom - r.top)};
}

void FormWindow::setOuterBounds(const TwipsRect& b) {
  SetWindowPos(hwnd_, nullptr, backend_.toPixelsX(b.left), backend_.toPixelsY(b.top),
               backend_.toPixelsX(b.width), backend_.toPixelsY(b.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

float FormWindow::clientWidth() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return backend_.toTwipsX(r.right);
}

float FormWindow::clientHeight() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return backend_.toTwipsY(r.bottom);
}

WindowState FormWindow::windowState() const {
  if (pendingState_) return *pendingState_;
  if (IsIconic(hwnd_)) return WindowState::Minimized;
  if (IsZoomed(hwnd_)) return WindowState::Maximized;
  return WindowState::Normal;
}

void FormWindow::setWindowState(WindowState state) {
  if (!IsWindowVisible(hwnd_)) {
    // ShowWindow would show the window: a hidden form takes the state when shown.
    pendingState_ = state;
    return;
  }
  switch (state) {
    case WindowState::Minimized:
      ShowWindow(hwnd_, SW_MINIMIZE);
      break;
    case WindowState::Maximized:
      ShowWindow(hwnd_, SW_MAXIMIZE);
      break;
    case WindowState::Normal:
      ShowWindow(hwnd_, SW_RESTORE);
      break;
  }
}

bool FormWindow::visible() const { return IsWindowVisible(hwnd_) != FALSE; }

void FormWindow::setVisible(bool visible) {
  if (!visible) {
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  int command = SW_SHOW;
  if (pendingState_) {
    switch (*pendingState_) {
      case WindowState::Minimized:
        command = SW_SHOWMINIMIZED;
        break;
      case WindowState::Maximized:
        command = SW_SHOWMAXIMIZED;
        break;
      case WindowState::Normal:
        command = IsIconic(hwnd_) || IsZoomed(hwnd_) ? SW_RESTORE : SW_SHOW;
    }
    pendingState_.reset();
  }
  ShowWindow(hwnd_, command);
  // A window shown again comes to the front, as the user expects of a shown form.
  if (command != SW_SHOWMINIMIZED) SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
}

void FormWindow::setCaption(const std::string& caption) { SetWindowTextA(hwnd_, caption.c_str()); }

void FormWindow::setEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

void FormWindow::menuItemChanged(const MenuItem& item) {
  if (menu_) menu_->update(item, hwnd_);
}

void FormWindow::stopTimers() {
  for (const auto& [id, timer] : timers_) KillTimer(hwnd_, id);
  timers_.clear();
}

bool FormWindow::wantsDialogKeys() const {
  if (menu_) return false;
  for (const Control* control : form_.controls())
    if (control->kind() == ControlKind::CommandButton) return true;
  return false;
}

}  // namespace orv::win32
