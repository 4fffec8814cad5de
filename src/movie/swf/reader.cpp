// The movie reader: header, decompression and the tag loop over the root timeline and
// sprites.
#include "movie/swf/reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "movie/base/bytes.h"
#include "movie/swf/lzma.h"
#include "movie/swf/tag_readers.h"

namespace orv::movie::swf {

namespace {

// Inflates up to `limit` bytes; growth follows the real output.
bool inflateBody(const uint8_t* in, size_t inSize, size_t limit, std::vector<uint8_t>& out,
                 std::string& error) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) {
    error = "zlib failed to start";
    return false;
  }
  out.clear();
  out.reserve(std::min(limit, inSize * 4 + 4096));
  zs.next_in = const_cast<Bytef*>(in);
  size_t fed = 0;
  int rc = Z_OK;
  uint8_t chunk[65536];
  while (out.size() < limit) {
    if (zs.avail_in == 0) {
      size_t n = std::min<size_t>(inSize - fed, 1u << 30);
      zs.next_in = const_cast<Bytef*>(in + fed);
      zs.avail_in = static_cast<uInt>(n);
      fed += n;
    }
    zs.next_out = chunk;
    zs.avail_out = static_cast<uInt>(std::min(sizeof chunk, limit - out.size()));
    rc = inflate(&zs, Z_NO_FLUSH);
    out.insert(out.end(), chunk, zs.next_out);
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) {
      if (rc == Z_BUF_ERROR && zs.avail_in == 0 && fed == inSize) {
        error = "compressed data ends early";
      } else {
        error = "corrupt compressed data";
      }
      break;
    }
  }
  inflateEnd(&zs);
  return error.empty();
}

using detail::Context;

// Timeline-building state for the root or one sprite.
struct TimelineBuilder {
  explicit TimelineBuilder(Timeline& t) : timeline(t) {}
  Timeline& timeline;
  Frame current;
  bool dirty = false;

  void showFrame(Context& ctx) {
    ctx.charge(1, sizeof(Frame));
    timeline.frames.push_back(std::move(current));
    current = Frame{};
    dirty = false;
  }
  void finish(Context& ctx) {
    if (dirty || timeline.frames.empty()) showFrame(ctx);
  }
};

struct TagHeader {
  uint16_t code;
  size_t length;
};

class MovieReader {
 public:
  MovieReader(Movie& movie, size_t budget) : ctx_{movie, movie.header.version, budget} {}

  // Reads tags until End or the data ends. `sprite` is null for the root.
  void readTimeline(BitReader& r, TimelineBuilder& tl, bool insideSprite) {
    while (r.remaining() > 0) {
      if (r.remaining() < 2) {
        markTruncated("data ends inside a tag header");
        break;
      }
      uint16_t codeAndLength = r.u16();
      TagHeader h{static_cast<uint16_t>(codeAndLength >> 6), size_t(codeAndLength & 0x3F)};
      if (h.length == 0x3F) {
        if (r.remaining() < 4) {
          markTruncated("data ends inside a tag header");
          break;
        }
        h.length = r.u32();
      }
      if (h.length > r.remaining()) {
        markTruncated("tag " + std::string(tagName(h.code)) + " runs past the end of the data");
        break;
      }
      ++ctx_.movie.tagCounts[h.code];
      BitReader body = r.sub(h.length);
      if (h.code == 0) return;  // End
      try {
        readTag(body, h.code, tl, insideSprite);
      } catch (const ParseError& e) {
        if (ctx_.budget == 0 || std::strstr(e.what(), "too large")) throw;
        noteBadTag(h.code, e.what());
      }
      if (!insideSprite && !pendingInits_.empty()) notePendingDefinitions(tl);
    }
    if (!insideSprite) markTruncated(ctx_.movie.truncated ? ctx_.movie.warning : "no End tag");
  }

 private:
  void markTruncated(const std::string& why) {
    if (!ctx_.movie.truncated) ctx_.movie.warning = why;
    ctx_.movie.truncated = true;
  }
  void noteBadTag(uint16_t code, const char* why) {
    if (ctx_.movie.warning.empty())
      ctx_.movie.warning = std::string("skipped a bad ") + tagName(code) + " tag: " + why;
  }

  // Init actions of the root timeline whose character was not defined yet when read.
  struct PendingInit {
    size_t frame, index;
    CharacterId id;
  };
  static constexpr size_t kMaxPendingInits = 256;
  std::vector<PendingInit> pendingInits_;

  // Gives the waiting init actions whose character is now defined the frame being read.
  void notePendingDefinitions(TimelineBuilder& tl) {
    const size_t frameNow = tl.timeline.frames.size();
    std::erase_if(pendingInits_, [&](const PendingInit& p) {
      if (!knownCharacter(p.id)) return false;
      Frame& f = p.frame < tl.timeline.frames.size() ? tl.timeline.frames[p.frame] : tl.current;
      if (p.index < f.initActions.size())
        f.initActions[p.index].definedInFrame = static_cast<int>(frameNow);
      return true;
    });
  }

  bool knownCharacter(CharacterId id) const {
    const Movie& m = ctx_.movie;
    if (m.dictionary.count(id)) return true;
    for (const Movie::Import& im : m.imports)
      for (const auto& asset : im.assets)
        if (asset.first == id) return true;
    return false;
  }

  void readTag(BitReader& r, uint16_t code, TimelineBuilder& tl, bool insideSprite) {
    Movie& m = ctx_.movie;
    Frame& f = tl.current;
    switch (code) {
      case 1:  // ShowFrame
        tl.showFrame(ctx_);
        return;
      case 4:
      case 26:
      case 70:
        f.displayTags.emplace_back(detail::readPlaceObject(r,
                                                           code == 4    ? 1
                                                           : code == 26 ? 2
                                                                        : 3,
                                                           ctx_));
        break;
      case 5: {
        RemoveObject ro;
        ro.characterId = r.u16();
        ro.depth = r.u16();
        f.displayTags.emplace_back(ro);
        break;
      }
      case 28: {
        RemoveObject ro;
        ro.depth = r.u16();
        f.displayTags.emplace_back(ro);
        break;
      }
      case 43: {  // FrameLabel
        std::string label = r.string();
        uint32_t frame = static_cast<uint32_t>(tl.timeline.frames.size());
        tl.timeline.labels.emplace(label, frame);
        f.labels.push_back(std::move(label));
        break;
      }
      case 12:
        ctx_.charge(1, r.remaining() + sizeof(DoAction));
        f.actions.push_back(DoAction{r.rest(), static_cast<uint32_t>(f.displayTags.size())});
        break;
      case 59: {
        DoInitAction a;
        a.spriteId = r.u16();
        ctx_.charge(1, r.remaining() + sizeof(DoInitAction));
        a.bytes = r.rest();
        a.displayTagsBefore = static_cast<uint32_t>(f.displayTags.size());
        // Init actions belong to a character defined (or imported) earlier in the file;
        // for one defined later, they wait until the timeline has been through the frame
        // that defines it.
        if (!knownCharacter(a.spriteId)) {
          a.definedInFrame = DoInitAction::kNeverDefined;
          if (!insideSprite && pendingInits_.size() < kMaxPendingInits)
            pendingInits_.push_back({tl.timeline.frames.size(), f.initActions.size(), a.spriteId});
        }
        f.initActions.push_back(std::move(a));
        break;
      }
      case 72:
      case 82: {
        DoAbc a;
        if (code == 82) {
          a.flags = r.u32();
          a.name = r.string();
        }
        ctx_.charge(1, r.remaining() + sizeof(DoAbc));
        a.bytes = r.rest();
        f.abc.push_back(std::move(a));
        break;
      }
      case 76: {
        uint16_t count = r.u16();
        for (uint16_t i = 0; i < count; ++i) {
          SymbolClass link;
          link.id = r.u16();
          ctx_.charge(1, sizeof(SymbolClass) + 16);
          link.className = r.string();
          f.symbolClasses.push_back(std::move(link));
        }
        break;
      }
      case 15:
      case 89: {
        StartSound s;
        if (code == 15)
          s.soundId = r.u16();
        else
          s.className = r.string();
        s.info = detail::readSoundInfo(r);
        ctx_.charge(1, sizeof(StartSound));
        f.sounds.push_back(std::move(s));
        break;
      }
      case 18:
      case 45:
        if (!tl.timeline.streamHead)
          tl.timeline.streamHead = detail::readSoundStreamHead(r, code == 18 ? 1 : 2);
        break;
      case 19:
        f.streamBlock = r.rest();
        break;
      case 9: {
        RGBA c = r.rgb();
        f.backgroundColor = c;
        if (!m.backgroundColor) m.backgroundColor = c;
        break;
      }
      case 39:
        if (insideSprite) return;  // sprites do not nest
        readSprite(r);
        return;
      default:
        readDefinitionOrMovieTag(r, code,
                                 insideSprite ? -1 : static_cast<int>(tl.timeline.frames.size()));
        return;
    }
    tl.dirty = true;
  }

  void readSprite(BitReader& r) {
    SpriteDef def;
    def.id = r.u16();
    def.declaredFrameCount = r.u16();
    TimelineBuilder tl(def.timeline);
    readTimeline(r, tl, true);
    tl.finish(ctx_);
    CharacterId id = def.id;
    ctx_.define(id, std::move(def));
  }

  // rootFrame: the root timeline's frame the tag is in (-1 inside a sprite).
  void readDefinitionOrMovieTag(BitReader& r, uint16_t code, int rootFrame) {
    Movie& m = ctx_.movie;
    switch (code) {
      case 2:
        detail::readDefineShape(r, 1, ctx_);
        break;
      case 22:
        detail::readDefineShape(r, 2, ctx_);
        break;
      case 32:
        detail::readDefineShape(r, 3, ctx_);
        break;
      case 83:
        detail::readDefineShape(r, 4, ctx_);
        break;
      case 46:
        detail::readDefineMorphShape(r, 1, ctx_);
        break;
      case 84:
        detail::readDefineMorphShape(r, 2, ctx_);
        break;
      case 6:
      case 21:
      case 35:
      case 90:
      case 20:
      case 36:
        detail::readBitmapTag(r, code, ctx_);
        break;
      case 8:
        if (m.jpegTables.empty()) m.jpegTables = r.rest();
        break;
      case 87:
        detail::readBinaryData(r, ctx_);
        break;
      case 10:
      case 48:
      case 75:
      case 13:
      case 62:
      case 73:
        detail::readFontTag(r, code, ctx_);
        break;
      case 11:
      case 33:
      case 37:
      case 74:
        detail::readTextTag(r, code, ctx_);
        break;
      case 7:
      case 34:
      case 23:
      case 17:
        detail::readButtonTag(r, code, ctx_);
        break;
      case 14:
        detail::readSoundDefinition(r, ctx_);
        break;
      case 60:
      case 61:
        detail::readVideoTag(r, code, ctx_);
        break;
      case 78: {
        CharacterId id = r.u16();
        m.scalingGrids.emplace(id, r.rect());
        break;
      }
      case 56: {  // ExportAssets
        uint16_t count = r.u16();
        for (uint16_t i = 0; i < count; ++i) {
          CharacterId id = r.u16();
          ctx_.charge(1, 64);
          std::string name = r.string();
          if (rootFrame >= 0) m.exportFrames.emplace(name, rootFrame);
          m.exports.emplace(std::move(name), id);
        }
        break;
      }
      case 57:
      case 71: {  // ImportAssets, ImportAssets2
        Movie::Import imp;
        imp.url = r.string();
        if (code == 71) r.u16();  // reserved
        uint16_t count = r.u16();
        for (uint16_t i = 0; i < count; ++i) {
          CharacterId id = r.u16();
          ctx_.charge(1, 64);
          imp.assets.emplace_back(id, r.string());
        }
        m.imports.push_back(std::move(imp));
        break;
      }
      case 69: {
        uint8_t flags = r.u8();
        FileAttributes fa;
        fa.useDirectBlit = flags & 0x40;
        fa.useGPU = flags & 0x20;
        fa.hasMetadata = flags & 0x10;
        fa.actionScript3 = flags & 0x08;
        fa.useNetwork = flags & 0x01;
        m.fileAttributes = fa;
        break;
      }
      case 77:
        m.metadata = r.string();
        break;
      case 66: {
        uint16_t depth = r.u16();
        m.tabIndices[depth] = r.u16();
        break;
      }
      case 65:
        m.maxRecursionDepth = r.u16();
        m.scriptTimeoutSeconds = r.u16();
        break;
      case 24:
        m.isProtected = true;
        break;
      case 58:
      case 64:
        m.debuggerEnabled = true;
        break;
      case 86: {  // DefineSceneAndFrameLabelData
        uint32_t scenes = r.encodedU32();
        for (uint32_t i = 0; i < scenes; ++i) {
          ctx_.charge(1, sizeof(Scene) + 16);
          Scene s;
          s.offset = r.encodedU32();
          s.name = r.string();
          m.scenes.push_back(std::move(s));
        }
        uint32_t labels = r.encodedU32();
        for (uint32_t i = 0; i < labels; ++i) {
          ctx_.charge(1, 64);
          uint32_t frame = r.encodedU32();
          m.root.labels.emplace(r.string(), frame);
        }
        break;
      }
      default:
        break;  // unknown or not needed here (ProductInfo, DebugID, ...): skipped
    }
  }

  Context ctx_;
};

}  // namespace

Body decompressBody(const uint8_t* data, size_t size, const ReadLimits& limits) {
  Body body;
  if (size < 8) {
    body.error = "not a Flash movie (file too short)";
    return body;
  }
  char sig = static_cast<char>(data[0]);
  if ((sig != 'F' && sig != 'C' && sig != 'Z') || data[1] != 'W' || data[2] != 'S') {
    body.error = "not a Flash movie (no FWS, CWS or ZWS signature)";
    return body;
  }
  body.header.compression = sig;
  body.header.version = data[3];
  body.header.fileLength = base::le32(data + 4);
  size_t claimed = body.header.fileLength >= 8 ? body.header.fileLength - 8 : 0;
  size_t limit = std::min(claimed, limits.maxUncompressedSize);
  if (sig == 'F') {
    // Trust the data actually present; the claimed length may be off either way.
    body.data.assign(data + 8, data + std::min(size, 8 + limits.maxUncompressedSize));
    body.truncated = size - 8 < claimed;
  } else if (sig == 'C') {
    std::string err;
    if (!inflateBody(data + 8, size - 8, limit, body.data, err)) {
      body.truncated = true;
      if (body.data.empty()) body.error = err;
    }
  } else {
    if (size < 17) {
      body.error = "LZMA movie header is incomplete";
      return body;
    }
    // ZWS: 4-byte compressed length, 5 property bytes, then raw LZMA data.
    LzmaResult lz = lzmaDecode(data + 12, data + 17, size - 17, limit);
    body.data = std::move(lz.data);
    if (!lz.error.empty()) {
      body.truncated = true;
      if (body.data.empty()) body.error = lz.error;
    }
  }
  if (body.header.version == 0 && body.error.empty()) body.error = "movie version 0 is not valid";
  return body;
}

ReadResult readMovie(const uint8_t* data, size_t size, const ReadLimits& limits) {
  ReadResult result;
  Body body = decompressBody(data, size, limits);
  if (!body.error.empty()) {
    result.error = body.error;
    return result;
  }
  auto movie = std::make_shared<Movie>();
  movie->header = body.header;
  try {
    BitReader r(body.data.data(), body.data.size(), body.header.version);
    movie->header.frameSize = r.rect();
    uint8_t rateFraction = r.u8();  // 8.8, fraction first
    movie->header.frameRate = r.u8() + rateFraction / 256.0;
    movie->header.frameCount = r.u16();
    MovieReader reader(*movie, limits.maxParsedBytes);
    TimelineBuilder root(movie->root);
    reader.readTimeline(r, root, false);
    if (body.truncated && !movie->truncated) {
      movie->truncated = true;
      movie->warning = "the file is shorter than its header says";
    }
    detail::Context finishCtx{*movie, movie->header.version, limits.maxParsedBytes};
    root.finish(finishCtx);
  } catch (const ParseError& e) {
    result.error = std::string("not a readable Flash movie: ") + e.what();
    return result;
  } catch (const std::bad_alloc&) {
    result.error = "movie too large to hold in memory";
    return result;
  }
  result.movie = std::move(movie);
  return result;
}

const char* tagName(uint16_t code) {
  switch (code) {
    case 0:
      return "End";
    case 1:
      return "ShowFrame";
    case 2:
      return "DefineShape";
    case 4:
      return "PlaceObject";
    case 5:
      return "RemoveObject";
    case 6:
      return "DefineBits";
    case 7:
      return "DefineButton";
    case 8:
      return "JPEGTables";
    case 9:
      return "SetBackgroundColor";
    case 10:
      return "DefineFont";
    case 11:
      return "DefineText";
    case 12:
      return "DoAction";
    case 13:
      return "DefineFontInfo";
    case 14:
      return "DefineSound";
    case 15:
      return "StartSound";
    case 17:
      return "DefineButtonSound";
    case 18:
      return "SoundStreamHead";
    case 19:
      return "SoundStreamBlock";
    case 20:
      return "DefineBitsLossless";
    case 21:
      return "DefineBitsJPEG2";
    case 22:
      return "DefineShape2";
    case 23:
      return "DefineButtonCxform";
    case 24:
      return "Protect";
    case 26:
      return "PlaceObject2";
    case 28:
      return "RemoveObject2";
    case 32:
      return "DefineShape3";
    case 33:
      return "DefineText2";
    case 34:
      return "DefineButton2";
    case 35:
      return "DefineBitsJPEG3";
    case 36:
      return "DefineBitsLossless2";
    case 37:
      return "DefineEditText";
    case 39:
      return "DefineSprite";
    case 41:
      return "ProductInfo";
    case 43:
      return "FrameLabel";
    case 45:
      return "SoundStreamHead2";
    case 46:
      return "DefineMorphShape";
    case 48:
      return "DefineFont2";
    case 56:
      return "ExportAssets";
    case 57:
      return "ImportAssets";
    case 58:
      return "EnableDebugger";
    case 59:
      return "DoInitAction";
    case 60:
      return "DefineVideoStream";
    case 61:
      return "VideoFrame";
    case 62:
      return "DefineFontInfo2";
    case 63:
      return "DebugID";
    case 64:
      return "EnableDebugger2";
    case 65:
      return "ScriptLimits";
    case 66:
      return "SetTabIndex";
    case 69:
      return "FileAttributes";
    case 70:
      return "PlaceObject3";
    case 71:
      return "ImportAssets2";
    case 72:
      return "DoABC1";
    case 73:
      return "DefineFontAlignZones";
    case 74:
      return "CSMTextSettings";
    case 75:
      return "DefineFont3";
    case 76:
      return "SymbolClass";
    case 77:
      return "Metadata";
    case 78:
      return "DefineScalingGrid";
    case 82:
      return "DoABC";
    case 83:
      return "DefineShape4";
    case 84:
      return "DefineMorphShape2";
    case 86:
      return "DefineSceneAndFrameLabelData";
    case 87:
      return "DefineBinaryData";
    case 88:
      return "DefineFontName";
    case 89:
      return "StartSound2";
    case 90:
      return "DefineBitsJPEG4";
    case 91:
      return "DefineFont4";
    default:
      return "Unknown";
  }
}

}  // namespace orv::movie::swf
