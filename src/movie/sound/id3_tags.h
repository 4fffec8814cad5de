#pragma once
// The ID3 tags at the start of an MP3 file (ID3v2.2, 2.3 and 2.4), or at its end (ID3v1)
// when it has no other: the text frames (T...) and comments (COMM), as scripts read them.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orv::movie::sound {

struct Id3Frame {
  std::string id;    // four letters (ID3v2.2's three-letter names are given their later ones)
  std::string text;  // UTF-8; a comment's text without its language and description
};

// Every text and comment frame in file order, repeats included. Nothing for a file
// without tags; a damaged tag gives the frames before the damage.
std::vector<Id3Frame> readId3Tags(std::span<const uint8_t> file);

}  // namespace orv::movie::sound
