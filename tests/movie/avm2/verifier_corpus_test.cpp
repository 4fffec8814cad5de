// Every method body of the corpus's ActionScript 3 movies decodes and verifies, except in
// movies whose reference output shows a VerifyError: the verifier refuses none of the code
// the player accepts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <variant>

#include "movie/abc/reader.h"
#include "movie/avm2/decoder.h"
#include "movie/swf/reader.h"

namespace fs = std::filesystem;

namespace orv::movie::avm2 {
namespace {

TEST(Avm2VerifierCorpus, EveryMethodBodyOfTheCorpusVerifies) {
  const fs::path root = ORV_CORPUS_DIR;
  if (!fs::exists(root)) GTEST_SKIP() << "no corpus at " << root;
  std::vector<fs::path> movies;
  for (const char* suite : {"avm2", "from_avmplus"}) {
    if (!fs::exists(root / suite)) continue;
    for (const auto& e : fs::recursive_directory_iterator(root / suite))
      if (e.is_regular_file() && e.path().extension() == ".swf") movies.push_back(e.path());
  }
  std::sort(movies.begin(), movies.end());
  size_t bodies = 0, instructions = 0;
  std::map<int, int> failuresById;
  bool expectsVerifyError = false;
  auto verifyBlocks = [&](const swf::Timeline& tl, const std::string& rel) {
    for (const swf::Frame& f : tl.frames)
      for (const swf::DoAbc& a : f.abc) {
        abc::ReadResult r = abc::readAbc(a.bytes);
        if (!r) continue;  // reading is the ABC reader's corpus test
        const abc::AbcFile& file = *r.file;
        for (const abc::MethodBody& body : file.bodies) {
          ++bodies;
          auto decoded = decodeMethod(file, body, "m");
          if (auto* failure = std::get_if<VerifyFailure>(&decoded)) {
            ++failuresById[failure->errorId];
            if (!expectsVerifyError)
              ADD_FAILURE() << rel << " method " << body.method << ": " << failure->message;
          } else {
            instructions += std::get<DecodedMethod>(decoded).code.size();
          }
        }
      }
  };
  for (const fs::path& path : movies) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
    swf::ReadResult r = swf::readMovie(data);
    if (!r.movie) continue;
    const std::string rel = fs::relative(path, root).string();
    std::ifstream reference(path.parent_path() / "output.txt");
    std::string expected((std::istreambuf_iterator<char>(reference)), {});
    expectsVerifyError = expected.find("VerifyError") != std::string::npos;
    verifyBlocks(r.movie->root, rel);
    for (const auto& [id, character] : r.movie->dictionary)
      if (const auto* sprite = std::get_if<swf::SpriteDef>(&character))
        verifyBlocks(sprite->timeline, rel);
  }
  std::cout << "method bodies verified: " << bodies << " (" << instructions << " instructions)";
  for (const auto& [id, count] : failuresById) std::cout << ", #" << id << ": " << count;
  std::cout << "\n";
  EXPECT_GT(bodies, 0u);
}

}  // namespace
}  // namespace orv::movie::avm2
