// A movie's shared objects through the player's save store: what one run of a movie leaves
// is found by the next run, opened by another player on the same save folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "avm1/script_test_util.h"
#include "movie/player.h"
#include "swf_writer.h"

using namespace orv::movie;
namespace t = orv::movie::test;
using orv::movie::avm1::test::Asm;
using orv::movie::avm1::test::Null;

namespace {
constexpr uint8_t kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52, kSetVariable = 0x1D,
                  kInitArray = 0x42, kInitObject = 0x43, kNewObject = 0x40, kPop = 0x17;

// The movie: traces what its shared object "game" holds, then stores one value of each
// kind a movie can save; with `flush` it flushes, else its end writes them.
std::vector<uint8_t> savingMovie(bool flush) {
  Asm a;
  a.push({"so", "game", 1}).getVar("SharedObject").push({"getLocal"}).op(kCallMethod);
  a.op(kSetVariable);
  a.push({"d"}).getVar("so").push({"data"}).op(kGetMember).op(kSetVariable);
  for (const char* name : {"num", "text", "yes", "none", "list", "obj"})
    a.getVar("d").push({name}).op(kGetMember).trace();
  a.getVar("d").push({"obj"}).op(kGetMember).push({"inner"}).op(kGetMember).trace();
  a.push({0}).getVar("d").push({"when"}).op(kGetMember).push({"getTime"}).op(kCallMethod).trace();
  a.getVar("d").push({"num", 42.5}).op(kSetMember);
  a.getVar("d").push({"text", "Ann"}).op(kSetMember);
  a.getVar("d").push({"yes", true}).op(kSetMember);
  a.getVar("d").push({"none"}).push({Null{}}).op(kSetMember);
  a.getVar("d").push({"list", "c", 2, 1, 3}).op(kInitArray).op(kSetMember);
  a.getVar("d").push({"obj", "inner", "deep", 1}).op(kInitObject).op(kSetMember);
  a.getVar("d").push({"when", 1000, 1, "Date"}).op(kNewObject).op(kSetMember);
  if (flush) a.push({0}).getVar("so").push({"flush"}).op(kCallMethod).trace();
  std::vector<uint8_t> code = a.bytes();
  code.push_back(0);
  return t::movie(t::concat({t::doAction(code), t::showFrame()}), {.frameCount = 1});
}

struct SaveFolder {
  std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("orvanta_saves_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  SaveFolder() { std::filesystem::remove_all(root); }
  ~SaveFolder() { std::filesystem::remove_all(root); }
  std::string moviePath(bool flush) {
    std::filesystem::create_directories(root / "movies");
    auto path = root / "movies" / "saver.swf";
    std::vector<uint8_t> bytes = savingMovie(flush);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
  }
  // One run of the movie in a player of its own; what it traced.
  std::vector<std::string> run(const std::string& movie) {
    std::vector<std::string> lines;
    Player player;
    player.setSaveFolders((root / "saves").string());
    player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
    EXPECT_TRUE(player.load(movie));
    return lines;
  }
  std::vector<std::filesystem::path> solFiles() {
    std::vector<std::filesystem::path> out;
    if (!std::filesystem::exists(root / "saves")) return out;
    for (auto& e : std::filesystem::recursive_directory_iterator(root / "saves"))
      if (e.path().extension() == ".sol") out.push_back(e.path());
    return out;
  }
};

const std::vector<std::string> kNothingYet = {"undefined", "undefined", "undefined", "undefined",
                                              "undefined", "undefined", "undefined", "undefined"};
const std::vector<std::string> kSaved = {"42.5", "Ann", "true", "null", "1,2,c", "[object Object]",
                                         "deep", "1000"};
}  // namespace

TEST(PlayerSaves, EveryKindOfValueAMovieFlushesIsFoundByTheNextRunInAnotherPlayer) {
  SaveFolder folder;
  const std::string movie = folder.moviePath(true);
  std::vector<std::string> first = folder.run(movie);
  ASSERT_EQ(first.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(first.begin(), first.end() - 1), kNothingYet);
  EXPECT_EQ(first.back(), "true") << "flush()";
  ASSERT_EQ(folder.solFiles().size(), 1u);
  EXPECT_EQ(folder.solFiles()[0].filename(), "game.sol");
  std::vector<std::string> second = folder.run(movie);
  ASSERT_EQ(second.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(second.begin(), second.end() - 1), kSaved);
}

TEST(PlayerSaves, AMovieThatNeverFlushesIsWrittenWhenItEndsAndABrokenFileIsLeftAlone) {
  SaveFolder folder;
  const std::string movie = folder.moviePath(false);
  EXPECT_EQ(folder.run(movie), kNothingYet);
  ASSERT_EQ(folder.solFiles().size(), 1u) << "written as the player closed the movie";
  EXPECT_EQ(folder.run(movie), kSaved);

  const std::filesystem::path file = folder.solFiles()[0];
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "not a shared object";
  std::vector<std::string> broken = folder.run(movie);
  ASSERT_EQ(broken.size(), 9u);
  EXPECT_EQ(broken[0].rfind("shared object not read", 0), 0u) << broken[0];
  EXPECT_EQ(std::vector<std::string>(broken.begin() + 1, broken.end()), kNothingYet)
      << "a broken file reads as an empty object";
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a shared object")
      << "and is not overwritten by a movie that does not flush";
}
