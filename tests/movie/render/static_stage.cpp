#include "static_stage.h"

namespace orv::movie::render::test {

StaticStage::StaticStage(std::shared_ptr<const swf::Movie> movie) : movie_(std::move(movie)) {
  nextFrame();
}

void StaticStage::apply(std::map<uint16_t, Instance>& list, const swf::Frame& frame) {
  for (const swf::DisplayTag& tag : frame.displayTags) {
    if (const auto* remove = std::get_if<swf::RemoveObject>(&tag)) {
      list.erase(remove->depth);
      continue;
    }
    const auto& place = std::get<swf::PlaceObject>(tag);
    auto it = list.find(place.depth);
    const bool modify = place.move && it != list.end();
    if (!modify) {
      if (!place.characterId) continue;
      Instance fresh;
      list[place.depth] = std::move(fresh);
      it = list.find(place.depth);
    }
    Instance& in = it->second;
    if (place.characterId) {
      const swf::Character* ch = movie_->find(*place.characterId);
      if (!ch) {
        if (!modify) list.erase(it);
        continue;
      }
      if (ch != in.node.character) {
        in.node.character = ch;
        in.sprite = std::get_if<swf::SpriteDef>(ch);
        in.children.clear();
        in.frame = 0;
        if (in.sprite && !in.sprite->timeline.frames.empty())
          apply(in.children, in.sprite->timeline.frames[0]);
      }
    }
    in.node.depth = place.depth;
    if (place.matrix) in.node.matrix = *place.matrix;
    if (place.cxform) in.node.cxform = *place.cxform;
    if (place.ratio) in.node.ratio = *place.ratio;
    if (place.clipDepth) in.node.clipDepth = *place.clipDepth;
    if (place.blendMode) in.node.blendMode = *place.blendMode;
    if (place.cacheAsBitmap) in.node.cacheAsBitmap = *place.cacheAsBitmap;
    if (place.hasFilters) in.node.filters = &place.filterData;
  }
}

void StaticStage::advanceSprites(std::map<uint16_t, Instance>& list, int nesting) {
  if (nesting > 32) return;
  for (auto& [depth, in] : list) {
    if (in.sprite && in.sprite->timeline.frames.size() > 1) {
      const int count = int(in.sprite->timeline.frames.size());
      in.frame = (in.frame + 1) % count;
      if (in.frame == 0) in.children.clear();
      apply(in.children, in.sprite->timeline.frames[size_t(in.frame)]);
    }
    advanceSprites(in.children, nesting + 1);
  }
}

void StaticStage::nextFrame() {
  const auto& frames = movie_->root.frames;
  if (frames.empty()) return;
  if (frame_ >= 0) advanceSprites(root_, 0);
  if (frame_ + 1 >= int(frames.size())) return;  // stays on the last frame
  ++frame_;
  apply(root_, frames[size_t(frame_)]);
}

void StaticStage::toNodes(const std::map<uint16_t, Instance>& list, std::vector<DisplayNode>& out) {
  for (const auto& [depth, in] : list) {
    out.push_back(in.node);
    out.back().children.clear();
    toNodes(in.children, out.back().children);
  }
}

std::vector<DisplayNode> StaticStage::displayList() const {
  std::vector<DisplayNode> out;
  toNodes(root_, out);
  return out;
}

}  // namespace orv::movie::render::test
