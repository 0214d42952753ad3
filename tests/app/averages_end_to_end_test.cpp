// The averaging job end to end: daily and monthly files and console text, byte for byte.
#include "end_to_end.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

class AveragesEndToEnd : public EndToEnd {};

std::string repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) {
    result += text;
  }
  return result;
}

TEST_F(AveragesEndToEnd, TwoDaysOfHourlyData) {
  const std::string input = "date values\n" + hourlyRows(2001, 1, 1, 2, [](int day, int hour) {
                              return std::to_string(hour) + " " + std::to_string(day * 10);
                            });
  const ToolRun result = run(input);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "2 columns \n..fertig..\n");
  EXPECT_EQ(file("flow.tat"),
            "daily_sums_from_flow.dat_:_date values\n"
            "2001\t1\t1\t24\t12.5\t10\n"
            "2001\t1\t2\t24\t12.5\t20\n"
            "0\t0\t0\t0\t0\t0\n");
  EXPECT_EQ(file("flow.mat"), "monthly_sums_from_flow.dat_:_date values\n0\t0\t0\t0\t0\t0\n");
}

TEST_F(AveragesEndToEnd, AMonthOfHourlyDataWithGaps) {
  // Column 1: the hour. Column 2: the day, missing all of day 5 and at hour 3 of every day.
  // Column 3: never accepted.
  const std::string input =
      "h1\nh2\n" + hourlyRows(2001, 1, 1, 31, [](int day, int hour) {
        const std::string second = day == 5 ? "-9999" : hour == 3 ? "-998" : std::to_string(day);
        return std::to_string(hour) + "\t" + second + "\t-1e4";
      });
  const ToolRun result = run(input);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "3 columns \n" + repeat(".", 31) + "1/2001\n" + kDone);

  std::string daily = "daily_sums_from_flow.dat_:_h1\nh2\n";
  for (int day = 1; day <= 31; ++day) {
    daily += "2001\t1\t" + std::to_string(day) + "\t24\t12.5\t" +
             (day == 5 ? "-9999" : std::to_string(day)) + "\t-9999\n";
  }
  // (1 + ... + 31 - 5) / 30 days, 23 values each.
  const std::string totals = "0\t0\t0\t0\t12.5\t16.3667\t0\n";
  EXPECT_EQ(file("flow.tat"), daily + totals);
  EXPECT_EQ(
      file("flow.mat"),
      "monthly_sums_from_flow.dat_:_h1\nh2\n2001\t1\t31\t24\t12.5\t16.3667\t-9999\n" + totals);
}

TEST_F(AveragesEndToEnd, LeapYearsCloseFebruary) {
  const std::string input =
      "2000 2 28 24 1\n2000 2 29 24 2\n"
      "1900 2 28 24 3\n"
      "2004 2 28 24 4\n2004 2 29 24 5\n";
  const ToolRun result = run(input);
  EXPECT_EQ(result.console,
            kBanner + "0 Kopfzeilen..\n\n1 columns \n..2/2000\n.2/1900\n..2/2004\n" + kDone);
  EXPECT_EQ(file("flow.tat"),
            "2000\t2\t28\t24\t1\n2000\t2\t29\t24\t2\n1900\t2\t28\t24\t3\n2004\t2\t28\t24\t4\n"
            "2004\t2\t29\t24\t5\n0\t0\t0\t0\t3\n");
  EXPECT_EQ(file("flow.mat"),
            "2000\t2\t29\t24\t1.5\n1900\t2\t28\t24\t3\n2004\t2\t29\t24\t4.5\n0\t0\t0\t0\t3\n");
}

TEST_F(AveragesEndToEnd, HoursThatNeverReach24) {
  std::string input = "x\n";
  for (int day = 1; day <= 2; ++day) {
    for (int hour = 0; hour <= 23; ++hour) {
      input += "2001 1 " + std::to_string(day) + " " + std::to_string(hour) + " " +
               std::to_string(day * 2 - 1) + "\n";
    }
  }
  const ToolRun result = run(input);
  EXPECT_EQ(result.console, kBanner + "1 columns \n" + kDone);
  EXPECT_EQ(file("flow.tat"), "daily_sums_from_flow.dat_:_x\n0\t0\t0\t0\t2\n");
  EXPECT_EQ(file("flow.mat"), "monthly_sums_from_flow.dat_:_x\n0\t0\t0\t0\t2\n");
}

TEST_F(AveragesEndToEnd, MissingValueThreshold) {
  const std::string input =
      "2001 1 30 24 -998 -997.5 -999\n"
      "2001 1 31 24 -9999 1.5 -998.0000001\n";
  run(input);
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t30\t24\t-9999\t-997.5\t-9999\n2001\t1\t31\t24\t-9999\t1.5\t-9999\n"
            "0\t0\t0\t0\t0\t-498\t0\n");
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t-9999\t-498\t-9999\n0\t0\t0\t0\t0\t-498\t0\n");
}

TEST_F(AveragesEndToEnd, UnfinishedMonthAfterADayCloseStaysOutOfTheTotals) {
  run("2001 1 31 24 2\n2001 2 1 24 100\n");
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t2\n0\t0\t0\t0\t2\n");
}

TEST_F(AveragesEndToEnd, AMonthWithoutItsLastDayRunsIntoTheNext) {
  run("2001 1 30 24 1\n2001 2 28 24 3\n");
  EXPECT_EQ(file("flow.mat"), "2001\t2\t28\t24\t2\n0\t0\t0\t0\t2\n");
}

TEST_F(AveragesEndToEnd, MonthZeroAndMonthsOutOfRange) {
  const ToolRun result = run("0 0 0 24 5\n2001 13 31 24 7\n2001 -1 -1 24 9\n");
  EXPECT_EQ(result.console, kBanner + "0 Kopfzeilen..\n\n1 columns \n.0/0\n.." + kDone);
  EXPECT_EQ(file("flow.mat"), "0\t0\t0\t24\t5\n0\t0\t0\t0\t5\n");
}

TEST_F(AveragesEndToEnd, HeaderCountGivenTooSmall) {
  const std::string input = "title\nyear month day hour q\n2001 1 1 24 4\n";
  const ToolRun result = run(input, {"1"});
  EXPECT_EQ(result.console, kBanner + "1 columns \n" + kDone);
  EXPECT_EQ(file("flow.tat"), "daily_sums_from_flow.dat_:_title\n0\t0\t0\t0\t0\n");
}

TEST_F(AveragesEndToEnd, HeaderCountGivenTooLarge) {
  const std::string input =
      "title\nq\n2001 1 1 24 1\n2001 1 2 24 2\n2001 1 3 24 3\n2001 1 4 24 4\n";
  const ToolRun result = run(input, {"5"});
  EXPECT_EQ(result.console, kBanner + "1 columns \n." + kDone);
  EXPECT_EQ(file("flow.tat"),
            "daily_sums_from_flow.dat_:_title\nq\n2001 1 1 24 1\n2001 1 2 24 2\n2001 1 3 24 3\n"
            "2001\t1\t4\t24\t4\n0\t0\t0\t0\t0\n");
}

TEST_F(AveragesEndToEnd, HeaderCountBeyondTheEndOfTheInput) {
  const ToolRun result = run("title\n2001 1 1 24 1\n", {"100"});
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(
      result.diagnostics,
      "skarvel: warning: the header-row count 100 copies 1 data row into the header (the rows "
      "from line 2 on start with a number; leave the count out to detect it)\n");
  EXPECT_EQ(result.console, kBanner + "1 columns \n" + kDone);
  EXPECT_EQ(file("flow.tat"), "daily_sums_from_flow.dat_:_title\n2001 1 1 24 1\n0\t0\t0\t0\t0\n");
}

TEST_F(AveragesEndToEnd, RowsWithTooFewAndTooManyValues) {
  // The first row takes its third value from the next line, whose rest is then skipped.
  const std::string input =
      "2001 1 1 24 1 2 3\n"
      "2001 1 2 24 1 2\n"
      "2001 1 3 24 4 5 6\n"
      "2001 1 4 24 7 8 9 10 11\n"
      "2001 1 5 24 1 1 1\n";
  run(input);
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t1\t24\t1\t2\t3\n2001\t1\t2\t24\t1\t2\t2001\n2001\t1\t4\t24\t7\t8\t9\n"
            "2001\t1\t5\t24\t1\t1\t1\n0\t0\t0\t0\t0\t0\t0\n");
}

TEST_F(AveragesEndToEnd, ANonNumericYearEndsTheLoopAndFoldsTheOpenDay) {
  const std::string input = "2001 1 1 1 2\n2001 1 1 2 4\nend of run\n2001 1 1 24 100\n";
  const ToolRun result = run(input);
  EXPECT_EQ(result.console, kBanner + "0 Kopfzeilen..\n\n1 columns \n" + kDone);
  EXPECT_EQ(file("flow.tat"), "0\t0\t0\t0\t3\n");
}

TEST_F(AveragesEndToEnd, UnreadableValueAtHour24DropsTheDay) {
  run("2001 1 31 23 1\n2001 1 31 24 x\n");
  EXPECT_EQ(file("flow.tat"), "0\t0\t0\t0\t0\n");
  run("2001 1 31 23 1\n2001 1 31 25 x\n");
  EXPECT_EQ(file("flow.tat"), "0\t0\t0\t0\t0\n");
  run("2001 1 31 23 1\n2001 1 31 22 x 5\n");  // below 24: the open day counts
  EXPECT_EQ(file("flow.tat"), "0\t0\t0\t0\t1\n");
}

TEST_F(AveragesEndToEnd, LastLineWithoutLineEnd) {
  run("h\n2001 1 31 23 1\n2001 1 31 24 3");
  EXPECT_EQ(file("flow.mat"),
            "monthly_sums_from_flow.dat_:_h\n2001\t1\t31\t24\t2\n0\t0\t0\t0\t2\n");
}

TEST_F(AveragesEndToEnd, CrLfInputGivesTheSameFiles) {
  const std::string lf = "head line\n2001 1 31 23 1.5 2\n2001 1 31 24 2.5 -9999\n";
  run(lf);
  const std::string daily = file("flow.tat");
  const std::string monthly = file("flow.mat");
  std::string crlf;
  for (const char c : lf) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  const ToolRun result = run(crlf);
  EXPECT_EQ(result.console, kBanner + "2 columns \n.1/2001\n" + kDone);
  EXPECT_EQ(file("flow.tat"), daily);
  EXPECT_EQ(file("flow.mat"), monthly);
  EXPECT_EQ(daily,
            "daily_sums_from_flow.dat_:_head line\n2001\t1\t31\t24\t2\t2\n0\t0\t0\t0\t2\t2\n");
}

TEST_F(AveragesEndToEnd, CtrlZEndsTheInput) {
  run(std::string("2001 1 31 24 1\n\x1A") + "2001 2 28 24 5\n");
  EXPECT_EQ(file("flow.tat"), "2001\t1\t31\t24\t1\n0\t0\t0\t0\t1\n");
}

TEST_F(AveragesEndToEnd, WideRowOf5000Columns) {
  std::string row;
  std::string expected;
  for (int c = 0; c < 5000; ++c) {
    row.append(" -1").append(std::to_string(c % 10)).append(".125");
    expected.append("\t-1").append(std::to_string(c % 10)).append(".125");
  }
  ASSERT_GE(row.size(), 40000u);
  const ToolRun result = run("2001 1 31 24" + row + "\n");
  EXPECT_EQ(result.console, kBanner + "0 Kopfzeilen..\n\n5000 columns \n.1/2001\n" + kDone);
  EXPECT_EQ(file("flow.tat"), "2001\t1\t31\t24" + expected + "\n0\t0\t0\t0" + expected + "\n");
}

TEST_F(AveragesEndToEnd, NumberTextOfMeans) {
  run("2001 1 31 24 1234567 0.00001 1e999 2e-7\n");
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t31\t24\t1.23457e+006\t1e-005\t1.#INF\t2e-007\n"
            "0\t0\t0\t0\t1.23457e+006\t1e-005\t1.#INF\t2e-007\n");
}

TEST_F(AveragesEndToEnd, LongHeaderLinesAreCopiedWhole) {
  const std::string header(50000, 'h');
  run(header + "\nsecond " + header + "\n2001 1 31 24 1\n");
  EXPECT_EQ(file("flow.tat"), "daily_sums_from_flow.dat_:_" + header + "\nsecond " + header +
                                  "\n2001\t1\t31\t24\t1\n0\t0\t0\t0\t1\n");
}

TEST_F(AveragesEndToEnd, ColumnCountStopsAtTheFirstTokenThatIsNoNumber) {
  const ToolRun result = run("h\n2001 1 1 1 4 x 5\n");
  EXPECT_EQ(result.console, kBanner + "1 columns 5\n\t\n" + kDone);
}

}  // namespace
}  // namespace skarvel
