// flash.net's loading of data: URLRequest (and its method and header classes), URLVariables
// (name=value pairs, URL-encoded), URLLoader and URLLoaderDataFormat. A load reads a file
// through the host (the movie's own folder only) and reports back as the clock ticks: open,
// progress, httpStatus (status 0, as for any local file), then complete with the data as
// text, bytes or variables, or ioError when there is no such file.
#include <string>
#include <vector>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/events.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

constexpr size_t kMaxLoadBytes = size_t(32) << 20;  // one file a script loads
constexpr size_t kMaxPendingLoads = 1000;
constexpr int kMaxChainedRounds = 16;

// ---- URLRequest ----

class UrlRequestObject : public Object {
 public:
  using Object::Object;
  Value url = Value::null();
  Value method;  // a String; set in init
  Value data = Value::null();
  Value contentType = Value::null();
  Value headers;  // an Array; set in init
  Value digest = Value::null();
  bool followRedirects = true, manageCookies = true, useCache = true, cacheResponse = true,
       authenticate = true;
  double idleTimeout = 0;

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    for (const Value* v : {&url, &method, &data, &contentType, &headers, &digest}) m.mark(*v);
  }
};

UrlRequestObject* request_(Machine& m, const Value& self) {
  return receiver<UrlRequestObject>(m, self, "URLRequest");
}

Object* allocRequest(Machine& m, ClassObject* cls) {
  return m.heap.make<UrlRequestObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value stringOrNull(Machine& m, const Value& v) {
  return v.isNullish() ? Value::null() : Value(m.toString(v));
}

Value requestInit(Machine& m, const Value& self, std::span<Value> args) {
  UrlRequestObject* r = request_(m, self);
  r->url = stringOrNull(m, arg(args, 0));
  r->method = Value(m.intern("GET"));
  r->headers = Value(static_cast<Object*>(m.newArray()));
  return Value();
}

template <Value UrlRequestObject::*F>
Value getValue(Machine& m, const Value& self, std::span<Value>) {
  return request_(m, self)->*F;
}
template <Value UrlRequestObject::*F>
Value setString(Machine& m, const Value& self, std::span<Value> args) {
  request_(m, self)->*F = stringOrNull(m, arg(args, 0));
  return Value();
}
template <bool UrlRequestObject::*F>
Value getFlag(Machine& m, const Value& self, std::span<Value>) {
  return Value(request_(m, self)->*F);
}
template <bool UrlRequestObject::*F>
Value setFlag(Machine& m, const Value& self, std::span<Value> args) {
  request_(m, self)->*F = toBoolean(arg(args, 0));
  return Value();
}

Value setRequestData(Machine& m, const Value& self, std::span<Value> args) {
  request_(m, self)->data = arg(args, 0);
  return Value();
}

// The player takes these spellings only.
Value setMethod(Machine& m, const Value& self, std::span<Value> args) {
  const Value v = arg(args, 0);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"method"});
  StringRef text = m.toString(v);
  const std::string_view s = text.view();
  if (s != "GET" && s != "get" && s != "POST" && s != "post")
    m.fail(ErrorClass::ArgumentError, 2008, {"method"});
  request_(m, self)->method = Value(text);
  return Value();
}

Value setHeaders(Machine& m, const Value& self, std::span<Value> args) {
  const Value v = arg(args, 0);
  request_(m, self)->headers = v.isNullish() ? Value(static_cast<Object*>(m.newArray())) : v;
  return Value();
}

Value idleTimeout(Machine& m, const Value& self, std::span<Value>) {
  return Value(request_(m, self)->idleTimeout);
}
Value setIdleTimeout(Machine& m, const Value& self, std::span<Value> args) {
  const double t = m.toNumber(arg(args, 0));
  if (!(t >= 0)) m.fail(ErrorClass::RangeError, 2006);
  request_(m, self)->idleTimeout = t;
  return Value();
}

Value userAgent(Machine& m, const Value&, std::span<Value>) {
  return Value(m.intern("Mozilla/5.0 (Windows; U; en) AppleWebKit/533.19.4 (KHTML, like Gecko) "
                        "AdobeAIR/32.0"));
}
Value ignore(Machine&, const Value&, std::span<Value>) { return Value(); }

const NativeMember kRequestMembers[] = {
    {"url", MemberKind::Getter, getValue<&UrlRequestObject::url>},
    {"url", MemberKind::Setter, setString<&UrlRequestObject::url>},
    {"method", MemberKind::Getter, getValue<&UrlRequestObject::method>},
    {"method", MemberKind::Setter, setMethod},
    {"data", MemberKind::Getter, getValue<&UrlRequestObject::data>},
    {"data", MemberKind::Setter, setRequestData},
    {"contentType", MemberKind::Getter, getValue<&UrlRequestObject::contentType>},
    {"contentType", MemberKind::Setter, setString<&UrlRequestObject::contentType>},
    {"requestHeaders", MemberKind::Getter, getValue<&UrlRequestObject::headers>},
    {"requestHeaders", MemberKind::Setter, setHeaders},
    {"digest", MemberKind::Getter, getValue<&UrlRequestObject::digest>},
    {"digest", MemberKind::Setter, setString<&UrlRequestObject::digest>},
    {"followRedirects", MemberKind::Getter, getFlag<&UrlRequestObject::followRedirects>},
    {"followRedirects", MemberKind::Setter, setFlag<&UrlRequestObject::followRedirects>},
    {"manageCookies", MemberKind::Getter, getFlag<&UrlRequestObject::manageCookies>},
    {"manageCookies", MemberKind::Setter, setFlag<&UrlRequestObject::manageCookies>},
    {"useCache", MemberKind::Getter, getFlag<&UrlRequestObject::useCache>},
    {"useCache", MemberKind::Setter, setFlag<&UrlRequestObject::useCache>},
    {"cacheResponse", MemberKind::Getter, getFlag<&UrlRequestObject::cacheResponse>},
    {"cacheResponse", MemberKind::Setter, setFlag<&UrlRequestObject::cacheResponse>},
    {"authenticate", MemberKind::Getter, getFlag<&UrlRequestObject::authenticate>},
    {"authenticate", MemberKind::Setter, setFlag<&UrlRequestObject::authenticate>},
    {"idleTimeout", MemberKind::Getter, idleTimeout},
    {"idleTimeout", MemberKind::Setter, setIdleTimeout},
    {"userAgent", MemberKind::Getter, userAgent},
    {"userAgent", MemberKind::Setter, ignore},
    {"useRedirectedURL", MemberKind::FinalMethod, ignore, 1},
};

const NativeMember kMethods[] = {
    {"GET", MemberKind::Constant, nullptr, 0, 0, "GET"},
    {"POST", MemberKind::Constant, nullptr, 0, 0, "POST"},
    {"PUT", MemberKind::Constant, nullptr, 0, 0, "PUT"},
    {"DELETE", MemberKind::Constant, nullptr, 0, 0, "DELETE"},
    {"HEAD", MemberKind::Constant, nullptr, 0, 0, "HEAD"},
    {"OPTIONS", MemberKind::Constant, nullptr, 0, 0, "OPTIONS"},
};

Value headerInit(Machine& m, const Value& self, std::span<Value> args) {
  m.setProperty(self, m.publicName("name"), args.empty() ? Value(m.intern("")) : args[0]);
  m.setProperty(self, m.publicName("value"), args.size() < 2 ? Value(m.intern("")) : args[1]);
  return Value();
}

const NativeMember kHeaderMembers[] = {
    {"name", MemberKind::Slot},
    {"value", MemberKind::Slot},
};

// ---- URLVariables ----

bool unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-_.!~*'()").find(char(c)) != std::string_view::npos;
}

std::string encodeComponent(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (unreserved(c)) {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX (UTF-8 bytes) and '+' for a space.
std::string decodeComponent(std::string_view s) {
  std::string bytes;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      bytes += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && hexDigit(s[i + 1]) >= 0 &&
               hexDigit(s[i + 2]) >= 0) {
      bytes += char(hexDigit(s[i + 1]) * 16 + hexDigit(s[i + 2]));
      i += 2;
    } else {
      bytes += s[i];
    }
  }
  return decodeUtf8Bytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Adds the pairs of `source` to `target`; a name given twice holds an Array of its values.
void decodeInto(Machine& m, const Value& target, std::string_view source) {
  size_t start = 0;
  while (start <= source.size()) {
    size_t end = source.find('&', start);
    if (end == std::string_view::npos) end = source.size();
    const std::string_view pair = source.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) m.fail(ErrorClass::Error, 2101);
    const Name name = m.publicName(decodeComponent(pair.substr(0, eq)));
    Value value(StringRef(decodeComponent(pair.substr(eq + 1))));
    Value before = m.getProperty(target, name);
    if (before.isUndefined()) {
      m.setProperty(target, name, value);
    } else if (before.isObject() && dynamic_cast<ArrayObject*>(before.asObject())) {
      static_cast<ArrayObject*>(before.asObject())->elements.push_back(value);
    } else {
      m.setProperty(target, name, Value(static_cast<Object*>(m.newArray({before, value}))));
    }
  }
}

Value variablesDecode(Machine& m, const Value& self, std::span<Value> args) {
  decodeInto(m, self, m.toString(arg(args, 0)).view());
  return Value();
}

Value variablesInit(Machine& m, const Value& self, std::span<Value> args) {
  if (!args.empty() && !args[0].isNullish()) variablesDecode(m, self, args);
  return Value();
}

Value variablesToString(Machine& m, const Value& self, std::span<Value>) {
  std::string out;
  Object* o = self.isObject() ? self.asObject() : nullptr;
  auto add = [&](String* name, const Value& v) {
    if (!out.empty()) out += '&';
    out += encodeComponent(name->view()) + '=' + encodeComponent(m.toString(v).view());
  };
  for (size_t i = 0; o && i < o->ownCount(); ++i) {
    String* name = o->ownNameAt(i);
    if (!o->isEnumerable(name)) continue;
    Value v = m.getProperty(self, m.publicName(name));
    if (auto* list = v.isObject() ? dynamic_cast<ArrayObject*>(v.asObject()) : nullptr) {
      for (const Value& each : list->elements) add(name, each);
    } else {
      add(name, v);
    }
  }
  return Value(StringRef(out));
}

const NativeMember kVariablesMembers[] = {
    {"decode", MemberKind::FinalMethod, variablesDecode, 1},
    {"toString", MemberKind::Method, variablesToString},
};

// ---- URLLoader ----

class UrlLoaderObject : public Object {
 public:
  using Object::Object;
  Value data;
  Value dataFormat;  // a String; set in init
  uint32_t bytesLoaded = 0, bytesTotal = 0;
  uint64_t loading = 0;  // the load under way (0: none)

  void markChildren(Marker& m) const override {
    Object::markChildren(m);
    m.mark(data);
    m.mark(dataFormat);
  }
};

struct PendingLoad {
  UrlLoaderObject* loader;
  uint64_t id;
  std::string url;
};

struct LoadsState : PackageState {
  std::vector<PendingLoad> pending;
  uint64_t lastId = 0;
  void markRoots(Marker& m) const override {
    for (const PendingLoad& p : pending) m.mark(static_cast<Object*>(p.loader));
  }
};

UrlLoaderObject* loader_(Machine& m, const Value& self) {
  return receiver<UrlLoaderObject>(m, self, "URLLoader");
}

Object* allocLoader(Machine& m, ClassObject* cls) {
  return m.heap.make<UrlLoaderObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

Value load(Machine& m, const Value& self, std::span<Value> args) {
  UrlLoaderObject* loader = loader_(m, self);
  const Value request = arg(args, 0);
  if (request.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"request"});
  UrlRequestObject* r = request_(m, request);
  LoadsState& s = m.packageState<LoadsState>();
  std::erase_if(s.pending, [&](const PendingLoad& p) { return p.loader == loader; });
  if (s.pending.size() >= kMaxPendingLoads) m.fail(ErrorClass::Error, 1000);
  loader->loading = ++s.lastId;
  loader->bytesLoaded = loader->bytesTotal = 0;
  s.pending.push_back({loader, loader->loading, r->url.isNull() ? "" : m.toText(r->url)});
  return Value();
}

Value loaderInit(Machine& m, const Value& self, std::span<Value> args) {
  loader_(m, self)->dataFormat = Value(m.intern("text"));
  if (!args.empty() && !args[0].isNullish()) load(m, self, args);
  return Value();
}

Value close(Machine& m, const Value& self, std::span<Value>) {
  UrlLoaderObject* loader = loader_(m, self);
  loader->loading = 0;
  std::erase_if(m.packageState<LoadsState>().pending,
                [&](const PendingLoad& p) { return p.loader == loader; });
  return Value();
}

Value data(Machine& m, const Value& self, std::span<Value>) { return loader_(m, self)->data; }
Value setData(Machine& m, const Value& self, std::span<Value> args) {
  loader_(m, self)->data = arg(args, 0);
  return Value();
}
Value dataFormat(Machine& m, const Value& self, std::span<Value>) {
  return loader_(m, self)->dataFormat;
}
Value setDataFormat(Machine& m, const Value& self, std::span<Value> args) {
  const Value v = arg(args, 0);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"dataFormat"});
  StringRef text = m.toString(v);
  if (text.view() != "text" && text.view() != "binary" && text.view() != "variables")
    m.fail(ErrorClass::ArgumentError, 2008, {"dataFormat"});
  loader_(m, self)->dataFormat = Value(text);
  return Value();
}
Value bytesLoaded(Machine& m, const Value& self, std::span<Value>) {
  return Value(loader_(m, self)->bytesLoaded);
}
Value bytesTotal(Machine& m, const Value& self, std::span<Value>) {
  return Value(loader_(m, self)->bytesTotal);
}

const NativeMember kLoaderMembers[] = {
    {"data", MemberKind::Getter, data},
    {"data", MemberKind::Setter, setData},
    {"dataFormat", MemberKind::Getter, dataFormat},
    {"dataFormat", MemberKind::Setter, setDataFormat},
    {"bytesLoaded", MemberKind::Getter, bytesLoaded},
    {"bytesTotal", MemberKind::Getter, bytesTotal},
    {"load", MemberKind::FinalMethod, load, 1},
    {"close", MemberKind::FinalMethod, close},
};

const NativeMember kDataFormats[] = {
    {"TEXT", MemberKind::Constant, nullptr, 0, 0, "text"},
    {"BINARY", MemberKind::Constant, nullptr, 0, 0, "binary"},
    {"VARIABLES", MemberKind::Constant, nullptr, 0, 0, "variables"},
};

// An event of class flash.events.`cls` made with these constructor arguments.
// The file of `p`, then its events; a listener that starts another load ends them.
void finish(Machine& m, const PendingLoad& p) {
  UrlLoaderObject* loader = p.loader;
  auto still = [&] { return loader->loading == p.id; };
  auto type = [&](const char* t) { return Value(m.intern(t)); };
  std::optional<std::vector<uint8_t>> bytes =
      m.host && !p.url.empty() ? m.host->readFile(p.url, kMaxLoadBytes) : std::nullopt;
  auto status = [&] {
    dispatchNewEvent(m, loader, "HTTPStatusEvent", {type("httpStatus"), Value(false), Value(false),
                                                   Value(0), Value(false)});
  };
  if (!bytes) {
    status();
    if (!still()) return;
    loader->loading = 0;
    const std::string text = "Error #2032: Stream Error";
    if (!hasEventListener(m, loader, "ioError")) {
      if (m.host)
        m.host->uncaughtError("Error #2044: Unhandled ioError:. text=" + text + ". URL: " + p.url);
      return;
    }
    dispatchNewEvent(m, loader, "IOErrorEvent", {type("ioError"), Value(false), Value(false),
                                                Value(StringRef(text)), Value(2032)});
    return;
  }
  const uint32_t size = uint32_t(bytes->size());
  loader->bytesTotal = size;
  dispatchNewEvent(m, loader, "Event", {type("open")});
  if (!still()) return;
  loader->bytesLoaded = size;
  dispatchNewEvent(m, loader, "ProgressEvent", {type("progress"), Value(false), Value(false),
                                               Value(double(size)), Value(double(size))});
  if (!still()) return;
  status();
  if (!still()) return;
  const std::string_view format = loader->dataFormat.isString() ? loader->dataFormat.asString()->view() : "text";
  if (format == "binary") {
    ClassObject* c = m.findClass("flash.utils.ByteArray");
    Value array = c ? m.construct(Value(static_cast<Object*>(c)), {}) : Value();
    if (auto* ba = array.isObject() ? dynamic_cast<ByteArrayObject*>(array.asObject()) : nullptr)
      ba->bytes = std::move(*bytes);
    loader->data = array;
  } else if (format == "variables") {
    ClassObject* c = m.findClass("flash.net.URLVariables");
    Value text(StringRef(bytesAsText(bytes->data(), bytes->size())));
    loader->data = c ? m.construct(Value(static_cast<Object*>(c)), std::span<Value>(&text, 1)) : text;
  } else {
    loader->data = Value(StringRef(bytesAsText(bytes->data(), bytes->size())));
  }
  loader->loading = 0;
  dispatchNewEvent(m, loader, "Event", {type("complete")});
}

}  // namespace

std::string decodeUrlComponent(std::string_view s) { return decodeComponent(s); }

void runPendingLoads(Machine& m) {
  // A local file is there at once: a load a listener starts finishes in the same tick,
  // up to a bound, so a chain of loads cannot hold the player.
  LoadsState& s = m.packageState<LoadsState>();
  for (int round = 0; round < kMaxChainedRounds && !s.pending.empty(); ++round) {
    std::vector<PendingLoad> due;
    due.swap(s.pending);
    for (size_t i = 0; i < due.size(); ++i) {
      if (due[i].loader->loading != due[i].id) continue;
      try {
        finish(m, due[i]);
      } catch (ScriptThrow& t) {
        if (m.timedOut) {
          // The rest wait for the next tick, as if they had not come in yet.
          s.pending.insert(s.pending.begin(), due.begin() + long(i) + 1, due.end());
          throw;
        }
        if (m.host) m.host->uncaughtError(m.toText(t.value));
      }
    }
  }
}

void installUrlLoading(Machine& m) {
  installClass(m, {.package = "flash.net",
                   .name = "URLRequest",
                   .members = kRequestMembers,
                   .init = requestInit,
                   .alloc = allocRequest,
                   .dynamic = false,
                   .isFinal = true,
                   .initLength = 1});
  installClass(m, {.package = "flash.net", .name = "URLRequestMethod", .members = kMethods,
                   .isFinal = true});
  installClass(m, {.package = "flash.net",
                   .name = "URLRequestHeader",
                   .members = kHeaderMembers,
                   .init = headerInit,
                   .dynamic = false,
                   .isFinal = true,
                   .initLength = 2});
  installClass(m, {.package = "flash.net",
                   .name = "URLVariables",
                   .members = kVariablesMembers,
                   .init = variablesInit,
                   .initLength = 1});
  installClass(m, {.package = "flash.net",
                   .name = "URLLoader",
                   .base = "flash.events.EventDispatcher",
                   .members = kLoaderMembers,
                   .init = loaderInit,
                   .alloc = allocLoader,
                   .dynamic = false,
                   .initLength = 1});
  installClass(m, {.package = "flash.net", .name = "URLLoaderDataFormat", .members = kDataFormats,
                   .isFinal = true});
}

}  // namespace orv::movie::avm2
