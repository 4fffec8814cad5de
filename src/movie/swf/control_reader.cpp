// PlaceObject 1-3 with clip actions and filter lists.
#include "movie/swf/filter_list.h"
#include "movie/swf/tag_readers.h"

namespace orv::movie::swf::detail {

void skipFilterList(BitReader& r) {
  r.align();
  const FilterListRead list =
      readFilterList({r.data() + r.pos(), r.remaining()}, FilterSource::File);
  switch (list.end) {
    case FilterListRead::End::Whole:
      r.skip(list.size);
      return;
    case FilterListRead::End::Cut:
      throw ParseError("unexpected end of data");
    case FilterListRead::End::UnknownKind:
      throw ParseError("unknown filter " + std::to_string(list.unknownId));
  }
}

namespace {
void readClipActions(BitReader& r, PlaceObject& place, Context& ctx) {
  const bool wide = ctx.version >= 6;
  r.u16();  // reserved
  if (wide)
    r.u32();
  else
    r.u16();  // all event flags
  while (r.remaining() > 0) {
    uint32_t events = wide ? r.u32() : r.u16();
    if (events == 0) break;  // ClipActionEndFlag
    uint32_t size = r.u32();
    if (size > r.remaining()) throw ParseError("clip action outside the tag");
    ClipAction action;
    action.events = events;
    BitReader body = r.sub(size);
    if ((events & ClipEvent::KeyPress) && body.remaining() > 0) action.keyCode = body.u8();
    ctx.charge(1, sizeof(ClipAction) + body.remaining());
    action.actions = body.rest();
    place.clipActions.push_back(std::move(action));
  }
}
}  // namespace

PlaceObject readPlaceObject(BitReader& r, int version, Context& ctx) {
  PlaceObject p;
  p.version = version;
  if (version == 1) {
    p.characterId = r.u16();
    p.depth = r.u16();
    p.matrix = r.matrix();
    if (r.remaining() > 0) p.cxform = r.cxform(false);
    return p;
  }
  uint8_t flags = r.u8();
  uint8_t flags2 = version >= 3 ? r.u8() : 0;
  bool hasClipActions = flags & 0x80, hasClipDepth = flags & 0x40, hasName = flags & 0x20,
       hasRatio = flags & 0x10, hasCxform = flags & 0x08, hasMatrix = flags & 0x04,
       hasCharacter = flags & 0x02;
  p.move = flags & 0x01;
  bool hasImage = flags2 & 0x10, hasClassName = flags2 & 0x08, hasCache = flags2 & 0x04,
       hasBlend = flags2 & 0x02, hasFilters = flags2 & 0x01;
  bool hasVisible = flags2 & 0x20, hasBackground = flags2 & 0x40;
  p.depth = r.u16();
  if (hasClassName || (hasImage && hasCharacter)) p.className = r.string();
  if (hasCharacter) p.characterId = r.u16();
  if (hasMatrix) p.matrix = r.matrix();
  if (hasCxform) p.cxform = r.cxform(true);
  if (hasRatio) p.ratio = r.u16();
  if (hasName) p.name = r.string();
  if (hasClipDepth) p.clipDepth = r.u16();
  if (hasFilters) {
    const size_t start = r.pos();
    skipFilterList(r);
    p.filterData.assign(r.data() + start, r.data() + r.pos());
    p.hasFilters = true;
  }
  if (hasBlend) p.blendMode = r.u8();
  if (hasCache) p.cacheAsBitmap = r.u8() != 0;
  if (hasVisible) r.u8();
  if (hasBackground) r.rgba();
  if (hasClipActions) {
    try {
      readClipActions(r, p, ctx);
    } catch (const ParseError&) {
      // Broken clip actions: the placement itself still holds, as players keep it.
    }
  }
  return p;
}

}  // namespace orv::movie::swf::detail
