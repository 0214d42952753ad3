// The platform layer on a real file system: when two names denote one file, what opens for
// reading, and what ends the directory part of a path.
#include "platform.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace skarvel {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class PlatformFiles : public ::testing::Test {
 protected:
  PlatformFiles() {
    std::random_device seed;
    root_ = fs::temp_directory_path() /
            ("skarvel-platform-" + std::to_string(seed()) + std::to_string(seed()));
    fs::create_directories(root_ / "a");
  }
  ~PlatformFiles() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string path(const std::string& relative) const { return (root_ / relative).string(); }
  void write(const std::string& relative, const std::string& content) const {
    std::ofstream(root_ / relative, std::ios::binary) << content;
  }

  fs::path root_;
};

TEST_F(PlatformFiles, SameFileKnowsOneFileByAnyName) {
  write("a/x", "same");
  write("a/y", "same");
  fs::create_hard_link(path("a/x"), path("hard"));
  struct Case {
    const char* name;
    std::string first;
    std::string second;
    bool same;
  };
  const Case cases[] = {
      {"the same text", path("a/x"), path("a/x"), true},
      {"the same text of a missing file", path("none"), path("none"), true},
      {"the same relative text", "not/there", "not/there", true},
      {"a detour through the parent", path("a/x"), path("a/../a/x"), true},
      {"a detour through the current folder", path("a/./x"), path("a/x"), true},
      {"a doubled separator", path("a//x"), path("a/x"), true},
      {"a hard link", path("hard"), path("a/x"), true},
      {"two files with the same content", path("a/x"), path("a/y"), false},
      {"a file and a missing file", path("a/x"), path("a/missing"), false},
      {"a missing file and a file", path("a/missing"), path("a/x"), false},
      {"two missing files", path("a/missing"), path("missing"), false},
      {"a file and its folder", path("a/x"), path("a"), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::sameFile(c.first, c.second), c.same) << c.name;
  }
}

#ifndef _WIN32
TEST_F(PlatformFiles, SameFileFollowsSymbolicLinks) {
  write("a/x", "data");
  fs::create_symlink("a/x", root_ / "link");
  fs::create_symlink("link", root_ / "link2");
  fs::create_symlink("missing", root_ / "dangling");
  EXPECT_TRUE(platform::sameFile(path("link"), path("a/x")));
  EXPECT_TRUE(platform::sameFile(path("a/x"), path("link2")));
  EXPECT_FALSE(platform::sameFile(path("link"), path("a/y")));
  EXPECT_FALSE(platform::sameFile(path("dangling"), path("missing")));
}
#endif

TEST_F(PlatformFiles, OpenForReadingGivesTheBytesOfAFileOnly) {
  write("a/x",
        "line\r\nnext\x1A"
        "rest");
  {
    const platform::FileHandle file = platform::openForReading(path("a/x"));
    ASSERT_NE(file, nullptr);
    char bytes[32];
    const std::size_t got = std::fread(bytes, 1, sizeof bytes, file.get());
    EXPECT_EQ(std::string(bytes, got),
              "line\r\nnext\x1A"
              "rest");
  }
  EXPECT_EQ(platform::openForReading(path("a")), nullptr);
  EXPECT_EQ(platform::openForReading(path("a/")), nullptr);
  EXPECT_EQ(platform::openForReading(root_.string()), nullptr);
  EXPECT_EQ(platform::openForReading(path("a/missing")), nullptr);
  EXPECT_EQ(platform::openForReading(""), nullptr);
}

TEST(PathSeparator, EndsTheDirectoryPart) {
  EXPECT_TRUE(platform::isPathSeparator('/'));
  for (const char c : {'a', '.', '$', ' ', '\0', '-'}) {
    EXPECT_FALSE(platform::isPathSeparator(c)) << int{c};
  }
#ifdef _WIN32
  EXPECT_TRUE(platform::isPathSeparator('\\'));
  EXPECT_TRUE(platform::isPathSeparator(':'));
#else
  EXPECT_FALSE(platform::isPathSeparator('\\'));
  EXPECT_FALSE(platform::isPathSeparator(':'));
#endif
}

}  // namespace
}  // namespace skarvel
