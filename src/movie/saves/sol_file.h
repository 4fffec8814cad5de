#pragma once
// The .sol file a Flash player keeps a local shared object in: a header ("TCSO" and the
// object's name), then each member of the object's data with its value.
//
//   00 BF, u32 length of what follows, "TCSO", 00 04 00 00 00 00,
//   u16 name length, name, u32 AMF version (0: AMF0, 3: AMF3),
//   then per member: its name (AMF0: u16 length and bytes; AMF3: an AMF3 string), its
//   value, 00.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "movie/saves/amf.h"

namespace orv::movie::saves {

struct SolFile {
  std::string name;
  AmfGraph graph;
  std::vector<std::pair<std::string, AmfValue>> members;  // the shared object's data
};

// A .sol file's header and its members' bytes as they stand, for whichever AMF version.
struct SolEnvelope {
  std::string name;
  uint32_t amfVersion = 0;
  std::vector<uint8_t> members;
};
std::vector<uint8_t> writeSolEnvelope(const SolEnvelope& envelope);
// nullopt (the reason in `why`) unless the bytes are a whole .sol file of AMF0 or AMF3.
std::optional<SolEnvelope> readSolEnvelope(const std::vector<uint8_t>& bytes,
                                           std::string* why = nullptr);

std::vector<uint8_t> writeSol(const SolFile& file);
// nullopt for a file that is not a shared object this player reads (with the reason in
// `why`): cut off, another format, AMF3, or past the limits.
std::optional<SolFile> readSol(const std::vector<uint8_t>& bytes, std::string* why = nullptr);

}  // namespace orv::movie::saves
