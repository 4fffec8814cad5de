// ABC in movies: the DoABC and SymbolClass tags as the SWF reader keeps them, and every
// ABC block of the ActionScript 3 corpus read by the ABC reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "abc_writer.h"
#include "movie/abc/reader.h"
#include "movie/swf/reader.h"

using namespace orv::movie;
namespace t = orv::movie::test;
namespace fs = std::filesystem;

namespace {
std::vector<uint8_t> smallAbc(const std::string& slotName) {
  t::AbcBuilder b;
  b.script(b.emptyMethod(), {t::AbcBuilder::slot(b.qname(slotName), b.qname("int"))});
  return b.bytes();
}
}  // namespace

TEST(AbcMovie, AbcBlocksAndSymbolClassesAreKeptPerFrameInFileOrder) {
  const std::vector<uint8_t> a = smallAbc("a"), b = smallAbc("b"), c = smallAbc("c");
  auto bytes =
      t::movie(t::concat({t::fileAttributes(true), t::doAbc(a, "first", 1), t::doAbcWithoutFlags(b),
                          t::symbolClass({{0, "Main"}, {3, "pkg.Thing"}}), t::showFrame(),
                          t::doAbc(c, "second", 0), t::symbolClass({{5, "X"}}), t::showFrame()}),
               {.version = 10, .frameCount = 2});
  swf::ReadResult r = swf::readMovie(bytes);
  ASSERT_TRUE(r.movie) << r.error;
  const swf::Movie& m = *r.movie;
  EXPECT_TRUE(m.warning.empty()) << m.warning;
  ASSERT_TRUE(m.fileAttributes);
  EXPECT_TRUE(m.fileAttributes->actionScript3);
  ASSERT_EQ(m.root.frames.size(), 2u);
  const swf::Frame& f0 = m.root.frames[0];
  ASSERT_EQ(f0.abc.size(), 2u);
  EXPECT_EQ(f0.abc[0].flags, swf::DoAbc::kLazyInitialize);
  EXPECT_EQ(f0.abc[0].name, "first");
  EXPECT_EQ(f0.abc[0].bytes, a);
  EXPECT_EQ(f0.abc[1].flags, 0u);  // tag 72: no flags, no name
  EXPECT_EQ(f0.abc[1].name, "");
  EXPECT_EQ(f0.abc[1].bytes, b);
  ASSERT_EQ(f0.symbolClasses.size(), 2u);
  EXPECT_EQ(f0.symbolClasses[0].id, 0);
  EXPECT_EQ(f0.symbolClasses[0].className, "Main");
  EXPECT_EQ(f0.symbolClasses[1].id, 3);
  EXPECT_EQ(f0.symbolClasses[1].className, "pkg.Thing");
  const swf::Frame& f1 = m.root.frames[1];
  ASSERT_EQ(f1.abc.size(), 1u);
  EXPECT_EQ(f1.abc[0].name, "second");
  EXPECT_EQ(f1.abc[0].bytes, c);
  ASSERT_EQ(f1.symbolClasses.size(), 1u);
  EXPECT_EQ(f1.symbolClasses[0].className, "X");

  abc::ReadResult read = abc::readAbc(f1.abc[0].bytes);
  ASSERT_TRUE(read) << read.error.message();
  EXPECT_EQ(abc::multinameText(*read.file, read.file->scripts[0].traits[0].name), "c");
  EXPECT_STREQ(swf::tagName(82), "DoABC");
  EXPECT_STREQ(swf::tagName(76), "SymbolClass");

  // as3Movie: the same tags for one frame, the main class linked.
  r = swf::readMovie(t::as3Movie(a, "Main"));
  ASSERT_TRUE(r.movie) << r.error;
  ASSERT_EQ(r.movie->root.frames.at(0).abc.size(), 1u);
  EXPECT_EQ(r.movie->root.frames[0].symbolClasses.at(0).className, "Main");
}

TEST(AbcMovie, BrokenScriptTagsAreSkippedAndTheMovieStillLoads) {
  // A DoABC too short for its flags, a SymbolClass promising more links than it holds,
  // and a movie without the ActionScript 3 flag.
  std::vector<uint8_t> shortSymbols = t::symbolClass({{1, "A"}});
  shortSymbols[6] = 2;  // count 2 (after the long tag header), one link present
  auto bytes = t::movie(t::concat({t::fileAttributes(false), t::tag(82, {1, 0}), shortSymbols,
                                   t::doAbc(smallAbc("ok")), t::showFrame()}),
                        {.version = 10});
  swf::ReadResult r = swf::readMovie(bytes);
  ASSERT_TRUE(r.movie) << r.error;
  EXPECT_FALSE(r.movie->fileAttributes->actionScript3);
  EXPECT_NE(r.movie->warning.find("DoABC"), std::string::npos) << r.movie->warning;
  ASSERT_EQ(r.movie->root.frames.size(), 1u);
  ASSERT_EQ(r.movie->root.frames[0].abc.size(), 1u);
  EXPECT_TRUE(abc::readAbc(r.movie->root.frames[0].abc[0].bytes));
}

// Every DoABC of the ActionScript 3 movies in the corpus reads.
TEST(AbcCorpus, EveryAbcBlockReads) {
  const fs::path root = ORV_CORPUS_DIR;
  if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << root;
  std::vector<fs::path> movies;
  for (const char* suite : {"avm2", "from_avmplus"}) {
    if (!fs::exists(root / suite)) continue;
    for (const auto& e : fs::recursive_directory_iterator(root / suite))
      if (e.is_regular_file() && e.path().extension() == ".swf") movies.push_back(e.path());
  }
  std::sort(movies.begin(), movies.end());
  int blocks = 0, failed = 0, unreadable = 0;
  size_t bytes = 0;
  auto readBlocks = [&](const swf::Timeline& tl, const std::string& rel) {
    for (const swf::Frame& f : tl.frames)
      for (const swf::DoAbc& a : f.abc) {
        ++blocks;
        bytes += a.bytes.size();
        abc::ReadResult r = abc::readAbc(a.bytes);
        if (!r) {
          ++failed;
          ADD_FAILURE() << rel << " (" << a.name << "): " << r.error.message();
        }
      }
  };
  for (const fs::path& path : movies) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
    swf::ReadResult r = swf::readMovie(data);
    const std::string rel = fs::relative(path, root).string();
    if (!r.movie) {
      ++unreadable;
      std::cout << "not a readable movie: " << rel << ": " << r.error << "\n";
      continue;
    }
    readBlocks(r.movie->root, rel);
    for (const auto& [id, character] : r.movie->dictionary)
      if (const auto* sprite = std::get_if<swf::SpriteDef>(&character))
        readBlocks(sprite->timeline, rel);
  }
  std::cout << "ABC blocks: " << blocks << " read from " << movies.size() << " movies (" << bytes
            << " bytes), " << failed << " failed, " << unreadable << " movies unreadable\n";
  EXPECT_GT(blocks, 0);
}
