#pragma once
// A plain timeline for renderer tests: plays PlaceObject/RemoveObject of the
// root and of sprites (no scripts) and hands the display list to the renderer
// as DisplayNodes.
#include <map>
#include <memory>
#include <vector>

#include "movie/render/display_node.h"
#include "movie/swf/types.h"

namespace orv::movie::render::test {

class StaticStage {
 public:
  explicit StaticStage(std::shared_ptr<const swf::Movie> movie);
  // Shows frame 0 first; each call moves the root and every sprite on a frame.
  void nextFrame();
  std::vector<DisplayNode> displayList() const;

 private:
  struct Instance {
    DisplayNode node;
    const swf::SpriteDef* sprite = nullptr;
    int frame = 0;
    std::map<uint16_t, Instance> children;
  };
  void apply(std::map<uint16_t, Instance>& list, const swf::Frame& frame);
  void advanceSprites(std::map<uint16_t, Instance>& list, int nesting);
  static void toNodes(const std::map<uint16_t, Instance>& list, std::vector<DisplayNode>& out);

  std::shared_ptr<const swf::Movie> movie_;
  std::map<uint16_t, Instance> root_;
  int frame_ = -1;
};

}  // namespace orv::movie::render::test
