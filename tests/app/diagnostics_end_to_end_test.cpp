// The mistakes users make with their input and command line: standard output and the files stay
// what the tool has always written, while standard error says what was not understood and exit
// status 4 says that data rows were not averaged as written.
#include <regex>

#include "end_to_end.hpp"

namespace skarvel {
namespace {

namespace fs = std::filesystem;
using namespace skarvel::testing;

class DiagnosticsEndToEnd : public EndToEnd {};

const std::string kWarning = "skarvel: warning: ";
const std::string kNoDay =
    "no row closed a day in 48 rows (a day closes on its row with hour 24; hours 0..23? skarvel "
    "expects the day's last step as hour 24, or use --day-ends=23)\n";
const std::string kCsvHint =
    "this looks like a CSV file: skarvel reads blank- or tab-separated columns";
const std::string kNotNumbers =
    " (missing values must be numbers, such as -9999, or named with --missing=NA)\n";

// Both files hold the same lines: the labelled header and the final row.
std::string onlyFinalRow(const std::string& label, const std::string& header,
                         const std::string& finalRow) {
  return label + "flow.dat_:_" + header + finalRow;
}

struct Mistake {
  const char* what;
  std::string input;
  std::vector<std::string> arguments;
  int status;
  std::string console;  // after the banner
  std::string daily;
  std::string monthly;
  std::string diagnostics;
};

// January 2001, hourly, the day number as the value, "NA" at day 10, hour 5 (line 222).
std::string januaryWithNa() {
  return "q\n" + hourlyRows(2001, 1, 1, 31, [](int day, int hour) {
           return day == 10 && hour == 5 ? std::string("NA") : std::to_string(day);
         });
}

std::string daysOneToNine() {
  std::string rows;
  for (int day = 1; day <= 9; ++day) {
    rows += "2001\t1\t" + std::to_string(day) + "\t24\t" + std::to_string(day) + "\n";
  }
  return rows;
}

std::string crLf(const std::string& text) {
  std::string translated;
  for (const char c : text) {
    translated += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  return translated;
}

std::string longHeader() {
  std::string header;
  for (int line = 1; line <= 60000; ++line) {
    header += "comment line " + std::to_string(line) + "\n";
  }
  return header;
}

// The same rows with CR LF line ends behind 60000 header lines: more than a block of input
// (1 MiB) before the NA, which is in line 60221.
std::string januaryWithNaBehindLongHeader() {
  return crLf(longHeader() + januaryWithNa().substr(2));
}

// Days 1..9 (24 rows each) and four rows of day 10: 1120 / 220.
const std::string kNaTotals = "0\t0\t0\t0\t5.09091\n";
const std::string kNaWarning =
    kWarning +
    "line 222: reading stopped at \"NA\", which is no number; 524 data rows were not read" +
    " from there on" + kNotNumbers;

TEST_F(DiagnosticsEndToEnd, CommonMistakes) {
  std::string hoursFromZero = "h\n";
  for (int day = 1; day <= 2; ++day) {
    for (int hour = 0; hour <= 23; ++hour) {
      hoursFromZero += "2001 1 " + std::to_string(day) + " " + std::to_string(hour) + " " +
                       std::to_string(hour) + "\n";
    }
  }
  ASSERT_GT(januaryWithNaBehindLongHeader().size(), std::size_t{1} << 20);
  const std::string twoHeaders = "Varno run\nyear month day hour q\n";
  const std::string twoDays = "2001 1 30 24 4\n2001 1 31 24 6\n";
  const std::string twoDaysDaily = "2001\t1\t30\t24\t4\n2001\t1\t31\t24\t6\n0\t0\t0\t0\t5\n";
  const std::string twoDaysMonthly = "2001\t1\t31\t24\t5\n0\t0\t0\t0\t5\n";
  const Mistake cases[] = {
      {"a CSV file",
       "year,month,day,hour,q\n2001,1,1,1,1.5\n2001,1,1,2,2.5\n",
       {},
       4,
       "0 columns \n" + kDone,
       onlyFinalRow("daily_sums_from_", "year,month,day,hour,q\n", "0\t0\t0\t0\n"),
       onlyFinalRow("monthly_sums_from_", "year,month,day,hour,q\n", "0\t0\t0\t0\n"),
       kWarning +
           "line 2: no value columns found after the four date fields of \"2001,1,1,1,1.5\" (" +
           kCsvHint + ")\n" + kWarning +
           "line 2: reading stopped at \",1,1,1,1.5\", which is no number; 2 data rows were not "
           "read from there on (" +
           kCsvHint + ")\n"},
      {"ISO dates in one column",
       "date q\n2001-01-01T01:00 1.5\n2001-01-01T02:00 2.5\n2001-01-01T03:00 3.5\n",
       {},
       4,
       "0 columns \n" + kDone,
       onlyFinalRow("daily_sums_from_", "date q\n", "0\t0\t0\t0\n"),
       onlyFinalRow("monthly_sums_from_", "date q\n", "0\t0\t0\t0\n"),
       kWarning +
           "line 2: no value columns found after the four date fields of \"2001-01-01T01:00 "
           "1.5\" (" +
           kCsvHint + ")\n" + kWarning +
           "line 2: reading stopped at \"T01:00\", which is no number; 3 data rows were not read "
           "from there on" +
           kNotNumbers},
      {"hours 0..23",
       hoursFromZero,
       {},
       4,
       "1 columns \n" + kDone,
       onlyFinalRow("daily_sums_from_", "h\n", "0\t0\t0\t0\t11.5\n"),
       onlyFinalRow("monthly_sums_from_", "h\n", "0\t0\t0\t0\t11.5\n"),
       kWarning + kNoDay + kWarning +
           "the input ended inside a day (last row 2001 1 2 23): its 48 rows are in no daily "
           "row, only in the final row\n"},
      {"a daily file without an hour column",
       "date q\n2001 1 1 5.5\n2001 1 2 6.5\n2001 1 3 7.5\n",
       {},
       4,
       "0 columns \n" + kDone,
       onlyFinalRow("daily_sums_from_", "date q\n", "0\t0\t0\t0\n"),
       onlyFinalRow("monthly_sums_from_", "date q\n", "0\t0\t0\t0\n"),
       kWarning +
           "line 2: no value columns found after the four date fields of \"2001 1 1 5.5\" "
           "(values are separated by blanks or tabs)\n" +
           kWarning +
           "line 2: only the start of \"5.5\" was read as a number, and the rest as the next "
           "field or not at all (3 tokens in all; fields are separated by blanks or tabs)\n" +
           kWarning +
           "no row closed a day in 3 rows (a day closes on its row with hour 24; hours 0..23? "
           "skarvel expects the day's last step as hour 24, or use --day-ends=23)\n" +
           kWarning +
           "the input ended inside a day (last row 2001 1 3 7): its 3 rows are in no daily row, "
           "only in the final row\n"},
      {"NA in the middle of a month",
       januaryWithNa(),
       {},
       4,
       "1 columns \n" + std::string(9, '.') + kDone,
       "daily_sums_from_flow.dat_:_q\n" + daysOneToNine() + kNaTotals,
       "monthly_sums_from_flow.dat_:_q\n" + kNaTotals,
       kNaWarning},
      {"NA far down a CR LF file",
       januaryWithNaBehindLongHeader(),
       {},
       4,
       "1 columns \n" + std::string(9, '.') + kDone,
       "daily_sums_from_flow.dat_:_" + longHeader() + daysOneToNine() + kNaTotals,
       "monthly_sums_from_flow.dat_:_" + longHeader() + kNaTotals,
       kWarning +
           "line 60221: reading stopped at \"NA\", which is no number; 524 data rows were not "
           "read from there on" +
           kNotNumbers},
      {"a short row takes its missing value from the next line",
       "h\n2001 1 28 24 1 2\n2001 1 29 24 3\n2001 1 30 24 5 6\n2001 1 31 24 7 8\n",
       {},
       4,
       "2 columns \n...1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_h\n2001\t1\t28\t24\t1\t2\n2001\t1\t29\t24\t3\t2001\n"
       "2001\t1\t31\t24\t7\t8\n0\t0\t0\t0\t3.66667\t670.333\n",
       "monthly_sums_from_flow.dat_:_h\n2001\t1\t31\t24\t3.66667\t670.333\n"
       "0\t0\t0\t0\t3.66667\t670.333\n",
       kWarning +
           "line 3: the row has fewer than 2 values, and its missing values were read from the "
           "next line (1 row in all)\n"},
      {"a footer after the data",
       "q\n" + twoDays + "end of data\n",
       {},
       0,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q\n" + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_q\n" + twoDaysMonthly,
       kWarning +
           "line 4: reading stopped at \"end\", which is no number; no data row follows, so the "
           "rest is taken as a footer\n"},
      {"text after the values",
       "q\n2001 1 30 24 4 ok\n2001 1 31 24 6 checked\n",
       {},
       0,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q\n" + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_q\n" + twoDaysMonthly,
       kWarning + "line 2: text after the last of 1 values ignored: \"ok\" (2 rows in all)\n"},
      {"auto for both counts detects them, as the usage text promises",
       twoHeaders + twoDays,
       {"auto", "AUTO"},
       0,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_" + twoHeaders + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_" + twoHeaders + twoDaysMonthly,
       ""},
      {"a day in two rows with hour 24",
       "q\n2001 1 30 24 4\n2001 1 30 24 2\n2001 1 31 24 6\n",
       {},
       4,
       "1 columns \n...1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q\n2001\t1\t30\t24\t4\n2001\t1\t30\t24\t2\n"
       "2001\t1\t31\t24\t6\n0\t0\t0\t0\t4\n",
       "monthly_sums_from_flow.dat_:_q\n2001\t1\t31\t24\t4\n0\t0\t0\t0\t4\n",
       kWarning + "line 3: the day 2001 1 30 closed again (1 day closed more than once: several "
                  "rows per hour, or repeated rows?)\n"},
      {"two runs in one file",
       "q\n" + twoDays + twoDays,
       {},
       4,
       "1 columns \n..1/2001\n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q\n" + twoDaysDaily.substr(0, 30) + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_q\n" + twoDaysMonthly.substr(0, 15) + twoDaysMonthly,
       kWarning + "line 4: the date goes back from 2001 1 31 to 2001 1 30 (1 time in all: rows in "
                  "reverse order, or two runs in one file?)\n"},
      {"a Ctrl-Z before data rows",
       "q\n" + twoDays + "\x1A" + "2001 2 1 24 3\n",
       {},
       4,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q\n" + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_q\n" + twoDaysMonthly,
       kWarning + "line 4: a Ctrl-Z byte ended the input, as on Windows, and the 14 bytes behind "
                  "it, which hold data rows, were not read (remove the Ctrl-Z to read them)\n"},
      {"two values without a blank between them",
       "q1 q2\n2001 1 30 24 4 1\n2001 1 31 24 6-2\n",
       {},
       4,
       "2 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q1 q2\n2001\t1\t30\t24\t4\t1\n2001\t1\t31\t24\t6\t-2\n"
       "0\t0\t0\t0\t5\t-0.5\n",
       "monthly_sums_from_flow.dat_:_q1 q2\n2001\t1\t31\t24\t5\t-0.5\n0\t0\t0\t0\t5\t-0.5\n",
       kWarning +
           "line 3: only the start of \"6-2\" was read as a number, and the rest as the next "
           "field or not at all (1 token in all; fields are separated by blanks or tabs)\n"},
      {"month 13",
       "q\n2001 1 30 24 4\n2001 13 31 24 6\n",
       {},
       4,
       "1 columns \n.." + kDone,
       "daily_sums_from_flow.dat_:_q\n2001\t1\t30\t24\t4\n2001\t13\t31\t24\t6\n"
       "0\t0\t0\t0\t0\n",
       "monthly_sums_from_flow.dat_:_q\n0\t0\t0\t0\t0\n",
       kWarning + "line 3: the month 13 of 2001 13 31 24 is out of range (1 row in all)\n" +
           kWarning +
           "the input ended in an unfinished month (last row 2001 13 31 24): 2 closed days are "
           "in no monthly row and not in the final row\n"},
      {"a value beyond the range of numbers",
       "q\n2001 1 30 24 4\n2001 1 31 24 1e400\n",
       {},
       0,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_q\n2001\t1\t30\t24\t4\n2001\t1\t31\t24\t1.#INF\n"
       "0\t0\t0\t0\t1.#INF\n",
       "monthly_sums_from_flow.dat_:_q\n2001\t1\t31\t24\t1.#INF\n0\t0\t0\t0\t1.#INF\n",
       kWarning + "line 3: the value \"1e400\" is beyond the range of numbers and was read as "
                  "infinity (1 value in all)\n"},
      {"a byte-order mark before the first data row",
       "\xEF\xBB\xBF" + twoDays,
       {},
       0,
       "0 Kopfzeilen..\n\n1 columns \n..1/2001\n" + kDone,
       twoDaysDaily,
       twoDaysMonthly,
       ""},
      {"a byte-order mark before the header lines",
       "\xEF\xBB\xBF" + twoHeaders + twoDays,
       {},
       0,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_" + twoHeaders + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_" + twoHeaders + twoDaysMonthly,
       ""},
      {"a header-row count that reaches into the data",
       twoHeaders + twoDays,
       {"3"},
       4,
       "1 columns \n.1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_" + twoHeaders + "2001 1 30 24 4\n2001\t1\t31\t24\t6\n" +
           "0\t0\t0\t0\t6\n",
       "monthly_sums_from_flow.dat_:_" + twoHeaders + "2001 1 30 24 4\n2001\t1\t31\t24\t6\n" +
           "0\t0\t0\t0\t6\n",
       kWarning + "the header-row count 3 copies 1 data row into the header (the rows from line 3 "
                  "on start with a number; leave the count out to detect it)\n"},
      {"an argument after the column count",
       twoHeaders + twoDays,
       {"2", "1", "x"},
       0,
       "1 columns \n..1/2001\n" + kDone,
       "daily_sums_from_flow.dat_:_" + twoHeaders + twoDaysDaily,
       "monthly_sums_from_flow.dat_:_" + twoHeaders + twoDaysMonthly,
       kWarning + "more than three arguments after the options: \"1\" \"x\" ignored, and the value "
                  "columns are counted\n"},
  };
  for (const Mistake& c : cases) {
    const ToolRun result = run(c.input, c.arguments);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.console, kBanner + c.console) << c.what;
    EXPECT_EQ(file("flow.tat"), c.daily) << c.what;
    EXPECT_EQ(file("flow.mat"), c.monthly) << c.what;
    EXPECT_EQ(result.diagnostics, c.diagnostics) << c.what;
  }
}

TEST_F(DiagnosticsEndToEnd, WordsWhereACountBelongsAreRefusedBeforeAnyFileIsCreated) {
  const std::string hint = " (options go before the file name)";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"a.dat", "b.dat"}, "the header-row count must be a number or \"auto\", not 'b.dat'"},
      {{"a.dat", "--yearly"},
       "the header-row count must be a number or \"auto\", not '--yearly'" + hint},
      {{"a.dat", "1", "--stat=sum"},
       "the number of value columns must be a number or \"auto\", not '--stat=sum'" + hint},
  };
  writeFile(folder.work() / "a.dat", "2001 1 31 24 5\n");
  writeFile(folder.work() / "b.dat", "2001 1 31 24 6\n");
  for (const auto& [arguments, error] : cases) {
    const ToolRun result = runTool(folder, arguments);
    EXPECT_EQ(result.status, 1) << error;
    EXPECT_EQ(result.console, kBanner + "error: " + error + "\n" + kUsage);
    EXPECT_EQ(result.diagnostics, "") << error;
  }
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"a.dat", "b.dat"}));
}

// February 2001, hourly: the hour and the day as values.
const std::string kFebruaryHeader = "year month day hour q1 q2\n";

std::string february() {
  return kFebruaryHeader + hourlyRows(2001, 2, 1, 28, [](int day, int hour) {
           return std::to_string(hour) + " " + std::to_string(day);
         });
}

std::string februaryDaily() {
  std::string daily = "daily_sums_from_flow.dat_:_" + kFebruaryHeader;
  for (int day = 1; day <= 28; ++day) {
    daily += "2001\t2\t" + std::to_string(day) + "\t24\t12.5\t" + std::to_string(day) + "\n";
  }
  return daily + "0\t0\t0\t0\t12.5\t14.5\n";
}

const std::string kFebruaryMonthly = "monthly_sums_from_flow.dat_:_" + kFebruaryHeader +
                                     "2001\t2\t28\t24\t12.5\t14.5\n0\t0\t0\t0\t12.5\t14.5\n";

TEST_F(DiagnosticsEndToEnd, CleanRunWritesNothingOnStandardError) {
  const ToolRun result = run(february());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "2 columns \n" + std::string(28, '.') + "2/2001\n" + kDone);
  EXPECT_EQ(result.diagnostics, "");
  EXPECT_EQ(file("flow.tat"), februaryDaily());
  EXPECT_EQ(file("flow.mat"), kFebruaryMonthly);
}

TEST_F(DiagnosticsEndToEnd, QuietRunsPrintNothingButErrors) {
  const ToolRun clean = run(february(), {}, "flow.dat", {"--quiet"});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.console, "");
  EXPECT_EQ(clean.diagnostics, "");
  EXPECT_EQ(file("flow.tat"), februaryDaily());
  EXPECT_EQ(file("flow.mat"), kFebruaryMonthly);

  const ToolRun incomplete = run(januaryWithNa(), {}, "flow.dat", {"--quiet"});
  EXPECT_EQ(incomplete.status, 4);
  EXPECT_EQ(incomplete.console, "");
  EXPECT_EQ(incomplete.diagnostics, kNaWarning);
  EXPECT_EQ(file("flow.tat"), "daily_sums_from_flow.dat_:_q\n" + daysOneToNine() + kNaTotals);
  EXPECT_EQ(file("flow.mat"), "monthly_sums_from_flow.dat_:_q\n" + kNaTotals);

  const ToolRun missing = runTool(folder, {"--quiet", "flwo.dat"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.console, "error opening file flwo.dat\n");
  EXPECT_EQ(missing.diagnostics,
            "skarvel: error opening file flwo.dat: No such file or directory\n");
}

TEST_F(DiagnosticsEndToEnd, ErrorsGiveTheSystemsReasonOnStandardError) {
  const ToolRun missing = runTool(folder, {"flwo.dat"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.console, kBanner + "error opening file flwo.dat\n");
  EXPECT_EQ(missing.diagnostics,
            "skarvel: error opening file flwo.dat: No such file or directory\n");
  EXPECT_TRUE(folder.listing().empty());

  fs::create_directory(folder.work() / "flow.tat");
  const ToolRun output = run(february());
  EXPECT_EQ(output.status, 3);
  EXPECT_EQ(output.console, kBanner + "error creating file flow.tat\n");
#ifndef _WIN32  // there, creating a file over a folder is "Permission denied"
  EXPECT_EQ(output.diagnostics, "skarvel: error creating file flow.tat: Is a directory\n");
#endif

  const ToolRun folderInput = runTool(folder, {"flow.tat"});
  EXPECT_EQ(folderInput.status, 2);
  EXPECT_EQ(folderInput.console, kBanner + "error opening file flow.tat\n");
  EXPECT_EQ(folderInput.diagnostics, "skarvel: error opening file flow.tat: Is a directory\n");
}

TEST_F(DiagnosticsEndToEnd, ProgressWithoutATerminalGivesOnlyTheSummary) {
  const ToolRun result = run(february(), {}, "flow.dat", {"--progress"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "2 columns \n" + kDone);  // no marks
  EXPECT_TRUE(std::regex_match(result.diagnostics,
                               std::regex("skarvel: 672 rows read, 28 days, 1 months, 1344 values "
                                          "accepted, 0 missing, [0-9]+\\.[0-9]{2} s\n")))
      << result.diagnostics;
  EXPECT_EQ(file("flow.tat"), februaryDaily());
  EXPECT_EQ(file("flow.mat"), kFebruaryMonthly);
}

// A failed token longer than a quote: the quote is cut, and must say so. The reader cuts the
// token to 40 bytes already (quoteAt), so the report never sees it longer and leaves out the
// "...". The same holds for the text after the values.
TEST_F(DiagnosticsEndToEnd, ACutQuoteEndsInAnEllipsis) {
  const std::string word(50, 'x');
  const ToolRun failed = run("2001 1 30 24 1\n2001 1 31 24 " + word + "\n", {"0", "1"});
  EXPECT_EQ(failed.diagnostics,
            kWarning + "line 2: reading stopped at \"" + word.substr(0, 40) +
                "...\", which is no number; 1 data row was not read from there on" + kNotNumbers);
  const ToolRun extra = run("2001 1 31 24 5 " + word + "\n");
  EXPECT_EQ(extra.diagnostics, kWarning + "line 1: text after the last of 1 values ignored: \"" +
                                   word.substr(0, 40) + "...\" (1 row in all)\n");
}

}  // namespace
}  // namespace skarvel
