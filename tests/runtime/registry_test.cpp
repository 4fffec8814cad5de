#include <gtest/gtest.h>

#include "runtime/headless/simulated_system.h"

namespace orv::headless {
namespace {

TEST(SimulatedRegistry, CreatingAKeyCreatesItsMissingParents) {
  SimulatedSystem api;
  HKey key = 0;
  std::uint32_t disposition = 0;
  ASSERT_EQ(api.RegCreateKeyExA(HKEY_CLASSES_ROOT_, "Lumvex.Lumvex\\Shell\\Open\\command", 0,
                                KEY_ALL_ACCESS_, &key, &disposition),
            ERROR_SUCCESS_);
  EXPECT_EQ(disposition, 1u);
  EXPECT_TRUE(api.registry().keyExists("HKEY_CLASSES_ROOT\\Lumvex.Lumvex\\Shell"));
  EXPECT_TRUE(api.registry().keyExists("HKEY_LOCAL_MACHINE\\Software\\Classes\\Lumvex.Lumvex"))
      << "HKEY_CLASSES_ROOT is the machine's Software\\Classes";
  HKey again = 0;
  api.RegCreateKeyExA(HKEY_CLASSES_ROOT_, "LUMVEX.lumvex\\shell\\open\\COMMAND", 0, KEY_ALL_ACCESS_,
                      &again, &disposition);
  EXPECT_EQ(disposition, 2u) << "names compare without case";
  api.RegCloseKey(key);
  api.RegCloseKey(again);
  EXPECT_EQ(api.registry().openHandles(), 0u);
}

TEST(SimulatedRegistry, OpeningAMissingKeyFailsAndCreatesNothing) {
  SimulatedSystem api;
  HKey key = 0;
  EXPECT_EQ(api.RegOpenKeyExA(HKEY_LOCAL_MACHINE_, "Software\\Korvane\\Lumvex", 0, 0, &key),
            ERROR_FILE_NOT_FOUND_);
  EXPECT_FALSE(api.registry().keyExists("HKEY_LOCAL_MACHINE\\Software\\Korvane"));
}

TEST(SimulatedRegistry, DeleteRemovesOneKeyAndRefusesAKeyWithSubkeys) {
  SimulatedSystem api;
  HKey key = 0;
  api.RegCreateKeyExA(HKEY_CLASSES_ROOT_, "Lumvex.Lumvex\\DefaultIcon", 0, KEY_ALL_ACCESS_, &key,
                      nullptr);
  api.RegCloseKey(key);
  EXPECT_EQ(api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, "Lumvex.Lumvex"), ERROR_ACCESS_DENIED_);
  EXPECT_TRUE(api.registry().keyExists("HKEY_CLASSES_ROOT\\Lumvex.Lumvex\\DefaultIcon"));
  EXPECT_EQ(api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, "Lumvex.Lumvex\\DefaultIcon"), ERROR_SUCCESS_);
  EXPECT_EQ(api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, "Lumvex.Lumvex"), ERROR_SUCCESS_);
  EXPECT_FALSE(api.registry().keyExists("HKEY_CLASSES_ROOT\\Lumvex.Lumvex"));
  EXPECT_EQ(api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, "Lumvex.Lumvex"), ERROR_FILE_NOT_FOUND_);
}

TEST(SimulatedRegistry, ValuesAreTextUnderCaseInsensitiveNames) {
  SimulatedSystem api;
  HKey key = 0;
  api.RegCreateKeyExA(HKEY_CLASSES_ROOT_, ".swf", 0, KEY_ALL_ACCESS_, &key, nullptr);
  EXPECT_EQ(api.RegSetValueA(key, "", REG_SZ_, "Lumvex.Lumvex"), ERROR_SUCCESS_);
  EXPECT_EQ(api.RegSetValueExA(key, "Content Type", REG_SZ_, "a"), ERROR_SUCCESS_);
  EXPECT_EQ(api.RegSetValueExA(key, "CONTENT TYPE", REG_SZ_, "application/x-shockwave-flash"),
            ERROR_SUCCESS_);
  EXPECT_NE(api.RegSetValueA(key, "", 4 /* REG_DWORD */, "x"), ERROR_SUCCESS_)
      << "RegSetValue takes only text";
  EXPECT_EQ(api.registry().value("HKCR\\.swf", "").value(), "Lumvex.Lumvex");
  EXPECT_EQ(api.registry().value("HKCR\\.swf", "content type").value(),
            "application/x-shockwave-flash");
  EXPECT_EQ(api.registry().valueNames("HKCR\\.swf").size(), 2u);
  api.RegCloseKey(key);
  EXPECT_NE(api.RegSetValueExA(key, "x", REG_SZ_, "y"), ERROR_SUCCESS_) << "closed handle";
}

TEST(SimulatedSystem, KeyStateRemembersAPressUntilTheNextQuery) {
  SimulatedSystem api;
  EXPECT_EQ(api.GetAsyncKeyState(VK_ESCAPE_), 0);
  api.keyPress(VK_ESCAPE_);
  EXPECT_EQ(api.GetAsyncKeyState(VK_ESCAPE_), 1) << "low bit: pressed since the last query";
  EXPECT_EQ(api.GetAsyncKeyState(VK_ESCAPE_), 0);
  api.keyDown(VK_ESCAPE_);
  EXPECT_EQ(static_cast<std::uint16_t>(api.GetAsyncKeyState(VK_ESCAPE_)), 0x8001);
  EXPECT_EQ(static_cast<std::uint16_t>(api.GetAsyncKeyState(VK_ESCAPE_)), 0x8000);
}

TEST(SimulatedSystem, CursorStaysOnTheScreenAndPostsAreLogged) {
  SimulatedSystem api;
  api.setScreenPixels(1024, 768);
  api.SetCursorPos(11620, 15460);
  EXPECT_EQ(api.cursorX(), 1023);
  EXPECT_EQ(api.cursorY(), 767);
  EXPECT_EQ(api.PostMessageA(12, WM_CLOSE_, 0, 0), 0) << "no window takes it";
  ASSERT_EQ(api.posted().size(), 1u);
  EXPECT_EQ(api.posted()[0].window, 12);
  EXPECT_EQ(api.posted()[0].message, WM_CLOSE_);
}

}  // namespace
}  // namespace orv::headless
