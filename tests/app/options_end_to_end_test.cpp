// The options: statistic, yearly and hydrological-year files, minimum coverage, and the
// command line that carries them. Expected files are worked out by hand.
#include "end_to_end.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

class OptionsEndToEnd : public EndToEnd {};

const std::string kOptions =
    "options, before <filename> (\"--\" ends them):\n"
    "  --stat=mean|sum|min|max|count\n"
    "                           the value per column and period (default mean); count: the\n"
    "                           number of valid values\n"
    "  --yearly                 also write the yearly file (letter y)\n"
    "  --year-start=M           first month of the year, 1 to 12 (default 1); implies --yearly\n"
    "  --min-coverage=P         show a column's value for a period only when at least P percent\n"
    "                           of the period's rows have a valid value in it (default 0)\n"
    "  --day-ends=H             the row with hour H, 0 to 24, closes the day (default 24);\n"
    "                           --day-ends=23 for hours 0..23\n"
    "  --missing=TEXT[,TEXT...] tokens that are missing values, like -9999: --missing=NA,nan\n"
    "  --format=classic|csv     the files to write: the classic files (default), or instead\n"
    "                           comma-separated files: flow.dat gives flow_daily.csv,\n"
    "                           flow_monthly.csv (and flow_yearly.csv)\n"
    "  --threads=N              read the input with N threads (default: one per processor, at\n"
    "                           most 4); --threads=1 reads it on one thread\n"
    "  --quiet                  nothing on standard output but error messages\n"
    "  --progress               a status line and a summary on standard error instead of the\n"
    "                           progress marks\n"
    "  --name=NAME              name and label the outputs as if the input were NAME; needed\n"
    "                           for standard input (-), pipes and devices\n"
    "  --each                   every argument after the options is an input, each with its\n"
    "                           own outputs; one line per input\n"
    "  --files-from=LIST        also read the inputs named in LIST, one per line (- for\n"
    "                           standard input); implies --each\n"
    "  --shard=I/N              run only the I-th of N parts of the inputs of --each and\n"
    "                           --files-from, I from 1 to N: a slice of the list\n"
    "  --report=FILE            write the run report to FILE: JSON Lines, one object per input\n"
    "  --header-rows=N          N header rows (default auto: detected), for every input\n"
    "  --columns=N              N value columns (default auto: detected), for every input\n"
    "  --help, -h               this text\n"
    "  --version                the version\n";

// Daily rows (hour 24) from the first to the last date given, inclusive.
std::string dailyRows(int year, int month, int day, int lastYear, int lastMonth, int lastDay,
                      const std::function<std::string(int, int, int)>& values) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  std::string rows;
  for (;;) {
    rows += std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day) +
            " 24 " + values(year, month, day) + "\n";
    if (year == lastYear && month == lastMonth && day == lastDay) {
      return rows;
    }
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int length = month == 2 && leap ? 29 : kLengths[month - 1];
    if (++day > length) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
}

TEST_F(OptionsEndToEnd, HelpListsTheOptions) {
  for (const std::string flag : {"--help", "-h"}) {
    const ToolRun result = runTool(folder, {flag});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.console, kBanner + kUsage + kOptions);
  }
}

TEST_F(OptionsEndToEnd, SumsOverAMonthWithGaps) {
  // Column 1: 1 every hour, missing in the first twelve hours of the 3rd. Column 2: the hour.
  const std::string input =
      "q\n" + hourlyRows(2001, 1, 1, 31, [](int day, int hour) {
        return std::string(day == 3 && hour <= 12 ? "-9999" : "1") + " " + std::to_string(hour);
      });
  const ToolRun result = run(input, {}, "flow.dat", {"--stat=sum"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "2 columns \n" + std::string(31, '.') + "1/2001\n" + kDone);
  std::string daily = "daily_sums_from_flow.dat_:_q\n";
  for (int day = 1; day <= 31; ++day) {
    daily += "2001\t1\t" + std::to_string(day) + "\t24\t" + (day == 3 ? "12" : "24") + "\t300\n";
  }
  EXPECT_EQ(file("flow.tat"), daily + "0\t0\t0\t0\t732\t9300\n");
  EXPECT_EQ(file("flow.mat"),
            "monthly_sums_from_flow.dat_:_q\n2001\t1\t31\t24\t732\t9300\n0\t0\t0\t0\t732\t9300\n");
}

const std::string kExtremes =
    "2001 1 30 23 -5 -9999\n"
    "2001 1 30 24 3 -9999\n"
    "2001 1 31 23 -997.5 7\n"
    "2001 1 31 24 -998 -1e999\n";

TEST_F(OptionsEndToEnd, MinimumWithNegativeAndMissingValues) {
  run(kExtremes, {}, "flow.dat", {"--stat", "min"});
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t30\t24\t-5\t-9999\n2001\t1\t31\t24\t-997.5\t7\n0\t0\t0\t0\t-997.5\t7\n");
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t-997.5\t7\n0\t0\t0\t0\t-997.5\t7\n");
}

TEST_F(OptionsEndToEnd, MaximumWithNegativeAndMissingValues) {
  run(kExtremes, {}, "flow.dat", {"--stat=max"});
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t30\t24\t3\t-9999\n2001\t1\t31\t24\t-997.5\t7\n0\t0\t0\t0\t3\t7\n");
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t3\t7\n0\t0\t0\t0\t3\t7\n");
}

TEST_F(OptionsEndToEnd, FinalRowOfExtremesFollowsTheTotalsRule) {
  // The run stops inside a day: the open day and month count, as for the mean.
  run("2001 1 31 24 5\n2001 2 1 1 9\n2001 2 1 2 -4\n", {}, "flow.dat", {"--stat=max"});
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t5\n0\t0\t0\t0\t9\n");
  run("2001 1 31 24 5\n2001 2 1 1 9\n2001 2 1 2 -4\n", {}, "flow.dat", {"--stat=min"});
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t5\n0\t0\t0\t0\t-4\n");
}

TEST_F(OptionsEndToEnd, YearlyFileOverThreeCalendarYears) {
  // 2003 to 2005 (2004 a leap year), then half a January that closes no month.
  const std::string input = "title\n" + dailyRows(2003, 1, 1, 2006, 1, 15, [](int year, int, int) {
                              return "1 " + std::to_string(year - 2000);
                            });
  const ToolRun result = run(input, {}, "flow.dat", {"--yearly", "--stat=sum"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(file("flow.yat"),
            "yearly_sums_from_flow.dat_:_title\n"
            "2003\t12\t31\t24\t365\t1095\n"
            "2004\t12\t31\t24\t366\t1464\n"
            "2005\t12\t31\t24\t365\t1825\n"
            "0\t0\t0\t0\t1096\t4384\n");
  EXPECT_TRUE(file("flow.mat").ends_with("2005\t12\t31\t24\t31\t155\n0\t0\t0\t0\t1096\t4384\n"));
  EXPECT_TRUE(file("flow.tat").ends_with("2006\t1\t15\t24\t1\t6\n0\t0\t0\t0\t1096\t4384\n"));
}

TEST_F(OptionsEndToEnd, YearlyMeanIsTheMeanOfTheValues) {
  // January: 31 days of 1; February: 28 days of 4. The mean of the values is 2.42373, the
  // mean of the two monthly means would be 2.5.
  const std::string input = dailyRows(2001, 1, 1, 2001, 12, 31, [](int, int month, int) {
    return month == 1 ? "1" : month == 2 ? "4" : "-9999";
  });
  run(input, {}, "flow.dat", {"--yearly"});
  EXPECT_EQ(file("flow.yat"), "2001\t12\t31\t24\t2.42373\n0\t0\t0\t0\t2.42373\n");
}

TEST_F(OptionsEndToEnd, HydrologicalYearFromNovember) {
  // Column 1: 1 a day. Column 2: the month number.
  const std::string input = dailyRows(
      2000, 11, 1, 2002, 11, 30, [](int, int month, int) { return "1 " + std::to_string(month); });
  const ToolRun result = run(input, {}, "flow.dat", {"--year-start=11", "--stat=sum"});
  EXPECT_EQ(result.status, 0);
  // Nov 2000 to Oct 2001 and Nov 2001 to Oct 2002 have 365 days; November 2002 closes no year.
  // Month sums over a year: 30*11 + 31*12 + 31*1 + 28*2 + 31*3 + 30*4 + 31*5 + 30*6 + 31*7 +
  // 31*8 + 30*9 + 31*10 = 2382.
  EXPECT_EQ(file("flow.yat"),
            "2001\t10\t31\t24\t365\t2382\n2002\t10\t31\t24\t365\t2382\n0\t0\t0\t0\t760\t5094\n");
}

TEST_F(OptionsEndToEnd, YearStartOneIsTheCalendarYear) {
  const std::string input =
      dailyRows(2001, 12, 30, 2002, 1, 31, [](int, int, int) { return std::string("2"); });
  run(input, {}, "flow.dat", {"--year-start", "1", "--stat=sum"});
  EXPECT_EQ(file("flow.yat"), "2001\t12\t31\t24\t4\n0\t0\t0\t0\t66\n");
}

TEST_F(OptionsEndToEnd, CoverageAtTheBoundary) {
  // Day 30: column 1 valid in 18 of 24 hours (75%), column 2 in 17 (70.8%).
  // Day 31: column 1 in 24 (100%), column 2 in 12 (50%).
  // January: column 1 in 42 of 48 rows (87.5%), column 2 in 29 (60.4%).
  const std::string input = hourlyRows(2001, 1, 30, 31, [](int day, int hour) {
    const bool first = day == 31 || hour <= 18;
    const bool second = day == 30 ? hour <= 17 : hour <= 12;
    return std::string(first ? "2" : "-9999") + " " + (second ? "4" : "-9999");
  });
  run(input, {}, "flow.dat", {"--min-coverage=75"});
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t30\t24\t2\t-9999\n2001\t1\t31\t24\t2\t-9999\n0\t0\t0\t0\t2\t4\n");
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t2\t-9999\n0\t0\t0\t0\t2\t4\n");

  run(input, {}, "flow.dat", {"--min-coverage", "87.5"});
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t2\t-9999\n0\t0\t0\t0\t2\t4\n");
  run(input, {}, "flow.dat", {"--min-coverage=87.6"});
  EXPECT_EQ(file("flow.mat"), "2001\t1\t31\t24\t-9999\t-9999\n0\t0\t0\t0\t2\t4\n");
  run(input, {}, "flow.dat", {"--min-coverage=50"});
  EXPECT_EQ(file("flow.tat"), "2001\t1\t30\t24\t2\t4\n2001\t1\t31\t24\t2\t4\n0\t0\t0\t0\t2\t4\n");
}

TEST_F(OptionsEndToEnd, CoverageOfAYear) {
  // 2001: column valid on 292 of 365 days (80%).
  const std::string input = dailyRows(2001, 1, 1, 2001, 12, 31, [](int, int month, int day) {
    return std::string(month <= 9 || (month == 10 && day <= 19) ? "1" : "-9999");
  });
  run(input, {}, "flow.dat", {"--yearly", "--min-coverage=80", "--stat=sum"});
  EXPECT_EQ(file("flow.yat"), "2001\t12\t31\t24\t292\n0\t0\t0\t0\t292\n");
  run(input, {}, "flow.dat", {"--yearly", "--min-coverage=80.1", "--stat=sum"});
  EXPECT_EQ(file("flow.yat"), "2001\t12\t31\t24\t-9999\n0\t0\t0\t0\t292\n");
}

TEST_F(OptionsEndToEnd, OptionErrors) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--mean", "flow.dat"}, "unknown option --mean"},
      {{"-x", "flow.dat"}, "unknown option -x"},
      {{"--stat=avg", "flow.dat"}, "--stat must be mean, sum, min, max or count, not 'avg'"},
      {{"--stat=", "flow.dat"}, "--stat must be mean, sum, min, max or count, not ''"},
      {{"--stat"}, "option --stat needs a value"},
      {{"--year-start=0", "flow.dat"}, "--year-start must be a month from 1 to 12, not '0'"},
      {{"--year-start=13", "flow.dat"}, "--year-start must be a month from 1 to 12, not '13'"},
      {{"--year-start=1x", "flow.dat"}, "--year-start must be a month from 1 to 12, not '1x'"},
      {{"--min-coverage=101", "flow.dat"},
       "--min-coverage must be a percentage from 0 to 100, not '101'"},
      {{"--min-coverage", "-1", "flow.dat"},
       "--min-coverage must be a percentage from 0 to 100, not '-1'"},
      {{"--min-coverage=nan", "flow.dat"},
       "--min-coverage must be a percentage from 0 to 100, not 'nan'"},
      {{"--yearly=yes", "flow.dat"}, "--yearly takes no value"},
      {{"-flow.dat"}, "unknown option -flow.dat"},
  };
  writeFile(folder.work() / "flow.dat", kExtremes);
  for (const auto& [arguments, error] : cases) {
    const ToolRun result = runTool(folder, arguments);
    EXPECT_EQ(result.status, 1) << error;
    EXPECT_EQ(result.console, kBanner + "error: " + error + "\n" + kUsage);
  }
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
}

TEST_F(OptionsEndToEnd, DoubleDashBeforeAFileNameWithADash) {
  writeFile(folder.work() / "-flow.dat", "2001 1 31 24 5\n");
  const ToolRun result = runTool(folder, {"--stat=sum", "--", "-flow.dat"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(file("-flow.tat"), "2001\t1\t31\t24\t5\n0\t0\t0\t0\t5\n");
  EXPECT_TRUE(exists("-flow.mat"));
}

TEST_F(OptionsEndToEnd, PositionalRulesAfterTheOptions) {
  const std::string input = "h\nyear q\n2001 1 31 24 1 2 3\n";
  EXPECT_EQ(run(input, {"2", "2"}, "flow.dat", {"--stat=sum"}).console,
            kBanner + "2 columns flow\n.1/2001\n" + kDone);
  EXPECT_EQ(run(input, {"2", "2", "x"}, "flow.dat", {"--stat=sum"}).console,
            kBanner + "3 columns \n.1/2001\n" + kDone);
  EXPECT_EQ(run(input, {"-1"}, "flow.dat", {"--"}).console,
            kBanner + "3 columns \n.1/2001\n" + kDone);
  EXPECT_EQ(runTool(folder, {"--yearly"}).console, kBanner + kUsage);
}

TEST_F(OptionsEndToEnd, YearlyNameNeverOverwritesTheInput) {
  const ToolRun result = run("h\n2001 12 31 24 5\n", {}, "flow.yat", {"--yearly"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(folder.listing(),
            (std::vector<std::string>{"flow.mat", "flow.tat", "flow.y$$", "flow.yat"}));
  EXPECT_EQ(file("flow.y$$"),
            "yearly_sums_from_flow.yat.$$$_:_h\n2001\t12\t31\t24\t5\n0\t0\t0\t0\t5\n");
}

TEST_F(OptionsEndToEnd, NoOptionMeansNoYearlyFile) {
  run("2001 12 31 24 5\n");
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat", "flow.tat"}));
}

}  // namespace
}  // namespace skarvel
