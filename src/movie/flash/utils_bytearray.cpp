// flash.utils.ByteArray: typed reads and writes in either byte order, UTF strings,
// zlib and raw deflate compression, the bytes by index. Reads past the end throw EOFError
// #2030; decompression output is capped like the length.
#include <zlib.h>

#include <cmath>
#include <cstring>

#include "movie/avm2/conversions.h"
#include "movie/avm2/toplevel.h"
#include "movie/flash/amf.h"
#include "movie/flash/bytearray.h"
#include "movie/flash/net_aliases.h"
#include "movie/flash/packages.h"

namespace orv::movie::avm2 {

namespace {

bool publicIndex(const Machine& m, const Name& n) {
  return n.index >= 0 && !n.key && !n.attribute && (n.anyNamespace || n.matches(m.publicNs));
}

}  // namespace

bool ByteArrayObject::getHook(Machine& m, const Name& n, Value& out) {
  if (!publicIndex(m, n)) return false;
  out = n.index < static_cast<int64_t>(bytes.size()) ? Value(int32_t(bytes[n.index])) : Value();
  return true;
}

bool ByteArrayObject::setHook(Machine& m, const Name& n, Value& v) {
  if (!publicIndex(m, n)) return false;
  if (static_cast<size_t>(n.index) >= kMaxLength) m.fail(ErrorClass::Error, 1000);
  uint8_t b = static_cast<uint8_t>(m.toInt(v));
  if (n.index >= static_cast<int64_t>(bytes.size())) bytes.resize(n.index + 1);
  bytes[n.index] = b;
  return true;
}

bool ByteArrayObject::hasHook(Machine& m, const Name& n, bool& out) {
  if (!publicIndex(m, n)) return false;
  out = n.index < static_cast<int64_t>(bytes.size());
  return true;
}

void ByteArrayObject::reserveAt(Machine& m, size_t count) {
  size_t end = size_t(position) + count;
  if (end > kMaxLength) m.fail(ErrorClass::Error, 1000);
  if (end > bytes.size()) bytes.resize(end);
}

namespace {

ByteArrayObject* self_(Machine& m, const Value& self) {
  return receiver<ByteArrayObject>(m, self, "ByteArray");
}

Object* allocByteArray(Machine& m, ClassObject* cls) {
  return m.heap.make<ByteArrayObject>(cls->instanceTraits.get(), cls, cls->prototypeObject);
}

[[noreturn]] void endOfFile(Machine& m) {
  failAs(m, "flash.errors.EOFError", 2030, "End of file was encountered.");
}

// The next `count` bytes, or EOFError when fewer are left.
const uint8_t* take(Machine& m, ByteArrayObject* b, size_t count) {
  if (b->position > b->bytes.size() || b->bytes.size() - b->position < count) endOfFile(m);
  const uint8_t* p = b->bytes.data() + b->position;
  b->position += static_cast<uint32_t>(count);
  return p;
}

uint64_t readUnsigned(Machine& m, ByteArrayObject* b, int size) {
  const uint8_t* p = take(m, b, size);
  uint64_t v = 0;
  for (int i = 0; i < size; ++i) v |= uint64_t(p[b->bigEndian ? size - 1 - i : i]) << (8 * i);
  return v;
}

void writeUnsigned(Machine& m, ByteArrayObject* b, uint64_t v, int size) {
  b->reserveAt(m, size);
  uint8_t* p = b->bytes.data() + b->position;
  for (int i = 0; i < size; ++i) p[b->bigEndian ? size - 1 - i : i] = uint8_t(v >> (8 * i));
  b->position += size;
}

void writeRaw(Machine& m, ByteArrayObject* b, const uint8_t* data, size_t size) {
  b->reserveAt(m, size);
  if (size) std::memmove(b->bytes.data() + b->position, data, size);
  b->position += static_cast<uint32_t>(size);
}

}  // namespace

std::string decodeUtf8Bytes(const uint8_t* p, size_t size) {
  std::u16string out;
  out.reserve(size);
  for (size_t i = 0; i < size;) {
    uint8_t c = p[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = extra == 3 ? c & 7 : c & (0x3F >> extra);
    bool ok = extra > 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= size || (p[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (ok && cp > 0x10FFFF) ok = false;
    if (!ok) {
      out.push_back(c);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return utf8(out);
}

namespace {

Value textOf(const uint8_t* p, size_t size) { return Value(StringRef(decodeUtf8Bytes(p, size))); }

}  // namespace

std::string bytesAsText(const uint8_t* p, size_t size) {
  if (size >= 2 && ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE))) {
    const bool big = p[0] == 0xFE;
    std::u16string out;
    for (size_t i = 2; i + 1 < size; i += 2)
      out.push_back(static_cast<char16_t>(big ? (p[i] << 8) | p[i + 1] : (p[i + 1] << 8) | p[i]));
    return utf8(out);
  }
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3, size -= 3;
  return decodeUtf8Bytes(p, size);
}

namespace {

// ---- Properties ----

Value length(Machine& m, const Value& self, std::span<Value>) {
  return Value(static_cast<uint32_t>(self_(m, self)->bytes.size()));
}

Value setLength(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  uint32_t n = m.toUint(arg(args, 0));
  if (n > ByteArrayObject::kMaxLength) m.fail(ErrorClass::Error, 1000);
  b->bytes.resize(n);
  if (b->position > n) b->position = n;
  return Value();
}

Value position(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->position);
}

Value setPosition(Machine& m, const Value& self, std::span<Value> args) {
  self_(m, self)->position = m.toUint(arg(args, 0));
  return Value();
}

Value bytesAvailable(Machine& m, const Value& self, std::span<Value>) {
  ByteArrayObject* b = self_(m, self);
  size_t size = b->bytes.size();
  return Value(static_cast<uint32_t>(b->position < size ? size - b->position : 0));
}

Value endian(Machine& m, const Value& self, std::span<Value>) {
  return Value(m.intern(self_(m, self)->bigEndian ? "bigEndian" : "littleEndian"));
}

Value setEndian(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  if (arg(args, 0).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"type"});
  std::string e = m.toText(arg(args, 0));
  if (e == "bigEndian") b->bigEndian = true;
  else if (e == "littleEndian") b->bigEndian = false;
  else m.fail(ErrorClass::ArgumentError, 2008, {"type"});
  return Value();
}

Value objectEncoding(Machine& m, const Value& self, std::span<Value>) {
  return Value(self_(m, self)->objectEncoding);
}

Value setObjectEncoding(Machine& m, const Value& self, std::span<Value> args) {
  uint32_t e = m.toUint(arg(args, 0));
  if (e != 0 && e != 3) m.fail(ErrorClass::ArgumentError, 2008, {"version"});
  self_(m, self)->objectEncoding = e;
  return Value();
}

// ---- Reads ----

Value readBoolean(Machine& m, const Value& self, std::span<Value>) {
  return Value(*take(m, self_(m, self), 1) != 0);
}
Value readByte(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(int8_t(*take(m, self_(m, self), 1))));
}
Value readUnsignedByte(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(*take(m, self_(m, self), 1)));
}
Value readShort(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(int16_t(readUnsigned(m, self_(m, self), 2))));
}
Value readUnsignedShort(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(readUnsigned(m, self_(m, self), 2)));
}
Value readInt(Machine& m, const Value& self, std::span<Value>) {
  return Value(int32_t(uint32_t(readUnsigned(m, self_(m, self), 4))));
}
Value readUnsignedInt(Machine& m, const Value& self, std::span<Value>) {
  return Value(uint32_t(readUnsigned(m, self_(m, self), 4)));
}
Value readFloat(Machine& m, const Value& self, std::span<Value>) {
  auto bits = uint32_t(readUnsigned(m, self_(m, self), 4));
  float f;
  std::memcpy(&f, &bits, 4);
  return Value(double(f));
}
Value readDouble(Machine& m, const Value& self, std::span<Value>) {
  uint64_t bits = readUnsigned(m, self_(m, self), 8);
  double d;
  std::memcpy(&d, &bits, 8);
  return Value(d);
}

// The text of `size` bytes read as UTF: a mark is skipped, a NUL ends it.
Value utfText(const uint8_t* p, size_t size) {
  if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    p += 3;
    size -= 3;
  }
  const void* nul = std::memchr(p, 0, size);
  return textOf(p, nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : size);
}

Value readUTF(Machine& m, const Value& self, std::span<Value>) {
  ByteArrayObject* b = self_(m, self);
  auto size = static_cast<size_t>(readUnsigned(m, b, 2));
  return utfText(take(m, b, size), size);
}

Value readUTFBytes(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  size_t size = m.toUint(arg(args, 0));
  return utfText(take(m, b, size), size);
}

bool isLatin1(std::string charset) {
  for (char& c : charset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii" ||
         charset == "windows-1252" || charset == "ascii";
}

Value readMultiByte(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  size_t size = m.toUint(arg(args, 0));
  if (arg(args, 1).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"charSet"});
  const uint8_t* p = take(m, b, size);
  if (!isLatin1(m.toText(arg(args, 1)))) return textOf(p, size);
  std::u16string out(p, p + size);
  return Value(StringRef(utf8(out)));
}

ByteArrayObject* bytesArg(Machine& m, std::span<Value> args) {
  Value v = arg(args, 0);
  if (v.isNullish()) m.fail(ErrorClass::TypeError, 2007, {"bytes"});
  auto* b = v.isObject() ? dynamic_cast<ByteArrayObject*>(v.asObject()) : nullptr;
  if (!b) m.fail(ErrorClass::TypeError, 1034, {m.className(v), "flash.utils.ByteArray"});
  return b;
}

Value readBytes(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  ByteArrayObject* into = bytesArg(m, args);
  uint32_t offset = m.toUint(arg(args, 1));
  size_t available = b->position < b->bytes.size() ? b->bytes.size() - b->position : 0;
  size_t count = m.toUint(arg(args, 2));
  if (count == 0) count = available;
  if (count > available) endOfFile(m);
  if (size_t(offset) + count > ByteArrayObject::kMaxLength) m.fail(ErrorClass::RangeError, 2006);
  std::vector<uint8_t> chunk(b->bytes.begin() + b->position, b->bytes.begin() + b->position + count);
  b->position += static_cast<uint32_t>(count);
  if (into->bytes.size() < offset + count) into->bytes.resize(offset + count);
  if (count) std::memcpy(into->bytes.data() + offset, chunk.data(), count);
  return Value();
}

// ---- Writes ----

Value writeBoolean(Machine& m, const Value& self, std::span<Value> args) {
  writeUnsigned(m, self_(m, self), toBoolean(arg(args, 0)) ? 1 : 0, 1);
  return Value();
}
Value writeByte(Machine& m, const Value& self, std::span<Value> args) {
  writeUnsigned(m, self_(m, self), uint32_t(m.toInt(arg(args, 0))), 1);
  return Value();
}
Value writeShort(Machine& m, const Value& self, std::span<Value> args) {
  writeUnsigned(m, self_(m, self), uint32_t(m.toInt(arg(args, 0))), 2);
  return Value();
}
Value writeInt(Machine& m, const Value& self, std::span<Value> args) {
  writeUnsigned(m, self_(m, self), uint32_t(m.toInt(arg(args, 0))), 4);
  return Value();
}
Value writeUnsignedInt(Machine& m, const Value& self, std::span<Value> args) {
  writeUnsigned(m, self_(m, self), m.toUint(arg(args, 0)), 4);
  return Value();
}
Value writeFloat(Machine& m, const Value& self, std::span<Value> args) {
  auto f = static_cast<float>(m.toNumber(arg(args, 0)));
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  writeUnsigned(m, self_(m, self), bits, 4);
  return Value();
}
Value writeDouble(Machine& m, const Value& self, std::span<Value> args) {
  double d = m.toNumber(arg(args, 0));
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  writeUnsigned(m, self_(m, self), bits, 8);
  return Value();
}

std::string_view textArg(Machine& m, std::span<Value> args, StringRef& hold, const char* name) {
  if (arg(args, 0).isNullish()) m.fail(ErrorClass::TypeError, 2007, {name});
  hold = m.toString(arg(args, 0));
  return hold.view();
}

Value writeUTF(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  StringRef hold;
  std::string_view s = textArg(m, args, hold, "value");
  if (s.size() > 65535) m.fail(ErrorClass::RangeError, 2006);
  writeUnsigned(m, b, s.size(), 2);
  writeRaw(m, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
  return Value();
}

Value writeUTFBytes(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  StringRef hold;
  std::string_view s = textArg(m, args, hold, "value");
  writeRaw(m, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
  return Value();
}

Value writeMultiByte(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  StringRef hold;
  std::string_view s = textArg(m, args, hold, "value");
  if (arg(args, 1).isNullish()) m.fail(ErrorClass::TypeError, 2007, {"charSet"});
  if (!isLatin1(m.toText(arg(args, 1)))) {
    writeRaw(m, b, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    return Value();
  }
  std::u16string units = utf16(s);
  std::vector<uint8_t> out;
  for (char16_t c : units) out.push_back(c < 256 ? uint8_t(c) : uint8_t('?'));
  writeRaw(m, b, out.data(), out.size());
  return Value();
}

Value writeBytes(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  ByteArrayObject* from = bytesArg(m, args);
  uint32_t offset = m.toUint(arg(args, 1));
  size_t count = m.toUint(arg(args, 2));
  size_t size = from->bytes.size();
  if (offset > size) m.fail(ErrorClass::RangeError, 2006);
  if (count == 0) count = size - offset;
  if (count > size - offset) m.fail(ErrorClass::RangeError, 2006);
  std::vector<uint8_t> chunk(from->bytes.begin() + offset, from->bytes.begin() + offset + count);
  writeRaw(m, b, chunk.data(), chunk.size());
  return Value();
}

// ---- Compression ----

enum class Format { Zlib, Deflate };

Format formatArg(Machine& m, std::span<Value> args) {
  if (args.empty()) return Format::Zlib;
  if (args[0].isNullish()) m.fail(ErrorClass::TypeError, 2007, {"algorithm"});
  std::string a = m.toText(args[0]);
  if (a == "zlib") return Format::Zlib;
  if (a == "deflate") return Format::Deflate;
  failAs(m, "flash.errors.IOError", 2058, "There was an error decompressing the data.");
}

void compressInto(Machine& m, ByteArrayObject* b, Format f) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, f == Format::Zlib ? 15 : -15, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK)
    m.fail(ErrorClass::Error, 1000);
  std::vector<uint8_t> out(deflateBound(&z, static_cast<uLong>(b->bytes.size())));
  z.next_in = b->bytes.data();
  z.avail_in = static_cast<uInt>(b->bytes.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) m.fail(ErrorClass::Error, 1000);
  b->bytes = std::move(out);
  b->position = static_cast<uint32_t>(b->bytes.size());
}

void uncompressInto(Machine& m, ByteArrayObject* b, Format f) {
  if (b->bytes.empty()) {
    b->position = 0;
    return;
  }
  z_stream z{};
  if (inflateInit2(&z, f == Format::Zlib ? 15 : -15) != Z_OK) m.fail(ErrorClass::Error, 1000);
  std::vector<uint8_t> out;
  uint8_t chunk[16384];
  z.next_in = b->bytes.data();
  z.avail_in = static_cast<uInt>(b->bytes.size());
  int r = Z_OK;
  while (r == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    r = inflate(&z, Z_NO_FLUSH);
    if (r != Z_OK && r != Z_STREAM_END) break;
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    if (out.size() > ByteArrayObject::kMaxLength) r = Z_MEM_ERROR;
    if (r == Z_OK && z.avail_in == 0 && z.avail_out != 0) r = Z_BUF_ERROR;  // truncated
  }
  inflateEnd(&z);
  if (r != Z_STREAM_END)
    failAs(m, "flash.errors.IOError", 2058, "There was an error decompressing the data.");
  b->bytes = std::move(out);
  b->position = 0;
}

Value compress(Machine& m, const Value& self, std::span<Value> args) {
  compressInto(m, self_(m, self), formatArg(m, args));
  return Value();
}
Value uncompress(Machine& m, const Value& self, std::span<Value> args) {
  uncompressInto(m, self_(m, self), formatArg(m, args));
  return Value();
}
Value deflateMethod(Machine& m, const Value& self, std::span<Value>) {
  compressInto(m, self_(m, self), Format::Deflate);
  return Value();
}
Value inflateMethod(Machine& m, const Value& self, std::span<Value>) {
  uncompressInto(m, self_(m, self), Format::Deflate);
  return Value();
}

// ---- Objects ----

String* defaultEncodingName(Machine& m) { return m.intern("defaultObjectEncoding"); }

// The class's default encoding, kept beside its static accessor.
uint32_t defaultEncoding(Machine& m) {
  ClassObject* c = m.findClass("flash.utils.ByteArray");
  const Value* v = c ? c->findOwn(defaultEncodingName(m)) : nullptr;
  return v ? m.toUint(*v) : 3;
}

Value getDefaultEncoding(Machine& m, const Value&, std::span<Value>) {
  return Value(defaultEncoding(m));
}

Value setDefaultEncoding(Machine& m, const Value&, std::span<Value> args) {
  uint32_t e = m.toUint(arg(args, 0));
  if (e != 0 && e != 3) m.fail(ErrorClass::ArgumentError, 2008, {"version"});
  m.findClass("flash.utils.ByteArray")->setHidden(defaultEncodingName(m), Value(e));
  return Value();
}

Value writeObject(Machine& m, const Value& self, std::span<Value> args) {
  ByteArrayObject* b = self_(m, self);
  std::vector<uint8_t> out;
  writeAmf(m, out, arg(args, 0), b->objectEncoding == 0);
  writeRaw(m, b, out.data(), out.size());
  return Value();
}

Value readObject(Machine& m, const Value& self, std::span<Value>) {
  ByteArrayObject* b = self_(m, self);
  if (b->position >= b->bytes.size()) endOfFile(m);
  size_t at = b->position;
  // Objects of registered classes run their constructors and readExternal while they are
  // read: they read from a copy no script can change under the reader.
  const bool scriptsMayRun = !m.packageState<AmfAliasState>().classByAlias.empty();
  std::vector<uint8_t> copy;
  if (scriptsMayRun) copy = b->bytes;
  const std::vector<uint8_t>& source = scriptsMayRun ? copy : b->bytes;
  Value v = readAmf(m, source.data(), source.size(), at, b->objectEncoding == 0);
  b->position = static_cast<uint32_t>(at);
  return v;
}

// ---- Whole array ----

Value clear(Machine& m, const Value& self, std::span<Value>) {
  ByteArrayObject* b = self_(m, self);
  b->bytes.clear();
  b->bytes.shrink_to_fit();
  b->position = 0;
  return Value();
}

Value toString(Machine& m, const Value& self, std::span<Value>) {
  const std::vector<uint8_t>& v = self_(m, self)->bytes;
  return Value(StringRef(bytesAsText(v.data(), v.size())));
}

// A subclass linked to binary data in the movie starts with those bytes.
Value init(Machine& m, const Value& self, std::span<Value>) {
  ByteArrayObject* b = self_(m, self);
  b->objectEncoding = defaultEncoding(m);
  for (ClassObject* c = b->klass(); c && c->name && m.host; c = c->base) {
    const std::string name = m.toText(Value(c->name));
    if (name.rfind("flash.", 0) == 0) break;
    if (auto bytes = m.host->linkedBinary(name)) {
      if (bytes->size() <= ByteArrayObject::kMaxLength) b->bytes = std::move(*bytes);
      break;
    }
  }
  return Value();
}

Value toJson(Machine& m, const Value&, std::span<Value>) { return Value(m.intern("ByteArray")); }

const NativeMember kMembers[] = {
    {"length", MemberKind::Getter, length},
    {"length", MemberKind::Setter, setLength},
    {"position", MemberKind::Getter, position},
    {"position", MemberKind::Setter, setPosition},
    {"bytesAvailable", MemberKind::Getter, bytesAvailable},
    {"endian", MemberKind::Getter, endian},
    {"endian", MemberKind::Setter, setEndian},
    {"objectEncoding", MemberKind::Getter, objectEncoding},
    {"objectEncoding", MemberKind::Setter, setObjectEncoding},
    {"readBoolean", MemberKind::Method, readBoolean},
    {"readByte", MemberKind::Method, readByte},
    {"readUnsignedByte", MemberKind::Method, readUnsignedByte},
    {"readShort", MemberKind::Method, readShort},
    {"readUnsignedShort", MemberKind::Method, readUnsignedShort},
    {"readInt", MemberKind::Method, readInt},
    {"readUnsignedInt", MemberKind::Method, readUnsignedInt},
    {"readFloat", MemberKind::Method, readFloat},
    {"readDouble", MemberKind::Method, readDouble},
    {"readUTF", MemberKind::Method, readUTF},
    {"readUTFBytes", MemberKind::Method, readUTFBytes, 1},
    {"readMultiByte", MemberKind::Method, readMultiByte, 2},
    {"readBytes", MemberKind::Method, readBytes, 3},
    {"writeBoolean", MemberKind::Method, writeBoolean, 1},
    {"writeByte", MemberKind::Method, writeByte, 1},
    {"writeShort", MemberKind::Method, writeShort, 1},
    {"writeInt", MemberKind::Method, writeInt, 1},
    {"writeUnsignedInt", MemberKind::Method, writeUnsignedInt, 1},
    {"writeFloat", MemberKind::Method, writeFloat, 1},
    {"writeDouble", MemberKind::Method, writeDouble, 1},
    {"writeUTF", MemberKind::Method, writeUTF, 1},
    {"writeUTFBytes", MemberKind::Method, writeUTFBytes, 1},
    {"writeMultiByte", MemberKind::Method, writeMultiByte, 2},
    {"writeBytes", MemberKind::Method, writeBytes, 3},
    {"compress", MemberKind::Method, compress},
    {"uncompress", MemberKind::Method, uncompress},
    {"deflate", MemberKind::Method, deflateMethod},
    {"inflate", MemberKind::Method, inflateMethod},
    {"clear", MemberKind::Method, clear},
    {"toString", MemberKind::Method, toString},
    {"toJSON", MemberKind::Method, toJson, 1},
    {"writeObject", MemberKind::Method, writeObject, 1},
    {"readObject", MemberKind::Method, readObject},
    {"defaultObjectEncoding", MemberKind::StaticGetter, getDefaultEncoding},
    {"defaultObjectEncoding", MemberKind::StaticSetter, setDefaultEncoding},
};

const NativeMember kEndian[] = {
    {"BIG_ENDIAN", MemberKind::Constant, nullptr, 0, 0, "bigEndian"},
    {"LITTLE_ENDIAN", MemberKind::Constant, nullptr, 0, 0, "littleEndian"},
};

const NativeMember kAlgorithms[] = {
    {"ZLIB", MemberKind::Constant, nullptr, 0, 0, "zlib"},
    {"DEFLATE", MemberKind::Constant, nullptr, 0, 0, "deflate"},
    {"LZMA", MemberKind::Constant, nullptr, 0, 0, "lzma"},
};

}  // namespace

void installByteArray(Machine& m) {
  installClass(m, {.package = "flash.utils",
                   .name = "ByteArray",
                   .members = kMembers,
                   .init = init,
                   .alloc = allocByteArray,
                   .dynamic = false});
  installClass(m, {.package = "flash.utils", .name = "Endian", .members = kEndian, .dynamic = false});
  installClass(m, {.package = "flash.utils",
                   .name = "CompressionAlgorithm",
                   .members = kAlgorithms,
                   .dynamic = false});
}

}  // namespace orv::movie::avm2
