// The count statistic, the day-end hour, missing-value texts and the comma-separated files:
// whole files and console text byte for byte, worked out by hand.
#include "end_to_end.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

class FormatsEndToEnd : public EndToEnd {};

// Column 1: 1 every hour, missing in the first twelve hours of the 3rd; column 2: always
// missing; column 3: -997.5 (accepted) on the 1st, -998 (missing) after.
std::string gappyJanuary() {
  return "q\n" + hourlyRows(2001, 1, 1, 31, [](int day, int hour) {
           return std::string(day == 3 && hour <= 12 ? "-9999" : "1") + " -9999 " +
                  (day == 1 ? "-997.5" : "-998");
         });
}

TEST_F(FormatsEndToEnd, CountIsAnIntegerAndZeroWithoutValues) {
  const ToolRun result = run(gappyJanuary(), {}, "flow.dat", {"--stat=count"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.diagnostics, "");
  std::string daily = "daily_sums_from_flow.dat_:_q\n";
  for (int day = 1; day <= 31; ++day) {
    daily += "2001\t1\t" + std::to_string(day) + "\t24\t" + (day == 3 ? "12" : "24") + "\t0\t" +
             (day == 1 ? "24" : "0") + "\n";
  }
  EXPECT_EQ(file("flow.tat"), daily + "0\t0\t0\t0\t732\t0\t24\n");
  EXPECT_EQ(
      file("flow.mat"),
      "monthly_sums_from_flow.dat_:_q\n2001\t1\t31\t24\t732\t0\t24\n0\t0\t0\t0\t732\t0\t24\n");
}

TEST_F(FormatsEndToEnd, CountFollowsTheCoverageRule) {
  // Day 3: column 1 covers 50%; every day but the 1st: column 3 covers 0%. January: column 1
  // covers 732 of 744 rows (98.4%), column 3 24 (3.2%). The final row is not affected.
  run(gappyJanuary(), {}, "flow.dat", {"--stat=count", "--min-coverage=50"});
  EXPECT_TRUE(file("flow.tat")
                  .starts_with("daily_sums_from_flow.dat_:_q\n"
                               "2001\t1\t1\t24\t24\t-9999\t24\n"
                               "2001\t1\t2\t24\t24\t-9999\t-9999\n"
                               "2001\t1\t3\t24\t12\t-9999\t-9999\n"));
  run(gappyJanuary(), {}, "flow.dat", {"--stat=count", "--min-coverage=50.1"});
  EXPECT_TRUE(file("flow.tat").find("2001\t1\t3\t24\t-9999\t-9999\t-9999\n") != std::string::npos);
  EXPECT_EQ(file("flow.mat"),
            "monthly_sums_from_flow.dat_:_q\n2001\t1\t31\t24\t732\t-9999\t-9999\n"
            "0\t0\t0\t0\t732\t0\t24\n");
  run(gappyJanuary(), {}, "flow.dat", {"--stat", "count", "--min-coverage=3.2"});
  EXPECT_EQ(file("flow.mat"),
            "monthly_sums_from_flow.dat_:_q\n2001\t1\t31\t24\t732\t-9999\t24\n"
            "0\t0\t0\t0\t732\t0\t24\n");
}

TEST_F(FormatsEndToEnd, CountOverYearsAndAnOpenDay) {
  // Two hydrological years of daily rows from November 2000 (365 days each), then two hours
  // of a day that never closes: they count in the final row, with the open month.
  std::string input;
  for (int year = 2000; year <= 2002; ++year) {
    for (int month = 1; month <= 12; ++month) {
      if ((year == 2000 && month < 11) || (year == 2002 && month > 10)) {
        continue;
      }
      static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      for (int day = 1; day <= kLengths[month - 1]; ++day) {
        input += std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day) +
                 " 24 " + (day == 1 ? "-9999" : "3") + "\n";
      }
    }
  }
  input += "2002 11 1 1 5\n2002 11 1 2 5\n";
  const ToolRun result = run(input, {}, "flow.dat", {"--stat=count", "--year-start=11"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(file("flow.yat"), "2001\t10\t31\t24\t353\n2002\t10\t31\t24\t353\n0\t0\t0\t0\t708\n");
}

}  // namespace
}  // namespace skarvel
