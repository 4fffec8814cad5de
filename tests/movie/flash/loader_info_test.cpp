// DisplayObject.loaderInfo on the player: the opened movie's file, stage size, rate and
// version, and the progress, init and complete a preloader waits for after the first frame.
#include <filesystem>
#include <fstream>

#include "../swf_writer.h"
#include "doc_script.h"

namespace orv::movie {
namespace {

// Pushes a listener tracing the event's type and the loaderInfo's bytesLoaded.
void pushListener(DocScript& d) {
  uint32_t m = d.abc.method({.params = {0}});
  Code body;
  body.op(op::findpropstrict, d.pub("trace"));
  body.op(op::getlocal1).op(op::getproperty, d.pub("type"));
  body.op(op::pushstring, d.abc.string(" ")).op(op::add);
  body.op(op::getlocal1).op(op::getproperty, d.pub("target"));
  body.op(op::getproperty, d.pub("bytesLoaded")).op(op::add);
  body.op(op::callpropvoid, d.pub("trace"), 1).op(op::returnvoid);
  d.abc.body(m, body, {.maxStack = 4, .localCount = 2});
  d.c.op(op::newfunction, m);
}

}  // namespace

TEST(As3LoaderInfo, TheOpenedMovieDescribesItsFileAndReportsItselfLoadedAfterTheFirstFrame) {
  DocScript d;
  d.self().get("loaderInfo").store(1);
  for (const char* type : {"progress", "init", "complete"}) {
    d.local(1).str(type);
    pushListener(d);
    d.callVoid("addEventListener", 2);
  }
  for (const char* field : {"url", "swfVersion", "frameRate", "width", "height", "contentType",
                            "actionScriptVersion"})
    d.trace([&] { d.local(1).get(field); });
  d.trace([&] {
    d.local(1).get("bytesTotal").local(1).get("bytesLoaded");
    d.c.op(op::equals);
  });
  d.trace([&] {
    d.local(1).get("content").self();
    d.c.op(op::strictequals);
  });
  d.trace([&] { d.make("Sprite").get("loaderInfo"); });
  d.trace([&] { d.str("constructed"); });
  const std::vector<uint8_t> swf = test::as3Movie(d.abcBytes(), "Doc");

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("orvanta_loaderinfo_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "intro.swf", std::ios::binary)
      .write(reinterpret_cast<const char*>(swf.data()), std::streamsize(swf.size()));
  std::vector<std::string> lines;
  Player player;
  player.setTraceSink([&](const std::string& line) { lines.push_back(line); });
  ASSERT_TRUE(player.load((folder / "intro.swf").string()));
  std::filesystem::remove_all(folder);
  const std::string size = std::to_string(swf.size());
  const std::vector<std::string> expected = {
      "file:///intro.swf", "10", "12", "550", "400", "application/x-shockwave-flash", "3",
      "true",  // all of it loaded
      "true",  // the content is the root
      "null",  // an object off the stage belongs to no file yet
      "constructed", "progress " + size, "init " + size, "complete " + size};
  EXPECT_EQ(lines, expected);
  if (player.as3Scripts())
    for (const std::string& e : player.as3Scripts()->errors()) ADD_FAILURE() << e;
}

}  // namespace orv::movie
