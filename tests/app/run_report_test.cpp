// The run's warnings: which facts earn which warning, its exact text, its order, and whether it
// makes the results incomplete (exit status 4).
#include "run_report.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace skarvel {
namespace {

using Expected = std::vector<std::pair<std::string, bool>>;  // text, incomplete

// The offsets in the failed tokens and occurrences below differ from their lines on purpose:
// the report names the lines the run resolved, never an offset.

// A clean run: two detected value columns, two closed days, the input ended on a month close.
RunFacts cleanRun() {
  RunFacts facts;
  facts.columnsDetected = true;
  facts.valueColumns = 2;
  facts.firstDataRowLine = 2;
  facts.firstDataRow = "2001 1 30 24 1 2\n";
  facts.rowsRead = 2;
  facts.daysClosed = 2;
  facts.daysSinceMonthClose = 0;
  facts.openDayRows = 0;
  facts.lastStamp = {2001, 1, 31, 24};
  facts.endLine = 4;
  return facts;
}

Expected warningsOf(const RunFacts& facts) {
  Expected result;
  for (const Warning& warning : warningsFor(facts)) {
    result.emplace_back(warning.text, warning.incomplete);
  }
  return result;
}

struct ReportCase {
  const char* what;
  std::function<void(RunFacts&)> change;
  Expected warnings;
};

const std::string kNoDay =
    " (a day closes on its row with hour 24; hours 0..23? skarvel expects the day's last step as "
    "hour 24, or use --day-ends=23)";
const std::string kNotNumbers =
    " (missing values must be numbers, such as -9999, or named with --missing=NA)";

TEST(RunReport, WarningsForEachRule) {
  const ReportCase cases[] = {
      {"clean run", [](RunFacts&) {}, {}},
      {"W1: data rows left after the failed token; the input did not end there, so no W6",
       [](RunFacts& f) {
         f.failure = FailedToken{22207, "NA", true};
         f.failureLine = 222;
         f.dataRowsUnread = 524;
         f.lastStamp = {2001, 1, 10, 5};
         f.openDayRows = 5;
         f.daysSinceMonthClose = 9;
       },
       {{"line 222: reading stopped at \"NA\", which is no number; 524 data rows were not read "
         "from there on" +
             kNotNumbers,
         true}}},
      {"W1 with one data row left, in an unfinished month",
       [](RunFacts& f) {
         f.failure = FailedToken{307, "x", true};
         f.failureLine = 3;
         f.dataRowsUnread = 1;
         f.daysSinceMonthClose = 4;
       },
       {{"line 3: reading stopped at \"x\", which is no number; 1 data row was not read from "
         "there on" +
             kNotNumbers,
         true}}},
      {"W5: no data row after the failed token",
       [](RunFacts& f) {
         f.failure = FailedToken{407, "end", false};
         f.failureLine = 4;
         f.dataRowsUnread = 0;
       },
       {{"line 4: reading stopped at \"end\", which is no number; no data row follows, so the "
         "rest is taken as a footer",
         false}}},
      {"W5 after an unfinished month: the input ended there, so W6 too",
       [](RunFacts& f) {
         f.failure = FailedToken{1307, "Total", false};
         f.failureLine = 13;
         f.lastStamp = {2001, 2, 10, 24};
         f.daysSinceMonthClose = 10;
       },
       {{"line 13: reading stopped at \"Total\", which is no number; no data row follows, so the "
         "rest is taken as a footer",
         false},
        {"the input ended in an unfinished month (last row 2001 2 10 24): 10 closed days are in "
         "no monthly row and not in the final row",
         false}}},
      {"W2: detected count 0",
       [](RunFacts& f) {
         f.valueColumns = 0;
         f.firstDataRow = "2001,1,1,24,1.5\n";
       },
       {{"line 2: no value columns found after the four date fields of \"2001,1,1,24,1.5\" "
         "(this looks like a CSV file: skarvel reads blank- or tab-separated columns)",
         true}}},
      {"W1 at an ISO date",
       [](RunFacts& f) {
         f.failure = FailedToken{307, "2001-01-02", true};
         f.failureLine = 3;
         f.dataRowsUnread = 1;
       },
       {{"line 3: reading stopped at \"2001-01-02\", which is no number; 1 data row was not read "
         "from there on (this looks like a CSV file: skarvel reads blank- or tab-separated "
         "columns)",
         true}}},
      {"an output name that is the input",
       [](RunFacts& f) {
         f.inputAsOutputName = "data.txt";
         f.outputNames = {"data.t$$", "data.m$$", "data.y$$"};
         f.labelName = "data.txt.$$$";
       },
       {{"the output name data.txt is the input, so the outputs are data.t$$, data.m$$ and "
         "data.y$$ (labelled data.txt.$$$)",
         false}}},
      {"no W2 for a given count of 0",
       [](RunFacts& f) {
         f.columnsDetected = false;
         f.valueColumns = 0;
       },
       {}},
      {"W3 with W6: hours 0..23, the input ended inside a day",
       [](RunFacts& f) {
         f.rowsRead = 48;
         f.daysClosed = 0;
         f.lastStamp = {2001, 1, 2, 23};
         f.openDayRows = 48;
       },
       {{"no row closed a day in 48 rows" + kNoDay, true},
        {"the input ended inside a day (last row 2001 1 2 23): its 48 rows are in no daily row, "
         "only in the final row",
         false}}},
      {"W3 with one row whose day was dropped",
       [](RunFacts& f) {
         f.rowsRead = 1;
         f.daysClosed = 0;
       },
       {{"no row closed a day in 1 row" + kNoDay, true}}},
      {"no W3 when no stamp was read",
       [](RunFacts& f) {
         f.rowsRead = 0;
         f.daysClosed = 0;
       },
       {}},
      {"W4: a value read from the next line",
       [](RunFacts& f) {
         f.linesCrossed = {303, "", 1};
         f.linesCrossedLine = 3;
       },
       {{"line 3: the row has fewer than 2 values, and its missing values were read from the next "
         "line (1 row in all)",
         true}}},
      {"W4: rows short several times; the first one is named",
       [](RunFacts& f) {
         f.valueColumns = 5;
         f.linesCrossed = {1703, "", 3};
         f.linesCrossedLine = 17;
       },
       {{"line 17: the row has fewer than 5 values, and its missing values were read from the "
         "next line (3 rows in all)",
         true}}},
      {"W4: the input ended inside a row's values",
       [](RunFacts& f) {
         f.endedInsideValues = true;
         f.endLine = 5;
       },
       {{"line 5: the input ended inside a row, before its 2 values", true}}},
      {"W4: a crossed line is named before the end inside a row",
       [](RunFacts& f) {
         f.linesCrossed = {303, "", 1};
         f.linesCrossedLine = 3;
         f.endedInsideValues = true;
         f.endLine = 5;
       },
       {{"line 3: the row has fewer than 2 values, and its missing values were read from the next "
         "line (1 row in all)",
         true}}},
      {"W6: one closed day after the last month close",
       [](RunFacts& f) {
         f.lastStamp = {2001, 2, 1, 24};
         f.daysSinceMonthClose = 1;
       },
       {{"the input ended in an unfinished month (last row 2001 2 1 24): 1 closed day is in no "
         "monthly row and not in the final row",
         false}}},
      {"W6: one row of an open day",
       [](RunFacts& f) {
         f.lastStamp = {2001, 2, 1, 1};
         f.openDayRows = 1;
         f.daysSinceMonthClose = 0;
       },
       {{"the input ended inside a day (last row 2001 2 1 1): its 1 row is in no daily row, only "
         "in the final row",
         false}}},
      {"W6 after a last row above the close hour: closed days and its open day in no row",
       [](RunFacts& f) {
         f.lastStamp = {2001, 1, 31, 25};
         f.daysSinceMonthClose = 2;
         f.openDayRows = 1;
       },
       {{"the input ended in an unfinished month (last row 2001 1 31 25): 2 closed days are in "
         "no monthly row and not in the final row",
         false},
        {"the input ended inside a day (last row 2001 1 31 25): its 1 row is in no daily row, and "
         "not in the final row",
         false}}},
      {"W6 with --day-ends=23 after a last row with hour 24",
       [](RunFacts& f) {
         f.closeHour = 23;
         f.lastStamp = {2001, 1, 30, 24};
         f.daysSinceMonthClose = 0;
         f.openDayRows = 1;
       },
       {{"the input ended inside a day (last row 2001 1 30 24): its 1 row is in no daily row, and "
         "not in the final row",
         false}}},
      {"W7: text after the last value",
       [](RunFacts& f) {
         f.valueColumns = 1;
         f.extraText = {203, "ok", 2};
         f.extraTextLine = 2;
       },
       {{"line 2: text after the last of 1 values ignored: \"ok\" (2 rows in all)", false}}},
      {"W7 once",
       [](RunFacts& f) {
         f.extraText = {903, "#", 1};
         f.extraTextLine = 9;
       },
       {{"line 9: text after the last of 2 values ignored: \"#\" (1 row in all)", false}}},
      {"no W7 with a given count",
       [](RunFacts& f) {
         f.columnsDetected = false;
         f.extraText = {203, "ok", 2};
         f.extraTextLine = 2;
       },
       {}},
      {"no W7 with a detected count of 0, only W2",
       [](RunFacts& f) {
         f.valueColumns = 0;
         f.firstDataRow = "2001-01-01T01:00 1.5\n";
         f.extraText = {203, "1.5", 1};
         f.extraTextLine = 2;
       },
       {{"line 2: no value columns found after the four date fields of \"2001-01-01T01:00 1.5\" "
         "(this looks like a CSV file: skarvel reads blank- or tab-separated columns)",
         true}}},
      {"a number read from part of its token",
       [](RunFacts& f) {
         f.partTokens = {508, "2-3", 2};
         f.partTokensLine = 5;
       },
       {{"line 5: only the start of \"2-3\" was read as a number, and the rest as the next field "
         "or not at all (2 tokens in all; fields are separated by blanks or tabs)",
         true}}},
      {"an infinite value",
       [](RunFacts& f) {
         f.infiniteValues = {612, "1e400", 1};
         f.infiniteValuesLine = 6;
       },
       {{"line 6: the value \"1e400\" is beyond the range of numbers and was read as infinity (1 "
         "value in all)",
         false}}},
      {"a Ctrl-Z before data rows",
       [](RunFacts& f) {
         f.ctrlZ = CtrlZEnd{300, 300, 45, true};
         f.ctrlZLine = 4;
       },
       {{"line 4: a Ctrl-Z byte ended the input, as on Windows, and the 45 bytes behind it, which "
         "hold data rows, were not read (remove the Ctrl-Z to read them)",
         true}}},
      {"a stamp field out of range",
       [](RunFacts& f) {
         f.stampsOutOfRange = {700, "", 24};
         f.firstOutOfRange = {2001, 13, 1, 1};
         f.stampsOutOfRangeLine = 7;
       },
       {{"line 7: the month 13 of 2001 13 1 1 is out of range (24 rows in all)", true}}},
      {"a day closed again",
       [](RunFacts& f) {
         f.closeOrder.repeatedDays = {1207, "", 31};
         f.closeOrder.firstRepeated = {2001, 1, 1, 24};
         f.repeatedDaysLine = 12;
       },
       {{"line 12: the day 2001 1 1 closed again (31 days closed more than once: several rows per "
         "hour, or repeated rows?)",
         true}}},
      {"a date that goes back",
       [](RunFacts& f) {
         f.closeOrder.datesBack = {4007, "", 1};
         f.closeOrder.backFrom = {2001, 12, 31, 24};
         f.closeOrder.backTo = {2001, 1, 1, 24};
         f.datesBackLine = 40;
       },
       {{"line 40: the date goes back from 2001 12 31 to 2001 1 1 (1 time in all: rows in reverse "
         "order, or two runs in one file?)",
         true}}},
      {"a header-row count that copies data rows",
       [](RunFacts& f) {
         f.headerRowsGiven = 5;
         f.headerDataRows = 3;
         f.firstDataRowLine = 3;
       },
       {{"the header-row count 5 copies 3 data rows into the header (the rows from line 3 on start "
         "with a number; leave the count out to detect it)",
         true}}},
      {"W8: arguments after the column count",
       [](RunFacts& f) {
         f.ignoredArguments = {"1", "x"};
       },
       {{"more than three arguments after the options: \"1\" \"x\" ignored, and the value columns "
         "are counted",
         false}}},
      {"every rule that can meet, in print order",
       [](RunFacts& f) {
         f.ignoredArguments = {"4", "--yearly"};
         f.failure = FailedToken{4007, "footer", false};
         f.failureLine = 40;
         f.linesCrossed = {703, "", 2};
         f.linesCrossedLine = 7;
         f.extraText = {503, "A", 3};
         f.extraTextLine = 5;
         f.rowsRead = 30;
         f.daysClosed = 0;
         f.lastStamp = {2001, 1, 2, 6};
         f.openDayRows = 30;
       },
       {{"more than three arguments after the options: \"4\" \"--yearly\" ignored, and the value "
         "columns are counted",
         false},
        {"line 40: reading stopped at \"footer\", which is no number; no data row follows, so the "
         "rest is taken as a footer",
         false},
        {"line 7: the row has fewer than 2 values, and its missing values were read from the next "
         "line (2 rows in all)",
         true},
        {"line 5: text after the last of 2 values ignored: \"A\" (3 rows in all)", false},
        {"no row closed a day in 30 rows" + kNoDay, true},
        {"the input ended inside a day (last row 2001 1 2 6): its 30 rows are in no daily row, "
         "only in the final row",
         false}}},
  };
  for (const ReportCase& c : cases) {
    RunFacts facts = cleanRun();
    c.change(facts);
    EXPECT_EQ(warningsOf(facts), c.warnings) << c.what;
  }
}

// Quotes: one line of plain text, at most 40 characters of the quoted text.
TEST(RunReport, QuotesStayShortPlainText) {
  const std::string forty(40, 'q');
  const std::pair<std::string, std::string> cases[] = {
      {"2001 1 1 24\n", "\"2001 1 1 24\""},
      {"2001 1 1 24\r\n", "\"2001 1 1 24\""},
      {"2001\t1\t1\t24\n", "\"2001\\x091\\x091\\x0924\""},
      {"\x01\x1b[0m\x7f\x80\xff", "\"\\x01\\x1b[0m\\x7f\x80\xff\""},
      {std::string("a\0b", 3), "\"a\\x00b\""},
      {"a\rb", "\"a\\x0db\""},
      {forty, "\"" + forty + "\""},
      {forty + "\n", "\"" + forty + "\""},
      {forty + "r", "\"" + forty + "...\""},
      {forty + "\x01", "\"" + forty + "...\""},
      {"", "\"\""},
  };
  for (const auto& [text, quote] : cases) {
    RunFacts facts = cleanRun();
    facts.valueColumns = 0;
    facts.firstDataRow = text;
    EXPECT_EQ(warningsOf(facts),
              (Expected{{"line 2: no value columns found after the four date fields of " + quote +
                             " (values are separated by blanks or tabs)",
                         true}}))
        << text;

    facts = cleanRun();
    facts.ignoredArguments = {text};
    EXPECT_EQ(warningsOf(facts),
              (Expected{{"more than three arguments after the options: " + quote +
                             " ignored, and the value columns are counted",
                         false}}))
        << text;
  }
}

TEST(RunReport, QuotesTheFailedTokenAndTheExtraText) {
  RunFacts facts = cleanRun();
  facts.failure = FailedToken{807, "\x02nan\x7f", false};
  facts.failureLine = 8;
  facts.extraText = {303, std::string(41, 'z'), 1};
  facts.extraTextLine = 3;
  EXPECT_EQ(warningsOf(facts),
            (Expected{{"line 8: reading stopped at \"\\x02nan\\x7f\", which is no number; no data "
                       "row follows, so the rest is taken as a footer",
                       false},
                      {"line 3: text after the last of 2 values ignored: \"" +
                           std::string(40, 'z') + "...\" (1 row in all)",
                       false}}));
}

}  // namespace
}  // namespace skarvel
