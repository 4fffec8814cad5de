// Whole files through the C library: reading within a bound, writing, replacing a file
// (or falling back to the copy a cut-short replace kept), folders, and paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "files/files.h"

namespace orv {
namespace {

// A fresh folder of the test's own under the system's temporary folder.
struct Scratch {
  std::string dir;
  Scratch() {
    char name[] = "/tmp/orv-files-XXXXXX";
    dir = mkdtemp(name) ? name : "";
  }
  ~Scratch() { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string at(const std::string& name) const { return files::join(dir, name); }
};

std::string text(const std::optional<std::vector<uint8_t>>& bytes) {
  return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
}

TEST(Files, ReadsWhatWasWrittenWithinItsBound) {
  Scratch s;
  ASSERT_FALSE(s.dir.empty());
  const std::string file = s.at("a.bin");
  ASSERT_TRUE(files::write(file, "hello", 5));
  EXPECT_EQ(text(files::read(file, 5)), "hello");
  files::ReadError why = files::ReadError::None;
  EXPECT_FALSE(files::read(file, 4, &why));
  EXPECT_EQ(why, files::ReadError::TooLarge);
  EXPECT_FALSE(files::read(s.at("missing"), 100, &why));
  EXPECT_EQ(why, files::ReadError::Missing);
  // A file bigger than one read piece comes back whole.
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7);
  ASSERT_TRUE(files::write(file, big.data(), big.size()));
  EXPECT_EQ(files::read(file, big.size()), big);
  // Writing again empties it first; nothing to write still makes an empty file.
  ASSERT_TRUE(files::write(file, nullptr, 0));
  EXPECT_EQ(text(files::read(file, 10)), "");
  EXPECT_TRUE(files::isFile(file));
  EXPECT_FALSE(files::isDirectory(file));
  EXPECT_FALSE(files::write(s.at("no/such/folder/file"), "x", 1));
}

TEST(Files, ReplacingKeepsOneWholeFileAtEveryStep) {
  Scratch s;
  const std::string file = s.at("save.sol"), next = s.at("save.sol.writing");
  ASSERT_TRUE(files::write(file, "old", 3));
  ASSERT_TRUE(files::write(next, "new", 3));
  ASSERT_TRUE(files::replace(next, file));
  EXPECT_EQ(text(files::read(file, 10)), "new");
  EXPECT_FALSE(files::isFile(next));
  EXPECT_FALSE(files::isFile(file + ".old"));
  EXPECT_FALSE(files::replace(s.at("gone"), file));
  // A replace cut short left only the old copy: it is what reads.
  ASSERT_TRUE(files::remove(file));
  ASSERT_TRUE(files::write(file + ".old", "kept", 4));
  EXPECT_EQ(text(files::readReplaced(file, 10)), "kept");
  ASSERT_TRUE(files::write(file, "now", 3));
  EXPECT_EQ(text(files::readReplaced(file, 10)), "now");
}

TEST(Files, FoldersAreMadeAndListed) {
  Scratch s;
  const std::string deep = s.at("a/b/c");
  ASSERT_TRUE(files::makeDirectories(deep));
  EXPECT_TRUE(files::isDirectory(deep));
  EXPECT_TRUE(files::makeDirectories(deep));  // already there
  ASSERT_TRUE(files::write(files::join(s.at("a"), "f"), "x", 1));
  EXPECT_FALSE(files::makeDirectories(files::join(s.at("a/f"), "below")));  // a file is in the way
  std::vector<std::string> names = files::list(s.at("a"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"b", "f"}));
  EXPECT_TRUE(files::list(s.at("none")).empty());
}

TEST(Files, PathsJoinSplitAndResolve) {
  EXPECT_EQ(files::join("a", "b"), "a/b");
  EXPECT_EQ(files::join("a/", "b"), "a/b");
  EXPECT_EQ(files::join("", "b"), "b");
  EXPECT_EQ(files::parent("/x/y/z.sol"), "/x/y");
  EXPECT_EQ(files::parent("/z.sol"), "/");
  EXPECT_EQ(files::parent("z.sol"), "");
  EXPECT_EQ(files::absolute("/x/./y/../z"), "/x/z");
  EXPECT_EQ(files::absolute("/../x"), "/x");
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(files::absolute("m.swf"), files::join(here, "m.swf"));
}

}  // namespace
}  // namespace orv
