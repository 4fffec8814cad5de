#include "movie/saves/sol_file.h"

#include "movie/base/bytes.h"

namespace orv::movie::saves {

namespace {
constexpr uint8_t kSignature[] = {'T', 'C', 'S', 'O', 0x00, 0x04, 0x00, 0x00, 0x00, 0x00};

void putU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = uint8_t(v >> 24);
  out[at + 1] = uint8_t(v >> 16);
  out[at + 2] = uint8_t(v >> 8);
  out[at + 3] = uint8_t(v);
}
uint32_t getU32(const std::vector<uint8_t>& in, size_t at) { return base::be32(in.data() + at); }
}  // namespace

std::vector<uint8_t> writeSolEnvelope(const SolEnvelope& envelope) {
  std::vector<uint8_t> out;
  out.reserve(6 + sizeof kSignature + envelope.name.size() + 6 + envelope.members.size());
  out.resize(6);
  out[1] = 0xBF;
  out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
  AmfGraph none;
  Amf0Writer(none, out).name(envelope.name);
  out.insert(out.end(), 4, 0);
  putU32(out, out.size() - 4, envelope.amfVersion);
  out.insert(out.end(), envelope.members.begin(), envelope.members.end());
  putU32(out, 2, uint32_t(out.size() - 6));
  return out;
}

std::optional<SolEnvelope> readSolEnvelope(const std::vector<uint8_t>& bytes, std::string* why) {
  auto fail = [why](const char* reason) -> std::optional<SolEnvelope> {
    if (why) *why = reason;
    return std::nullopt;
  };
  constexpr size_t kHeader = 6 + sizeof kSignature;
  if (bytes.size() < kHeader + 6 || bytes[0] != 0x00 || bytes[1] != 0xBF)
    return fail("not a shared object file");
  if (getU32(bytes, 2) != bytes.size() - 6) return fail("its length does not match the file");
  if (!std::equal(std::begin(kSignature), std::end(kSignature), bytes.begin() + 6))
    return fail("not a shared object file");
  SolEnvelope envelope;
  AmfGraph none;
  Amf0Reader header(bytes.data() + kHeader, bytes.size() - kHeader, none);
  auto name = header.name();
  if (!name) return fail("its name is cut off");
  envelope.name = std::move(*name);
  const size_t versionAt = kHeader + header.offset();
  if (bytes.size() - versionAt < 4) return fail("cut off");
  envelope.amfVersion = getU32(bytes, versionAt);
  if (envelope.amfVersion != 0 && envelope.amfVersion != 3) return fail("of an unknown AMF version");
  envelope.members.assign(bytes.begin() + long(versionAt + 4), bytes.end());
  return envelope;
}

std::vector<uint8_t> writeSol(const SolFile& file) {
  SolEnvelope envelope;
  envelope.name = file.name;
  Amf0Writer amf(file.graph, envelope.members);
  for (const auto& [name, value] : file.members) {
    amf.name(name);
    amf.value(value);
    envelope.members.push_back(0);
  }
  return writeSolEnvelope(envelope);
}

std::optional<SolFile> readSol(const std::vector<uint8_t>& bytes, std::string* why) {
  auto fail = [why](const char* reason) -> std::optional<SolFile> {
    if (why) *why = reason;
    return std::nullopt;
  };
  std::optional<SolEnvelope> envelope = readSolEnvelope(bytes, why);
  if (!envelope) return std::nullopt;
  if (envelope->amfVersion != 0) return fail("written in AMF3");
  SolFile file;
  file.name = std::move(envelope->name);
  const std::vector<uint8_t>& body = envelope->members;
  Amf0Reader members(body.data(), body.size(), file.graph);
  while (!members.atEnd()) {
    auto key = members.name();
    if (!key) return fail("a member's name is cut off");
    auto value = members.value();
    if (!value) return fail("a member's value is cut off or malformed");
    if (!members.skipByte(0)) return fail("a member does not end where it should");
    file.members.emplace_back(std::move(*key), std::move(*value));
  }
  return file;
}

}  // namespace orv::movie::saves
