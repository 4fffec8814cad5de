// Movies share characters through ImportAssets: the player loads the named movie from the
// importing movie's own folder, places imported sprites with their own timelines and runs
// their actions; nothing outside that folder is read.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "movie/timeline/own_folder.h"
#include "movie/player.h"
#include "swf_writer.h"
#include "temp_dir.h"

using namespace orv::movie;
namespace t = orv::movie::test;
namespace fs = std::filesystem;

namespace {
constexpr uint8_t kTrace = 0x26, kGetVariable = 0x1C, kPush = 0x96, kCallMethod = 0x52, kPop = 0x17;

// ActionPush of strings ("s...") and integers ("#n").
std::vector<uint8_t> push(std::initializer_list<std::string> values) {
  std::vector<uint8_t> body;
  for (const std::string& v : values) {
    if (v.size() > 1 && v[0] == '#') {
      const int32_t n = std::stoi(v.substr(1));
      body.push_back(7);
      for (int i = 0; i < 4; ++i) body.push_back(uint8_t(uint32_t(n) >> (8 * i)));
      continue;
    }
    body.push_back(0);
    body.insert(body.end(), v.begin(), v.end());
    body.push_back(0);
  }
  std::vector<uint8_t> out = {kPush, uint8_t(body.size() & 0xFF), uint8_t(body.size() >> 8)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}
std::vector<uint8_t> actions(std::initializer_list<std::vector<uint8_t>> parts) {
  auto out = t::concat(parts);
  out.push_back(0);
  return out;
}
std::vector<uint8_t> traceString(const std::string& text) {
  return actions({push({text}), {kTrace}});
}

std::vector<uint8_t> exportAssets(uint16_t id, const std::string& name) {
  t::BitWriter w;
  w.u16(1);
  w.u16(id);
  w.string(name);
  return t::tag(56, w.bytes);
}
std::vector<uint8_t> importAssets(const std::string& url, uint16_t id, const std::string& name) {
  t::BitWriter w;
  w.string(url);
  w.u16(1);
  w.u16(id);
  w.string(name);
  return t::tag(57, w.bytes);
}

// A SWF 6 library: sprite 3 ("lib") places its own shape 2 and traces on its first frame.
std::vector<uint8_t> library() {
  auto sprite =
      t::defineSprite(3, 1,
                      t::concat({t::placeObject2({.depth = 1, .character = 2}),
                                 t::doAction(traceString("in library")), t::showFrame()}));
  return t::movie(t::concat({t::defineRect(2, 2000, 2000, 0, 0, 255), sprite,
                             exportAssets(3, "lib"), t::showFrame()}),
                  {.version = 6});
}

// A SWF 7 movie importing "lib" as its character 7 from `url`, placing it on frame 0.
std::vector<uint8_t> importer(const std::string& url, std::vector<uint8_t> frameActions = {}) {
  auto tags = t::concat({importAssets(url, 7, "lib"),
                         t::placeObject2({.depth = 1, .character = 7, .name = "placed"}),
                         t::doAction(traceString("in importer"))});
  if (!frameActions.empty()) tags = t::concat({tags, t::doAction(frameActions)});
  return t::movie(t::concat({tags, t::showFrame()}), {.version = 7});
}

struct Folder : orv::test::TempDir {
  Folder() : TempDir("orv-import") {}
};

// The trace of the first two frames; `corner` gets the colour of the stage pixel at (5, 5).
std::vector<std::string> traceOf(const std::string& file, uint32_t* corner = nullptr) {
  Player player;
  std::vector<std::string> lines;
  player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
  if (!player.load(file)) return {"<" + player.error() + ">"};
  player.play();
  player.advance(player.framePeriodMs());
  if (corner) {
    Pixmap pixels{.width = 55, .height = 40};
    player.render(pixels, player.stage());
    *corner = pixels.pixels.at(5 * 55 + 5);
  }
  return lines;
}

TEST(ImportAssets, ImportedSpritesPlayWithTheirOwnCharacters) {
  Folder dir;
  dir.write("lib.swf", library());
  // The imported sprite shows the library's blue square, not a character of the importer.
  uint32_t corner = 0;
  // The imported clip is placed before the importer's action: its first frame runs first.
  EXPECT_EQ(traceOf(dir.write("main.swf", importer("lib.swf")), &corner),
            (std::vector<std::string>{"in library", "in importer"}));
  EXPECT_EQ(corner, 0xFF0000FFu);
  // A path in the URL still reads the file from the movie's own folder.
  EXPECT_EQ(traceOf(dir.write("main2.swf", importer("../elsewhere/lib.swf?v=2"))),
            (std::vector<std::string>{"in library", "in importer"}));
}

TEST(ImportAssets, ImportedNamesCanBeAttachedByScripts) {
  Folder dir;
  dir.write("lib.swf", library());
  // _root.attachMovie("lib", "attached", 5)
  auto attach = actions({push({"#5", "attached", "lib", "#3", "_root"}),
                         {kGetVariable},
                         push({"attachMovie"}),
                         {kCallMethod, kPop}});
  EXPECT_EQ(traceOf(dir.write("main.swf", importer("lib.swf", attach))),
            (std::vector<std::string>{"in library", "in importer", "in library"}));
}

TEST(ImportAssets, WhatCannotBeImportedIsLeftOutAndTheMoviePlays) {
  Folder dir;
  const std::vector<std::string> alone{"in importer"};
  // No such file; a URL with a scheme; a movie that imports from itself; a broken library.
  EXPECT_EQ(traceOf(dir.write("missing.swf", importer("lib.swf"))), alone);
  dir.write("lib.swf", library());
  EXPECT_EQ(traceOf(dir.write("remote.swf", importer("http://example.com/lib.swf"))), alone);
  EXPECT_EQ(traceOf(dir.write("self.swf", importer("self.swf"))), alone);
  dir.write("broken.swf", std::vector<uint8_t>{'F', 'W', 'S', 6, 200, 0, 0, 0, 1, 2, 3});
  EXPECT_EQ(traceOf(dir.write("main.swf", importer("broken.swf"))), alone);
  // A movie given as bytes has no folder: it imports nothing.
  Player player;
  std::vector<std::string> lines;
  player.setTraceSink([&lines](const std::string& line) { lines.push_back(line); });
  ASSERT_TRUE(player.loadBytes(importer("lib.swf")));
  EXPECT_EQ(lines, alone);
}

TEST(OwnFolder, OnlyFilesOfTheMoviesOwnFolderAreNamed) {
  EXPECT_EQ(fileInOwnFolder("/movies", "a.swf"), "/movies/a.swf");
  EXPECT_EQ(fileInOwnFolder("/movies/", "sub/dir/a.swf?x=1#top"), "/movies/a.swf");
  EXPECT_EQ(fileInOwnFolder("C:\\movies\\", "..\\..\\a.txt"), "C:\\movies\\a.txt");
  for (const char* refused : {"", "http://host/a.swf", "file:///etc/passwd", "C:\\a.swf", "a/..",
                              "sub/", "..", "a*.swf", "a|b"})
    EXPECT_FALSE(fileInOwnFolder("/movies", refused).has_value()) << refused;
  EXPECT_FALSE(fileInOwnFolder("", "a.swf").has_value());
}

TEST(OwnFolder, FilesLargerThanAllowedAreNotRead) {
  Folder dir;
  dir.write("data.txt", std::vector<uint8_t>(100, 'x'));
  EXPECT_EQ(readOwnFolderFile(dir.path.string(), "data.txt", 100)->size(), 100u);
  EXPECT_FALSE(readOwnFolderFile(dir.path.string(), "data.txt", 99).has_value());
  EXPECT_FALSE(readOwnFolderFile(dir.path.string(), "none.txt", 100).has_value());
}

}  // namespace
