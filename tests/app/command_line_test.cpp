#include "command_line.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace skarvel {
namespace {

TEST(IntegerArgument, ReadsLikeStringToLong) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"3", 3},
      {"0", 0},
      {"-5", -5},
      {"+7", 7},
      {"  \t12", 12},
      {"4x", 4},
      {"auto", 0},
      {"", 0},
      {"-", 0},
      {"1.9", 1},
      {"99999999999999999999", 2147483647},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(readIntegerArgument(text), expected) << text;
  }
}

TEST(CountArgument, AutoDetectsDigitsCountOtherTextIsRefused) {
  using Kind = CountArgument::Kind;
  struct Case {
    std::string text;
    Kind kind;
    std::int32_t value;
  };
  const Case cases[] = {
      {"auto", Kind::detect, 0},      {" AUTO", Kind::detect, 0},
      {"Auto", Kind::detect, 0},      {"\t\naUtO", Kind::detect, 0},
      {"3", Kind::number, 3},         {"0", Kind::number, 0},
      {"3x", Kind::number, 3},        {" -2", Kind::number, -2},
      {"+7", Kind::number, 7},        {"-0", Kind::number, 0},
      {"1.9", Kind::number, 1},       {"99999999999", Kind::number, 2147483647},
      {"-", Kind::invalid, 0},        {"+", Kind::invalid, 0},
      {"+-1", Kind::invalid, 0},      {"x", Kind::invalid, 0},
      {"", Kind::invalid, 0},         {"   ", Kind::invalid, 0},
      {"--yearly", Kind::invalid, 0}, {"-x", Kind::invalid, 0},
      {"b.dat", Kind::invalid, 0},    {".5", Kind::invalid, 0},
      {"aut", Kind::invalid, 0},      {"autox", Kind::invalid, 0},
      {"auto ", Kind::invalid, 0},    {"detect", Kind::invalid, 0},
  };
  for (const Case& c : cases) {
    const CountArgument count = readCountArgument(c.text);
    EXPECT_EQ(count.kind, c.kind) << "'" << c.text << "'";
    EXPECT_EQ(count.value, c.value) << "'" << c.text << "'";
  }
}

// The argument vector of `words` after the program name.
std::vector<std::string> commandLine(const std::vector<std::string>& words) {
  std::vector<std::string> args = {"skarvel"};
  for (const std::string& word : words) {
    args.push_back(word);
  }
  return args;
}

TEST(CommandLine, RefusesCountsThatAreNoNumbers) {
  const std::string hint = " (options go before the file name)";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"a.dat", "b.dat"}, "the header-row count must be a number or \"auto\", not 'b.dat'"},
      {{"flow.dat", "--yearly"},
       "the header-row count must be a number or \"auto\", not '--yearly'" + hint},
      {{"flow.dat", "--stat=sum", "2"},
       "the header-row count must be a number or \"auto\", not '--stat=sum'" + hint},
      {{"flow.dat", "2", "--quiet"},
       "the number of value columns must be a number or \"auto\", not '--quiet'" + hint},
      {{"flow.dat", "2", "x"}, "the number of value columns must be a number or \"auto\", not 'x'"},
      {{"flow.dat", ""}, "the header-row count must be a number or \"auto\", not ''"},
      {{"flow.dat", "-"}, "the header-row count must be a number or \"auto\", not '-'"},
      {{"flow.dat", "-h"}, "the header-row count must be a number or \"auto\", not '-h'"},
      {{"flow.dat", "b.dat", "1", "2"},
       "the header-row count must be a number or \"auto\", not 'b.dat'"},
      {{"--quiet=1", "flow.dat"}, "--quiet takes no value"},
      {{"--progress=yes", "flow.dat"}, "--progress takes no value"},
      {{"--quiet=", "flow.dat"}, "--quiet takes no value"},
      {{"--Quiet", "flow.dat"}, "unknown option --Quiet"},
  };
  for (const auto& [words, error] : cases) {
    const CommandLine line = parseCommandLine(commandLine(words));
    EXPECT_EQ(line.action, Action::usageError) << error;
    EXPECT_EQ(line.error, error);
  }
}

TEST(CommandLine, ReadsCountsFlagsAndIgnoredArguments) {
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> positional;
    std::int32_t headrows;
    std::optional<std::int32_t> valueColumns;
    std::vector<std::string> ignored;
    bool quiet;
    bool progress;
  };
  const Case cases[] = {
      {{"flow.dat"}, {"flow.dat"}, -1, std::nullopt, {}, false, false},
      {{"flow.dat", "auto"}, {"flow.dat", "auto"}, -1, std::nullopt, {}, false, false},
      {{"flow.dat", "2", "AUTO"}, {"flow.dat", "2", "AUTO"}, 2, std::nullopt, {}, false, false},
      {{"flow.dat", "auto", "3"}, {"flow.dat", "auto", "3"}, -1, 3, {}, false, false},
      {{"flow.dat", "3x", "4"}, {"flow.dat", "3x", "4"}, 3, 4, {}, false, false},
      {{"flow.dat", " -2", "0"}, {"flow.dat", " -2", "0"}, -2, 0, {}, false, false},
      // More than three arguments: the column count is ignored with the rest, unread.
      {{"flow.dat", "2", "3", "x"},
       {"flow.dat", "2", "3", "x"},
       2,
       std::nullopt,
       {"3", "x"},
       false,
       false},
      {{"flow.dat", "1", "--yearly", "--quiet"},
       {"flow.dat", "1", "--yearly", "--quiet"},
       1,
       std::nullopt,
       {"--yearly", "--quiet"},
       false,
       false},
      {{"--quiet", "flow.dat"}, {"flow.dat"}, -1, std::nullopt, {}, true, false},
      {{"--progress", "flow.dat", "0"}, {"flow.dat", "0"}, 0, std::nullopt, {}, false, true},
      {{"--quiet", "--progress", "--", "-f.dat", "1"},
       {"-f.dat", "1"},
       1,
       std::nullopt,
       {},
       true,
       true},
      {{"--progress", "--quiet", "--quiet"}, {}, -1, std::nullopt, {}, true, true},
  };
  for (const Case& c : cases) {
    const CommandLine line = parseCommandLine(commandLine(c.words));
    const std::string what = c.words.front() + " ...";
    EXPECT_EQ(line.action, Action::run) << what << ": " << line.error;
    EXPECT_EQ(line.positional, c.positional) << what;
    EXPECT_EQ(line.headrows, c.headrows) << what;
    EXPECT_EQ(line.valueColumns, c.valueColumns) << what;
    EXPECT_EQ(line.ignored, c.ignored) << what;
    EXPECT_EQ(line.options.quiet, c.quiet) << what;
    EXPECT_EQ(line.options.progress, c.progress) << what;
    EXPECT_FALSE(line.options.yearly) << what;
  }
}

}  // namespace
}  // namespace skarvel
