// Start-up: association strings, intro movie, first run, geometry, older instance,
// command-line movie and the settings file.
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include "app_fixture.h"

namespace orv::testing {
namespace {

using StartUp = ProgramFixture;

std::string expectedHwndOnly(std::intptr_t hwnd) {
  return "[parameters]\r\nhwnd= " + std::to_string(hwnd) + "\r\n";
}

TEST_F(StartUp, FirstRunOnACleanMachine) {
  started();
  frmFlash& f = main();
  EXPECT_EQ(f.openCommand, "\"" + dir.string() + "\\orvanta.EXE\" \"%1\"");
  EXPECT_EQ(f.defaultIconSpec, dir.string() + "\\orvanta.EXE,0");
  EXPECT_TRUE(api().registry().keyExists("HKLM\\Software\\Korvane\\Lumvex"));
  EXPECT_EQ(api().registry().value("HKCR\\.swf", "").value_or(""), "Lumvex.Lumvex");
  EXPECT_EQ(f.Left(), 1035);
  EXPECT_EQ(f.Top(), 690);
  EXPECT_EQ(f.Width(), 9090);
  EXPECT_EQ(f.Height(), 6015);
  EXPECT_TRUE(api().posted().empty());
  EXPECT_EQ(f.highQuality, 1);
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(iniText(), expectedHwndOnly(f.hWnd()));
  EXPECT_TRUE(calls.empty()) << "no movie, no control calls";
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

TEST_F(StartUp, GeometryKeysFollowAtEveryTickInTheirOrder) {
  started();
  backend.advance(10);
  const std::string hwnd = std::to_string(main().hWnd());
  EXPECT_EQ(iniText(), "[parameters]\r\nhwnd= " + hwnd +
                           "\r\nLeft= 1035\r\nTop= 690\r\nHeight= 6015\r\nWidth= 9090\r\n");
  backend.userSetBounds(main(), {-120, 300, 6000, 4500});
  api().clearCalls();
  backend.advance(10);
  EXPECT_EQ(api().calls(), (std::vector<std::string>{"WritePrivateProfileStringA Left=-120",
                                                     "WritePrivateProfileStringA Top= 300",
                                                     "WritePrivateProfileStringA Height= 4500",
                                                     "WritePrivateProfileStringA Width= 6000"}));
}

TEST_F(StartUp, StoredGeometryIsRestoredInOrder) {
  std::ofstream(ini()) << "[parameters]\nLeft=1500\nTop=900\nWidth=7500\nHeight=4500\nhwnd=5\n";
  started();
  EXPECT_EQ(main().Left(), 1500);
  EXPECT_EQ(main().Top(), 900);
  EXPECT_EQ(main().Width(), 7500);
  EXPECT_EQ(main().Height(), 4500);
  EXPECT_EQ(iniText(), expectedHwndOnly(main().hWnd())) << "re-created holding only hwnd";
}

TEST_F(StartUp, AllOnesMeansNoGeometry) {
  std::ofstream(ini()) << "[parameters]\nLeft=1\nTop=1\nWidth=1\nHeight=1\n";
  started();
  EXPECT_EQ(main().Width(), 9090);
  EXPECT_EQ(main().Left(), 1035);
}

TEST_F(StartUp, AMissingKeyTakesTheDefaultOfOneTwip) {
  std::ofstream(ini()) << "[parameters]\nTop=900\nWidth=7500\nHeight=4500\n";
  make();
  api().clearCalls();
  program->start();
  EXPECT_EQ(main().Left(), 0) << "1 twip is less than a pixel";
  EXPECT_EQ(main().Top(), 900);
  EXPECT_EQ(main().Width(), 7500);
  const auto& c = api().calls();
  const auto reads = std::count_if(c.begin(), c.end(), [](const std::string& s) {
    return s.rfind("GetPrivateProfileIntA", 0) == 0;
  });
  EXPECT_EQ(reads, 4) << "hwnd is read only when another instance runs";
}

TEST_F(StartUp, GeometryNoWindowCouldTakeOrNoMonitorShowsMeansOriginalSize) {
  // Saved while minimised: far off the screen and beyond 16 bits.
  std::ofstream(ini()) << "[parameters]\nLeft=-480000\nTop=-480000\nWidth=2400\nHeight=420\n";
  started();
  EXPECT_EQ(main().Left(), 1035);
  EXPECT_EQ(main().Width(), 9090);
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

TEST_F(StartUp, GeometryEntirelyOffTheScreenMeansOriginalSize) {
  std::ofstream(ini()) << "[parameters]\nLeft=30000\nTop=100\nWidth=2400\nHeight=2000\n";
  started();
  EXPECT_EQ(main().Left(), 1035);
}

TEST_F(StartUp, NegativeStoredSizeDoesNotEndTheProgram) {
  std::ofstream(ini()) << "[parameters]\nLeft=100\nTop=100\nWidth=-2400\nHeight=2000\n";
  started();
  EXPECT_TRUE(backend.untrappedErrors.empty());
  EXPECT_EQ(main().Width(), 9090);
}

TEST_F(StartUp, AnOlderInstanceIsClosedThroughTheStoredHandle) {
  std::ofstream(ini()) << "[parameters]\nhwnd= 4242\n";
  backend.app.prevInstance = true;
  backend.otherInstanceWindows = {4242};
  started();
  ASSERT_EQ(api().posted().size(), 1u);
  EXPECT_EQ(api().posted()[0].window, 4242);
  EXPECT_EQ(api().posted()[0].message, 16u);
  EXPECT_EQ(api().posted()[0].wParam, 0u);
  EXPECT_EQ(api().posted()[0].lParam, 0);
}

TEST_F(StartUp, TheOlderInstancesLastSaveCannotWipeTheNewHandle) {
  std::ofstream(ini()) << "[parameters]\nhwnd= 4242\n";
  backend.app.prevInstance = true;
  backend.otherInstanceWindows = {4242};
  // The older instance, closing, saves its geometry into the same file.
  backend.whileOtherInstanceEnds = [this](std::intptr_t) {
    EXPECT_EQ(api().posted().size(), 1u) << "asked to close before being waited for";
    std::ofstream(ini(), std::ios::app) << "Left=300\nTop=300\nHeight=4000\nWidth=5000\n";
  };
  started();
  EXPECT_EQ(backend.waitedFor, (std::vector<std::intptr_t>{4242}));
  std::ifstream in(ini());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("hwnd="), std::string::npos) << text;
  EXPECT_EQ(text.find("Left="), std::string::npos) << text;
}

TEST_F(StartUp, NoWaitWithoutAnOlderInstance) {
  std::ofstream(ini()) << "[parameters]\nhwnd= 4242\n";
  backend.app.prevInstance = true;
  started();
  EXPECT_TRUE(backend.waitedFor.empty());
}

TEST_F(StartUp, WithoutAStoredHandleTheDefaultIsTwelve) {
  backend.app.prevInstance = true;
  backend.otherInstanceWindows = {12};
  started();
  ASSERT_EQ(api().posted().size(), 1u);
  EXPECT_EQ(api().posted()[0].window, 12);
}

TEST_F(StartUp, AStaleHandleNeverClosesAnotherApplicationsWindow) {
  std::ofstream(ini()) << "[parameters]\nhwnd= 4242\n";
  backend.app.prevInstance = true;
  backend.otherInstanceWindows = {};  // 4242 now belongs to some other program, or nothing
  started();
  EXPECT_TRUE(api().posted().empty());
  std::filesystem::remove(ini());
  backend.app.prevInstance = false;
  backend.otherInstanceWindows = {4242};
  program.reset();
  started();
  EXPECT_TRUE(api().posted().empty()) << "no other instance, no message";
}

TEST_F(StartUp, IntroMovieThenCommandLineMovieBeforeTheWindowShows) {
  std::ofstream(dir / "Lumvex.swf") << "intro";
  backend.app.command = "C:\\movies\\a b.swf";
  started();
  const std::string intro = dir.string() + "\\Lumvex.swf";
  EXPECT_EQ(calls, (std::vector<std::string>{"main.Movie=" + intro, "main.Play",
                                             "main.BGColor=", "main.BackgroundColor=-1",
                                             "main.Movie=C:\\movies\\a b.swf", "main.Play"}));
  EXPECT_EQ(main().commandLine, "C:\\movies\\a b.swf");
}

TEST_F(StartUp, IntroAloneKeepsPlaying) {
  std::ofstream(dir / "Lumvex.swf") << "intro";
  started();
  EXPECT_EQ(calls,
            (std::vector<std::string>{"main.Movie=" + dir.string() + "\\Lumvex.swf", "main.Play"}));
}

TEST_F(StartUp, AQuotedCommandLineReachesTheControlWithoutItsQuotes) {
  backend.app.command = "\"C:\\My Movies\\a.swf\"";
  started();
  EXPECT_EQ(main().commandLine, "\"C:\\My Movies\\a.swf\"");
  EXPECT_EQ(mainControl->movie, "C:\\My Movies\\a.swf");
}

TEST_F(StartUp, WithTheMarkerKeyNothingIsWrittenToTheRegistry) {
  HKey key = 0;
  api().RegCreateKeyExA(HKEY_LOCAL_MACHINE_, "Software\\Korvane\\Lumvex", 0, KEY_ALL_ACCESS_, &key,
                        nullptr);
  api().RegCloseKey(key);
  make();
  api().clearCalls();
  program->start();
  for (const auto& call : api().calls()) {
    EXPECT_EQ(call.find("RegCreate"), std::string::npos) << call;
    EXPECT_EQ(call.find("RegSet"), std::string::npos) << call;
    EXPECT_EQ(call.find("RegDelete"), std::string::npos) << call;
  }
  EXPECT_FALSE(api().registry().keyExists("HKCR\\.swf"));
}

TEST_F(StartUp, MissingProgramDirectoryStillStartsSilently) {
  backend.app.path = (dir / "gone").string();
  started();
  EXPECT_TRUE(main().Visible());
  EXPECT_TRUE(backend.untrappedErrors.empty());
}

TEST_F(StartUp, AnUnwritableSettingsFileKeepsItsOldContents) {
  std::ofstream(ini()) << "[parameters]\r\nhwnd= 77\r\n";
  std::filesystem::permissions(ini(), std::filesystem::perms::owner_read |
                                          std::filesystem::perms::group_read |
                                          std::filesystem::perms::others_read);
  std::filesystem::permissions(dir, std::filesystem::perms::all);
  // Root writes any file, so the start runs in a child that is an ordinary user.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (getuid() == 0 && setuid(65534) != 0) _exit(3);
    started();
    backend.advance(30);
    const bool ok = main().Visible() && backend.untrappedErrors.empty() &&
                    iniText() == "[parameters]\r\nhwnd= 77\r\n";
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace orv::testing
