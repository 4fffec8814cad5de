// The ActionScript 3 host over a real timeline: children by index over the clips' depths
// (the timeline's own depths kept where they can be), geometry in pixels, names, frames,
// labels and scenes, and objects let go when scripts release them.
#include <gtest/gtest.h>

#include <memory>

#include "../abc/abc_writer.h"
#include "movie/avm2_host/display_host.h"
#include "movie/swf/reader.h"
#include "movie/timeline/stage.h"

namespace orv::movie {
namespace {

using avm2::DisplayHandle;
using avm2::DisplayKind;
using avm2::DisplayProp;

// A root of two frames (the second labelled "end") with rectangles at depths 1, 3 and 5.
struct Timeline {
  std::shared_ptr<const swf::Movie> movie;
  std::unique_ptr<Stage> stage;
  std::unique_ptr<DisplayHost> host;
  DisplayHandle root = 0;

  Timeline() {
    using namespace test;
    auto place = [](uint16_t depth, int32_t x) {
      Place p;
      p.depth = depth;
      p.character = 1;
      p.translate = std::pair{x, 0};
      return placeObject2(p);
    };
    auto tags = concat({fileAttributes(), defineRect(1, 400, 200, 0, 0, 255), place(1, 0),
                        place(3, 200), place(5, 400), showFrame(), frameLabel("end"),
                        showFrame()});
    movie = swf::readMovie(test::movie(tags, {.version = 10, .frameCount = 2})).movie;
    stage = std::make_unique<Stage>(movie);
    host = std::make_unique<DisplayHost>(stage.get());
    root = host->handleOf(&stage->root());
  }
  std::vector<int> depths() const {
    std::vector<int> out;
    for (const auto& [depth, obj] : stage->root().displayList()) out.push_back(depth);
    return out;
  }
};

TEST(Avm2DisplayHost, ChildrenByIndexKeepTheTimelinesDepthsWhereTheyCan) {
  Timeline t;
  ASSERT_EQ(t.host->numChildren(t.root), 3);
  DisplayHandle first = t.host->childAt(t.root, 0), last = t.host->childAt(t.root, 2);
  EXPECT_EQ(t.host->childAt(t.root, 3), 0u);
  EXPECT_EQ(t.host->kindOf(first), DisplayKind::Shape);
  EXPECT_EQ(t.host->parentOf(first), t.root);
  EXPECT_EQ(t.host->parentOf(t.root), DisplayHost::kStage);
  EXPECT_EQ(t.host->childAt(DisplayHost::kStage, 0), t.root);

  DisplayHandle made = t.host->create(DisplayKind::MovieClip);
  t.host->insertChild(t.root, made, 3);  // at the end: above the last depth
  EXPECT_EQ(t.depths(), (std::vector<int>{1, 3, 5, 6}));
  t.host->insertChild(t.root, made, 1);  // between 1 and 3: a free depth is used
  EXPECT_EQ(t.depths(), (std::vector<int>{1, 2, 3, 5}));
  EXPECT_EQ(t.host->childAt(t.root, 1), made);
  t.host->insertChild(t.root, last, 0);  // no room below 1: the others move up
  EXPECT_EQ(t.host->childAt(t.root, 0), last);
  EXPECT_EQ(t.host->childAt(t.root, 1), first);
  EXPECT_EQ(t.depths(), (std::vector<int>{1, 2, 3, 4}));

  t.host->swapChildrenAt(t.root, 0, 3);
  EXPECT_EQ(t.host->childAt(t.root, 3), last);
  t.host->removeChildAt(t.root, 3);
  EXPECT_EQ(t.host->numChildren(t.root), 3);
  EXPECT_EQ(t.host->parentOf(last), 0u);

  // Into another clip: it leaves the first.
  DisplayHandle box = t.host->create(DisplayKind::MovieClip);
  t.host->insertChild(box, made, 0);
  EXPECT_EQ(t.host->parentOf(made), box);
  EXPECT_EQ(t.host->numChildren(t.root), 2);
  // Nothing happens for handles that are not clips, or are not known.
  t.host->insertChild(first, made, 0);
  t.host->insertChild(t.root, 12345, 0);
  EXPECT_EQ(t.host->parentOf(made), box);
  EXPECT_EQ(t.host->numChildren(first), 0);
}

TEST(Avm2DisplayHost, GeometryNamesAndFramesAreThoseOfTheTimeline) {
  Timeline t;
  DisplayHandle second = t.host->childAt(t.root, 1);
  EXPECT_EQ(t.host->property(second, DisplayProp::X), 10);
  EXPECT_EQ(t.host->property(second, DisplayProp::Width), 20);
  t.host->setProperty(second, DisplayProp::Width, 40);
  EXPECT_EQ(t.host->property(second, DisplayProp::ScaleX), 2);
  t.host->setProperty(second, DisplayProp::Width, -5);  // ignored
  EXPECT_EQ(t.host->property(second, DisplayProp::Width), 40);
  t.host->setProperty(second, DisplayProp::Y, 1e12);  // held within 32 bits of twips
  EXPECT_DOUBLE_EQ(t.host->property(second, DisplayProp::Y), 2147483647 / 20.0);
  t.host->setProperty(second, DisplayProp::Alpha, 0.5);
  EXPECT_EQ(t.host->property(second, DisplayProp::Alpha), 0.5);

  EXPECT_EQ(t.host->name(t.root), "root1");
  const std::string unnamed = t.host->name(second);
  EXPECT_EQ(unnamed.rfind("instance", 0), 0u);
  EXPECT_EQ(t.host->name(second), unnamed);  // named once

  EXPECT_EQ(t.host->currentFrame(t.root), 1);
  EXPECT_EQ(t.host->totalFrames(t.root), 2);
  ASSERT_EQ(t.host->labels(t.root).size(), 1u);
  EXPECT_EQ(t.host->labels(t.root)[0].frame, 2);
  auto scenes = t.host->scenes(t.root);
  ASSERT_EQ(scenes.size(), 1u);
  EXPECT_EQ(scenes[0].name, "Scene 1");
  EXPECT_EQ(scenes[0].frames, 2);
  t.host->gotoFrame(t.root, 99, false);  // clamped to the last
  EXPECT_EQ(t.host->currentFrame(t.root), 2);
  EXPECT_FALSE(t.host->isPlaying(t.root));
  EXPECT_EQ(t.host->stageWidth(), 550);
}

TEST(Avm2DisplayHost, ReleasedObjectsAreLetGo) {
  Timeline t;
  DisplayHandle made = t.host->create(DisplayKind::Shape);
  std::weak_ptr<DisplayObject> object = t.host->find(made)->shared_from_this();
  const size_t live = t.stage->liveObjects();
  t.host->release(made);
  EXPECT_TRUE(object.expired());
  EXPECT_EQ(t.stage->liveObjects(), live - 1);
  EXPECT_EQ(t.host->kindOf(made), DisplayKind::None);
  // A child a script still holds outlives its released parent, without one.
  DisplayHandle box = t.host->create(DisplayKind::MovieClip);
  DisplayHandle child = t.host->create(DisplayKind::MovieClip);
  t.host->insertChild(box, child, 0);
  t.host->release(box);
  EXPECT_EQ(t.host->parentOf(child), 0u);
}

}  // namespace
}  // namespace orv::movie
