// The --progress texts: the status line for given counts and elapsed seconds, cut to the
// terminal's width, the summary, and what reaches a stream that is not a terminal.
#include "progress.hpp"

#include <gtest/gtest.h>

#include <string>

#include "temp_input.hpp"

namespace skarvel {
namespace {

struct StatusCase {
  const char* what;
  ProgressCounts counts;
  std::optional<std::uint64_t> inputSize;
  double seconds;
  std::string text;
};

TEST(ProgressLine, StatusText) {
  const StatusCase cases[] = {
      {"a quarter read at 1 MB/s: 1.5 MB left take 2 s, rounded up",
       {500'000, 1000, 41, 1},
       2'000'000,
       0.5,
       "skarvel: 25% read, 1000 rows, 41 days, 1 months, 1 MB/s, 2 s left"},
      {"two thirds read",
       {2'000'000, 17'520, 730, 24},
       3'000'000,
       1.0,
       "skarvel: 67% read, 17520 rows, 730 days, 24 months, 2 MB/s, 1 s left"},
      {"a hundredth of a second left shows as 1 s",
       {10'000'000, 1, 2, 3},
       10'100'000,
       1.0,
       "skarvel: 99% read, 1 rows, 2 days, 3 months, 10 MB/s, 1 s left"},
      {"all read",
       {4'000'000, 5, 0, 0},
       4'000'000,
       2.0,
       "skarvel: 100% read, 5 rows, 0 days, 0 months, 2 MB/s, 0 s left"},
      {"more read than the size said: no time left is shown",
       {6'000'000, 5, 0, 0},
       4'000'000,
       2.0,
       "skarvel: 100% read, 5 rows, 0 days, 0 months, 3 MB/s"},
      {"no time elapsed: no rate, no time left",
       {1'000'000, 0, 0, 0},
       4'000'000,
       0.0,
       "skarvel: 25% read, 0 rows, 0 days, 0 months, 0 MB/s"},
      {"unknown size: megabytes read, no time left",
       {2'500'000, 100, 4, 0},
       std::nullopt,
       2.0,
       "skarvel: 2.5 MB read, 100 rows, 4 days, 0 months, 1 MB/s"},
      {"an empty input has no percentage",
       {0, 0, 0, 0},
       0,
       1.0,
       "skarvel: 0.0 MB read, 0 rows, 0 days, 0 months, 0 MB/s"},
      {"a large file",
       {12'345'678'901, 100'000'000, 4'166'666, 136'986},
       24'691'357'802,
       99.5,
       "skarvel: 50% read, 100000000 rows, 4166666 days, 136986 months, 124 MB/s, 100 s left"},
  };
  for (const StatusCase& c : cases) {
    EXPECT_EQ(ProgressLine::statusText(c.counts, c.inputSize, c.seconds), c.text) << c.what;
  }
}

TEST(ProgressLine, StatusTextFitsTheTerminal) {
  const std::string text = "skarvel: 25% read, 1000 rows";  // 28 columns
  const struct {
    std::optional<std::size_t> columns;
    std::string shown;
  } cases[] = {
      {std::nullopt, text}, {80, text}, {29, text}, {28, "skarvel: 25% read, 1000 row"},
      {10, "skarvel: "},    {1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressLine::fitted(text, c.columns), c.shown) << c.columns.value_or(0);
  }
}

TEST(ProgressLine, SummaryText) {
  EXPECT_EQ(ProgressLine::summaryText({8760, 365, 12, 17'000, 520}, 1.234),
            "skarvel: 8760 rows read, 365 days, 12 months, 17000 values accepted, 520 missing, "
            "1.23 s");
  EXPECT_EQ(ProgressLine::summaryText({}, 0.0),
            "skarvel: 0 rows read, 0 days, 0 months, 0 values accepted, 0 missing, 0.00 s");
  EXPECT_EQ(ProgressLine::summaryText({1, 1, 1, 1, 0}, 62.5),
            "skarvel: 1 rows read, 1 days, 1 months, 1 values accepted, 0 missing, 62.50 s");
}

TEST(ProgressLine, WithoutATerminalWritesOnlyTheSummaryLine) {
  const platform::FileHandle out = testing::scratchFile();
  ProgressLine progress(out.get(), false, 1000);
  progress.update({100, 1, 0, 0});
  progress.update({1000, 24, 1, 0});
  progress.finish({24, 1, 0, 48, 0});
  const std::string written = testing::contentOf(out.get());
  const std::string start =
      "skarvel: 24 rows read, 1 days, 0 months, 48 values accepted, 0 missing, ";
  EXPECT_TRUE(written.starts_with(start)) << written;
  EXPECT_TRUE(written.ends_with(" s\n")) << written;
  EXPECT_EQ(written.find('\n'), written.size() - 1) << written;
  EXPECT_EQ(written.find('\r'), std::string::npos) << written;
}

}  // namespace
}  // namespace skarvel
