#include "movie/render/movie_renderer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>

#include "movie/timeline/drawing.h"
#include "movie/text/edit_text.h"
#include "movie/font/device_fonts.h"
#include "movie/render/bitmap_cache.h"
#include "movie/render/bitmap_decoder.h"
#include "movie/render/raster/stroker.h"
#include "movie/render/text_layout.h"

namespace orv::movie::render {

namespace {
constexpr int kMaxNesting = 64;  // sprites in buttons in sprites...: hostile movies recurse
constexpr int kMaxStaticDraws = 4096;
constexpr int kMaxLayers = 6;          // layers in layers: each is a whole frame of memory
constexpr int kMaxFilterMargin = 256;  // pixels a filtered layer reaches past the canvas

swf::RGBA lerp(swf::RGBA a, swf::RGBA b, double t) {
  // Truncated, as the reference player's morph colours are.
  auto ch = [t](uint8_t x, uint8_t y) {
    return uint8_t(std::clamp(std::floor(x + (y - x) * t), 0.0, 255.0));
  };
  return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), ch(a.a, b.a)};
}
double lerp(double a, double b, double t) { return a + (b - a) * t; }
int32_t lerpI(int32_t a, int32_t b, double t) { return int32_t(std::lround(a + (b - a) * t)); }
swf::Matrix lerp(const swf::Matrix& a, const swf::Matrix& b, double t) {
  return {lerp(a.a, b.a, t), lerp(a.b, b.b, t),   lerp(a.c, b.c, t),
          lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
}
swf::FillStyle lerp(const swf::FillStyle& a, const swf::FillStyle& b, double t) {
  swf::FillStyle f = a;
  f.color = lerp(a.color, b.color, t);
  f.matrix = lerp(a.matrix, b.matrix, t);
  const size_t n = std::min(a.gradient.records.size(), b.gradient.records.size());
  f.gradient.records.resize(n);
  for (size_t i = 0; i < n; ++i) {
    f.gradient.records[i].ratio =
        uint8_t(std::lround(lerp(a.gradient.records[i].ratio, b.gradient.records[i].ratio, t)));
    f.gradient.records[i].color = lerp(a.gradient.records[i].color, b.gradient.records[i].color, t);
  }
  f.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
  return f;
}
}  // namespace

void interpolateMorph(const swf::MorphShapeDef& morph, uint16_t ratio,
                      std::vector<swf::StyleTable>& tables, std::vector<swf::ShapeEdge>& edges) {
  const double t = ratio / 65535.0;
  tables.clear();
  edges.clear();
  if (morph.startShape.styleTables.empty()) return;
  const swf::StyleTable& s = morph.startShape.styleTables[0];
  const swf::StyleTable* e =
      morph.endShape.styleTables.empty() ? nullptr : &morph.endShape.styleTables[0];
  swf::StyleTable table = s;
  if (e) {
    for (size_t i = 0; i < table.fills.size() && i < e->fills.size(); ++i)
      table.fills[i] = lerp(s.fills[i], e->fills[i], t);
    for (size_t i = 0; i < table.lines.size() && i < e->lines.size(); ++i) {
      table.lines[i].width = uint16_t(std::lround(lerp(s.lines[i].width, e->lines[i].width, t)));
      table.lines[i].color = lerp(s.lines[i].color, e->lines[i].color, t);
      if (s.lines[i].hasFill) table.lines[i].fill = lerp(s.lines[i].fill, e->lines[i].fill, t);
    }
  }
  tables.push_back(std::move(table));
  const auto a = swf::shapeEdges(morph.startShape);
  const auto b = swf::shapeEdges(morph.endShape);
  const size_t n = std::min(a.size(), b.size());
  edges.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    swf::ShapeEdge x = a[i];
    const swf::ShapeEdge& y = b[i];
    // A straight edge paired with a curve acts as a curve with a midpoint control.
    auto control = [](const swf::ShapeEdge& q, bool wantX) {
      if (q.curved) return wantX ? q.cx : q.cy;
      return wantX ? (q.x0 + q.x1) / 2 : (q.y0 + q.y1) / 2;
    };
    x.curved = a[i].curved || y.curved;
    x.x0 = lerpI(a[i].x0, y.x0, t);
    x.y0 = lerpI(a[i].y0, y.y0, t);
    x.x1 = lerpI(a[i].x1, y.x1, t);
    x.y1 = lerpI(a[i].y1, y.y1, t);
    if (x.curved) {
      x.cx = lerpI(control(a[i], true), control(y, true), t);
      x.cy = lerpI(control(a[i], false), control(y, false), t);
    } else {
      x.cx = x.x1;
      x.cy = x.y1;
    }
    x.styleTable = 0;
    edges.push_back(x);
  }
}

struct MovieRenderer::Context {
  Canvas& canvas;
  ShapeRenderer shapes;
  int nesting = 0;
  std::vector<swf::StyleTable> scratchTables;
  std::vector<swf::ShapeEdge> scratchEdges;
  int layers = 0;  // how many layers the drawing is inside
};

MovieRenderer::MovieRenderer(std::shared_ptr<const swf::Movie> movie) {
  setMovie(std::move(movie));
}

void MovieRenderer::setMovie(std::shared_ptr<const swf::Movie> movie) {
  if (movie == movie_) return;
  movie_ = std::move(movie);
  edgeCache_.clear();
  bitmapCache_.clear();
  coverage_.clear();
  keptLayers_.clear();  // keyed by the old movie's characters
}

std::shared_ptr<const Bitmap> MovieRenderer::bitmap(swf::CharacterId id) {
  const swf::Movie* from = dictionary();
  auto it = bitmapCache_.find({from, id});
  if (it != bitmapCache_.end()) return it->second;
  std::shared_ptr<const Bitmap> decoded;
  if (from) {
    if (const auto* def = from->get<swf::BitmapDef>(id))
      decoded = decodeBitmap(*def, from->jpegTables);
  }
  bitmapCache_[{from, id}] = decoded;  // failures are remembered too
  return decoded;
}

void MovieRenderer::setThreads(int threads, int64_t leastPixels) {
  threads = std::clamp(threads, 0, BandPool::kMaxThreads);
  if (threads == threads_ && leastPixels == leastBandedPixels_) return;
  threads_ = threads;
  leastBandedPixels_ = leastPixels;
  bands_.reset();
}

int MovieRenderer::threads() const { return threads_ > 0 ? threads_ : BandPool::machineThreads(); }

BandPool* MovieRenderer::bands() {
  if (threads() < 2) return nullptr;
  if (!bands_) bands_ = std::make_unique<BandPool>(threads(), leastBandedPixels_);
  return bands_.get();
}

const std::vector<swf::ShapeEdge>& MovieRenderer::edgesOf(const swf::Shape& shape) {
  auto it = edgeCache_.find(&shape);
  if (it != edgeCache_.end()) return it->second;
  return edgeCache_.emplace(&shape, swf::shapeEdges(shape)).first->second;
}

void MovieRenderer::render(const std::vector<DisplayNode>& stage, Surface target,
                           const StageView& view, base::Quality quality, uint32_t backgroundRgb) {
  if (!target.pixels || target.width <= 0 || target.height <= 0) return;
  coverage_.nextFrame();
  keptLayers_.nextFrame();
  Canvas canvas(target, &maskPool_);
  canvas.setBands(bands());
  ontoLayer_ = false;
  canvas.clear(0xFF000000u | (backgroundRgb & 0xFFFFFFu));
  if (!(view.width > 0) || !(view.height > 0)) return;
  const Affine toDevice = Affine::scale(target.width / view.width, target.height / view.height) *
                          Affine::translate(-view.x, -view.y);
  drawOnto(stage, canvas, toDevice, quality, ColorTransform{});
}

void MovieRenderer::drawPixelsOnto(const std::shared_ptr<Bitmap>& source, const Affine& m,
                                   const ColorTransform& cx, bool smooth, Bitmap& target,
                                   uint8_t blendMode) {
  DisplayNode node;
  node.bitmap = source;
  node.blendMode = blendMode;
  node.smoothBitmap = smooth;
  // The source may be the target: draw from a copy.
  if (source.get() == &target) node.bitmap = std::make_shared<Bitmap>(target);
  MovieRenderer renderer;
  renderer.setThreads(1);  // one bitmap onto another: not worth starting threads for
  renderer.renderOnto({node}, {target.pixels.data(), target.width, target.height},
                      m * Affine::scale(0.05, 0.05),
                      smooth ? base::Quality::High : base::Quality::Medium, cx);
}

void MovieRenderer::renderOnto(const std::vector<DisplayNode>& nodes, Surface target,
                               const Affine& toDevice, base::Quality quality,
                               const ColorTransform& cx) {
  if (!target.pixels || target.width <= 0 || target.height <= 0) return;
  Canvas canvas(target, &maskPool_);
  canvas.setBands(bands());
  ontoLayer_ = true;  // a bitmap's pixels: alpha and erase cut into them
  drawOnto(nodes, canvas, toDevice, quality, cx);
}

void MovieRenderer::drawOnto(const std::vector<DisplayNode>& nodes, Canvas& canvas,
                             const Affine& toDevice, base::Quality quality,
                             const ColorTransform& cx) {
  DrawSettings settings;
  // Fills cover the exact area of a pixel when anti-aliased. Strokes do at
  // Medium; at High and Best each pixel of a stroke is sampled four times.
  settings.antialias = quality == base::Quality::Low ? AntiAlias::Off : AntiAlias::Area;
  settings.strokeAntialias = quality == base::Quality::Low      ? AntiAlias::Off
                             : quality == base::Quality::Medium ? AntiAlias::Area
                                                                : AntiAlias::FourSamples;
  settings.smoothBitmaps = quality == base::Quality::High || quality == base::Quality::Best;
  settings.smoothAllBitmaps = quality == base::Quality::Best;
  settings.pixelsPerTwip = std::sqrt(std::abs(toDevice.determinant()));
  rasterizers_.resize(kMaxLayers + 1);
  fillSweeps_.resize(kMaxLayers + 1);
  strokeSweeps_.resize(kMaxLayers + 1);
  Context ctx{canvas,
              ShapeRenderer(canvas, settings, this, &rasterizers_[0], &fillSweeps_[0],
                            &strokeSweeps_[0], &coverage_),
              0,
              {},
              {},
              0};
  drawList(nodes, toDevice, cx, ctx);
}

void MovieRenderer::drawList(const std::vector<DisplayNode>& nodes, const Affine& m,
                             const ColorTransform& cx, Context& ctx) {
  // Clip layers mask the siblings above them up to their clip depth.
  std::vector<uint16_t> clips;
  const bool insideMask = ctx.canvas.buildingMask();
  for (const DisplayNode& node : nodes) {
    while (!clips.empty() && node.depth > clips.back()) {
      ctx.canvas.popMask();
      clips.pop_back();
    }
    if (node.clipDepth > 0 && !insideMask) {
      ctx.canvas.beginMask();
      drawNode(node, m, cx, ctx);
      ctx.canvas.endMask();
      clips.push_back(node.clipDepth);
      continue;
    }
    if (!node.visible && !insideMask) continue;
    drawNode(node, m, cx, ctx);
  }
  while (!clips.empty()) {
    ctx.canvas.popMask();
    clips.pop_back();
  }
}

void MovieRenderer::drawNode(const DisplayNode& node, const Affine& parent,
                             const ColorTransform& parentCx, Context& ctx) {
  // Clips scripts made (createEmptyMovieClip) have no character, only children.
  if ((!node.character && !node.drawing && !node.bitmap && node.children.empty()) ||
      ctx.nesting >= kMaxNesting)
    return;
  // A mask set by script lies in the parent's space.
  const bool scriptMasked = node.mask && !ctx.canvas.buildingMask();
  if (scriptMasked) {
    ctx.canvas.beginMask();
    drawNode(*node.mask, parent, parentCx, ctx);
    ctx.canvas.endMask();
  }
  const Affine own = parent * node.matrix;
  std::vector<Filter> filters;
  if (node.filters) filters = parseFilters(node.filters->data(), node.filters->size());
  // Filters draw through a bitmap cache too.
  Affine m = node.cacheAsBitmap || !filters.empty() ? alignCachedToPixels(node, parent, own) : own;
  const ColorTransform cx = parentCx * toRender(node.cxform);
  // A scroll rectangle shows one window of the content: a mask of the window.
  const bool scrolled = node.scrollRect && !ctx.canvas.buildingMask();
  if (scrolled) {
    std::array<Point, 4> window;
    m = scrolledContent(*node.scrollRect, own, window);
    Rasterizer& r = ctx.shapes.rasterizer();
    r.reset(ctx.canvas.width(), ctx.canvas.height());
    for (size_t i = 0; i < window.size(); ++i)
      r.addLine(window[i], window[(i + 1) % window.size()]);
    ctx.canvas.beginMask();
    ctx.canvas.fill(r, FillRule::NonZero, ctx.shapes.settings().antialias,
                    Paint::solid(0xFF000000u));
    ctx.canvas.endMask();
  }
  ++ctx.nesting;
  const swf::Movie* outer = drawing_;
  if (node.movie) drawing_ = node.movie;
  const BlendMode mode = blendModeFromSwf(node.blendMode);
  if ((mode == BlendMode::Normal && filters.empty()) || ctx.canvas.buildingMask() ||
      ctx.layers >= kMaxLayers)
    drawContent(node, m, cx, ctx);
  else
    drawLayer(node, mode, filters, m, cx, ctx);
  --ctx.nesting;
  drawing_ = outer;
  if (scrolled) ctx.canvas.popMask();
  if (scriptMasked) ctx.canvas.popMask();
}

void MovieRenderer::drawContent(const DisplayNode& node, const Affine& m, const ColorTransform& cx,
                                Context& ctx) {
  if (node.drawing && !node.drawing->empty())
    ctx.shapes.draw(node.drawing->styleTables(), node.drawing->edges(), m, cx, FillRule::EvenOdd);
  if (node.bitmap) {
    // A video's picture fills the stream's rectangle, whatever size its frames have.
    const auto* video = node.character ? std::get_if<swf::VideoStreamDef>(node.character) : nullptr;
    if (video && node.bitmap->valid())
      drawBitmap(node.bitmap, node.smoothBitmap,
                 m * Affine::scale(double(video->width) / node.bitmap->width,
                                   double(video->height) / node.bitmap->height),
                 cx, ctx);
    else
      drawBitmap(node.bitmap, node.smoothBitmap, m, cx, ctx);
  }
  if (!node.children.empty())
    drawList(node.children, m, cx, ctx);
  else if (node.character)
    drawCharacter(*node.character, &node, m, cx, ctx, ctx.nesting);
}

// A bitmap's rectangle, filled with its pixels (20 twips each).
void MovieRenderer::drawBitmap(const std::shared_ptr<const Bitmap>& bitmap, bool smooth,
                               const Affine& m, const ColorTransform& cx, Context& ctx) {
  if (!bitmap->valid()) return;  // disposed
  const Affine toDevice = m * Affine::scale(20, 20);
  const double w = bitmap->width, h = bitmap->height;
  const Point corners[4] = {mapPoint(toDevice, 0, 0), mapPoint(toDevice, w, 0),
                            mapPoint(toDevice, w, h), mapPoint(toDevice, 0, h)};
  Rasterizer& r = ctx.shapes.rasterizer();
  r.reset(ctx.canvas.width(), ctx.canvas.height());
  for (int i = 0; i < 4; ++i) r.addLine(corners[i], corners[(i + 1) % 4]);
  BitmapSpec source;
  source.bitmap = bitmap;
  source.toDevice = toDevice;
  source.repeat = false;
  source.smooth = smooth && ctx.shapes.settings().smoothBitmaps;
  ctx.canvas.fill(r, FillRule::NonZero, ctx.shapes.settings().antialias, Paint::bitmap(source, cx));
}

// Draws the node alone into a transparent layer, then blends the layer onto
// what is below it.
void MovieRenderer::drawLayer(const DisplayNode& node, BlendMode mode,
                              const std::vector<Filter>& filters, const Affine& m,
                              const ColorTransform& cx, Context& ctx) {
  // Alpha and erase cut into the layer they are drawn in; the stage has none.
  if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && ctx.layers == 0 && !ontoLayer_)
    return;
  // Filter sizes are in movie pixels: they follow the stage's zoom, not the object's scale.
  const float filterScale = float(ctx.shapes.settings().pixelsPerTwip * 20);
  // What lies just off the canvas can still cast a shadow or glow onto it:
  // filtered layers reach past the canvas by as far as their filters spread.
  const int margin =
      filters.empty() ? 0 : std::min(filterReach(filters, filterScale), kMaxFilterMargin);
  const int cw = ctx.canvas.width(), ch = ctx.canvas.height();
  const int w = cw + 2 * margin, h = ch + 2 * margin;
  // A filtered layer drawn unchanged since the last frame is put down as it was kept.
  const bool keepable = !filters.empty() && describeLayer(node, m, cx, margin, ctx);
  const uint64_t keyHash = keepable ? KeptByKey<KeptLayer>::hash(layerKey_) : 0;
  if (const KeptLayer* kept = keepable ? keptLayers_.find(keyHash, layerKey_, 0) : nullptr) {
    const Canvas::Bounds& p = kept->painted;
    ctx.canvas.blendLayer(kept->pixels.data(), p.x1 - p.x0, p.x0 - margin, p.y0 - margin,
                          {p.x0 - margin, p.y0 - margin, p.x1 - margin, p.y1 - margin}, mode);
    return;
  }
  const bool keep = keepable && keptLayers_.drawnBefore(keyHash, 0);
  const size_t size = size_t(w) * h;
  std::vector<uint32_t> pixels;
  while (!layerPool_.empty() && pixels.size() != size) {
    pixels = std::move(layerPool_.back());
    layerPool_.pop_back();
  }
  if (pixels.size() != size) pixels.assign(size, 0);
  Canvas::Bounds painted;
  {
    Canvas layer({pixels.data(), w, h}, &maskPool_);
    layer.setBands(ctx.canvas.bands());
    Context inner{
        layer,
        ShapeRenderer(layer, ctx.shapes.settings(), this, &rasterizers_[ctx.layers + 1],
                      &fillSweeps_[ctx.layers + 1], &strokeSweeps_[ctx.layers + 1], &coverage_),
        ctx.nesting,
        {},
        {},
        ctx.layers + 1};
    drawContent(node, margin ? Affine::translate(margin, margin) * m : m, cx, inner);
    painted = layer.painted();
  }
  if (!filters.empty() && !painted.empty())
    painted = applyFilters(filters, pixels.data(), w, h, painted, filterScale,
                           node.filterMaps.get(), ctx.canvas.bands());
  if (keep && !painted.empty() &&
      size_t(painted.x1 - painted.x0) * size_t(painted.y1 - painted.y0) * sizeof(uint32_t) <=
          keptLayers_.budget() / 4) {
    KeptLayer kept;
    kept.painted = painted;
    kept.pixels.reserve(size_t(painted.x1 - painted.x0) * size_t(painted.y1 - painted.y0));
    for (int y = painted.y0; y < painted.y1; ++y) {
      const uint32_t* row = pixels.data() + size_t(y) * w;
      kept.pixels.insert(kept.pixels.end(), row + painted.x0, row + painted.x1);
    }
    keptLayers_.store(keyHash, layerKey_, 0, std::move(kept));
  }
  if (!painted.empty()) {
    const Canvas::Bounds onCanvas{painted.x0 - margin, painted.y0 - margin, painted.x1 - margin,
                                  painted.y1 - margin};
    ctx.canvas.blendLayer(pixels.data(), w, -margin, -margin, onCanvas, mode);
    // Cleared for the next layer, a band of rows a thread.
    BandPool* bands = ctx.canvas.bands();
    const int64_t area = int64_t(painted.x1 - painted.x0) * (painted.y1 - painted.y0);
    forBands(bands && bands->worthSplitting(area) ? bands : nullptr, painted.y0, painted.y1, 1,
             [&](size_t, int from, int to) {
               for (int y = from; y < to; ++y)
                 std::fill_n(pixels.data() + size_t(y) * w + painted.x0, painted.x1 - painted.x0,
                             0u);
             });
  }
  if (layerPool_.size() < size_t(kMaxLayers)) layerPool_.push_back(std::move(pixels));
}

namespace {
void putBits(std::vector<int32_t>& key, double v) {
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  key.push_back(int32_t(uint32_t(bits)));
  key.push_back(int32_t(uint32_t(bits >> 32)));
}
void putPointer(std::vector<int32_t>& key, const void* p) {
  const uint64_t bits = uint64_t(reinterpret_cast<uintptr_t>(p));
  key.push_back(int32_t(uint32_t(bits)));
  key.push_back(int32_t(uint32_t(bits >> 32)));
}
// Words a layer's key may take: larger subtrees are not kept.
constexpr size_t kMaxLayerKey = size_t(1) << 20;

// Appends everything a node and its children draw from; false when something in it can
// change without its node changing (text, script drawings, bitmaps, displacement maps,
// masks, fields) or
// comes from a movie other than `own`, the renderer's, whose characters may not outlive it.
bool describeNode(const DisplayNode& n, const swf::Movie* own, std::vector<int32_t>& key,
                  int nesting) {
  if (nesting > 64 || key.size() > kMaxLayerKey) return false;
  if ((n.movie && n.movie != own) || n.text || n.fieldBox || n.field || n.drawing || n.bitmap ||
      n.mask || n.filterMaps)
    return false;
  if (n.character && (std::holds_alternative<swf::EditTextDef>(*n.character) ||
                      std::holds_alternative<swf::VideoStreamDef>(*n.character)))
    return false;
  putPointer(key, n.character);
  for (double v : {n.matrix.a, n.matrix.b, n.matrix.c, n.matrix.d, n.matrix.tx, n.matrix.ty,
                   n.cxform.rMul, n.cxform.gMul, n.cxform.bMul, n.cxform.aMul, n.cxform.rAdd,
                   n.cxform.gAdd, n.cxform.bAdd, n.cxform.aAdd})
    putBits(key, v);
  key.insert(key.end(),
             {int32_t(n.depth), int32_t(n.clipDepth), int32_t(n.ratio), int32_t(n.blendMode),
              int32_t(n.cacheAsBitmap), int32_t(n.visible), int32_t(n.buttonState)});
  key.push_back(n.scrollRect ? 1 : 0);
  if (n.scrollRect)
    for (double v : *n.scrollRect) putBits(key, v);
  key.push_back(n.filters ? int32_t(n.filters->size()) : -1);
  if (n.filters) {
    if (key.size() + n.filters->size() > kMaxLayerKey) return false;
    for (uint8_t b : *n.filters) key.push_back(b);
  }
  key.push_back(int32_t(n.children.size()));
  for (const DisplayNode& child : n.children)
    if (!describeNode(child, own, key, nesting + 1)) return false;
  return true;
}
}  // namespace

bool MovieRenderer::describeLayer(const DisplayNode& node, const Affine& m,
                                  const ColorTransform& cx, int margin, const Context& ctx) {
  if (drawing_ && drawing_ != movie_.get()) return false;  // inside a loaded movie
  layerKey_.clear();
  const DrawSettings& s = ctx.shapes.settings();
  layerKey_.insert(layerKey_.end(),
                   {ctx.canvas.width(), ctx.canvas.height(), margin, ctx.nesting,
                    int32_t(s.antialias), int32_t(s.strokeAntialias), int32_t(s.smoothBitmaps),
                    int32_t(s.smoothAllBitmaps), std::bit_cast<int32_t>(s.curveTolerance)});
  putBits(layerKey_, s.pixelsPerTwip);
  for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty}) putBits(layerKey_, v);
  for (float v : {cx.rMul, cx.gMul, cx.bMul, cx.aMul, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd})
    layerKey_.push_back(std::bit_cast<int32_t>(v));
  return describeNode(node, movie_.get(), layerKey_, 0);
}

void MovieRenderer::drawCharacter(const swf::Character& ch, const DisplayNode* node,
                                  const Affine& m, const ColorTransform& cx, Context& ctx,
                                  int nesting) {
  if (nesting > kMaxNesting) return;
  // What a live object draws from its definitions alone (a button's records, the sprites
  // in them) is bounded: hostile movies nest sprites that place each other many times.
  if (node)
    staticDrawsLeft_ = kMaxStaticDraws;
  else if (--staticDrawsLeft_ < 0)
    return;
  if (const auto* shape = std::get_if<swf::ShapeDef>(&ch)) {
    ctx.shapes.draw(shape->shape.styleTables, edgesOf(shape->shape), m, cx,
                    shape->usesFillWindingRule ? FillRule::NonZero : FillRule::EvenOdd);
  } else if (const auto* morph = std::get_if<swf::MorphShapeDef>(&ch)) {
    interpolateMorph(*morph, node ? node->ratio : 0, ctx.scratchTables, ctx.scratchEdges);
    ctx.shapes.draw(ctx.scratchTables, ctx.scratchEdges, m, cx, FillRule::EvenOdd);
  } else if (const auto* text = std::get_if<swf::TextDef>(&ch)) {
    drawText(*text, m, cx, ctx);
  } else if (const auto* edit = std::get_if<swf::EditTextDef>(&ch)) {
    drawEditText(*edit, node && node->text ? *node->text : edit->initialText, node, m, cx, ctx);
  } else if (const auto* button = std::get_if<swf::ButtonDef>(&ch)) {
    // Without a display list from the player, draw the records of the state.
    const int state = node ? node->buttonState : 0;
    std::vector<const swf::ButtonRecord*> records;
    for (const auto& r : button->records)
      if ((state == 0 && r.up) || (state == 1 && r.over) || (state == 2 && r.down))
        records.push_back(&r);
    std::stable_sort(records.begin(), records.end(),
                     [](auto* a, auto* b) { return a->depth < b->depth; });
    for (const auto* r : records) {
      const swf::Character* child = dictionary() ? dictionary()->find(r->characterId) : nullptr;
      if (!child || child == &ch) continue;
      drawCharacter(*child, nullptr, m * r->matrix, cx * toRender(r->cxform), ctx, nesting + 1);
    }
  } else if (const auto* sprite = std::get_if<swf::SpriteDef>(&ch)) {
    // A sprite with no display list of its own (a button's state): its first frame as
    // the timeline places it, by depth.
    if (node || sprite->timeline.frames.empty()) return;
    std::map<uint16_t, const swf::PlaceObject*> placed;
    for (const swf::DisplayTag& tag : sprite->timeline.frames.front().displayTags)
      if (const auto* place = std::get_if<swf::PlaceObject>(&tag);
          place && !place->move && place->characterId && !place->clipDepth)
        placed[place->depth] = place;
    for (const auto& [depth, place] : placed) {
      const swf::Character* child =
          dictionary() ? dictionary()->find(*place->characterId) : nullptr;
      if (!child || child == &ch) continue;
      drawCharacter(*child, nullptr, m * place->matrix.value_or(swf::Matrix{}),
                    cx * toRender(place->cxform.value_or(swf::ColorTransform{})), ctx, nesting + 1);
    }
  }
}

void MovieRenderer::drawGlyph(const swf::FontDef& font, uint32_t glyph, uint32_t argb,
                              const Affine& m, const ColorTransform& cx, Context& ctx) {
  if (glyph >= font.glyphs.size()) return;
  const swf::Shape& shape = font.glyphs[glyph];
  ctx.scratchTables.assign(1, {});
  swf::FillStyle fill;
  fill.type = swf::FillType::Solid;
  fill.color = {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)};
  ctx.scratchTables[0].fills.push_back(fill);
  ctx.shapes.draw(ctx.scratchTables, edgesOf(shape), m, cx, FillRule::NonZero);
}

void MovieRenderer::drawGlyphRun(const std::vector<swf::ShapeEdge>& edges, uint32_t argb,
                                 const Affine& m, const ColorTransform& cx, Context& ctx) {
  ctx.scratchTables.assign(1, {});
  swf::FillStyle fill;
  fill.type = swf::FillType::Solid;
  fill.color = {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)};
  ctx.scratchTables[0].fills.push_back(fill);
  ctx.shapes.draw(ctx.scratchTables, edges, m, cx, FillRule::NonZero);
}

void MovieRenderer::drawText(const swf::TextDef& text, const Affine& parent,
                             const ColorTransform& cx, Context& ctx) {
  const swf::Movie* from = dictionary();
  if (!from) return;
  const Affine m = parent * text.matrix;
  for (const swf::TextRecord& rec : text.records) {
    const auto* font = from->get<swf::FontDef>(rec.fontId);
    if (!font) continue;
    // Static text in a device font: its font holds codes without outlines; the system's
    // face draws those characters at the positions the movie gives.
    font::DeviceFace* device = nullptr;
    if (!font->hasOutlines()) {
      std::string name = font->name;
      while (!name.empty() && name.back() == '\0') name.pop_back();
      device =
          font::DeviceFonts::shared().face(name.empty() ? "_sans" : name, font->bold, font->italic);
      if (!device) continue;
    }
    const swf::FontDef& drawn = device ? device->def() : *font;
    const double scale = rec.height / drawn.emSquare();
    double x = rec.x;
    for (const swf::GlyphEntry& g : rec.glyphs) {
      uint32_t glyph = g.index;
      if (device)
        glyph = g.index < font->codes.size() ? device->glyphFor(font->codes[g.index]) : UINT32_MAX;
      const Affine glyphToDevice = m * Affine::translate(x, rec.y) * Affine::scale(scale, scale);
      drawGlyph(drawn, glyph, toArgb(rec.color), glyphToDevice, cx, ctx);
      x += g.advance;
    }
  }
}

void MovieRenderer::drawEditText(const swf::EditTextDef& def, const std::string& content,
                                 const DisplayNode* node, const Affine& m, const ColorTransform& cx,
                                 Context& ctx) {
  const FieldBoxGeometry g = fieldBoxGeometry(def.bounds, m, def.useOutlines);
  if (!g.drawn) return;
  // The definition's border flag means a black frame on white.
  const FieldBox own{def.border, def.border, 0x000000, 0xFFFFFF};
  drawFieldBox(def, node && node->fieldBox ? *node->fieldBox : own, g, m, cx, ctx);
  if (!movie_) return;
  TextLayout layout;
  if (node && node->field) {
    layout = layoutFieldText(*node->field);
  } else if (!content.empty()) {
    const swf::FontDef* font = def.hasFont ? dictionary()->get<swf::FontDef>(def.fontId) : nullptr;
    layout = layoutEditText(def, content, font);
  }
  const uint32_t color = def.hasTextColor ? toArgb(def.textColor) : 0xFF000000u;
  // Text shows only inside the field: glyphs that may reach past its bounds (long lines,
  // a line scrolled half out) are drawn through a mask of the field's rectangle.
  const swf::Rect& b = def.bounds;
  const bool overflows =
      !ctx.canvas.buildingMask() &&
      std::any_of(layout.glyphs.begin(), layout.glyphs.end(), [&b](const PlacedGlyph& g) {
        const double em = g.font->emSquare() * g.scale;
        const double up = g.font->hasLayout ? g.font->ascent * g.scale : em;
        const double down = g.font->hasLayout ? g.font->descent * g.scale : em / 4;
        return g.x < b.xMin || g.x + 1.5 * em > b.xMax || g.y - up < b.yMin || g.y + down > b.yMax;
      });
  if (overflows) {
    ctx.canvas.beginMask();
    Rasterizer& r = ctx.shapes.rasterizer();
    r.reset(ctx.canvas.width(), ctx.canvas.height());
    const Point corners[4] = {mapPoint(m, b.xMin, b.yMin), mapPoint(m, b.xMax, b.yMin),
                              mapPoint(m, b.xMax, b.yMax), mapPoint(m, b.xMin, b.yMax)};
    for (int i = 0; i < 4; ++i) r.addLine(corners[i], corners[(i + 1) % 4]);
    ctx.canvas.fill(r, FillRule::NonZero, ctx.shapes.settings().antialias,
                    Paint::solid(0xFFFFFFFFu));
    ctx.canvas.endMask();
  }
  // What the user selected in a focused input field: white on black.
  const EditTextState* live = node ? node->field : nullptr;
  std::pair<size_t, size_t> selected{0, 0};
  if (live && live->focused && live->input) selected = live->selection();
  if (selected.first < selected.second) {
    Rasterizer& r = ctx.shapes.rasterizer();
    r.reset(ctx.canvas.width(), ctx.canvas.height());
    for (const LineBox& line : layout.lineBoxes)
      for (size_t i = 0; i < line.starts.size(); ++i) {
        const auto [at, x0] = line.starts[i];
        if (at < selected.first || at >= selected.second) continue;
        const double x1 = i + 1 < line.starts.size() ? line.starts[i + 1].second : line.right;
        const Point box[4] = {mapPoint(m, x0, line.top), mapPoint(m, x1, line.top),
                              mapPoint(m, x1, line.bottom), mapPoint(m, x0, line.bottom)};
        for (int k = 0; k < 4; ++k) r.addLine(box[k], box[(k + 1) % 4]);
      }
    ctx.canvas.fill(r, FillRule::NonZero, ctx.shapes.settings().antialias,
                    Paint::solid(premultiply(cx.applyStraight(0xFF000000u))));
  }
  // Glyphs of one colour go to the rasteriser together: one pass for a run of text
  // rather than one a glyph. Their edges are placed in the field's space at 1/16 twip.
  constexpr double kRunUnits = 16;
  const Affine runToDevice = m * Affine::scale(1 / kRunUnits, 1 / kRunUnits);
  auto place = [](double v) {
    return int32_t(std::clamp(std::nearbyint(v * kRunUnits), -1073741824.0, 1073741823.0));
  };
  glyphRun_.clear();
  uint32_t runColor = 0;
  for (const PlacedGlyph& placed : layout.glyphs) {
    if (placed.glyph >= placed.font->glyphs.size()) continue;
    const bool inSelection = placed.at >= selected.first && placed.at < selected.second;
    const uint32_t argb = inSelection ? 0xFFFFFFFFu : placed.argb ? placed.argb : color;
    if (argb != runColor && !glyphRun_.empty()) {
      drawGlyphRun(glyphRun_, runColor, runToDevice, cx, ctx);
      glyphRun_.clear();
    }
    runColor = argb;
    const double s = placed.scale;
    for (swf::ShapeEdge e : edgesOf(placed.font->glyphs[placed.glyph])) {
      e.x0 = place(e.x0 * s + placed.x), e.y0 = place(e.y0 * s + placed.y);
      e.cx = place(e.cx * s + placed.x), e.cy = place(e.cy * s + placed.y);
      e.x1 = place(e.x1 * s + placed.x), e.y1 = place(e.y1 * s + placed.y);
      glyphRun_.push_back(e);
    }
  }
  if (!glyphRun_.empty()) drawGlyphRun(glyphRun_, runColor, runToDevice, cx, ctx);
  if (overflows) ctx.canvas.popMask();
  // The caret of a focused input field: one pixel wide, on the pixel its position falls in.
  const EditTextState* field = node ? node->field : nullptr;
  if (field && field->focused && field->input && layout.caretShown && g.pixelAligned &&
      selected.first == selected.second) {
    const Point top = mapPoint(m, layout.caretX, layout.caretTop);
    const Point bottom = mapPoint(m, layout.caretX, layout.caretBottom);
    const float x = std::floor(top.x);
    if (std::isfinite(x) && std::isfinite(top.y) && std::isfinite(bottom.y) && bottom.y > top.y) {
      Rasterizer& r = ctx.shapes.rasterizer();
      r.reset(ctx.canvas.width(), ctx.canvas.height());
      r.addLine({x, top.y}, {x + 1, top.y});
      r.addLine({x + 1, top.y}, {x + 1, bottom.y});
      r.addLine({x + 1, bottom.y}, {x, bottom.y});
      r.addLine({x, bottom.y}, {x, top.y});
      ctx.canvas.fill(r, FillRule::NonZero, ctx.shapes.settings().antialias,
                      Paint::solid(premultiply(cx.applyStraight(0xFF000000u))));
    }
  }
}

void MovieRenderer::drawFieldBox(const swf::EditTextDef& def, const FieldBox& box,
                                 const FieldBoxGeometry& g, const Affine& m,
                                 const ColorTransform& cx, Context& ctx) {
  if (!box.background && !box.border) return;
  Rasterizer& r = ctx.shapes.rasterizer();
  const AntiAlias aa = ctx.shapes.settings().antialias;
  auto paint = [&cx](uint32_t rgb) {
    return Paint::solid(premultiply(cx.applyStraight(0xFF000000u | (rgb & 0xFFFFFFu))));
  };
  auto addBox = [&r](const Box& b) {
    r.addLine({b.x0, b.y0}, {b.x1, b.y0});
    r.addLine({b.x1, b.y0}, {b.x1, b.y1});
    r.addLine({b.x1, b.y1}, {b.x0, b.y1});
    r.addLine({b.x0, b.y1}, {b.x0, b.y0});
  };
  if (g.pixelAligned) {
    if (box.background && g.x1 > g.x0 && g.y1 > g.y0) {
      r.reset(ctx.canvas.width(), ctx.canvas.height());
      addBox({float(g.x0), float(g.y0), float(g.x1), float(g.y1)});
      ctx.canvas.fill(r, FillRule::NonZero, aa, paint(box.backgroundRgb));
    }
    if (box.border) {
      const FrameShapes frame = borderShapes(g, def.useOutlines && aa != AntiAlias::Off);
      r.reset(ctx.canvas.width(), ctx.canvas.height());
      for (const Box& b : frame.rects) addBox(b);
      for (size_t i = 0; i < frame.corner.size(); ++i)
        r.addLine(frame.corner[i], frame.corner[(i + 1) % frame.corner.size()]);
      ctx.canvas.fill(r, FillRule::NonZero, aa, paint(box.borderRgb));
    }
    return;
  }
  // Rotated or skewed (embedded fonts only): the box follows the transform.
  const Point* p = g.corners;
  if (box.background) {
    r.reset(ctx.canvas.width(), ctx.canvas.height());
    for (int i = 0; i < 4; ++i) r.addLine(p[i], p[(i + 1) % 4]);
    ctx.canvas.fill(r, FillRule::NonZero, aa, paint(box.backgroundRgb));
  }
  if (box.border) {
    // Turned or skewed, the frame is a thin line (0.7 pixel, one pixel across a
    // diagonal) a quarter pixel in from the bounds' top and left edges, as the
    // reference images of turned and skewed fields show.
    const Affine inv = m.inverse();
    const double quarterX = 0.25 * std::hypot(inv.a, inv.b),
                 quarterY = 0.25 * std::hypot(inv.c, inv.d);
    const swf::Rect& b = def.bounds;
    std::vector<Point> outline = {mapPoint(m, b.xMin + quarterX, b.yMin + quarterY),
                                  mapPoint(m, b.xMax + quarterX, b.yMin + quarterY),
                                  mapPoint(m, b.xMax + quarterX, b.yMax + quarterY),
                                  mapPoint(m, b.xMin + quarterX, b.yMax + quarterY)};
    r.reset(ctx.canvas.width(), ctx.canvas.height());
    StrokeStyle frame;
    frame.width = 0.7071f;
    frame.join = Join::Miter;
    strokePolyline(outline, true, frame, r);
    ctx.canvas.fill(r, FillRule::NonZero, aa, paint(box.borderRgb));
  }
}

}  // namespace orv::movie::render
