// The .swf/.spl association at first run and from Default Player.
#include "app_fixture.h"

namespace orv::testing {
namespace {

class Association : public ProgramFixture {
 protected:
  void expectLayout(const std::string& programDir) {
    const auto& reg = api().registry();
    const std::string program = programDir + "\\orvanta.EXE";
    EXPECT_EQ(reg.value("HKLM\\Software\\Korvane\\Lumvex", "Registrated").value_or("?"), "YES");
    for (const char* ext : {"HKCR\\.swf", "HKCR\\.spl"}) {
      EXPECT_EQ(reg.value(ext, "").value_or("?"), "Lumvex.Lumvex") << ext;
      EXPECT_EQ(reg.value(ext, "Content Type").value_or("?"), "application/x-shockwave-flash");
      EXPECT_EQ(reg.valueNames(ext).size(), 2u) << ext;
    }
    EXPECT_EQ(reg.value("HKCR\\Lumvex.Lumvex\\Shell\\Open\\command", "").value_or("?"),
              "\"" + program + "\" \"%1\"");
    EXPECT_EQ(reg.value("HKCR\\Lumvex.Lumvex\\DefaultIcon", "").value_or("?"), program + ",0");
    EXPECT_TRUE(reg.valueNames("HKCR\\Lumvex.Lumvex").empty()) << "the class key has no values";
    EXPECT_EQ(reg.openHandles(), 0u) << "every key handle is closed";
  }
  void addForeignSwf() {
    HKey key = 0;
    api().RegCreateKeyExA(HKEY_CLASSES_ROOT_, ".swf", 0, KEY_ALL_ACCESS_, &key, nullptr);
    api().RegSetValueA(key, "", REG_SZ_, "Other.Player");
    api().RegSetValueExA(key, "Extra", REG_SZ_, "x");
    api().RegCloseKey(key);
  }
  std::vector<std::string> registryCalls() {
    std::vector<std::string> out;
    for (const auto& c : api().calls())
      if (c.rfind("Reg", 0) == 0 && c != "RegCloseKey") out.push_back(c);
    return out;
  }
};

TEST_F(Association, FirstRunReplacesAnotherProgramsSwfKey) {
  addForeignSwf();
  make();
  api().clearCalls();
  program->start();
  expectLayout(dir.string());
  EXPECT_FALSE(api().registry().value("HKCR\\.swf", "Extra")) << "deleted and re-created";
  const auto c = registryCalls();
  const std::vector<std::string> expected = {
      "RegOpenKeyExA Software\\Korvane\\Lumvex",
      "RegOpenKeyExA Software",
      "RegCreateKeyExA Korvane\\Lumvex",
      "RegSetValueExA Registrated=YES",
      "RegOpenKeyExA .swf",
      "RegDeleteKeyA .swf",
      "RegCreateKeyExA .swf",
      "RegSetValueA Lumvex.Lumvex",
      "RegSetValueExA Content Type=application/x-shockwave-flash",
      "RegOpenKeyExA .spl",
      "RegCreateKeyExA .spl",
      "RegSetValueA Lumvex.Lumvex",
      "RegSetValueExA Content Type=application/x-shockwave-flash",
      "RegCreateKeyExA Lumvex.Lumvex\\Shell\\Open\\command",
      "RegSetValueA \"" + dir.string() + "\\orvanta.EXE\" \"%1\"",
      "RegOpenKeyExA Lumvex.Lumvex",
      "RegCreateKeyExA DefaultIcon",
      "RegSetValueA " + dir.string() + "\\orvanta.EXE,0"};
  EXPECT_EQ(c, expected);
}

TEST_F(Association, DefaultPlayerRedoesEverythingAndTwiceEqualsOnce) {
  started();
  addForeignSwf();
  api().clearCalls();
  ASSERT_TRUE(backend.pressShortcut(main(), 'D'));
  const auto c = registryCalls();
  ASSERT_GE(c.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(c.begin(), c.begin() + 4),
            (std::vector<std::string>{"RegDeleteKeyA .swf", "RegDeleteKeyA .spl",
                                      "RegDeleteKeyA Lumvex.Lumvex",
                                      "RegDeleteKeyA Software\\Korvane\\Lumvex"}));
  expectLayout(dir.string());
  main().mnuDef_Click();
  expectLayout(dir.string());
  EXPECT_EQ(api().registry().subKeyNames("HKCR\\Lumvex.Lumvex").size(), 2u);
}

TEST_F(Association, AMovedProgramKeepsItsOldCommandUntilDefaultPlayer) {
  started();
  const std::string oldDir = dir.string();
  program.reset();
  backend.app.path = "C:\\Program Files\\Orvanta";
  started();
  expectLayout(oldDir);
  main().mnuDef_Click();
  expectLayout("C:\\Program Files\\Orvanta");
  EXPECT_EQ(api().registry().value("HKCR\\Lumvex.Lumvex\\Shell\\Open\\command", "").value(),
            "\"C:\\Program Files\\Orvanta\\orvanta.EXE\" \"%1\"")
      << "a path with blanks is quoted";
}

TEST_F(Association, DeletingTheMarkerRedoesTheAssociationAtTheNextStart) {
  started();
  api().RegDeleteKeyA(HKEY_CLASSES_ROOT_, ".spl");
  program.reset();
  started();
  EXPECT_FALSE(api().registry().keyExists("HKCR\\.spl")) << "the marker key stops it";
  api().RegDeleteKeyA(HKEY_LOCAL_MACHINE_, "Software\\Korvane\\Lumvex");
  program.reset();
  started();
  expectLayout(dir.string());
}

}  // namespace
}  // namespace orv::testing
