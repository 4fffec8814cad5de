// The timeline and the player: display lists through frames, seeking, sprites, the clock.
#include <gtest/gtest.h>

#include "movie/player.h"
#include "movie/timeline/stage.h"
#include "swf_writer.h"

using namespace orv::movie;
namespace t = orv::movie::test;

namespace {
// Frame 0: A at depth 1. Frame 1: A moved. Frame 2: B at depth 2, "mid" label.
// Frame 3: A replaced by B at depth 1. Frame 4: depth 2 removed.
std::vector<uint8_t> fiveFrames() {
  return t::movie(
      t::concat({t::defineRect(1, 100, 100, 255, 0, 0), t::defineRect(2, 50, 50, 0, 255, 0),
                 t::placeObject2(
                     {.depth = 1, .character = 1, .translate = std::make_pair(0, 0), .name = "a"}),
                 t::showFrame(),
                 t::placeObject2({.depth = 1, .move = true, .translate = std::make_pair(200, 0)}),
                 t::showFrame(), t::frameLabel("mid"),
                 t::placeObject2({.depth = 2, .character = 2}), t::showFrame(),
                 t::placeObject2({.depth = 1, .character = 2, .move = true}), t::showFrame(),
                 t::removeObject2(2), t::showFrame()}),
      {.frameCount = 5});
}

struct Recorder : TimelineListener {
  std::vector<std::pair<TimelineEvent::Kind, int>> events;
  void onTimelineEvent(Stage&, const TimelineEvent& e) override {
    events.emplace_back(e.kind, e.frame);
  }
  int count(TimelineEvent::Kind k) const {
    int n = 0;
    for (auto& e : events) n += e.first == k;
    return n;
  }
};
}  // namespace

TEST(Timeline, PlaceMoveReplaceAndRemoveFollowTheFrames) {
  Player p;
  ASSERT_TRUE(p.loadBytes(fiveFrames())) << p.error();
  MovieClip& root = p.stageObject()->root();
  ASSERT_EQ(root.displayList().size(), 1u);
  DisplayObject* a = root.objectAt(1);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->name, "a");
  EXPECT_EQ(root.childByName("A", true), a);
  EXPECT_EQ(root.childByName("A", false), nullptr);
  uint64_t aId = a->instanceId;

  p.forward();
  EXPECT_EQ(p.currentFrame(), 1);
  EXPECT_EQ(root.objectAt(1)->instanceId, aId);
  EXPECT_EQ(root.objectAt(1)->matrix.tx, 200);

  p.forward();
  EXPECT_EQ(root.displayList().size(), 2u);
  p.forward();
  EXPECT_EQ(root.objectAt(1)->characterId, 2);  // replaced
  EXPECT_EQ(root.objectAt(1)->matrix.tx, 200);  // keeping its placement
  p.forward();
  EXPECT_EQ(root.displayList().size(), 1u);
  p.forward();  // stays at the last frame
  EXPECT_EQ(p.currentFrame(), 4);
}

TEST(Timeline, SeekingBackRebuildsTheListAndKeepsIdentity) {
  Player p;
  ASSERT_TRUE(p.loadBytes(fiveFrames()));
  MovieClip& root = p.stageObject()->root();
  p.gotoFrame(2);
  uint64_t a = root.objectAt(1)->instanceId, b = root.objectAt(2)->instanceId;
  p.gotoFrame(4);
  EXPECT_EQ(root.objectAt(2), nullptr);
  EXPECT_NE(root.objectAt(1)->instanceId, a);  // A was replaced at frame 3
  p.gotoFrame(2);
  EXPECT_EQ(root.objectAt(1)->characterId, 1);
  EXPECT_NE(root.objectAt(2)->instanceId, b);  // removed and placed again: a new instance
  uint64_t b2 = root.objectAt(2)->instanceId, a2 = root.objectAt(1)->instanceId;
  p.gotoFrame(1);
  EXPECT_EQ(root.objectAt(1)->instanceId, a2);  // A stays across the jump back
  EXPECT_EQ(root.objectAt(1)->matrix.tx, 200);
  EXPECT_EQ(root.objectAt(2), nullptr);
  p.gotoFrame(0);
  EXPECT_EQ(root.objectAt(1)->instanceId, a2);
  EXPECT_EQ(root.objectAt(1)->matrix.tx, 0);  // with the state frame 0 gives it
  (void)b2;
  EXPECT_EQ(root.timeline().findLabel("mid"), 2);
  EXPECT_TRUE(root.gotoLabel("MID"));
  EXPECT_EQ(root.currentFrame(), 2);
  EXPECT_FALSE(root.gotoLabel("nowhere"));
  p.gotoFrame(-5);
  EXPECT_EQ(p.currentFrame(), 0);
  p.gotoFrame(99);
  EXPECT_EQ(p.currentFrame(), 4);
}

TEST(Timeline, SpritesAdvanceEveryTickAndLoop) {
  std::vector<uint8_t> sprite = t::defineSprite(
      10, 3,
      t::concat({t::placeObject2({.depth = 1, .character = 1}), t::showFrame(),
                 t::placeObject2({.depth = 1, .move = true, .translate = std::make_pair(40, 0)}),
                 t::showFrame(), t::removeObject2(1), t::showFrame()}));
  Player p;
  ASSERT_TRUE(p.loadBytes(
      t::movie(t::concat({t::defineRect(1, 10, 10, 0, 0, 0), sprite,
                          t::placeObject2({.depth = 1, .character = 10}), t::showFrame()}))));
  MovieClip* clip = p.stageObject()->root().objectAt(1)->asClip();
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->currentFrame(), 0);
  EXPECT_EQ(clip->displayList().size(), 1u);
  Stage& st = *p.stageObject();
  st.tick();
  EXPECT_EQ(clip->currentFrame(), 1);
  EXPECT_EQ(clip->objectAt(1)->matrix.tx, 40);
  st.tick();
  EXPECT_TRUE(clip->displayList().empty());
  st.tick();  // loops
  EXPECT_EQ(clip->currentFrame(), 0);
  EXPECT_EQ(clip->displayList().size(), 1u);
  EXPECT_FALSE(p.playing());  // the root waits; its sprites still play
  std::vector<render::DisplayNode> tree = st.displayTree();
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0].children.size(), 1u);
}

TEST(Timeline, EventsReachTheListenerInOrder) {
  Player p;
  std::vector<uint8_t> bytes = t::movie(
      t::concat({t::defineRect(1, 10, 10, 0, 0, 0), t::placeObject2({.depth = 1, .character = 1}),
                 t::doAction({0x07, 0x00}), t::showFrame(), t::removeObject2(1), t::showFrame()}),
      {.frameCount = 2});
  ASSERT_TRUE(p.loadBytes(bytes));
  Recorder rec;
  p.stageObject()->setListener(&rec);
  p.forward();
  EXPECT_EQ(rec.count(TimelineEvent::Kind::Removed), 1);
  // The frame's actions come first: the unload events of what it removes follow them.
  ASSERT_EQ(rec.events.size(), 2u);
  EXPECT_EQ(rec.events.front(), std::make_pair(TimelineEvent::Kind::FrameEntered, 1));
  EXPECT_EQ(rec.events.back().first, TimelineEvent::Kind::Removed);
  rec.events.clear();
  p.back();
  EXPECT_EQ(rec.count(TimelineEvent::Kind::Placed), 1);
  EXPECT_EQ(rec.count(TimelineEvent::Kind::FrameEntered), 1);
}

TEST(Player, PlaysLoopsStopsAndKeepsTheClockBounded) {
  Player p;
  EXPECT_FALSE(p.loaded());
  EXPECT_FALSE(p.advance(1000));
  ASSERT_TRUE(p.loadBytes(fiveFrames()));
  EXPECT_EQ(p.frameCount(), 5);
  EXPECT_DOUBLE_EQ(p.frameRate(), 12);
  EXPECT_FALSE(p.playing());
  EXPECT_FALSE(p.advance(1000));  // stopped: no frame change, no animated clips
  EXPECT_EQ(p.currentFrame(), 0);
  p.play();
  EXPECT_FALSE(p.advance(50));  // less than a period (83.3 ms)
  EXPECT_TRUE(p.advance(40));
  EXPECT_EQ(p.currentFrame(), 1);
  EXPECT_TRUE(p.advance(1e12));    // a huge delay: a few frames, not a catch-up
  EXPECT_EQ(p.currentFrame(), 0);  // 1 + 4 = 5 -> wrapped to 0 with loop on
  p.gotoFrame(4);
  EXPECT_TRUE(p.playing());
  p.setLoop(false);
  p.advance(100);
  EXPECT_EQ(p.currentFrame(), 4);
  EXPECT_FALSE(p.playing());
  p.setLoop(true);
  p.play();
  p.advance(100);
  EXPECT_EQ(p.currentFrame(), 0);
  p.forward();
  p.forward();
  p.back();
  EXPECT_EQ(p.currentFrame(), 1);
  EXPECT_FALSE(p.playing());
  p.play();
  p.rewind();
  EXPECT_EQ(p.currentFrame(), 0);
  EXPECT_FALSE(p.playing());
}

TEST(Player, HeaderFactsLoadFailuresAndRendering) {
  Player p;
  EXPECT_FALSE(p.load("/nonexistent/movie.swf"));
  EXPECT_FALSE(p.error().empty());
  EXPECT_FALSE(p.loadBytes({'F', 'W', 'S', 6, 1, 0, 0, 0}));
  EXPECT_FALSE(p.loaded());
  ASSERT_TRUE(
      p.loadBytes(t::movie(t::concat({t::backgroundColor(0x11, 0x22, 0x33), t::showFrame()}),
                           {.version = 6, .width = 2000, .height = 1000, .rateWhole = 0})));
  EXPECT_EQ(p.version(), 6);
  EXPECT_EQ(p.backgroundColor(), 0x112233u);
  EXPECT_DOUBLE_EQ(p.stage().width, 2000);
  EXPECT_DOUBLE_EQ(p.frameRate(), 0);
  EXPECT_DOUBLE_EQ(p.framePeriodMs(), 1000.0 / 12);  // rate 0 runs at 12 fps
  Pixmap pm;
  pm.width = 8;
  pm.height = 4;
  p.render(pm, p.stage());
  ASSERT_EQ(pm.pixels.size(), 32u);
  EXPECT_EQ(pm.pixels[0], 0xFF112233u);
  p.unload();
  EXPECT_FALSE(p.loaded());
  EXPECT_EQ(p.frameCount(), 0);
}

TEST(Timeline, SelfNestingSpritesStayBounded) {
  // Sprite 10 places itself twice: the tree must stop growing, not exhaust memory.
  std::vector<uint8_t> sprite =
      t::defineSprite(10, 1,
                      t::concat({t::placeObject2({.depth = 1, .character = 10}),
                                 t::placeObject2({.depth = 2, .character = 10}), t::showFrame()}));
  Player p;
  ASSERT_TRUE(p.loadBytes(t::movie(
      t::concat({sprite, t::placeObject2({.depth = 1, .character = 10}), t::showFrame()}))));
  EXPECT_LE(p.stageObject()->liveObjects(), Stage::kMaxObjects);
  p.advance(1000);
}
