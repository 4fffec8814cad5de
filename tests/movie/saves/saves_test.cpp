// Shared objects on disk: AMF0, the .sol file, and where the store keeps them.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "movie/saves/save_store.h"
#include "temp_dir.h"

namespace orv::movie::saves {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

const fs::path kCorpusSol =
    fs::path(ORV_CORPUS_DIR) /
    "avm1/amf_sharedobject_strict_array_serialization/strict_array_test.sol";

// One of every kind of value, with an object reached twice and a cycle.
SolFile everyKind() {
  SolFile f;
  f.name = "every/kind";
  AmfGraph& g = f.graph;
  const uint32_t inner = g.add({AmfNode::Kind::Object, "", 0, {{"x", AmfValue::of(1.5)}}, {}});
  const uint32_t typed =
      g.add({AmfNode::Kind::Object,
             "game.Score",
             0,
             {{"points", AmfValue::of(900.0)}, {"who", AmfValue::of(std::string("ana"))}},
             {}});
  const uint32_t ecma = g.add({AmfNode::Kind::EcmaArray,
                               "",
                               6,
                               {{"0", AmfValue::of(std::string("a"))}, {"5", AmfValue::at(inner)}},
                               {}});
  const uint32_t strict =
      g.add({AmfNode::Kind::StrictArray, "", 0, {}, {AmfValue::of(true), AmfValue::null()}});
  const uint32_t loop = g.add({AmfNode::Kind::Object, "", 0, {}, {}});
  g.nodes[loop].members.push_back({"self", AmfValue::at(loop)});
  f.members = {{"n", AmfValue::of(-0.25)},
               {"nan", AmfValue::of(std::nan(""))},
               {"inf", AmfValue::of(HUGE_VAL)},
               {"yes", AmfValue::of(true)},
               {"text", AmfValue::of(std::string("zażółć"))},
               {"long", AmfValue::of(std::string(70000, 'q'))},
               {"nothing", AmfValue::null()},
               {"gone", AmfValue::undefined()},
               {"when", AmfValue::date(1.5e12)},
               {"doc", AmfValue::xml("<a b=\"1\"/>")},
               {"inner", AmfValue::at(inner)},
               {"again", AmfValue::at(inner)},
               {"score", AmfValue::at(typed)},
               {"list", AmfValue::at(ecma)},
               {"dense", AmfValue::at(strict)},
               {"loop", AmfValue::at(loop)}};
  return f;
}

TEST(SolFile, EveryKindOfValueComesBackAsItWasWritten) {
  const SolFile written = everyKind();
  const std::vector<uint8_t> bytes = writeSol(written);
  std::string why;
  const auto read = readSol(bytes, &why);
  ASSERT_TRUE(read) << why;
  EXPECT_EQ(read->name, "every/kind");
  ASSERT_EQ(read->members.size(), written.members.size());
  const auto& m = read->members;
  EXPECT_EQ(m[0].second.number, -0.25);
  EXPECT_TRUE(std::isnan(m[1].second.number));
  EXPECT_TRUE(std::isinf(m[2].second.number));
  EXPECT_TRUE(m[3].second.boolean);
  EXPECT_EQ(m[4].second.text, "zażółć");
  EXPECT_EQ(m[5].second.text.size(), 70000u) << "a long string";
  EXPECT_EQ(m[6].second.type, AmfValue::Type::Null);
  EXPECT_EQ(m[7].second.type, AmfValue::Type::Undefined);
  EXPECT_EQ(m[8].second.type, AmfValue::Type::Date);
  EXPECT_EQ(m[8].second.number, 1.5e12);
  EXPECT_EQ(m[9].second.type, AmfValue::Type::Xml);
  EXPECT_EQ(m[10].second.node, m[11].second.node) << "an object reached twice stays one";
  const AmfNode& score = read->graph.nodes[m[12].second.node];
  EXPECT_EQ(score.className, "game.Score");
  EXPECT_EQ(score.members[1].second.text, "ana");
  const AmfNode& list = read->graph.nodes[m[13].second.node];
  EXPECT_EQ(list.kind, AmfNode::Kind::EcmaArray);
  EXPECT_EQ(list.length, 6u);
  EXPECT_EQ(list.members[1].second.node, m[10].second.node);
  const AmfNode& dense = read->graph.nodes[m[14].second.node];
  ASSERT_EQ(dense.elements.size(), 2u);
  EXPECT_EQ(dense.elements[1].type, AmfValue::Type::Null);
  const AmfNode& loop = read->graph.nodes[m[15].second.node];
  EXPECT_EQ(loop.members[0].second.node, m[15].second.node) << "a cycle stays a cycle";
  EXPECT_EQ(writeSol(*read), bytes) << "written again, the same bytes";
}

TEST(SolFile, AFlashPlayersFileReadsAndIsWrittenBackByteForByte) {
  if (!fs::exists(kCorpusSol)) GTEST_SKIP() << "no corpus";
  const std::vector<uint8_t> theirs = readBytes(kCorpusSol);
  std::string why;
  const auto read = readSol(theirs, &why);
  ASSERT_TRUE(read) << why;
  EXPECT_EQ(read->name, "strict_array_test");
  ASSERT_FALSE(read->members.empty());
  EXPECT_EQ(read->members[0].first, "denseArray");
  EXPECT_EQ(read->graph.nodes[read->members[0].second.node].kind, AmfNode::Kind::EcmaArray);
  EXPECT_EQ(writeSol(*read), theirs);
}

TEST(SolFile, CutOrCorruptFilesAreRefusedWithAReason) {
  std::vector<uint8_t> good = writeSol(everyKind());
  // Every cut (past 400 bytes, some), with the length field mended so the body is cut.
  for (size_t n = 0; n < good.size(); n += (n < 400 ? 1 : 997)) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    if (cut.size() >= 6) {
      const uint32_t len = uint32_t(cut.size() - 6);
      cut[2] = uint8_t(len >> 24), cut[3] = uint8_t(len >> 16), cut[4] = uint8_t(len >> 8),
      cut[5] = uint8_t(len);
    }
    // Cut between two members it is a shorter save; anywhere else it is refused.
    std::string why;
    if (auto read = readSol(cut, &why)) {
      EXPECT_LT(read->members.size(), everyKind().members.size()) << n;
      EXPECT_EQ(writeSol(*read), cut) << n;
    } else {
      EXPECT_FALSE(why.empty()) << n;
    }
  }
  // A reference to an object not yet read, a strict array claiming more than is there,
  // nesting without end, AMF3.
  auto withBody = [](std::vector<uint8_t> body, uint8_t version = 0) {
    std::vector<uint8_t> f = {0x00, 0xBF, 0, 0, 0, 0, 'T', 'C', 'S', 'O', 0,      4,
                              0,    0,    0, 0, 0, 1, 'x', 0,   0,   0,   version};
    f.insert(f.end(), body.begin(), body.end());
    const uint32_t len = uint32_t(f.size() - 6);
    f[2] = uint8_t(len >> 24), f[3] = uint8_t(len >> 16), f[4] = uint8_t(len >> 8),
    f[5] = uint8_t(len);
    return f;
  };
  EXPECT_FALSE(readSol(withBody({0, 1, 'a', 0x07, 0, 3, 0})));
  EXPECT_FALSE(readSol(withBody({0, 1, 'a', 0x0A, 0x7F, 0xFF, 0xFF, 0xFF, 0x05, 0})));
  std::vector<uint8_t> deep = {0, 1, 'a'};
  for (int i = 0; i < 5000; ++i) deep.insert(deep.end(), {0x03, 0, 1, 'k'});
  EXPECT_FALSE(readSol(withBody(deep)));
  std::string why;
  EXPECT_FALSE(readSol(withBody({}, 3), &why));
  EXPECT_EQ(why, "written in AMF3");
  EXPECT_TRUE(readSol(withBody({})));
}

TEST(SaveStore, SavesLieUnderTheMoviesPathAsAFlashPlayerLaysThemOut) {
  const SaveStore store("/saves");
  EXPECT_EQ(store.fileFor(R"(C:\Games\Space\game.swf)", "", "hiscore"),
            fs::path("/saves/C/Games/Space/game.swf/hiscore.sol"));
  EXPECT_EQ(store.fileFor(R"(c:\Games\game.swf)", "", "a/b"),
            fs::path("/saves/C/Games/game.swf/a/b.sol"));
  EXPECT_EQ(store.fileFor("/home/ana/game.swf", "", "s"),
            fs::path("/saves/home/ana/game.swf/s.sol"));
  // The local path picks a folder on the way to the movie, or the top.
  EXPECT_EQ(store.fileFor(R"(C:\Games\Space\game.swf)", "/", "s"), fs::path("/saves/s.sol"));
  EXPECT_EQ(store.fileFor(R"(C:\Games\Space\game.swf)", "/C:/games", "s"),
            fs::path("/saves/C/Games/s.sol"));
  EXPECT_EQ(store.fileFor(R"(C:\Games\Space\game.swf)", "/C/Games/Space/game.swf", "s"),
            fs::path("/saves/C/Games/Space/game.swf/s.sol"));
  EXPECT_FALSE(store.fileFor(R"(C:\Games\Space\game.swf)", "/C/Other", "s")) << "not on the way";
  EXPECT_FALSE(store.fileFor(R"(C:\Games\game.swf)", "Games", "s")) << "not from the top";
  for (const char* refused :
       {"", "a b", "x:y", "a\\b", "..", "a/../b", "a//b", "/a", "q?", "50%", "#1"})
    EXPECT_FALSE(store.fileFor(R"(C:\Games\game.swf)", "", refused)) << refused;
  EXPECT_FALSE(store.fileFor(R"(C:\Games\..\game.swf)", "", "s")) << "a path that climbs";
}

TEST(SaveStore, ASaveIsWrittenWholeAndReadBackAndABrokenOneIsLeftAlone) {
  const test::TempDir dir("orv-saves");
  const SaveStore store(dir.path);
  const auto file = store.fileFor(R"(C:\Games\game.swf)", "", "progress");
  ASSERT_TRUE(file);
  EXPECT_FALSE(store.load(*file, R"(C:\Games\game.swf)", "progress").file) << "nothing yet";
  ASSERT_TRUE(store.save(*file, everyKind()));
  EXPECT_FALSE(fs::exists(*file + ".writing")) << "no temporary file is left";
  const auto loaded = store.load(*file, R"(C:\Games\game.swf)", "progress");
  ASSERT_TRUE(loaded.file) << loaded.problem;
  EXPECT_EQ(writeSol(*loaded.file), writeSol(everyKind()));

  std::ofstream(*file, std::ios::binary) << "not a save";
  const auto broken = store.load(*file, R"(C:\Games\game.swf)", "progress");
  EXPECT_FALSE(broken.file);
  EXPECT_FALSE(broken.problem.empty());
  EXPECT_EQ(readBytes(*file).size(), 10u) << "reading never writes";

  // A save that cannot be written leaves the one there.
  ASSERT_TRUE(store.save(*file, everyKind()));
  fs::create_directories(*file + ".writing");  // the temporary name is taken
  EXPECT_FALSE(store.save(*file, SolFile{"progress"}));
  EXPECT_EQ(readBytes(*file), writeSol(everyKind()));
  EXPECT_FALSE(SaveStore().save(*file, everyKind())) << "a store without a folder keeps nothing";
}

TEST(SaveStore, AFlashPlayersSaveIsReadWhenOrvantaHasNone) {
  const test::TempDir ours("orv-saves-ours"), flash("orv-saves-flash");
  const fs::path theirs = flash.path / "X7Q2ABCD/localhost/Games/game.swf/progress.sol";
  fs::create_directories(theirs.parent_path());
  SolFile kept{"progress"};
  kept.members = {{"level", AmfValue::of(7.0)}};
  std::ofstream(theirs, std::ios::binary)
      .write(reinterpret_cast<const char*>(writeSol(kept).data()),
             std::streamsize(writeSol(kept).size()));
  const SaveStore store(ours.path, flash.path);
  const auto file = store.fileFor(R"(C:\Games\game.swf)", "", "progress");
  auto loaded = store.load(*file, R"(C:\Games\game.swf)", "progress");
  ASSERT_TRUE(loaded.file);
  EXPECT_EQ(loaded.file->members[0].second.number, 7.0);
  // Once Orvanta has its own, that is the one read.
  SolFile mine{"progress"};
  mine.members = {{"level", AmfValue::of(8.0)}};
  ASSERT_TRUE(store.save(*file, mine));
  loaded = store.load(*file, R"(C:\Games\game.swf)", "progress");
  EXPECT_EQ(loaded.file->members[0].second.number, 8.0);
}

}  // namespace
}  // namespace orv::movie::saves
