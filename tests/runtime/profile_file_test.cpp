#include "runtime/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>
#include "temp_dir.h"

namespace orv {
namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.path;
    file_ = (dir_ / "config.ini").string();
  }
  void TearDown() override {
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
  }
  void write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  std::string read() {
    std::ifstream in(file_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  test::TempDir folder_{"orv-profile"};
  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(profile::readInt(file_, "parameters", "Left", 1), 1u);
  write("[other]\r\nLeft=5\r\n");
  EXPECT_EQ(profile::readInt(file_, "parameters", "Left", 12), 12u);
  write("[parameters]\r\nTop=5\r\n");
  EXPECT_EQ(profile::readInt(file_, "parameters", "Left", 1), 1u);
}

TEST_F(ProfileFileTest, NamesCompareWithoutCaseAndBlanksAreIgnored) {
  write("  [ PARAMETERS ]  \r\n  left  =   1035  \r\nTOP=-120\r\n");
  EXPECT_EQ(profile::readInt(file_, "parameters", "Left", 1), 1035u);
  EXPECT_EQ(static_cast<std::int32_t>(profile::readInt(file_, "Parameters", "top", 1)), -120);
}

TEST_F(ProfileFileTest, TheIntegerIsTheOneTheValueBeginsWith) {
  write("[p]\r\na= 1035.5\r\nb=12abc\r\nc=abc\r\nd=\r\ne=\"77\"\r\n");
  EXPECT_EQ(profile::readInt(file_, "p", "a", 1), 1035u);
  EXPECT_EQ(profile::readInt(file_, "p", "b", 1), 12u);
  EXPECT_EQ(profile::readInt(file_, "p", "c", 1), 0u);
  EXPECT_EQ(profile::readInt(file_, "p", "d", 9), 9u) << "an empty value reads as missing";
  EXPECT_EQ(profile::readInt(file_, "p", "e", 1), 77u) << "one pair of quotes is dropped";
  EXPECT_EQ(profile::leadingInteger("  -0042x"), -42);
}

TEST_F(ProfileFileTest, WritingCreatesTheFileAndSectionThenAppendsAndReplacesInPlace) {
  ASSERT_TRUE(profile::writeString(file_, "parameters", "hwnd", " 1234"));
  EXPECT_EQ(read(), "[parameters]\r\nhwnd= 1234\r\n");
  ASSERT_TRUE(profile::writeString(file_, "parameters", "Left", " 1035"));
  ASSERT_TRUE(profile::writeString(file_, "PARAMETERS", "HWND", "-5"));
  EXPECT_EQ(read(), "[parameters]\r\nhwnd=-5\r\nLeft= 1035\r\n");
  ASSERT_TRUE(profile::writeString(file_, "second", "x", "1"));
  EXPECT_EQ(read(), "[parameters]\r\nhwnd=-5\r\nLeft= 1035\r\n\r\n[second]\r\nx=1\r\n");
  ASSERT_TRUE(profile::writeString(file_, "parameters", "Top", " 690"));
  EXPECT_EQ(read(), "[parameters]\r\nhwnd=-5\r\nLeft= 1035\r\nTop= 690\r\n\r\n[second]\r\nx=1\r\n");
  EXPECT_EQ(profile::readString(file_, "parameters", "top").value(), "690");
}

TEST_F(ProfileFileTest, AnUnwritableFileKeepsItsContents) {
  if (::getuid() == 0) GTEST_SKIP() << "root writes read-only files";
  write("[parameters]\r\nhwnd= 7\r\n");
  std::filesystem::permissions(file_, std::filesystem::perms::owner_read);
  EXPECT_FALSE(profile::writeString(file_, "parameters", "Left", " 1"));
  EXPECT_EQ(read(), "[parameters]\r\nhwnd= 7\r\n");
}

}  // namespace
}  // namespace orv
