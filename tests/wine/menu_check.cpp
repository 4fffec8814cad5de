// orvanta-menu-check.exe: builds the program's real windows on the Win32 backend and
// checks from inside what the user gets: the menu bar, its shortcuts and start states, the
// window layouts, the icon resource, modal showing, timers, resizing, and the run-time
// errors of sizing. Prints "N passed, M failed"; exits non-zero on any failure.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "app/frmFlash.h"
#include "app/program.h"
#include "fullscreen/frmVt.h"
#include "player/player_control.h"
#include "runtime/errors.h"
#include "runtime/runtime.h"
#include "win32/app_facts.h"
#include "win32/form_window.h"
#include "win32/music.h"
#include "win32/win32_backend.h"

namespace {

int passed = 0, failed = 0;

void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

template <class A, class B>
void checkEqual(const A& actual, const B& expected, const std::string& what) {
  check(actual == expected, what);
  if (!(actual == expected)) {
    if constexpr (std::is_convertible_v<A, std::string>)
      std::printf("  got \"%s\"\n", std::string(actual).c_str());
    else
      std::printf("  got %lld\n", static_cast<long long>(actual));
  }
}

// Runs the message loop for `ms` milliseconds (timers tick, posted messages arrive).
void pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

RECT childRectInClient(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND childOfClass(HWND parent, const char* className, int index = 0) {
  struct Search {
    std::string className;
    int index;
    HWND found = nullptr;
  } search{className, index};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, s->className.c_str()) == 0 && s->index-- == 0) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string windowText(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

int raisedError(const std::function<void()>& action) {
  try {
    action();
  } catch (const orv::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

struct Entry {
  const char* text;  // "-" for a separator
  bool checked, grayed;
};

// The menu bar as the user must see it, menu by menu.
const std::vector<std::pair<const char*, std::vector<Entry>>> kMenuBar = {
    {"&File",
     {{"&Open...\tCtrl+O", false, false},
      {"&Close\tCtrl+W", false, false},
      {"-", false, false},
      {"E&xit\tCtrl+Q", false, false}}},
    {"&View",
     {{"Full &Screen\tCtrl+S", false, false},
      {"-", false, false},
      {"&High Quality\tCtrl+H", true, false},
      {"-", false, false},
      {"Zoom &In", false, false},
      {"Zoom &Out", false, true},
      {"-", false, false},
      {"Show &All\tCtrl+A", true, false},
      {"-", false, false},
      {"Original Si&ze\tCtrl+Z", false, false},
      {"-", false, false},
      {"Default Player\tCtrl+D", false, false}}},
    {"&Control",
     {{"&Play\tCtrl+P", true, false},
      {"&Rewind\tCtrl+R", false, false},
      {"-", false, false},
      {"Step &Forward\tCtrl+F", false, false},
      {"Step &Back\tCtrl+B", false, false},
      {"-", false, false},
      {"&Loop\tCtrl+L", true, false}}},
    {"&Help", {{"About Orvanta...", false, false}}},
};

struct ItemInfo {
  std::string text;
  UINT type = 0, state = 0, id = 0;
  HMENU submenu = nullptr;
};

ItemInfo itemAt(HMENU menu, UINT position) {
  ItemInfo item;
  char text[128] = {};
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING | MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
  info.dwTypeData = text;
  info.cch = sizeof text;
  GetMenuItemInfoA(menu, position, TRUE, &info);
  item.text = (info.fType & MFT_SEPARATOR) ? "-" : text;
  item.type = info.fType;
  item.state = info.fState;
  item.id = info.wID;
  item.submenu = info.hSubMenu;
  return item;
}

void checkMenuBar(HWND mainWindow, HACCEL accelerators) {
  HMENU bar = GetMenu(mainWindow);
  check(bar != nullptr, "the main window has a menu bar");
  if (!bar) return;
  checkEqual(GetMenuItemCount(bar), static_cast<int>(kMenuBar.size()), "four menus in the bar");
  int menus = 0, commands = 0, separators = 0;
  std::vector<std::pair<char, UINT>> shortcuts;  // letter -> command id, from the menu text
  for (UINT m = 0; m < kMenuBar.size() && m < static_cast<UINT>(GetMenuItemCount(bar)); ++m) {
    const ItemInfo menu = itemAt(bar, m);
    ++menus;
    checkEqual(menu.text, std::string(kMenuBar[m].first), "menu caption " + menu.text);
    check(menu.submenu != nullptr, "menu " + menu.text + " drops down");
    const auto& expected = kMenuBar[m].second;
    checkEqual(GetMenuItemCount(menu.submenu), static_cast<int>(expected.size()),
               "entries of " + menu.text);
    for (UINT i = 0; i < expected.size(); ++i) {
      const ItemInfo item = itemAt(menu.submenu, i);
      const Entry& want = expected[i];
      checkEqual(item.text, std::string(want.text), std::string("entry ") + want.text);
      if (item.text == "-") {
        ++separators;
        continue;
      }
      ++commands;
      check(((item.state & MFS_CHECKED) != 0) == want.checked,
            std::string("check mark of ") + want.text);
      check(((item.state & MFS_GRAYED) != 0) == want.grayed,
            std::string("enabled state of ") + want.text);
      const std::string text = item.text;
      const size_t tab = text.find("\tCtrl+");
      if (tab != std::string::npos) shortcuts.push_back({text[tab + 6], item.id});
    }
  }
  checkEqual(menus + commands + separators, 28, "28 menu entries");
  checkEqual(commands, 16, "16 commands");
  checkEqual(separators, 8, "8 separators");

  // Every shortcut shown in the menu is a Ctrl+letter accelerator to that same command.
  check(accelerators != nullptr, "the main window has an accelerator table");
  std::vector<ACCEL> table(64);
  const int count = accelerators ? CopyAcceleratorTableA(accelerators, table.data(), 64) : 0;
  checkEqual(count, static_cast<int>(shortcuts.size()), "one accelerator per shown shortcut");
  for (const auto& [letter, id] : shortcuts) {
    bool found = false;
    for (int i = 0; i < count; ++i)
      found |= table[i].key == static_cast<WORD>(letter) && table[i].cmd == id &&
               (table[i].fVirt & (FCONTROL | FVIRTKEY)) == (FCONTROL | FVIRTKEY) &&
               !(table[i].fVirt & (FSHIFT | FALT));
    check(found, std::string("Ctrl+") + letter + " runs its menu entry");
  }
}

void checkIconResource() {
  // One 32x32 image of 256 colours in the program's icon group.
  HRSRC group = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));
  check(group != nullptr, "icon group 1 in the resources");
  if (!group) return;
  const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, group)));
  const WORD images = *reinterpret_cast<const WORD*>(dir + 4);
  checkEqual(images, 1, "one image in the icon");
  const BYTE* entry = dir + 6;
  checkEqual(entry[0], 32, "icon width 32");
  checkEqual(entry[1], 32, "icon height 32");
  checkEqual(*reinterpret_cast<const WORD*>(entry + 6), 8,
             "icon of 8 bits per pixel (256 colours)");
}

void checkMainWindow(orv::frmFlash& main, orv::win32::Win32Backend& backend) {
  HWND hwnd = reinterpret_cast<HWND>(main.hWnd());
  checkEqual(windowText(hwnd), std::string("Orvanta"), "main window caption");
  check(IsWindowVisible(hwnd), "main window shown after start");
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  check((style & WS_THICKFRAME) && (style & WS_CAPTION) && (style & WS_MINIMIZEBOX) &&
            (style & WS_MAXIMIZEBOX),
        "main window is sizable with title bar and min/max boxes");
  char className[64] = {};
  GetClassNameA(hwnd, className, sizeof className);
  checkEqual(std::string(className), std::string("OrvantaMain"), "main window class");
  check(SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0) != 0, "main window carries the icon");

  HWND surface = childOfClass(hwnd, "OrvantaSurface");
  check(surface != nullptr, "main window holds the movie surface");
  if (surface) {
    const RECT r = childRectInClient(surface);
    checkEqual(r.left, -3, "movie control 3 pixels left of the client area");
    checkEqual(r.top, -3, "movie control 3 pixels above the client area");
  }

  // A resize reaches the form's resize handler: the control follows the window.
  SetWindowPos(hwnd, nullptr, 50, 40, 500, 400, SWP_NOZORDER);
  pump(50);
  if (surface) {
    const RECT r = childRectInClient(surface);
    checkEqual(r.right - r.left, 500, "control width follows the window");
    checkEqual(r.bottom - r.top, (400 * 15 - 650) / 15, "control height follows the window");
    checkEqual(r.left, -3, "control keeps its left after a resize");
  }
  // Geometry in twips, read from the real window.
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  checkEqual(static_cast<long>(main.Width()), 500L * 15, "Width in twips");
  checkEqual(static_cast<long>(main.Left()), outer.left * 15L, "Left in twips");
  main.setLeft(1500);
  GetWindowRect(hwnd, &outer);
  checkEqual(outer.left, 100, "setting Left moves the window");

  // Sizing a minimised or maximised form fails as on Windows; a negative size too.
  main.setWindowState(orv::WindowState::Minimized);
  pump(50);
  check(IsIconic(hwnd), "WindowState minimises the window");
  checkEqual(raisedError([&] { main.setWidth(6000); }), 384, "sizing a minimised form");
  main.setWindowState(orv::WindowState::Maximized);
  pump(50);
  check(IsZoomed(hwnd), "WindowState maximises the window");
  checkEqual(raisedError([&] { main.setTop(0); }), 384, "moving a maximised form");
  main.setWindowState(orv::WindowState::Normal);
  pump(50);
  check(!IsZoomed(hwnd) && !IsIconic(hwnd), "WindowState restores the window");
  checkEqual(raisedError([&] { main.Flash.setHeight(-15); }), 380, "negative control height");
  checkEqual(raisedError([&] { main.setWidth(-15); }), 380, "negative form width");
  (void)backend;
}

void checkFullScreenWindow(orv::Program& program) {
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  orv::frmVt& vt = program.fullScreen();
  HWND hwnd = reinterpret_cast<HWND>(vt.hWnd());
  checkEqual(windowText(hwnd), std::string("Form1"), "full-screen window caption");
  check(!IsWindowVisible(hwnd), "full-screen window starts hidden");
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  check((style & WS_POPUP) && !(style & WS_CAPTION) && !(style & WS_THICKFRAME),
        "full-screen window has no border or title bar");
  RECT r{};
  GetWindowRect(hwnd, &r);
  check(r.left == 0 && r.top == 0 && r.right == screenW && r.bottom == screenH,
        "full-screen window covers the screen");
  HWND surface = childOfClass(hwnd, "OrvantaSurface");
  check(surface != nullptr, "full-screen window holds a movie surface");
  if (surface) {
    const RECT s = childRectInClient(surface);
    check(s.left == 0 && s.top == 0 && s.right == screenW + 4 && s.bottom == screenH,
          "full-screen control: screen size, 4 pixels wider");
  }
}

void checkAboutBox(orv::Program& program) {
  HWND mainWindow = reinterpret_cast<HWND>(program.main().hWnd());
  std::unique_ptr<orv::frmAbout> about = program.createAbout();
  about->Load();
  HWND hwnd = reinterpret_cast<HWND>(about->hWnd());
  checkEqual(windowText(hwnd), std::string("Orvanta"), "about box caption");
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  const LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
  check((style & WS_CAPTION) && (style & WS_SYSMENU) && !(style & WS_THICKFRAME) &&
            !(style & WS_MINIMIZEBOX) && !(style & WS_MAXIMIZEBOX) &&
            (exStyle & WS_EX_DLGMODALFRAME),
        "about box is a fixed dialog without min/max buttons");
  RECT client{};
  GetClientRect(hwnd, &client);
  check(client.right == 345 && client.bottom == 85, "about box client area 345 x 85");
  // Placed a fifth of the main window's width right and a quarter of its height down.
  RECT mainRect{}, aboutRect{};
  GetWindowRect(mainWindow, &mainRect);
  GetWindowRect(hwnd, &aboutRect);
  checkEqual(
      aboutRect.left,
      static_cast<LONG>((mainRect.left * 15 + (mainRect.right - mainRect.left) * 15 / 5.0f) / 15),
      "about box left");
  checkEqual(
      aboutRect.top,
      static_cast<LONG>((mainRect.top * 15 + (mainRect.bottom - mainRect.top) * 15 / 4.0f) / 15),
      "about box top");

  struct Expected {
    const char* className;
    int index;
    RECT rect;  // left, top, right, bottom in client pixels
    const char* text;
  };
  const Expected controls[] = {
      {"Static", 1, {45, 9, 45 + 109, 9 + 16}, "Orvanta 4.5"},
      {"Static", 2, {45, 30, 45 + 172, 30 + 13}, nullptr},
      {"Static", 3, {45, 48, 45 + 172, 48 + 13}, nullptr},
      {"Button", 0, {273, 9, 273 + 64, 9 + 22}, "OK"},
  };
  HWND picture = childOfClass(hwnd, "Static", 0);
  check(picture && (GetWindowLongA(picture, GWL_STYLE) & SS_TYPEMASK) == SS_ICON,
        "Picture1 shows an icon");
  if (picture) {
    const RECT r = childRectInClient(picture);
    check(r.left == 6 && r.top == 9 && r.right == 6 + 31 && r.bottom == 9 + 40,
          "Picture1 at 6,9, 31 x 40");
    check(SendMessageA(picture, STM_GETICON, 0, 0) != 0, "Picture1 holds the program icon");
  }
  for (const Expected& e : controls) {
    HWND child = childOfClass(hwnd, e.className, e.index);
    const std::string name = std::string(e.className) + " " + std::to_string(e.index);
    check(child != nullptr, name + " exists");
    if (!child) continue;
    const RECT r = childRectInClient(child);
    check(r.left == e.rect.left && r.top == e.rect.top && r.right == e.rect.right &&
              r.bottom == e.rect.bottom,
          name + " placed as designed");
    if (e.text)
      checkEqual(windowText(child), std::string(e.text), name + " text");
    else
      check(!windowText(child).empty(), name + " has a text");
  }
  HWND ok = childOfClass(hwnd, "Button");
  if (ok)
    check((GetWindowLongA(ok, GWL_STYLE) & 0x0F) == BS_PUSHBUTTON, "OK is not the default button");

  // Shown modally: the main window takes no input until OK closes the box.
  static HWND watchedMain, okButton, aboutWindow;
  static bool mainDisabledMeanwhile;
  watchedMain = mainWindow;
  okButton = ok;
  aboutWindow = hwnd;
  mainDisabledMeanwhile = false;
  SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    mainDisabledMeanwhile = !IsWindowEnabled(watchedMain) && IsWindowVisible(aboutWindow);
    PostMessageA(aboutWindow, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(okButton), BN_CLICKED),
                 reinterpret_cast<LPARAM>(okButton));
  });
  about->Show(orv::ShowMode::Modal);
  check(mainDisabledMeanwhile, "main window disabled while the about box is open");
  check(!about->loaded(), "OK unloads the about box");
  check(!IsWindow(hwnd), "the about box window is gone");
  check(IsWindowEnabled(mainWindow), "main window enabled again after the about box");
}

void checkCommandsAndTimers(orv::Program& program) {
  orv::frmFlash& main = program.main();
  HWND hwnd = reinterpret_cast<HWND>(main.hWnd());
  // Timer1 ticks through the real timer: with no movie the movie commands go grey.
  pump(200);
  HMENU control = GetSubMenu(GetMenu(hwnd), 2);
  check(GetMenuState(control, 0, MF_BYPOSITION) & MF_GRAYED,
        "the menu-state timer greys Play with no movie");
  // A menu command arrives as WM_COMMAND: Full Screen hides the main window.
  PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(main.mnuFullScreen.commandId(), 0), 0);
  pump(100);
  HWND vt = reinterpret_cast<HWND>(program.fullScreen().hWnd());
  check(IsWindowVisible(vt) && !IsWindowVisible(hwnd), "Full Screen from the menu");
  // Escape, as the key state reports it, brings the main window back.
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
  pump(200);
  check(!IsWindowVisible(vt) && IsWindowVisible(hwnd), "Escape returns to the main window");
}

void checkCommandLine() {
  using orv::win32::argumentsOf;
  checkEqual(argumentsOf("orvanta.exe"), std::string(""), "no arguments");
  checkEqual(argumentsOf("\"C:\\Program Files\\orvanta.exe\"   \"C:\\a b\\m.swf\""),
             std::string("\"C:\\a b\\m.swf\""), "quoted program, quoted path kept whole");
  checkEqual(argumentsOf("C:\\orvanta.exe C:\\a b\\m.swf "), std::string("C:\\a b\\m.swf "),
             "unquoted program, the rest taken whole");
  checkEqual(argumentsOf("\"C:\\orvanta.exe\"x.swf"), std::string("x.swf"),
             "argument right after the closing quote");
  checkEqual(orv::win32::directoryOf("C:\\dir\\orvanta.exe"), std::string("C:\\dir"),
             "program directory without trailing backslash");
  checkEqual(orv::win32::baseNameOf("C:\\my.dir\\Orvanta.EXE"), std::string("Orvanta"),
             "executable name without extension");
  check(orv::win32::instanceMutexName("C:\\Dir\\Orvanta.exe") ==
            orv::win32::instanceMutexName("c:\\dir\\ORVANTA.EXE"),
        "instance mark ignores letter case");
  check(orv::win32::instanceMutexName("C:\\Dir\\Orvanta.exe") !=
            orv::win32::instanceMutexName("C:\\Other\\Orvanta.exe"),
        "another program file is another instance mark");
}

}  // namespace

int main() {
  InitCommonControls();
  checkCommandLine();
  checkIconResource();

  orv::win32::Win32Backend backend(GetModuleHandleA(nullptr));
  orv::Runtime runtime(backend);
  orv::Program program(runtime, orv::makePlayerControl, orv::win32::makeMusic);
  program.start();
  orv::frmFlash& main = program.main();
  HWND mainWindow = reinterpret_cast<HWND>(main.hWnd());
  // Before any message is handled the menu shows its start states.
  HACCEL accelerators = nullptr;
  for (auto* window : backend.forms())
    if (window->hwnd() == mainWindow) accelerators = window->accelerators();
  checkMenuBar(mainWindow, accelerators);
  check(backend.isAnotherInstanceWindow(main.hWnd()) == false,
        "our own main window is not another instance's");

  checkMainWindow(main, backend);
  checkFullScreenWindow(program);
  checkAboutBox(program);
  checkCommandsAndTimers(program);

  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  // The program's windows go without their unload handlers: nothing is saved.
  ExitProcess(failed == 0 ? 0 : 1);
}
