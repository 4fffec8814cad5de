#include "win32/win32_backend.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/controls.h"
#include "runtime/errors.h"
#include "runtime/form.h"
#include "runtime/timer.h"
#include "win32/app_facts.h"
#include "win32/child_controls.h"
#include "win32/form_window.h"
#include "win32/surface_window.h"

namespace orv::win32 {
namespace {

constexpr int kIconResource = 1;

class TimerWindow : public TimerPeer {
 public:
  TimerWindow(Win32Backend& backend, Timer& timer, FormWindow& window)
      : window_(window), timer_(timer), id_(backend.nextTimerId()) {}
  ~TimerWindow() override { stop(); }
  void start(int intervalMs) override {
    SetTimer(window_.hwnd(), id_, static_cast<UINT>(std::max(1, intervalMs)), nullptr);
    window_.addTimer(id_, timer_);
  }
  void stop() override {
    KillTimer(window_.hwnd(), id_);
    window_.removeTimer(id_);
  }

 private:
  FormWindow& window_;
  Timer& timer_;
  UINT_PTR id_;
};

HICON loadIcon(HINSTANCE instance, int size) {
  auto* icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIconResource), IMAGE_ICON,
                                             size, size, LR_DEFAULTCOLOR));
  return icon ? icon : LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

int toPixels(float twips, float twipsPerPixel) {
  // Whole pixels, as Windows keeps them; absurd values (a broken settings file) are held
  // inside what a window coordinate can be.
  const float pixels = twips / twipsPerPixel;
  if (!(pixels == pixels)) return 0;
  return static_cast<int>(std::clamp(pixels, -1.0e8f, 1.0e8f));
}

std::string imagePathOfProcess(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return "";
  char path[MAX_PATH * 4];
  DWORD size = sizeof path;
  std::string result;
  if (QueryFullProcessImageNameA(process, 0, path, &size)) result.assign(path, size);
  CloseHandle(process);
  return result;
}

}  // namespace

Win32Backend::Win32Backend(HINSTANCE instance) : instance_(instance) {
  bigIcon_ = loadIcon(instance, GetSystemMetrics(SM_CXICON));
  smallIcon_ = loadIcon(instance, GetSystemMetrics(SM_CXSMICON));
  HDC screenDc = GetDC(nullptr);
  const int dpiX = GetDeviceCaps(screenDc, LOGPIXELSX), dpiY = GetDeviceCaps(screenDc, LOGPIXELSY);
  ReleaseDC(nullptr, screenDc);
  // Labels and buttons in the classic 8-point MS Sans Serif, which every Windows has.
  font_ = CreateFontA(-MulDiv(8, dpiY > 0 ? dpiY : 96, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  if (!font_) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (dpiX > 0) twipsPerPixelX_ = 1440.0f / static_cast<float>(dpiX);
  if (dpiY > 0) twipsPerPixelY_ = 1440.0f / static_cast<float>(dpiY);
  QueryPerformanceFrequency(&counterFrequency_);
  // Held for the life of the process: a later start of the same program file sees it.
  instanceMutex_ = CreateMutexA(nullptr, FALSE, instanceMutexName(programFile()).c_str());
  prevInstance_ = instanceMutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

Win32Backend::~Win32Backend() {
  if (hiddenOwner_) DestroyWindow(hiddenOwner_);
  if (font_ && font_ != GetStockObject(DEFAULT_GUI_FONT)) DeleteObject(font_);
  if (instanceMutex_) CloseHandle(instanceMutex_);
}

int Win32Backend::toPixelsX(float twips) const { return toPixels(twips, twipsPerPixelX_); }
int Win32Backend::toPixelsY(float twips) const { return toPixels(twips, twipsPerPixelY_); }

HWND Win32Backend::hiddenOwner() {
  if (!hiddenOwner_)
    hiddenOwner_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   instance_, nullptr);
  return hiddenOwner_;
}

void Win32Backend::formDestroyed(FormWindow& window) {
  std::erase(forms_, &window);
  std::erase(activationOrder_, &window);
}

void Win32Backend::formActivated(FormWindow& window) {
  std::erase(activationOrder_, &window);
  activationOrder_.insert(activationOrder_.begin(), &window);
}

std::unique_ptr<FormPeer> Win32Backend::createForm(Form& form) {
  return std::make_unique<FormWindow>(*this, form);
}

std::unique_ptr<ControlPeer> Win32Backend::createControl(Control& control, FormPeer& parent) {
  auto& window = static_cast<FormWindow&>(parent);
  switch (control.kind()) {
    case ControlKind::Invisible:
      return nullptr;
    case ControlKind::Surface:
      return std::make_unique<SurfaceWindow>(*this, window, dynamic_cast<MovieControl*>(&control));
    default:
      return std::make_unique<ChildControl>(*this, control, window);
  }
}

std::unique_ptr<SurfacePeer> Win32Backend::createSurface(Control& control, FormPeer& parent) {
  return std::make_unique<SurfaceWindow>(*this, static_cast<FormWindow&>(parent),
                                         dynamic_cast<MovieControl*>(&control));
}

std::unique_ptr<TimerPeer> Win32Backend::createTimer(Timer& timer, FormPeer& parent) {
  return std::make_unique<TimerWindow>(*this, timer, static_cast<FormWindow&>(parent));
}

std::optional<std::string> Win32Backend::showOpenDialog(const OpenDialogRequest& request,
                                                        FormPeer* owner) {
  // "Label|pattern|Label|pattern" becomes "Label\0pattern\0...\0\0".
  std::string filter = request.filter;
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.append(2, '\0');
  const size_t size = static_cast<size_t>(std::max(1, request.maxFileSize));
  std::string file(size + 1, '\0');
  file.replace(0, std::min(request.fileName.size(), size - 1), request.fileName, 0,
               std::min(request.fileName.size(), size - 1));

  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner ? static_cast<FormWindow*>(owner)->hwnd() : nullptr;
  ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(size);
  ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
  ofn.lpstrInitialDir =
      request.initialDirectory.empty() ? nullptr : request.initialDirectory.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (!GetOpenFileNameA(&ofn)) return std::nullopt;
  file.resize(std::strlen(file.c_str()));
  return file;
}

void Win32Backend::runModal(Form& form) {
  // The window that was active before this one was shown gets the focus back after.
  FormWindow* previouslyActive = nullptr;
  for (FormWindow* window : activationOrder_)
    if (&window->form() != &form) {
      previouslyActive = window;
      break;
    }
  // Every other window of the program takes no input while this one is open.
  std::vector<FormWindow*> disabled;
  for (FormWindow* window : forms_) {
    if (&window->form() != &form && window->enabled()) {
      window->setEnabled(false);
      disabled.push_back(window);
    }
  }
  int exitCode = 0;
  bool quit = false;
  while (form.loaded() && form.Visible()) {
    if (!pumpOne(exitCode)) {
      quit = true;
      break;
    }
  }
  for (FormWindow* window : disabled)
    if (std::find(forms_.begin(), forms_.end(), window) != forms_.end()) window->setEnabled(true);
  if (quit) PostQuitMessage(exitCode);  // the outer loop ends too
  if (previouslyActive &&
      std::find(forms_.begin(), forms_.end(), previouslyActive) != forms_.end() &&
      previouslyActive->visible())
    SetForegroundWindow(previouslyActive->hwnd());
}

bool Win32Backend::pumpOne(int& exitCode) {
  MSG msg;
  const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
  if (got == 0) {
    exitCode = static_cast<int>(msg.wParam);
    return false;
  }
  if (got == -1) return false;
  if (msg.hwnd) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    for (FormWindow* window : forms_) {
      if (window->hwnd() != root) continue;
      // Shortcuts act wherever the keyboard focus is inside the window with the menu.
      if (HACCEL table = window->accelerators(); table && TranslateAcceleratorA(root, table, &msg))
        return true;
      if (window->wantsDialogKeys() && IsDialogMessageA(root, &msg)) return true;
      break;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

int Win32Backend::run() {
  int exitCode = 0;
  while (pumpOne(exitCode)) {
  }
  return exitCode;
}

AppFacts Win32Backend::appFacts() {
  AppFacts facts;
  const std::string file = programFile();
  facts.path = directoryOf(file);
  facts.exeName = baseNameOf(file);
  facts.command = argumentsOf(GetCommandLineA());
  facts.prevInstance = prevInstance_;
  return facts;
}

ScreenFacts Win32Backend::screen() {
  ScreenFacts facts;
  facts.widthPixels = GetSystemMetrics(SM_CXSCREEN);
  facts.heightPixels = GetSystemMetrics(SM_CYSCREEN);
  facts.twipsPerPixelX = twipsPerPixelX_;
  facts.twipsPerPixelY = twipsPerPixelY_;
  return facts;
}

double Win32Backend::nowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 /
         static_cast<double>(std::max<LONGLONG>(1, counterFrequency_.QuadPart));
}

void Win32Backend::reportUntrappedError(const RuntimeError& error) {
  // No timer may run a handler behind the report.
  for (FormWindow* window : forms_) window->stopTimers();
  const std::string report = untrappedErrorReport(error);
  MessageBoxA(nullptr, report.c_str(), "Orvanta", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

void Win32Backend::endProgram() { ExitProcess(0); }

void Win32Backend::lastFormUnloaded() { PostQuitMessage(0); }

bool Win32Backend::isAnotherInstanceWindow(std::intptr_t window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (!hwnd || !IsWindow(hwnd)) return false;
  char className[64] = {};
  GetClassNameA(hwnd, className, sizeof className);
  if (std::string(className) != "OrvantaMain") return false;
  DWORD processId = 0;
  GetWindowThreadProcessId(hwnd, &processId);
  if (processId == 0 || processId == GetCurrentProcessId()) return false;
  const std::string image = imagePathOfProcess(processId);
  return !image.empty() && samePath(image, programFile());
}

void Win32Backend::waitForProgramOf(std::intptr_t window, int timeoutMs) {
  DWORD processId = 0;
  GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &processId);
  if (processId == 0) return;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) return;
  WaitForSingleObject(process, static_cast<DWORD>(std::max(0, timeoutMs)));
  CloseHandle(process);
}

bool Win32Backend::isOnSomeMonitor(const TwipsRect& b) {
  RECT r{toPixelsX(b.left), toPixelsY(b.top), 0, 0};
  r.right = r.left + std::max(1, toPixelsX(b.width));
  r.bottom = r.top + std::max(1, toPixelsY(b.height));
  return MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
}

}  // namespace orv::win32
