// flash.net.SharedObject through the player's save store: what one run of an ActionScript 3
// movie keeps is found by the next run, in AMF3 unless the movie asks for AMF0, and a
// broken file neither stops the movie nor is overwritten by it.
#include <filesystem>
#include <fstream>
#include <iterator>

#include "doc_script.h"
#include "movie/saves/sol_file.h"
#include "../swf_writer.h"

namespace orv::movie {
namespace {

// The movie: traces what its shared object "game" holds, whether a second getLocal gives
// the same object, then stores a number, a text, a nested object and an array; flushes
// when `flush` (tracing the answer), else leaves the writing to the movie's end.
std::vector<uint8_t> savingMovie(bool flush, bool amf0 = false) {
  DocScript s;
  const uint32_t net = s.abc.packageNs("flash.net");
  const uint32_t sharedObject = s.abc.qname(net, "SharedObject");
  if (amf0) {
    s.c.op(op::getlex, sharedObject);
    s.num(0).set("defaultObjectEncoding");
  }
  auto getLocal = [&] {
    s.c.op(op::getlex, sharedObject);
    s.str("game").call("getLocal", 1);
  };
  getLocal();
  s.store(1);
  s.local(1).get("data").store(2);
  for (const char* name : {"score", "name"}) s.trace([&] { s.local(2).get(name); });
  s.trace([&] { s.local(2).get("nested"); });
  s.trace([&] { s.local(2).get("list"); });
  s.trace([&] {
    s.local(1);
    getLocal();
    s.c.op(op::strictequals);
  });
  s.local(2).num(7).set("score");
  s.local(2).str("Ann").set("name");
  s.local(2).str("inner").str("deep");
  s.c.op(op::newobject, 1);
  s.set("nested");
  s.local(2).num(1).num(2).num(3);
  s.c.op(op::newarray, 3);
  s.set("list");
  if (flush) s.trace([&] { s.local(1).call("flush", 0); });
  return test::as3Movie(s.abcBytes(), "Doc");
}

struct SaveFolder {
  std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("orvanta_as3_saves_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  SaveFolder() { std::filesystem::remove_all(root); }
  ~SaveFolder() { std::filesystem::remove_all(root); }
  std::string moviePath(const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(root / "movies");
    auto path = root / "movies" / "saver.swf";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
  }
  Played run(const std::string& movie) {
    Played r;
    Player player;
    player.setSaveFolders((root / "saves").string());
    player.setTraceSink([&](const std::string& line) { r.lines.push_back(line); });
    EXPECT_TRUE(player.load(movie));
    if (player.as3Scripts()) r.errors = player.as3Scripts()->errors();
    return r;
  }
  std::vector<std::filesystem::path> solFiles() {
    std::vector<std::filesystem::path> out;
    if (!std::filesystem::exists(root / "saves")) return out;
    for (auto& e : std::filesystem::recursive_directory_iterator(root / "saves"))
      if (e.path().extension() == ".sol") out.push_back(e.path());
    return out;
  }
  std::vector<uint8_t> bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
};

const std::vector<std::string> kNothingYet = {"undefined", "undefined", "undefined", "undefined",
                                              "true"};
const std::vector<std::string> kSaved = {"7", "Ann", "[object Object]", "1,2,3", "true"};

}  // namespace

TEST(As3SharedObject, WhatAMovieFlushesIsFoundByTheNextRunInAnotherPlayer) {
  SaveFolder folder;
  const std::string movie = folder.moviePath(savingMovie(true));
  Played first = folder.run(movie);
  for (auto& e : first.errors) ADD_FAILURE() << e;
  ASSERT_EQ(first.lines.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(first.lines.begin(), first.lines.end() - 1), kNothingYet);
  EXPECT_EQ(first.lines.back(), "flushed");
  ASSERT_EQ(folder.solFiles().size(), 1u);
  EXPECT_EQ(folder.solFiles()[0].filename(), "game.sol");
  std::optional<saves::SolEnvelope> sol = saves::readSolEnvelope(folder.bytesOf(folder.solFiles()[0]));
  ASSERT_TRUE(sol);
  EXPECT_EQ(sol->name, "game");
  EXPECT_EQ(sol->amfVersion, 3u);

  Played second = folder.run(movie);
  ASSERT_EQ(second.lines.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(second.lines.begin(), second.lines.end() - 1), kSaved);
}

TEST(As3SharedObject, TheMoviesEndWritesItsDataAndAnAmf0FileReadsInTheFirstMachinesFormat) {
  SaveFolder folder;
  const std::string movie = folder.moviePath(savingMovie(false, true));
  EXPECT_EQ(folder.run(movie).lines, kNothingYet);
  ASSERT_EQ(folder.solFiles().size(), 1u) << "written as the player closed the movie";
  std::optional<saves::SolFile> sol = saves::readSol(folder.bytesOf(folder.solFiles()[0]));
  ASSERT_TRUE(sol) << "AMF0, as the first machine writes and reads it";
  ASSERT_EQ(sol->members.size(), 4u);
  EXPECT_EQ(sol->members[0].first, "score");
  EXPECT_EQ(sol->members[0].second.number, 7);
  EXPECT_EQ(folder.run(movie).lines, kSaved);
}

TEST(As3SharedObject, ABrokenFileReadsAsAnEmptyObjectAndIsLeftAloneUntilAFlush) {
  SaveFolder folder;
  const std::string quiet = folder.moviePath(savingMovie(false));
  folder.run(quiet);
  ASSERT_EQ(folder.solFiles().size(), 1u);
  const std::filesystem::path file = folder.solFiles()[0];
  std::vector<uint8_t> broken = folder.bytesOf(file);
  broken.resize(broken.size() - 3);  // cut off in its last member
  broken[5] = uint8_t(broken.size() - 6);
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(broken.data()), std::streamsize(broken.size()));

  Played r = folder.run(quiet);
  ASSERT_EQ(r.lines.size(), 6u);
  EXPECT_EQ(r.lines[0].rfind("shared object not read", 0), 0u) << r.lines[0];
  EXPECT_EQ(std::vector<std::string>(r.lines.begin() + 1, r.lines.end()), kNothingYet);
  EXPECT_EQ(folder.bytesOf(file), broken) << "not overwritten by a movie that does not flush";

  folder.moviePath(savingMovie(true));
  r = folder.run(quiet);
  EXPECT_EQ(r.lines.back(), "flushed");
  EXPECT_EQ(folder.run(quiet).lines[0], "7") << "a flush replaces the broken file";
}

}  // namespace orv::movie
