// flash.display.LoaderInfo and Loader. The LoaderInfo of the movie the player opened tells
// its URL, size, stage size, frame rate and version, reached through
// DisplayObject.loaderInfo from anything on the stage; a local movie is all there at once,
// so after its first frame it reports progress to the end, init and complete, which is what
// a preloader waits for. A Loader loads a movie or an image (JPEG, PNG, GIF) from the
// movie's own folder or from bytes as its one child and tells its contentLoaderInfo's
// listeners: a file arrives as the clock ticks (open, progress, the root made, init,
// httpStatus, complete, or ioError); bytes are all there at once (progress as loadBytes
// is called), their movie makes its first frame with the next frame of the stage and init
// and complete follow after it. A loaded movie's code lives in its own application domain
// below the loading code's, or in the one its LoaderContext names.
#include <algorithm>
#include <string>

#include "movie/abc/reader.h"
#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/bitmap.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/display.h"
#include "movie/flash/domain.h"
#include "movie/flash/events.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

class LoaderInfoObject : public Object {
 public:
  using Object::Object;
  Value content = Value::null();
  Value parameters;
  Value sharedEvents;
  Value uncaughtErrorEvents;
  Value applicationDomain;
  Value loader = Value::null();  // the Loader whose content it tells (null: the opened movie)
  Value bytes = Value::null();  // a ByteArray once a load began (LoaderInfo.bytes)
  Host::MovieFile file;
  std::string contentType = "application/x-shockwave-flash";
  std::string loaderUrl;  // the URL of the movie whose code loaded this one
  bool complete = false;

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    for (const Value* v : {&content, &parameters, &sharedEvents, &uncaughtErrorEvents,
                           &applicationDomain, &loader, &bytes})
      m.mark(*v);
  }
};

// A movie a Loader loaded: its root, its domain and the root frames whose code ran.
struct LoadedSwf {
  uint64_t movie = 0;
  DisplayHandle root = 0;
  uint32_t domain = Machine::kMainDomain;
  std::vector<bool> framesRun;
  LoaderInfoObject* info = nullptr;
};

struct LoaderInfoState : PackageState {
  LoaderInfoObject* main = nullptr;
  std::vector<LoadedSwf> loaded;
  void markRoots(Marker& m) const override {
    if (main) m.mark(static_cast<Object*>(main));
    for (const LoadedSwf& l : loaded) m.mark(static_cast<Object*>(l.info));
  }
};

class LoaderScript : public DisplayScript {
 public:
  using DisplayScript::DisplayScript;
  LoaderInfoObject* info = nullptr;
  uint64_t loading = 0;  // the load under way (0: none)
  void markChildren(Marker& mk) const override {
    DisplayScript::markChildren(mk);
    if (info) mk.mark(static_cast<Object*>(info));
  }
};

LoaderInfoObject* self_(Machine& m, const Value& self) {
  return receiver<LoaderInfoObject>(m, self, "LoaderInfo");
}

Object* allocInfo(Machine& m, ClassObject* cls) {
  return m.heap.make<LoaderInfoObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value construct(Machine& m, const char* cls) {
  ClassObject* c = m.findClass(cls);
  if (!c) m.fail(ErrorClass::ReferenceError, 1065, {cls});
  return m.construct(Value(static_cast<Object*>(c)), {});
}

LoaderInfoObject* newInfo(Machine& m) {
  ClassObject* cls = m.findClass("flash.display.LoaderInfo");
  if (!cls) m.fail(ErrorClass::ReferenceError, 1065, {"LoaderInfo"});
  auto* info = static_cast<LoaderInfoObject*>(allocInfo(m, cls));
  Value hold(static_cast<Object*>(info));
  info->parameters = Value(m.newObject());
  info->sharedEvents = construct(m, "flash.events.EventDispatcher");
  info->uncaughtErrorEvents = construct(m, "flash.events.EventDispatcher");
  info->applicationDomain = domainObject(m, Machine::kMainDomain);
  return info;
}

// The main movie's, made when scripts first ask for it.
LoaderInfoObject* mainInfo(Machine& m) {
  LoaderInfoState& s = m.packageState<LoaderInfoState>();
  if (s.main || !m.host) return s.main;
  s.main = newInfo(m);
  s.main->file = m.host->movieFile();
  return s.main;
}

Value url(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  return i->file.url.empty() ? Value::null() : Value(StringRef(i->file.url));
}
Value loaderUrl(Machine& m, const Value& self, std::span<Value> args) {
  LoaderInfoObject* i = self_(m, self);
  if (!i->loaderUrl.empty()) return Value(StringRef(i->loaderUrl));
  LoaderInfoObject* main = mainInfo(m);
  return main ? url(m, Value(static_cast<Object*>(main)), args) : Value::null();
}
Value bytesOf(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  if (i->loader.isNull() && i->bytes.isNull() && m.host) {
    i->bytes = construct(m, "flash.utils.ByteArray");
    static_cast<ByteArrayObject*>(i->bytes.asObject())->bytes = m.host->movieBytes();
  }
  return i->bytes;
}
Value bytesTotal(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->file.bytesTotal);
}
Value bytesLoaded(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  return Value(i->loader.isNull() || i->complete ? i->file.bytesTotal : 0u);
}
Value width(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(self_(m, self)->file.width));
}
Value height(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(self_(m, self)->file.height));
}
Value frameRate(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->file.frameRate);
}
Value swfVersion(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(self_(m, self)->file.version));
}
Value actionScriptVersion(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(uint32_t(3));
}
Value contentType(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  if (i->contentType.empty()) return Value::null();
  return Value(StringRef(i->contentType));
}
Value content(Machine& m, const Value& self, std::span<Value>) {
  LoaderInfoObject* i = self_(m, self);
  if (i->content.isNull() && i->loader.isNull() && m.host) {
    // The root: the object just below the stage that the movie made first.
    Host& host = *m.host;
    if (host.numChildren(host.stage()) > 0) i->content = displayObjectFor(m, host.childAt(host.stage(), 0));
  }
  return i->content;
}
Value nullValue(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value::null();
}
Value yes(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(true);
}
Value no(Machine& m, const Value& self, std::span<Value>) {
  self_(m, self);
  return Value(false);
}
template <Value LoaderInfoObject::*F>
Value field(Machine& m, const Value& self, std::span<Value>) {
  return self_(m, self)->*F;
}

const NativeMember kMembers[] = {
    {"url", MemberKind::Getter, url},
    {"loaderURL", MemberKind::Getter, loaderUrl},
    {"bytesLoaded", MemberKind::Getter, bytesLoaded},
    {"bytesTotal", MemberKind::Getter, bytesTotal},
    {"width", MemberKind::Getter, width},
    {"height", MemberKind::Getter, height},
    {"frameRate", MemberKind::Getter, frameRate},
    {"swfVersion", MemberKind::Getter, swfVersion},
    {"actionScriptVersion", MemberKind::Getter, actionScriptVersion},
    {"contentType", MemberKind::Getter, contentType},
    {"content", MemberKind::Getter, content},
    {"loader", MemberKind::Getter, field<&LoaderInfoObject::loader>},
    {"bytes", MemberKind::Getter, bytesOf},
    {"childSandboxBridge", MemberKind::Getter, nullValue},
    {"parentSandboxBridge", MemberKind::Getter, nullValue},
    {"parameters", MemberKind::Getter, field<&LoaderInfoObject::parameters>},
    {"sharedEvents", MemberKind::Getter, field<&LoaderInfoObject::sharedEvents>},
    {"uncaughtErrorEvents", MemberKind::Getter, field<&LoaderInfoObject::uncaughtErrorEvents>},
    {"applicationDomain", MemberKind::Getter, field<&LoaderInfoObject::applicationDomain>},
    {"childAllowsParent", MemberKind::Getter, yes},
    {"parentAllowsChild", MemberKind::Getter, yes},
    {"sameDomain", MemberKind::Getter, yes},
    {"isURLInaccessible", MemberKind::Getter, no},
};

// new LoaderInfo() is the player's alone.
Value refuseConstruct(Machine& m, const Value&, std::span<Value>) {
  m.fail(ErrorClass::ArgumentError, 2012, {"LoaderInfo$"});
}

Value getLoaderInfo(Machine& m, const Value& self, std::span<Value>) {
  auto* d = self.isObject() ? dynamic_cast<DisplayScript*>(self.asObject()) : nullptr;
  if (!d) m.fail(ErrorClass::TypeError, 1004, {"loaderInfo"});
  Host& host = *m.host;
  bool onStage = d->handle == host.stage();
  DisplayHandle h = d->handle;
  const LoaderInfoState& s = m.packageState<LoaderInfoState>();
  for (int depth = 0; h && !onStage && depth < 256; ++depth, h = host.parentOf(h)) {
    // The root of a movie a Loader loaded, and what is inside it.
    for (const LoadedSwf& loaded : s.loaded)
      if (loaded.root == h) return Value(static_cast<Object*>(loaded.info));
    // What a Loader loaded belongs to its file.
    auto parent = m.displayObjects.find(host.parentOf(h));
    auto* l = parent == m.displayObjects.end() ? nullptr : dynamic_cast<LoaderScript*>(parent->second);
    auto self = m.displayObjects.find(h);
    if (l && l->info && self != m.displayObjects.end() && l->info->content.isObject() &&
        l->info->content.asObject() == self->second)
      return Value(static_cast<Object*>(l->info));
    onStage = host.parentOf(h) == host.stage();
  }
  LoaderInfoObject* info = onStage ? mainInfo(m) : nullptr;
  return info ? Value(static_cast<Object*>(info)) : Value::null();
}

// ---- Loader ----

constexpr size_t kMaxLoadBytes = size_t(32) << 20;
constexpr size_t kMaxPendingLoads = 1000;

struct PendingContent {
  LoaderScript* loader;
  uint64_t id;
  std::string url;             // a file of the movie's folder, or
  std::vector<uint8_t> bytes;  // the bytes given (loadBytes)
  bool fromBytes = false;
  bool framePassed = false;    // bytes: the stage made a frame since (init may follow)
  uint32_t domain = Machine::kMainDomain;  // where a loaded movie's code goes
  std::string loaderUrl;
};

struct ContentLoadsState : PackageState {
  std::vector<PendingContent> pending;
  uint64_t lastId = 0;
  uint64_t lastDynamic = 0;  // movies loaded from bytes, numbered in their URLs
  void markRoots(Marker& m) const override {
    for (const PendingContent& p : pending) m.mark(static_cast<Object*>(p.loader));
  }
};

LoaderScript* loader_(Machine& m, const Value& self) {
  return receiver<LoaderScript>(m, self, "Loader");
}

Object* allocLoader(Machine& m, ClassObject* cls) {
  auto* l = m.heap.make<LoaderScript>(cls->instanceTraits.get(), cls, cls->prototypeObject);
  l->machine = &m;
  return l;
}

LoaderInfoObject* infoOf(Machine& m, LoaderScript* l) {
  if (!l->info) {
    l->info = newInfo(m);
    l->info->loader = Value(static_cast<Object*>(l));
    l->info->contentType.clear();
  }
  return l->info;
}

Value loaderInit(Machine& m, const Value& self, std::span<Value>) {
  initDisplayObject(m, self, DisplayKind::MovieClip);
  infoOf(m, loader_(m, self));
  return Value();
}

// Takes the content away: the child goes, the info forgets it.
void dropContent(Machine& m, LoaderScript* l) {
  LoaderInfoObject* info = infoOf(m, l);
  if (m.host && l->handle)
    while (m.host->numChildren(l->handle) > 0) m.host->removeChildAt(l->handle, 0);
  info->content = Value::null();
  info->complete = false;
  info->file = {};
  info->contentType.clear();
}

// The domain a load's code goes to: the context's, else a new one below the loading code's.
uint32_t domainFor(Machine& m, const Value& context) {
  if (context.isObject()) {
    const uint32_t named = domainOfValue(m.get(context, "applicationDomain"));
    if (named != Machine::kNoDomain) return named;
  }
  return m.newDomain(m.currentDomain);
}

// The URL of the movie whose code is running (the opened movie's, or a loaded one's).
std::string runningMovieUrl(Machine& m) {
  for (const LoadedSwf& loaded : m.packageState<LoaderInfoState>().loaded)
    if (loaded.domain == m.currentDomain && !loaded.info->file.url.empty())
      return loaded.info->file.url;
  LoaderInfoObject* main = mainInfo(m);
  return main ? main->file.url : "";
}

Value newByteArray(Machine& m, std::vector<uint8_t> bytes) {
  Value array = construct(m, "flash.utils.ByteArray");
  static_cast<ByteArrayObject*>(array.asObject())->bytes = std::move(bytes);
  return array;
}

void queue(Machine& m, LoaderScript* l, PendingContent p, const Value& context) {
  ContentLoadsState& s = m.packageState<ContentLoadsState>();
  std::erase_if(s.pending, [&](const PendingContent& q) { return q.loader == l; });
  if (s.pending.size() >= kMaxPendingLoads) m.fail(ErrorClass::Error, 1000);
  dropContent(m, l);
  LoaderInfoObject* info = infoOf(m, l);
  info->bytes = newByteArray(m, {});
  info->parameters = Value(m.newObject());
  l->loading = ++s.lastId;
  p.loader = l;
  p.id = l->loading;
  p.domain = domainFor(m, context);
  p.loaderUrl = runningMovieUrl(m);
  s.pending.push_back(std::move(p));
}

Value load(Machine& m, const Value& self, std::span<Value> args) {
  LoaderScript* l = loader_(m, self);
  const Value request = arg(args, 0);
  if (request.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"request"});
  const Value url = m.getProperty(request, m.publicName("url"));
  PendingContent p{};
  p.url = url.isNullish() ? "" : m.toText(url);
  queue(m, l, std::move(p), arg(args, 1));
  return Value();
}

bool isMovie(const std::vector<uint8_t>& b) {
  return b.size() >= 8 && (b[0] == 'F' || b[0] == 'C' || b[0] == 'Z') && b[1] == 'W' && b[2] == 'S';
}

const char* imageType(const std::vector<uint8_t>& b) {
  if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return "image/png";
  if (b.size() >= 3 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return "image/gif";
  if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8) return "image/jpeg";
  return nullptr;
}

// An ioError for the loader's listeners, or the player's report when there are none.
void failLoad(Machine& m, LoaderInfoObject* info, int id, const std::string& text) {
  if (!hasEventListener(m, info, "ioError")) {
    if (m.host) m.host->uncaughtError("Error #2044: Unhandled IOErrorEvent:. text=" + text);
    return;
  }
  dispatchNewEvent(m, info, "IOErrorEvent", {Value(m.intern("ioError")), Value(false),
                                            Value(false), Value(StringRef(text)), Value(id)});
}

// The pairs of a URL's query ("a=1&b=2") as the movie's parameters.
void setParameters(Machine& m, LoaderInfoObject* info, std::string_view query) {
  size_t start = 0;
  while (start < query.size()) {
    size_t end = std::min(query.find('&', start), query.size());
    const std::string_view pair = query.substr(start, end - start);
    start = end + 1;
    const size_t eq = pair.find('=');
    if (pair.empty() || eq == 0) continue;
    const std::string name = decodeUrlComponent(pair.substr(0, std::min(eq, pair.size())));
    const std::string value = eq == std::string_view::npos ? "" : decodeUrlComponent(pair.substr(eq + 1));
    m.setProperty(info->parameters, m.publicName(name), Value(StringRef(value)));
  }
}

// The two progress events of a file that is all there; false when a listener started
// another load meanwhile.
bool sendProgress(Machine& m, LoaderScript* l, uint64_t id, const std::vector<uint8_t>& bytes,
                  std::string_view query = {}) {
  LoaderInfoObject* info = infoOf(m, l);
  auto type = Value(m.intern("progress"));
  const double total = double(bytes.size());
  info->file.bytesTotal = uint32_t(bytes.size());
  dispatchNewEvent(m, info, "ProgressEvent", {type, Value(false), Value(false), Value(0.0), Value(total)});
  if (l->loading != id) return false;
  info->complete = true;  // bytesLoaded reads the whole from here
  setParameters(m, info, query);
  if (isMovie(bytes)) {
    std::vector<uint8_t> whole = m.host ? m.host->uncompressedMovie(bytes) : std::vector<uint8_t>{};
    static_cast<ByteArrayObject*>(info->bytes.asObject())->bytes = std::move(whole);
  }
  dispatchNewEvent(m, info, "ProgressEvent", {type, Value(false), Value(false), Value(total), Value(total)});
  return l->loading == id;
}

Value close(Machine& m, const Value& self, std::span<Value>);

Value loadBytes(Machine& m, const Value& self, std::span<Value> args) {
  LoaderScript* l = loader_(m, self);
  const Value bytes = arg(args, 0);
  if (bytes.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"bytes"});
  auto* array = bytes.isObject() ? dynamic_cast<ByteArrayObject*>(bytes.asObject()) : nullptr;
  if (!array) m.fail(ErrorClass::TypeError, 1034, {m.className(bytes), "flash.utils.ByteArray"});
  PendingContent p{};
  p.bytes = array->bytes;
  p.fromBytes = true;
  queue(m, l, PendingContent(p), arg(args, 1));
  const uint64_t id = l->loading;
  // The bytes are all there: their progress is told at once, and what is no movie or
  // image fails at once.
  if (!sendProgress(m, l, id, p.bytes)) return Value();
  if (!isMovie(p.bytes) && !imageType(p.bytes)) {
    close(m, self, {});
    failLoad(m, infoOf(m, l), 2124, "Error #2124: Loaded file is an unknown type.");
  }
  return Value();
}

Value close(Machine& m, const Value& self, std::span<Value>) {
  LoaderScript* l = loader_(m, self);
  l->loading = 0;
  std::erase_if(m.packageState<ContentLoadsState>().pending,
                [&](const PendingContent& p) { return p.loader == l; });
  return Value();
}

Value unload(Machine& m, const Value& self, std::span<Value> args) {
  LoaderScript* l = loader_(m, self);
  const bool had = !infoOf(m, l)->content.isNull();
  close(m, self, args);
  dropContent(m, l);
  if (had) dispatchEvent(m, infoOf(m, l), makeEvent(m, "unload"));
  return Value();
}

Value loaderContent(Machine& m, const Value& self, std::span<Value>) {
  return infoOf(m, loader_(m, self))->content;
}
Value contentLoaderInfo(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<Object*>(infoOf(m, loader_(m, self))));
}
Value loaderErrors(Machine& m, const Value& self, std::span<Value>) {
  return infoOf(m, loader_(m, self))->uncaughtErrorEvents;
}

const NativeMember kLoaderMembers[] = {
    {"content", MemberKind::Getter, loaderContent},
    {"contentLoaderInfo", MemberKind::Getter, contentLoaderInfo},
    {"uncaughtErrorEvents", MemberKind::Getter, loaderErrors},
    {"load", MemberKind::FinalMethod, load, 1},
    {"loadBytes", MemberKind::FinalMethod, loadBytes, 1},
    {"close", MemberKind::FinalMethod, close},
    {"unload", MemberKind::FinalMethod, unload},
    {"unloadAndStop", MemberKind::FinalMethod, unload},
};

// Runs the code of the loaded movie's root frames up to `frame` not run yet; a file that
// does not read is reported and left out.
void runMovieFrames(Machine& m, LoadedSwf& loaded, int frame) {
  for (int f = 0; f <= frame && static_cast<size_t>(f) < loaded.framesRun.size(); ++f) {
    if (loaded.framesRun[f]) continue;
    loaded.framesRun[f] = true;
    for (const Host::AbcTag& tag : m.host->movieFrameAbc(loaded.movie, f)) {
      abc::ReadResult read = abc::readAbc(*tag.bytes);
      std::string error = read ? "" : read.error.message();
      AbcUnit* unit = read ? m.load(read.file, error, loaded.domain) : nullptr;
      if (!unit) {
        m.host->uncaughtError("VerifyError: " + error);
        continue;
      }
      if (tag.lazy) continue;
      try {
        m.runEntryScript(*unit);
      } catch (ScriptThrow& t) {
        if (m.timedOut) throw;
        m.host->uncaughtError(m.toText(t.value));
      }
    }
  }
}

// The loaded movie's root, made as its document class with its first frame's code run,
// becomes the loader's child. False when the bytes are no movie that can be shown.
bool makeMovieRoot(Machine& m, PendingContent& p) {
  LoaderScript* l = p.loader;
  LoaderInfoObject* info = infoOf(m, l);
  if (!m.host || !l->handle) return false;
  Host::LoadedMovie movie = m.host->loadMovie(p.bytes);
  if (!movie.root) return false;
  ContentLoadsState& loads = m.packageState<ContentLoadsState>();
  const std::string url = p.fromBytes
                              ? p.loaderUrl + "/[[DYNAMIC]]/" + std::to_string(++loads.lastDynamic)
                              : info->file.url;
  info->file = movie.file;
  info->file.url = url;
  info->loaderUrl = p.loaderUrl;
  info->contentType = "application/x-shockwave-flash";
  info->applicationDomain = domainObject(m, p.domain);
  LoaderInfoState& s = m.packageState<LoaderInfoState>();
  s.loaded.push_back({movie.movie, movie.root, p.domain, {}, info});
  LoadedSwf& loaded = s.loaded.back();
  loaded.framesRun.assign(std::max(m.host->totalFrames(movie.root), 1), false);
  if (movie.actionScript3) runMovieFrames(m, loaded, 0);
  std::string className = movie.actionScript3 ? m.host->documentClass(movie.movie) : "";
  ClassObject* cls = className.empty() ? nullptr : m.findClass(className, p.domain);
  if (!cls) cls = m.findClass("flash.display.MovieClip", Machine::kSystemDomain);
  try {
    info->content = constructBound(m, cls, movie.root);
  } catch (ScriptThrow& t) {
    if (m.timedOut) throw;
    m.host->uncaughtError(m.toText(t.value));
    auto made = m.displayObjects.find(movie.root);
    info->content = made != m.displayObjects.end() ? Value(made->second) : Value::null();
  }
  if (!info->content.isObject()) return false;
  m.host->insertChild(l->handle, movie.root, 0);
  sendAdded(m, movie.root);
  return true;
}

bool showImage(Machine& m, PendingContent& p) {
  LoaderScript* l = p.loader;
  LoaderInfoObject* info = infoOf(m, l);
  const char* contentType = imageType(p.bytes);
  std::shared_ptr<const render::Bitmap> image =
      contentType && m.host ? m.host->decodeImageFile(p.bytes) : nullptr;
  Value bitmap = image ? bitmapShowing(m, *image) : Value();
  auto* content = bitmap.isObject() ? dynamic_cast<DisplayScript*>(bitmap.asObject()) : nullptr;
  if (!content || !m.host || !l->handle) return false;
  info->contentType = contentType;
  info->file.width = image->width;
  info->file.height = image->height;
  info->content = bitmap;
  if (p.fromBytes) info->file.url = p.loaderUrl;
  m.host->insertChild(l->handle, content->handle, 0);
  return true;
}

void sendLoaded(Machine& m, PendingContent& p) {
  LoaderScript* l = p.loader;
  LoaderInfoObject* info = infoOf(m, l);
  auto type = [&](const char* t) { return Value(m.intern(t)); };
  l->loading = 0;
  dispatchNewEvent(m, info, "Event", {type("init")});
  if (!p.fromBytes)
    dispatchNewEvent(m, info, "HTTPStatusEvent", {type("httpStatus"), Value(false), Value(false),
                                                 Value(0), Value(false)});
  dispatchNewEvent(m, info, "Event", {type("complete")});
}

void failUnknown(Machine& m, PendingContent& p) {
  LoaderInfoObject* info = infoOf(m, p.loader);
  p.loader->loading = 0;
  info->complete = false;
  failLoad(m, info, 2124, "Error #2124: Loaded file is an unknown type.");
}

// A file of the movie's folder: all of it arrives at once.
void finishFile(Machine& m, PendingContent& p) {
  LoaderScript* l = p.loader;
  LoaderInfoObject* info = infoOf(m, l);
  const size_t query = p.url.find('?');
  const std::string path = p.url.substr(0, query);
  std::optional<std::vector<uint8_t>> bytes;
  if (m.host && !path.empty()) bytes = m.host->readFile(path, kMaxLoadBytes);
  const std::string shown = p.url.substr(path.find_last_of("/\\") + 1);
  if (!bytes) {
    l->loading = 0;
    failLoad(m, info, 2035, "Error #2035: URL Not Found. URL: file:///" + shown);
    return;
  }
  p.bytes = std::move(*bytes);
  dispatchNewEvent(m, info, "Event", {Value(m.intern("open"))});
  if (l->loading != p.id) return;
  const std::string_view pairs =
      query == std::string::npos ? std::string_view() : std::string_view(p.url).substr(query + 1);
  if (!sendProgress(m, l, p.id, p.bytes, pairs)) return;
  info->file.url = "file:///" + shown;
  const bool shown_ = isMovie(p.bytes) ? makeMovieRoot(m, p) : showImage(m, p);
  if (l->loading != p.id) return;
  if (!shown_) return failUnknown(m, p);
  sendLoaded(m, p);
}

// ---- LoaderContext and JPEGLoaderContext: how a load is to be made, kept for scripts to
// read (loads here are local: policy files and domains change nothing) ----

void setSlot(Machine& m, const Value& self, const char* name, Value v) {
  m.setProperty(self, m.publicName(name), std::move(v));
}

void initContext(Machine& m, const Value& self, std::span<Value> args, size_t first) {
  setSlot(m, self, "checkPolicyFile", Value(args.size() > first && toBoolean(args[first])));
  setSlot(m, self, "applicationDomain", args.size() > first + 1 ? args[first + 1] : Value::null());
  setSlot(m, self, "securityDomain", args.size() > first + 2 ? args[first + 2] : Value::null());
  setSlot(m, self, "allowCodeImport", Value(true));
  setSlot(m, self, "allowLoadBytesCodeExecution", Value(true));
  setSlot(m, self, "imageDecodingPolicy", Value(m.intern("onDemand")));
  setSlot(m, self, "parameters", Value::null());
  setSlot(m, self, "requestedContentParent", Value::null());
}

Value contextInit(Machine& m, const Value& self, std::span<Value> args) {
  initContext(m, self, args, 0);
  return Value();
}

Value jpegContextInit(Machine& m, const Value& self, std::span<Value> args) {
  initContext(m, self, args, 1);
  setSlot(m, self, "deblockingFilter", Value(args.empty() ? 0.0 : m.toNumber(args[0])));
  return Value();
}

const NativeMember kContextMembers[] = {
    {"checkPolicyFile", MemberKind::Slot},
    {"applicationDomain", MemberKind::Slot},
    {"securityDomain", MemberKind::Slot},
    {"allowCodeImport", MemberKind::Slot},
    {"allowLoadBytesCodeExecution", MemberKind::Slot},
    {"imageDecodingPolicy", MemberKind::Slot},
    {"parameters", MemberKind::Slot},
    {"requestedContentParent", MemberKind::Slot},
};

const NativeMember kJpegContextMembers[] = {
    {"deblockingFilter", MemberKind::Slot},
};

}  // namespace

void runPendingContentLoads(Machine& m) {
  ContentLoadsState& s = m.packageState<ContentLoadsState>();
  std::vector<PendingContent> due;
  due.swap(s.pending);
  for (size_t i = 0; i < due.size(); ++i) {
    PendingContent& p = due[i];
    if (p.loader->loading != p.id) continue;
    // Bytes wait for the stage's next frame.
    if (p.fromBytes && !p.framePassed) {
      s.pending.push_back(std::move(p));
      continue;
    }
    try {
      if (!p.fromBytes)
        finishFile(m, p);
      else if (isMovie(p.bytes) || showImage(m, p))
        sendLoaded(m, p);
      else
        failUnknown(m, p);
    } catch (ScriptThrow& t) {
      if (m.timedOut) {
        for (size_t j = i + 1; j < due.size(); ++j) s.pending.push_back(std::move(due[j]));
        throw;
      }
      if (m.host) m.host->uncaughtError(m.toText(t.value));
    }
  }
}

void runLoadedMovieFrames(Machine& m) {
  ContentLoadsState& loads = m.packageState<ContentLoadsState>();
  // Loads their code starts now wait for the frame after.
  std::vector<uint64_t> waiting;
  for (const PendingContent& p : loads.pending)
    if (p.fromBytes && !p.framePassed) waiting.push_back(p.id);
  for (uint64_t id : waiting) {
    auto it = std::find_if(loads.pending.begin(), loads.pending.end(),
                           [&](const PendingContent& q) { return q.id == id; });
    if (it == loads.pending.end()) continue;
    it->framePassed = true;
    if (!isMovie(it->bytes) || it->loader->loading != id) continue;
    PendingContent p = *it;
    try {
      if (!makeMovieRoot(m, p)) {
        std::erase_if(loads.pending, [&](const PendingContent& q) { return q.id == id; });
        failUnknown(m, p);
      }
    } catch (ScriptThrow& t) {
      if (m.timedOut) throw;
      if (m.host) m.host->uncaughtError(m.toText(t.value));
    }
  }
  LoaderInfoState& s = m.packageState<LoaderInfoState>();
  for (size_t i = 0; i < s.loaded.size(); ++i) {
    if (!m.host || m.host->movieOf(s.loaded[i].root) != s.loaded[i].movie) continue;
    LoadedSwf copy = s.loaded[i];
    runMovieFrames(m, copy, m.host->currentFrame(copy.root) - 1);
    if (i < s.loaded.size()) s.loaded[i].framesRun = copy.framesRun;
  }
}

uint32_t domainOfMovie(Machine& m, uint64_t movie) {
  if (movie)
    for (const LoadedSwf& loaded : m.packageState<LoaderInfoState>().loaded)
      if (loaded.movie == movie) return loaded.domain;
  return Machine::kMainDomain;
}

std::span<const NativeMember> displayLoaderInfoMembers() {
  static const NativeMember rows[] = {{"loaderInfo", MemberKind::Getter, getLoaderInfo}};
  return rows;
}

void sendMainMovieLoaded(Machine& m) {
  LoaderInfoObject* info = mainInfo(m);
  if (!info || info->complete) return;
  info->complete = true;
  const double total = info->file.bytesTotal;
  dispatchNewEvent(m, info, "ProgressEvent", {Value(m.intern("progress")), Value(false),
                                              Value(false), Value(total), Value(total)});
  dispatchEvent(m, info, makeEvent(m, "init"));
  dispatchEvent(m, info, makeEvent(m, "complete"));
}

void installLoaderInfo(Machine& m) {
  installClass(m, {.package = "flash.system",
                   .name = "LoaderContext",
                   .members = kContextMembers,
                   .init = contextInit,
                   .initLength = 3});
  installClass(m, {.package = "flash.system",
                   .name = "JPEGLoaderContext",
                   .base = "flash.system.LoaderContext",
                   .members = kJpegContextMembers,
                   .init = jpegContextInit,
                   .initLength = 4});
  installClass(m, {.package = "flash.display",
                   .name = "Loader",
                   .base = "flash.display.DisplayObjectContainer",
                   .members = kLoaderMembers,
                   .init = loaderInit,
                   .alloc = allocLoader,
                   .dynamic = false});
  installClass(m, {.package = "flash.display",
                   .name = "LoaderInfo",
                   .base = "flash.events.EventDispatcher",
                   .members = kMembers,
                   .construct = refuseConstruct,
                   .alloc = allocInfo,
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
