#include "close_writer.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace skarvel {
namespace {

TEST(CloseWriter, WritesTheRowToTheOutputsOfThePeriodAndTheMark) {
  std::vector<AveragesFile> files;
  files.push_back({kDailyFile, "d", std::nullopt, TextWriter::collecting(), FileLayout::classic});
  files.push_back({kMonthlyFile, "m", std::nullopt, TextWriter::collecting(), FileLayout::csv});
  TextWriter marks = TextWriter::collecting();
  const SummaryRules rules;
  CloseWriter closes(files, marks, rules);
  Accumulators accumulators = *Accumulators::create(1, rules.statistic);
  accumulators.countRow();
  accumulators.addToDay(0, 2.5);
  accumulators.merge(Period::day, Period::month);
  struct Case {
    Period period;
    std::string daily;  // everything written so far
    std::string monthly;
    std::string marks;
  };
  const Case cases[] = {
      {Period::day, "2001\t1\t31\t24\t2.5\n", "", "."},
      {Period::month, "2001\t1\t31\t24\t2.5\n", "2001-01-31,2.5\n", ".1/2001\n"},
      {Period::year, "2001\t1\t31\t24\t2.5\n", "2001-01-31,2.5\n", ".1/2001\n"},
  };
  for (const Case& c : cases) {
    closes.write(c.period, {2001, 1, 31, 24}, accumulators);
    EXPECT_EQ(files[0].writer.collected(), c.daily);
    EXPECT_EQ(files[1].writer.collected(), c.monthly);
    EXPECT_EQ(marks.collected(), c.marks);
  }
}

}  // namespace
}  // namespace skarvel
