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

// Rows with hours `fromHour`..`toHour` for the given days of one month.
std::string rowsWithHours(int year, int month, int firstDay, int lastDay, int fromHour, int toHour,
                          const std::function<std::string(int day, int hour)>& values) {
  std::string rows;
  for (int day = firstDay; day <= lastDay; ++day) {
    for (int hour = fromHour; hour <= toHour; ++hour) {
      rows += std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day) + " " +
              std::to_string(hour) + " " + values(day, hour) + "\n";
    }
  }
  return rows;
}

TEST_F(FormatsEndToEnd, DayEndsAtHour23ForHoursFrom0) {
  // February 2001 in hours 0..23: column 1 is the day, column 2 the hour.
  const std::string input = "h\n" + rowsWithHours(2001, 2, 1, 28, 0, 23, [](int day, int hour) {
                              return std::to_string(day) + " " + std::to_string(hour);
                            });
  const ToolRun result = run(input, {}, "flow.dat", {"--day-ends=23"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.diagnostics, "");
  EXPECT_EQ(result.console, kBanner + "2 columns \n" + std::string(28, '.') + "2/2001\n" + kDone);
  std::string daily = "daily_sums_from_flow.dat_:_h\n";
  for (int day = 1; day <= 28; ++day) {
    daily += "2001\t2\t" + std::to_string(day) + "\t23\t" + std::to_string(day) + "\t11.5\n";
  }
  EXPECT_EQ(file("flow.tat"), daily + "0\t0\t0\t0\t14.5\t11.5\n");
  EXPECT_EQ(
      file("flow.mat"),
      "monthly_sums_from_flow.dat_:_h\n2001\t2\t28\t23\t14.5\t11.5\n0\t0\t0\t0\t14.5\t11.5\n");
}

TEST_F(FormatsEndToEnd, DayEndHourRulesAtTheEndOfTheInput) {
  struct Case {
    std::string closeHour;
    std::string tail;  // rows after January 31, hours 0..23
    std::string total;
    std::string diagnostics;
    int status = 0;
  };
  const std::string inside =
      "skarvel: warning: the input ended inside a day (last row 2001 2 1 5): its 2 rows are in "
      "no daily row, only in the final row\n";
  const auto above = [](const std::string& hour) {
    return "skarvel: warning: the input ended inside a day (last row 2001 2 1 " + hour +
           "): its 1 row is in no daily row, and not in the final row\n";
  };
  const Case cases[] = {
      // Below the close hour the open day and month count in the final row.
      {"23", "2001 2 1 4 8\n2001 2 1 5 8\n", "5", inside},
      // Above it (hour 24 after a close at 23) they do not, as hour 25 does not with 24.
      {"23", "2001 2 1 24 8\n", "2", above("24")},
      {"24", "2001 2 1 25 8\n", "2",
       "skarvel: warning: line 3: the hour 25 of 2001 2 1 25 is out of range (1 row in all)\n" +
           above("25"),
       4},
      // Hour 0 closes a day of daily data labelled 0.
      {"0", "", "2", ""},
  };
  for (const Case& c : cases) {
    const int hour = std::stoi(c.closeHour);
    const std::string input = rowsWithHours(2001, 1, 31, 31, hour == 0 ? 0 : hour - 1, hour,
                                            [](int, int) { return "2"; }) +
                              c.tail;
    const ToolRun result = run(input, {}, "flow.dat", {"--day-ends", c.closeHour});
    EXPECT_EQ(result.status, c.status) << c.closeHour << c.tail;
    EXPECT_EQ(file("flow.mat"),
              "2001\t1\t31\t" + c.closeHour + "\t2\n0\t0\t0\t0\t" + c.total + "\n")
        << c.closeHour << c.tail;
    EXPECT_EQ(result.diagnostics, c.diagnostics) << c.closeHour << c.tail;
  }
}

TEST_F(FormatsEndToEnd, NoDayClosedPointsToDayEnds) {
  const std::string input = rowsWithHours(2001, 1, 1, 2, 0, 23, [](int, int) { return "1"; });
  ToolRun result = run(input);
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(
      result.diagnostics,
      "skarvel: warning: no row closed a day in 48 rows (a day closes on its row with hour "
      "24; hours 0..23? skarvel expects the day's last step as hour 24, or use "
      "--day-ends=23)\n"
      "skarvel: warning: the input ended inside a day (last row 2001 1 2 23): its 48 rows are "
      "in no daily row, only in the final row\n");
  result = run(hourlyRows(2001, 1, 1, 1, [](int, int) { return "1"; }), {}, "flow.dat",
               {"--day-ends=0"});
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(result.diagnostics,
            "skarvel: warning: no row closed a day in 24 rows (a day closes on its row with hour "
            "0, as --day-ends=0 asks)\n"
            "skarvel: warning: the input ended inside a day (last row 2001 1 1 24): its 24 rows "
            "are in no daily row, and not in the final row\n");
  EXPECT_EQ(file("flow.tat"), "0\t0\t0\t0\t0\n");
}

TEST_F(FormatsEndToEnd, DayEndsErrors) {
  writeFile(folder.work() / "flow.dat", "2001 1 31 24 5\n");
  for (const std::string value : {"25", "-1", "23.0", "x", "", "1e1"}) {
    const ToolRun result = runTool(folder, {"--day-ends=" + value, "flow.dat"});
    EXPECT_EQ(result.status, 1) << value;
    EXPECT_EQ(result.console, kBanner + "error: --day-ends must be an hour from 0 to 24, not '" +
                                  value + "'\n" + kUsage);
  }
  EXPECT_EQ(runTool(folder, {"--day-ends"}).console,
            kBanner + "error: option --day-ends needs a value\n" + kUsage);
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
}

// A month of hourly rows in which `gap` stands for a missing value in a few places.
std::string monthWithGaps(const std::string& gap) {
  return "h\n" + hourlyRows(2001, 1, 1, 31, [&](int day, int hour) {
           const std::string first = (day + hour) % 7 == 0 ? gap : std::to_string(hour);
           const std::string second = day == 5 ? gap : "0." + std::to_string(day);
           return first + "\t" + second;
         });
}

TEST_F(FormatsEndToEnd, MissingTextsReadLikeMinus9999) {
  // Each statistic: the files are those of the same input written with -9999.
  for (const std::string stat : {"mean", "sum", "min", "max", "count"}) {
    run(monthWithGaps("-9999"), {}, "flow.dat", {"--stat=" + stat});
    const std::string daily = file("flow.tat");
    const std::string monthly = file("flow.mat");
    for (const std::string gap : {"NA", "nan", "-"}) {
      const ToolRun result = run(monthWithGaps(gap), {}, "flow.dat",
                                 {"--missing=NA,nan", "--missing", "-", "--stat", stat});
      EXPECT_EQ(result.status, 0) << gap;
      EXPECT_EQ(result.diagnostics, "") << gap;
      EXPECT_EQ(result.console,
                kBanner + "2 columns \n" + std::string(31, '.') + "1/2001\n" + kDone);
      EXPECT_EQ(file("flow.tat"), daily) << stat << " " << gap;
      EXPECT_EQ(file("flow.mat"), monthly) << stat << " " << gap;
    }
  }
}

TEST_F(FormatsEndToEnd, MissingTextsInTheColumnCount) {
  const std::string input = "2001 1 31 24 NA 2 nan\n2001 2 1 24 1 NA 3\n";
  ToolRun result = run(input, {}, "flow.dat", {"--missing=NA,nan"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "0 Kopfzeilen..\n\n3 columns \n.1/2001\n.fertig..\n");
  EXPECT_EQ(file("flow.tat"),
            "2001\t1\t31\t24\t-9999\t2\t-9999\n2001\t2\t1\t24\t1\t-9999\t3\n"
            "0\t0\t0\t0\t0\t2\t0\n");
  // Without the option nothing changes: the first NA ends the column count.
  result = run(input);
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(result.console, kBanner + "0 Kopfzeilen..\n\n0 columns 2 nan\n\t\n.1/2001\n." + kDone);
  // Letter case counts, and other texts still stop the reading.
  result = run("2001 1 31 24 1 2\n2001 2 1 24 na 3\n", {}, "flow.dat", {"--missing=NA"});
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(result.diagnostics,
            "skarvel: warning: line 2: reading stopped at \"na\", which is no number; 1 data row "
            "was not read from there on (missing values must be numbers, such as -9999, or named "
            "with --missing=NA)\n");
}

TEST_F(FormatsEndToEnd, MissingErrors) {
  writeFile(folder.work() / "flow.dat", "2001 1 31 24 5\n");
  for (const std::string value : {"", "NA,", ",NA", "NA,,nan", "N A", "1.#IND", "-1", "5x", ".5"}) {
    const ToolRun result = runTool(folder, {"--missing=" + value, "flow.dat"});
    EXPECT_EQ(result.status, 1) << value;
    EXPECT_EQ(result.console,
              kBanner +
                  "error: --missing must be comma-separated words that cannot be read as numbers "
                  "(none empty, no white space), not '" +
                  value + "'\n" + kUsage);
  }
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
}

const std::string kCsvInput =
    "title line\n"
    "year month day hour q[m3/s] rain,mm \"T\"\n"
    "2000 12 31 24 1 -9999 3\n"
    "2001 1 30 24 1.5 -9999 1e999\n"
    "2001 1 31 12 0.1 2 1e308\n"
    "2001 1 31 24 0.2 NA 1e308\n"
    "800 2 9 24 1 2 3\n"
    "-5 1 31 24 1 2 3\n";
const std::string kCsvHeader = "date,q[m3/s],\"rain,mm\",\"\"\"T\"\"\"\n";

TEST_F(FormatsEndToEnd, CommaSeparatedFilesByteForByte) {
  const ToolRun result =
      run(kCsvInput, {}, "flow.dat", {"--format=csv", "--yearly", "--missing=NA"});
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(result.diagnostics,
            "skarvel: warning: line 8: the year -5 of -5 1 31 24 is out of range (1 row in all)\n"
            "skarvel: warning: line 7: the date goes back from 2001 1 31 to 800 2 9 (2 times in "
            "all: rows in reverse order, or two runs in one file?)\n"
            "skarvel: warning: line 4: the value \"1e999\" is beyond the range of numbers and was "
            "read as infinity (1 value in all)\n");
  EXPECT_EQ(result.console, kBanner + "3 columns \n.12/2000\n..1/2001\n..1/-5\n" + kDone);
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow_daily.csv",
                                                        "flow_monthly.csv", "flow_yearly.csv"}));
  // Shortest round-trip values, empty cells for no value, an infinite mean (1e308 + 1e308); LF
  // line ends, no final row.
  EXPECT_EQ(rawFile("flow_daily.csv"), kCsvHeader +
                                           "2000-12-31,1,,3\n"
                                           "2001-01-30,1.5,,inf\n"
                                           "2001-01-31,0.15000000000000002,2,inf\n"
                                           "0800-02-09,1,2,3\n"
                                           "-0005-01-31,1,2,3\n");
  EXPECT_EQ(rawFile("flow_monthly.csv"), kCsvHeader +
                                             "2000-12-31,1,,3\n"
                                             "2001-01-31,0.6,2,inf\n"
                                             "-0005-01-31,1,2,3\n");
  EXPECT_EQ(rawFile("flow_yearly.csv"), kCsvHeader + "2000-12-31,1,,3\n");
}

TEST_F(FormatsEndToEnd, CommaSeparatedColumnNames) {
  struct Case {
    std::string input;
    std::vector<std::string> arguments;
    std::string header;
  };
  const Case cases[] = {
      {"year month day hour a b\n2001 1 31 24 1 2\n", {}, "date,a,b\n"},
      {"year\tmonth day hour  a\tb \r\n2001 1 31 24 1 2\n", {}, "date,a,b\n"},
      {"day hour a b\n2001 1 31 24 1 2\n", {}, "date,v1,v2\n"},  // 4 + N words, or none
      {"year month day hour a b c\n2001 1 31 24 1 2\n", {}, "date,v1,v2\n"},
      {"year month day hour a b\nmore\n2001 1 31 24 1 2\n", {}, "date,v1,v2\n"},  // last line
      {"2001 1 31 24 1 2\n", {}, "date,v1,v2\n"},
      {"y m d h x\n2001 1 31 24 1 2\n", {"1", "1"}, "date,x\n"},  // a given column count
      {"y m d h a\"b ,\n2001 1 31 24 1 2\n", {}, "date,\"a\"\"b\",\",\"\n"},
      // Latin-1 names are written in UTF-8; UTF-8 ones as they are.
      {"y m d h T[\xB0"
       "C] T[\xC2\xB0"
       "C]\n2001 1 31 24 1 2\n",
       {},
       "date,T[\xC2\xB0"
       "C],T[\xC2\xB0"
       "C]\n"},
  };
  for (const Case& c : cases) {
    run(c.input, c.arguments, "flow.dat", {"--format", "csv"});
    EXPECT_TRUE(rawFile("flow_daily.csv").starts_with(c.header)) << c.input;
    EXPECT_EQ(rawFile("flow_monthly.csv").substr(0, c.header.size()), c.header) << c.input;
  }
}

TEST_F(FormatsEndToEnd, CommaSeparatedWithEveryOption) {
  // Hours 0..23 with NA gaps, counted, with coverage: each option changes the cells.
  const std::string input =
      "year month day hour q\n" + rowsWithHours(2001, 1, 30, 31, 0, 23, [](int day, int hour) {
        return std::string(day == 31 && hour < 18 ? "NA" : "2");
      });
  const ToolRun result = run(input, {}, "flow.dat",
                             {"--format=csv", "--day-ends=23", "--missing=NA", "--stat=count",
                              "--min-coverage=25", "--year-start=2", "--progress", "--quiet"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, "");
  EXPECT_EQ(rawFile("flow_daily.csv"), "date,q\n2001-01-30,24\n2001-01-31,6\n");
  EXPECT_EQ(rawFile("flow_monthly.csv"), "date,q\n2001-01-31,30\n");
  EXPECT_EQ(rawFile("flow_yearly.csv"), "date,q\n2001-01-31,30\n");
  run(input, {}, "flow.dat",
      {"--format=csv", "--day-ends=23", "--missing=NA", "--stat=sum", "--min-coverage=25.1"});
  EXPECT_EQ(rawFile("flow_daily.csv"), "date,q\n2001-01-30,48\n2001-01-31,\n");
  EXPECT_EQ(rawFile("flow_monthly.csv"), "date,q\n2001-01-31,60\n");
}

TEST_F(FormatsEndToEnd, CommaSeparatedNamesAndTheInput) {
  struct Case {
    std::string input;
    std::string daily;
  };
  const Case cases[] = {
      {"flow.dat", "flow_daily.csv"}, {"a.b.c", "a.b_daily.csv"},  {"flow", "flow_daily.csv"},
      {".flow", ".flow_daily.csv"},   {"flow.", "flow_daily.csv"}, {"q.csv", "q_daily.csv"},
  };
  for (const Case& c : cases) {
    TempFolder fresh;
    writeFile(fresh.work() / c.input, "2001 1 31 24 5\n");
    EXPECT_EQ(runTool(fresh, {"--format=csv", c.input}).status, 0) << c.input;
    EXPECT_EQ(readFile(fresh.work() / c.daily), "date,v1\n2001-01-31,5\n") << c.input;
  }
  std::filesystem::create_directories(folder.work() / "run.v2");
  writeFile(folder.work() / "run.v2" / "flow", "2001 1 31 24 5\n");
  EXPECT_EQ(runTool(folder, {"--format=csv", "run.v2/flow"}).status, 0);
  EXPECT_TRUE(exists("run.v2/flow_monthly.csv"));
}

#ifndef _WIN32
TEST_F(FormatsEndToEnd, CommaSeparatedNameThatIsTheInputIsRefused) {
  writeFile(folder.work() / "flow.dat", "2001 1 31 24 5\n");
  std::filesystem::create_symlink("flow.dat", folder.work() / "flow_monthly.csv");
  const ToolRun result = runTool(folder, {"--format=csv", "flow.dat"});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console,
            kBanner + "error: output file flow_monthly.csv would overwrite the input file\n");
  EXPECT_EQ(file("flow.dat"), "2001 1 31 24 5\n");
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow_monthly.csv"}));
}
#endif

TEST_F(FormatsEndToEnd, FormatErrors) {
  writeFile(folder.work() / "flow.dat", "2001 1 31 24 5\n");
  for (const std::string value : {"CSV", "tsv", ""}) {
    const ToolRun result = runTool(folder, {"--format=" + value, "flow.dat"});
    EXPECT_EQ(result.status, 1) << value;
    EXPECT_EQ(result.console,
              kBanner + "error: --format must be classic or csv, not '" + value + "'\n" + kUsage);
  }
  EXPECT_EQ(runTool(folder, {"--format=classic", "flow.dat"}).status, 0);
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat", "flow.tat"}));
}

}  // namespace
}  // namespace skarvel
