#include <gtest/gtest.h>

#include <set>

#include "output_name.hpp"

namespace skarvel {
namespace {

TEST(PositionOf, LeadingOccurrenceCountsAsNone) {
  EXPECT_EQ(positionOf("abc", "."), 0);
  EXPECT_EQ(positionOf(".abc", "."), 0);
  EXPECT_EQ(positionOf("ab.c", "."), 2);
  EXPECT_EQ(positionOf("a.b.c", "."), 1);
  EXPECT_EQ(positionOf("", "."), 0);
}

TEST(CutSubstring, KeepsTheInclusiveRange) {
  struct Case {
    std::string text;
    std::int32_t start;
    std::int32_t lastOffset;
    std::string expected;
  };
  const Case cases[] = {
      {"flow.dat", 0, 3, "flow"}, {"flow.dat", 0, -1, "flow.dat"}, {"flow.dat", -1, 3, "flow.dat"},
      {"flow.dat", 5, 2, "dat"},  {"flow.dat", 5, 10, "dat"},      {"flow.dat", 0, 0, "f"},
      {"flow.dat", 20, 0, ""},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    cutSubstring(text, c.start, c.lastOffset);
    EXPECT_EQ(text, c.expected) << c.text << " " << c.start << " " << c.lastOffset;
  }
}

struct NameCase {
  std::string input;
  std::string daily;
  std::string monthly;
  std::string nameAfterwards;
};

void expectDerivation(const NameCase& c) {
  std::string name = c.input;
  const DerivedName daily = deriveOutputName('t', name);
  const DerivedName monthly = deriveOutputName('m', name);
  EXPECT_EQ(daily.name, c.daily) << c.input;
  EXPECT_EQ(monthly.name, c.monthly) << c.input;
  EXPECT_EQ(name, c.nameAfterwards) << c.input;
}

TEST(OutputName, DerivesDailyThenMonthlyName) {
  const NameCase cases[] = {
      {"flow.dat", "flow.tat", "flow.mat", "flow.dat"},
      {"flow.x", "flow.t", "flow.m", "flow.x"},
      {"flow", "flow.t$$", "flow.m$$", "flow.$$$"},
      {"flow.", "flow.t", "flow.m", "flow."},
      {"a.b.c", "a.t", "a.m", "a.b.c"},
#ifndef _WIN32
      {"dir.v1\\x.dat", "dir.tat", "dir.mat", "dir.v1\\x.dat"},
      {".\\x.dat", ".\\x.dat.t$$", ".\\x.dat.$$$.m$$", ".\\x.dat.$$$.$$$"},
#endif
  };
  for (const NameCase& c : cases) {
    expectDerivation(c);
  }
}

TEST(OutputName, KeepsDirectoryPart) {
  const NameCase cases[] = {
      {"./flow.dat", "./flow.tat", "./flow.mat", "./flow.dat"},
      {"run.v2/flow.dat", "run.v2/flow.tat", "run.v2/flow.mat", "run.v2/flow.dat"},
      {"../data/flow", "../data/flow.t$$", "../data/flow.m$$", "../data/flow.$$$"},
      {"data/.x.dat", "data/.x.dat.t$$", "data/.x.dat.$$$.m$$", "data/.x.dat.$$$.$$$"},
      {"/abs/a.b/c.d.e", "/abs/a.b/c.t", "/abs/a.b/c.m", "/abs/a.b/c.d.e"},
#ifdef _WIN32
      {"dir.v1\\x.dat", "dir.v1\\x.tat", "dir.v1\\x.mat", "dir.v1\\x.dat"},
      {"C:flow.dat", "C:flow.tat", "C:flow.mat", "C:flow.dat"},
#endif
  };
  for (const NameCase& c : cases) {
    expectDerivation(c);
  }
}

TEST(OutputName, BaseHoldsDirectoryAndCutName) {
  std::string name = "run.v2/flow.dat";
  EXPECT_EQ(deriveOutputName('t', name).base, "run.v2/flow");
  name = "flow";
  EXPECT_EQ(deriveOutputName('t', name).base, "flow");
}

TEST(OutputName, HandlesNamesOfAnyLength) {
  const std::string stem(5000, 'q');
  expectDerivation({stem + ".dat", stem + ".tat", stem + ".mat", stem + ".dat"});
  expectDerivation({stem, stem + ".t$$", stem + ".m$$", stem + ".$$$"});
  const std::string folder = std::string(3000, 'd') + ".x/";
  expectDerivation({folder + stem + ".dat", folder + stem + ".tat", folder + stem + ".mat",
                    folder + stem + ".dat"});
}

TEST(SafeOutputName, FallsBackWhenTheNameWouldBeTheInput) {
  struct Case {
    std::string input;
    std::string daily;
    std::string monthly;
    std::string nameAfterwards;
  };
  const Case cases[] = {
      {"data.txt", "data.t$$", "data.m$$", "data.txt.$$$"},
      {"flow.tat", "flow.t$$", "flow.m$$", "flow.tat.$$$"},
      {"flow.mat", "flow.tat", "flow.m$$", "flow.mat.$$$"},
      {"flow.dat", "flow.tat", "flow.mat", "flow.dat"},
      {"dir/x.tsv", "dir/x.t$$", "dir/x.m$$", "dir/x.tsv.$$$"},
  };
  for (const Case& c : cases) {
    const std::string input = c.input;
    const DenotesInput denotesInput = [&](const std::string& n) { return n == input; };
    std::string name = c.input;
    const SafeName daily = deriveSafeOutputName('t', name, denotesInput);
    const SafeName monthly = deriveSafeOutputName('m', name, denotesInput);
    EXPECT_EQ(daily.outcome, NameOutcome::derived) << c.input;
    EXPECT_EQ(monthly.outcome, NameOutcome::derived) << c.input;
    EXPECT_EQ(daily.derived.name, c.daily) << c.input;
    EXPECT_EQ(monthly.derived.name, c.monthly) << c.input;
    EXPECT_EQ(name, c.nameAfterwards) << c.input;
  }
}

TEST(SafeOutputName, RefusesWhenTheFallbackIsStillTheInput) {
  const DenotesInput denotesInput = [](const std::string& n) { return n == "q.t$$"; };
  std::string name = "q.t$$";
  const SafeName daily = deriveSafeOutputName('t', name, denotesInput);
  EXPECT_EQ(daily.outcome, NameOutcome::wouldOverwriteInput);
  EXPECT_EQ(daily.derived.name, "q.t$$");
}

TEST(SafeOutputName, UsesTheGivenIdentityTest) {
  // Another spelling of the input (a link, "./x") is caught by the identity test, not by text.
  const DenotesInput denotesInput = [](const std::string& n) { return n == "flow.tat"; };
  std::string name = "flow.dat";
  const SafeName daily = deriveSafeOutputName('t', name, denotesInput);
  EXPECT_EQ(daily.derived.name, "flow.t$$");
  EXPECT_EQ(name, "flow.dat.$$$");
}

TEST(SplitPath, SeparatesDirectoryAndFileName) {
  EXPECT_EQ(splitPath("a/b/c.dat").directory, "a/b/");
  EXPECT_EQ(splitPath("a/b/c.dat").fileName, "c.dat");
  EXPECT_EQ(splitPath("c.dat").directory, "");
  EXPECT_EQ(splitPath("/c").directory, "/");
}

}  // namespace
}  // namespace skarvel
