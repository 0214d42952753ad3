// The platform layer on a real file system: when two names denote one file, what opens for
// reading, what tells that an open file changed, the lock of a run's outputs, and what ends the
// directory part of a path.
// The conversions that carry file names between the tool's UTF-8 and the UTF-16 of the Windows
// file API: exact for every name Windows can hold, including unpaired surrogates.
#include "platform.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

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

// A name that cannot be opened, and why.
struct Refused {
  const char* what;
  std::string name;
  int errorNumber;
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
    const platform::FileHandle file = platform::openForReading(path("a/x")).file;
    ASSERT_NE(file, nullptr);
    char bytes[32];
    const std::size_t got = std::fread(bytes, 1, sizeof bytes, file.get());
    EXPECT_EQ(std::string(bytes, got),
              "line\r\nnext\x1A"
              "rest");
  }
  const Refused cases[] = {
      {"a folder", path("a"), EISDIR},
      {"a folder with a separator", path("a/"), EISDIR},
      {"the root of the files", root_.string(), EISDIR},
      {"a missing file", path("a/missing"), ENOENT},
      {"no name", "", ENOENT},
  };
  for (const Refused& c : cases) {
    const platform::Opened opened = platform::openForReading(c.name);
    EXPECT_EQ(opened.file, nullptr) << c.what;
    EXPECT_EQ(opened.errorNumber, c.errorNumber) << c.what;
  }
}

TEST_F(PlatformFiles, AtomicOutputTellsWhyItCannotStart) {
#ifdef _WIN32
  constexpr int kNoFolder = EACCES;  // what the file API refuses is no access, but a taken name
#else
  constexpr int kNoFolder = ENOENT;
#endif
  const Refused cases[] = {
      {"a folder", path("a"), EISDIR},
      {"in a missing folder", path("missing/x"), kNoFolder},
      {"a temporary name too long to keep", path(std::string(4096, 'x') + "/x"), ENAMETOOLONG},
  };
  for (const Refused& c : cases) {
    const platform::AtomicOutput output = platform::AtomicOutput::create(c.name);
    EXPECT_FALSE(output.isOpen()) << c.what;
    EXPECT_EQ(output.errorNumber(), c.errorNumber) << c.what;
  }
}

TEST_F(PlatformFiles, ObserveFileTellsThatAFileChanged) {
  const std::string content = "2001 1 1 24 1.5\n";
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"cut short", [&] { EXPECT_EQ(platform::resizeFile(path("a/x"), 5), 0); }},
      {"appended to", [&] { std::ofstream(root_ / "a/x", std::ios::app) << "2"; }},
      {"rewritten in its size, a second later",
       [&] {
         const fs::file_time_type before = fs::last_write_time(root_ / "a/x");
         write("a/x", std::string(content.size(), '0'));
         fs::last_write_time(root_ / "a/x", before + std::chrono::seconds(1));
       }},
  };
  for (const auto& [what, change] : changes) {
    write("a/x", content);
    const platform::FileHandle file = platform::openForReading(path("a/x")).file;
    const platform::Observed opened = platform::observeFile(file.get());
    ASSERT_TRUE(opened.state) << what;
    EXPECT_EQ(opened.state->size, content.size()) << what;
    EXPECT_EQ(platform::observeFile(file.get()).state, opened.state) << what;
    change();
    EXPECT_NE(platform::observeFile(file.get()).state, opened.state) << what;
  }
}

TEST(PlatformStreams, APipeHasNoFileStateAndNoTerminalWidth) {
  int ends[2] = {-1, -1};
#ifdef _WIN32
  ASSERT_EQ(_pipe(ends, 256, _O_BINARY), 0);
#else
  ASSERT_EQ(pipe(ends), 0);
#endif
  const platform::FileHandle reading(fdopen(ends[0], "rb"));
  const platform::FileHandle writing(fdopen(ends[1], "wb"));
  EXPECT_EQ(platform::observeFile(reading.get()).errorNumber, 0);
  EXPECT_FALSE(platform::observeFile(reading.get()).state);
  EXPECT_FALSE(platform::terminalColumns(writing.get()));
}

// The lock of a run's outputs, tried without waiting where another holds it.
class OutputLock : public PlatformFiles {
 protected:
  static platform::OutputSetLock tryLock(const std::string& output) {
    return platform::OutputSetLock::take(output, std::chrono::milliseconds(0));
  }
  bool lockFileExists() const { return fs::exists(root_ / "a" / ".flow.tat.skarvel-lock"); }
};

TEST_F(OutputLock, IsHeldByOneAtATimeAndLeavesNoFile) {
  write("a/.flow.tat.skarvel-lock", "");  // as a killed run leaves it
  {
    const platform::OutputSetLock held = tryLock(path("a/flow.tat"));
    ASSERT_TRUE(held.isHeld());
    EXPECT_TRUE(lockFileExists());
    EXPECT_EQ(tryLock(path("a/flow.tat")).errorNumber(), EBUSY);
  }
  EXPECT_FALSE(lockFileExists());
  EXPECT_TRUE(tryLock(path("a/flow.tat")).isHeld());
  EXPECT_FALSE(lockFileExists());
#ifdef _WIN32
  EXPECT_EQ(tryLock(path("missing/flow.tat")).errorNumber(), EACCES);
#else
  EXPECT_EQ(tryLock(path("missing/flow.tat")).errorNumber(), ENOENT);
#endif
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
#include "seeded_random.hpp"

namespace skarvel::platform {
namespace {

struct Encoded {
  const char* what;
  std::u16string utf16;
  std::string utf8;
};

TEST(Utf16Conversion, BothWays) {
  const Encoded cases[] = {
      {"empty", u"", ""},
      {"ASCII", u"flow.dat", "flow.dat"},
      {"last one-byte", u"\u007F", "\x7F"},
      {"first two-byte", u"\u0080", "\xC2\x80"},
      {"S with caron", u"\u0160ibenik", "\xC5\xA0ibenik"},
      {"last two-byte", u"\u07FF", "\xDF\xBF"},
      {"first three-byte", u"\u0800", "\xE0\xA0\x80"},
      {"Tokyo", u"\u6771\u4EAC.dat", "\xE6\x9D\xB1\xE4\xBA\xAC.dat"},
      {"last of the basic plane", u"\uFFFF", "\xEF\xBF\xBF"},
      {"first surrogate pair", u"\U00010000", "\xF0\x90\x80\x80"},
      {"last code point", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {"unpaired high surrogate", std::u16string{0xD800, u'a'},
       "\xED\xA0\x80"
       "a"},
      {"unpaired low surrogate", std::u16string{0xDFFF}, "\xED\xBF\xBF"},
      {"low before high", std::u16string{0xDC00, 0xD800}, "\xED\xB0\x80\xED\xA0\x80"},
      {"high surrogate at the end", std::u16string{u'x', 0xDBFF}, "x\xED\xAF\xBF"},
  };
  for (const Encoded& c : cases) {
    EXPECT_EQ(utf8FromUtf16(c.utf16), c.utf8) << c.what;
    EXPECT_EQ(utf16FromUtf8(c.utf8), c.utf16) << c.what;
  }
}

TEST(Utf16Conversion, MalformedUtf8ReadsAsReplacementPerByte) {
  const Encoded cases[] = {
      {"lone continuation byte", u"a\uFFFDb",
       "a\x80"
       "b"},
      {"overlong two-byte lead", u"\uFFFD\uFFFD", "\xC0\xAF"},
      {"overlong three-byte form", u"\uFFFD\uFFFD\uFFFD", "\xE0\x80\xAF"},
      {"overlong four-byte form", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF0\x80\x80\xAF"},
      {"beyond U+10FFFF", u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80"},
      {"lead byte F5", u"\uFFFD\uFFFD", "\xF5\x80"},
      {"cut short by the end", u"ab\uFFFD\uFFFD", "ab\xE6\x9D"},
      {"cut short by an ASCII byte", u"\uFFFD\uFFFDa",
       "\xE6\x9D"
       "a"},
  };
  for (const Encoded& c : cases) {
    EXPECT_EQ(utf16FromUtf8(c.utf8), c.utf16) << c.what;
  }
}

TEST(Utf16Conversion, EveryUtf16StringComesBackWhole) {
  // Units drawn mostly from the surrogate range and its borders, where pairing decides.
  const char16_t kUnits[] = {u'a',   0x7F,   0x80,   0x7FF,  0x800,  0xD7FF, 0xD800,
                             0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
  skarvel::testing::SeededRandom random(7);
  for (int round = 0; round < 2000; ++round) {
    std::u16string text;
    const int length = random.below(8);
    for (int k = 0; k < length; ++k) {
      text += kUnits[random.below(static_cast<int>(std::size(kUnits)))];
    }
    ASSERT_EQ(utf16FromUtf8(utf8FromUtf16(text)), text) << "round " << round;
  }
}

}  // namespace
}  // namespace skarvel::platform
