#include "win32/surface_window.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "player/button_keys.h"
#include "win32/form_window.h"
#include "win32/win32_backend.h"

namespace orv::win32 {
namespace {

constexpr char kClassName[] = "OrvantaSurface";

// Characters Ctrl with a letter types (Ctrl+A is the menu's Show All).
constexpr unsigned kCtrlC = 3, kCtrlV = 22, kCtrlX = 24;
constexpr size_t kMaxPastedChars = 1 << 20;

// Text on the clipboard as UTF-16, and back.
void putOnClipboard(HWND hwnd, const std::u32string& text) {
  std::wstring wide;
  for (char32_t c : text) {
    if (c >= 0x10000) {
      wide += wchar_t(0xD800 + ((c - 0x10000) >> 10));
      wide += wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else if (c == U'\r') {
      wide += L"\r\n";  // lines as other programs expect them
    } else {
      wide += wchar_t(c);
    }
  }
  if (!OpenClipboard(hwnd)) return;
  EmptyClipboard();
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t))) {
    if (void* p = GlobalLock(memory)) {
      std::copy(wide.c_str(), wide.c_str() + wide.size() + 1, static_cast<wchar_t*>(p));
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

std::u32string takeFromClipboard(HWND hwnd) {
  std::u32string text;
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(hwnd)) return text;
  if (HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(memory))) {
      const size_t most = std::min<size_t>(GlobalSize(memory) / sizeof(wchar_t), kMaxPastedChars);
      for (size_t i = 0; i < most && p[i]; ++i) {
        char32_t c = p[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < most && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000)
          c = 0x10000 + ((c - 0xD800) << 10) + (p[++i] - 0xDC00);
        text += c;
      }
      GlobalUnlock(memory);
    }
  }
  CloseClipboard();
  return text;
}

void registerSurfaceClass(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DefWindowProcA;  // replaced per window below
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = nullptr;  // every pixel is painted: no erase, no flicker
  wc.lpszClassName = kClassName;
  registered = RegisterClassExA(&wc) != 0;
}

// The entries as a Win32 pop-up menu (submenus included); the caller destroys it.
HMENU buildPopup(const std::vector<PopupEntry>& entries) {
  HMENU menu = CreatePopupMenu();
  for (const PopupEntry& e : entries) {
    if (e.separator()) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    // "&" would mark a mnemonic: a movie's captions are shown as they are.
    std::string caption;
    for (char c : e.caption) caption += c == '&' ? std::string("&&") : std::string(1, c);
    UINT flags = MF_STRING | (e.enabled ? MF_ENABLED : MF_GRAYED) | (e.checked ? MF_CHECKED : 0);
    if (!e.submenu.empty()) {
      AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(buildPopup(e.submenu)),
                  caption.c_str());
    } else {
      AppendMenuA(menu, flags, static_cast<UINT_PTR>(e.id), caption.c_str());
    }
  }
  return menu;
}

// Black or white, whichever stands out on the colour behind the text.
COLORREF contrastingText(std::uint32_t argb) {
  const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  return (r * 299 + g * 587 + b * 114) / 1000 >= 128 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

}  // namespace

bool isSurfaceWindow(HWND hwnd) {
  char name[32] = {};
  return GetClassNameA(hwnd, name, sizeof name) > 0 && std::string(name) == kClassName;
}

SurfaceWindow::SurfaceWindow(Win32Backend& backend, FormWindow& parent, MovieControl* control)
    : backend_(backend), control_(control) {
  registerSurfaceClass(backend.instance());
  hwnd_ = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent.hwnd(),
                          nullptr, backend.instance(), nullptr);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SurfaceWindow::windowProc));
}

SurfaceWindow::~SurfaceWindow() {
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

LRESULT CALLBACK SurfaceWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<SurfaceWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self) {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        self->paint();
        return 0;
      case WM_MOUSEWHEEL:
        if (self->control_) {
          // Whole notches, each the lines the system scrolls (3 unless set otherwise).
          self->wheel_ += GET_WHEEL_DELTA_WPARAM(wParam);
          const int notches = self->wheel_ / WHEEL_DELTA;
          self->wheel_ -= notches * WHEEL_DELTA;
          UINT lines = 3;
          SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
          if (lines > 100) lines = 3;                            // "a screen at a time"
          POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};  // screen coordinates
          ScreenToClient(hwnd, &at);
          if (notches) self->control_->mouseWheel(at.x, at.y, notches * int(lines));
        }
        return 0;
      case WM_MOUSEMOVE:
        if (self->control_) self->control_->mouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        self->showCursor();
        return 0;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:  // the class takes double clicks: the second press comes so
        // Held, the button keeps the mouse: a release outside still reaches the movie.
        SetCapture(hwnd);
        if (self->control_) self->control_->mouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        self->showCursor();
        return 0;
      case WM_LBUTTONUP:
        if (GetCapture() == hwnd) ReleaseCapture();
        if (self->control_) self->control_->mouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        self->showCursor();
        return 0;
      case WM_CHAR:
        if (self->control_) {
          // The window is an ANSI one: its characters come in the system's code page.
          unsigned character = static_cast<unsigned>(wParam);
          // Editing keys for the movie's input fields, through the clipboard.
          if (character == kCtrlC || character == kCtrlX) {
            const std::u32string text = self->control_->copyText(character == kCtrlX);
            if (!text.empty()) putOnClipboard(hwnd, text);
            return 0;
          }
          if (character == kCtrlV) {
            self->control_->pasteText(takeFromClipboard(hwnd));
            return 0;
          }
          if (character >= 0x80 && character <= 0xFF) {
            const char ansi = static_cast<char>(character);
            wchar_t wide = 0;
            character = MultiByteToWideChar(CP_ACP, 0, &ansi, 1, &wide, 1) == 1 ? wide : 0;
          }
          self->control_->keyPress(buttonKeyFromCharacter(character));
        }
        return 0;
      case WM_MBUTTONDOWN:
      case WM_MBUTTONUP:
        if (self->control_)
          self->control_->middleButton(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), message == WM_MBUTTONDOWN);
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        if (self->control_) self->control_->focusChanged(message == WM_SETFOCUS);
        return 0;
      case WM_RBUTTONUP:
        self->openContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), false);
        return 0;
      case WM_CONTEXTMENU:
        if (lParam == -1) {
          self->openContextMenu(0, 0, true);
        } else {
          POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
          ScreenToClient(hwnd, &at);
          self->openContextMenu(at.x, at.y, false);
        }
        return 0;
      case WM_KEYDOWN:
        if (wParam == VK_APPS) {
          self->openContextMenu(0, 0, true);
          return 0;
        }
        if (self->control_) {
          self->control_->keyDown(static_cast<int>(wParam));
          self->control_->keyPress(buttonKeyFromVirtualKey(static_cast<unsigned>(wParam)));
        }
        return 0;
      case WM_KEYUP:
        if (self->control_) self->control_->keyUp(static_cast<int>(wParam));
        return 0;
      case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
          self->showCursor();
          return TRUE;
        }
        break;
      default:
        break;
    }
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void SurfaceWindow::openContextMenu(int x, int y, bool fromKeyboard) {
  if (!control_ || !IsWindowVisible(hwnd_)) return;
  control_->contextMenu(x, y, fromKeyboard);
  showCursor();
}

int SurfaceWindow::showPopupMenu(const std::vector<PopupEntry>& entries, int x, int y) {
  if (entries.empty()) return 0;
  HMENU menu = buildPopup(entries);
  POINT at{x, y};
  ClientToScreen(hwnd_, &at);
  // While the menu is open its keys are its own: Escape, which closes it, is not the
  // windows' Escape (the full-screen window's key poll must not see it).
  backend_.menuKeysHeld(true);
  const int chosen = static_cast<int>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_NONOTIFY, at.x,
      at.y, 0, hwnd_, nullptr));
  backend_.menuKeysHeld(false);
  DestroyMenu(menu);
  return chosen;
}

void SurfaceWindow::putClipboardText(const std::u32string& text) {
  if (!text.empty()) putOnClipboard(hwnd_, text);
}

std::u32string SurfaceWindow::clipboardText() { return takeFromClipboard(hwnd_); }

void SurfaceWindow::showCursor() {
  if (control_ && control_->pointerHidden()) {
    SetCursor(nullptr);
    return;
  }
  const bool hand = control_ && control_->handCursor();
  SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(hand ? IDC_HAND : IDC_ARROW)));
}

void SurfaceWindow::setBounds(const TwipsRect& b) {
  SetWindowPos(hwnd_, nullptr, backend_.toPixelsX(b.left), backend_.toPixelsY(b.top),
               backend_.toPixelsX(b.width), backend_.toPixelsY(b.height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void SurfaceWindow::setVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }

void SurfaceWindow::present(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) {
    frame_.clear();
    frameWidth_ = frameHeight_ = 0;
  } else {
    frame_.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
    frameWidth_ = width;
    frameHeight_ = height;
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void SurfaceWindow::setNotice(const std::string& notice) {
  if (notice == notice_) return;
  notice_ = notice;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void SurfaceWindow::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int w = client.right, h = client.bottom;
  if (w <= 0 || h <= 0) {
    EndPaint(hwnd_, &ps);
    return;
  }
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);

  std::uint32_t behindText = 0xFFFFFFFF;
  if (frameWidth_ > 0) {
    // Premultiplied ARGB over black is the colour itself: a 32-bit BGRA DIB, top-down.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = frameWidth_;
    info.bmiHeader.biHeight = -frameHeight_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(memory, COLORONCOLOR);
    StretchDIBits(memory, 0, 0, w, h, 0, 0, frameWidth_, frameHeight_, frame_.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    behindText = frame_[static_cast<size_t>(frameHeight_ / 2) * frameWidth_ + frameWidth_ / 2];
  } else {
    FillRect(memory, &client, GetSysColorBrush(COLOR_WINDOW));
    behindText = 0xFF000000u | GetSysColor(COLOR_WINDOW);
    // COLORREF is 0x00BBGGRR: turn it into 0xRRGGBB for the contrast test.
    behindText = 0xFF000000u | ((behindText & 0xFF) << 16) | (behindText & 0xFF00) |
                 ((behindText >> 16) & 0xFF);
  }

  if (!notice_.empty()) {
    HGDIOBJ oldFont = SelectObject(memory, backend_.font());
    SetBkMode(memory, TRANSPARENT);
    SetTextColor(memory, contrastingText(behindText));
    // Centred as a block: measure the wrapped text, then place it in the middle.
    RECT box{8, 0, std::max(9, w - 8), 0};
    DrawTextA(memory, notice_.c_str(), -1, &box,
              DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    const int textHeight = box.bottom - box.top;
    RECT place{8, (h - textHeight) / 2, std::max(9, w - 8), (h - textHeight) / 2 + textHeight};
    DrawTextA(memory, notice_.c_str(), -1, &place, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(memory, oldFont);
  }

  BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(hwnd_, &ps);
}

}  // namespace orv::win32
