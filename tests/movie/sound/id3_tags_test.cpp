// ID3 tags read from MP3 files: each version's frame layout, text encodings, comments,
// the old tag at the end, and damaged tags.
#include "movie/sound/id3_tags.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv::movie::sound {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

std::string syncsafe(uint32_t n) {
  return {char((n >> 21) & 0x7f), char((n >> 14) & 0x7f), char((n >> 7) & 0x7f), char(n & 0x7f)};
}
std::string bigEndian(uint32_t n) { return {char(n >> 24), char(n >> 16), char(n >> 8), char(n)}; }

// A version 2.3 or 2.4 frame.
std::string frame(int version, const std::string& id, const std::string& body) {
  const auto n = uint32_t(body.size());
  return id + (version == 4 ? syncsafe(n) : bigEndian(n)) + std::string(2, '\0') + body;
}
std::string tag(int version, const std::string& frames, char flags = 0) {
  return std::string("ID3") + char(version) + '\0' + flags + syncsafe(uint32_t(frames.size())) +
         frames + std::string(10, '\0');  // padding after the frames
}

std::vector<std::pair<std::string, std::string>> read(const std::string& file) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Id3Frame& f : readId3Tags(bytesOf(file))) out.emplace_back(f.id, f.text);
  return out;
}
using Frames = std::vector<std::pair<std::string, std::string>>;

TEST(Id3Tags, TextFramesInEveryEncodingAndComments) {
  const std::string frames =
      frame(3, "TPE1", std::string("\0Caf\xe9", 5)) +                          // Latin-1
      frame(3, "TIT2", std::string("\1\xff\xfeH\0i\0\0\0", 9)) +               // UTF-16, BOM
      frame(3, "TALB", std::string("\2\0O\0k", 5)) +                           // UTF-16BE
      frame(3, "TCON", std::string("\3\xc3\xa9t\xc3\xa9", 6)) +                // UTF-8
      frame(3, "COMM", std::string("\0engDesc\0Said", 13)) +                   // after its description
      frame(3, "COMM", std::string("\1eng\xff\xfe" "D\0\0\0\xff\xfeX\0", 14)) +  // UTF-16 description
      frame(3, "WOAR", "http://example.com") +                                 // no text frame
      frame(3, "APIC", std::string(40, '\x7f'));
  EXPECT_EQ(read(tag(3, frames) + "\xff\xfb"),
            (Frames{{"TPE1", "Caf\xc3\xa9"},
                    {"TIT2", "Hi"},
                    {"TALB", "Ok"},
                    {"TCON", "\xc3\xa9t\xc3\xa9"},
                    {"COMM", "Said"},
                    {"COMM", "X"}}));
}

TEST(Id3Tags, EachVersionsLayout) {
  // 2.4: syncsafe frame sizes (200 bytes would read as 328 the 2.3 way).
  const std::string longText(199, 'a');
  EXPECT_EQ(read(tag(4, frame(4, "TPE1", '\0' + longText) + frame(4, "TALB", std::string("\0B", 2)))),
            (Frames{{"TPE1", longText}, {"TALB", "B"}}));
  // 2.2: three-letter names and sizes, given their later names.
  const std::string v22 = std::string("TT2\0\0\4\0Sun", 10) + std::string("XYZ\0\0\2\0q", 8) +
                          std::string("COM\0\0\7\0eng\0hi", 13);
  EXPECT_EQ(read(tag(2, v22)), (Frames{{"TIT2", "Sun"}, {"COMM", "hi"}}));
  // 2.3 with an extended header before the frames.
  const std::string extended = bigEndian(6) + std::string(6, '\0');
  EXPECT_EQ(read(tag(3, extended + frame(3, "TYER", std::string("\0" "1999", 5)), '\x40')),
            (Frames{{"TYER", "1999"}}));
  // 1.1 at the end of a file without the newer tag.
  std::string v1 = "TAG" + std::string("Song").append(26, '\0') + std::string("Band").append(26, ' ') +
                   std::string(30, '\0') + "2001" + std::string("Nice").append(24, '\0') +
                   std::string{'\0', '\7', '\x11'};
  EXPECT_EQ(read(std::string(300, '\xff') + v1),
            (Frames{{"TIT2", "Song"}, {"TPE1", "Band"}, {"TYER", "2001"}, {"COMM", "Nice"},
                    {"TRCK", "7"}}));
  EXPECT_TRUE(read(std::string(500, '\xff')).empty());
}

TEST(Id3Tags, DamagedTagsGiveWhatCameBefore) {
  const std::string good = frame(3, "TPE1", std::string("\0A", 2));
  // A frame claiming more than the tag holds, a tag claiming more than the file holds,
  // unknown encodings, empty frames, a cut-off header: no crash, what read well stays.
  EXPECT_EQ(read(tag(3, good + "TALB" + bigEndian(0x7fffffff) + "\0\0")), (Frames{{"TPE1", "A"}}));
  std::string longer = tag(3, good);
  longer[6] = 0x7f;
  EXPECT_EQ(read(longer), (Frames{{"TPE1", "A"}}));
  EXPECT_EQ(read(tag(3, frame(3, "TIT2", std::string("\x09zz", 3)) + frame(3, "TALB", "") + good)),
            (Frames{{"TPE1", "A"}}));
  EXPECT_TRUE(read("ID3\3\0").empty());
  EXPECT_TRUE(read(std::string("ID3\7\0\0\0\0\0\2ab", 12)).empty());  // no such version
  EXPECT_EQ(read(tag(3, frame(3, "COMM", std::string("\0en", 3)) + good)), (Frames{{"TPE1", "A"}}));
}

}  // namespace
}  // namespace orv::movie::sound
