// The threaded reading against the reading on one thread: for every input and option, any
// thread count and chunk size gives the same exit status, standard output, standard error and
// output files, byte for byte, as --threads=1. The inputs are generated: a few years of hourly
// rows, clean or with what makes the threads hand the rest of the input to one thread (a failed
// conversion, a short or long row, CR LF, Ctrl-Z, NUL, what a warning names) early, in the
// middle or in the last day.
#include <algorithm>
#include <functional>
#include <map>
#include <optional>

#include "end_to_end.hpp"
#include "seeded_random.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

// How one run reads: the thread count and the chunk size (the default when not given).
struct Reading {
  int threads = 1;
  std::optional<int> chunkBytes;
  // The row scanner by name (SKARVEL_ROW_SCAN), where the build and CPU have it; else the default.
  std::optional<std::string> rowScan;

  std::string label() const {
    return "--threads=" + std::to_string(threads) + " with " +
           (chunkBytes ? std::to_string(*chunkBytes) + "-byte chunks" : "the default chunks") +
           (rowScan ? ", rows scanned by " + *rowScan : "");
  }
};

const Reading kOneThread{1, std::nullopt, std::nullopt};
// Chunks of 300 bytes hold a few daily rows but never an hourly day; 1777 bytes hold one or two
// hourly days, or none when the rows are long; 4096 bytes some; the default chunk the whole file.
// The scalar row scan reads as the default one (AVX2 where the CPU has it), on one thread and on
// several.
const std::vector<Reading> kEveryReading = {
    {2, 300, std::nullopt},      {2, 1777, std::nullopt},
    {2, 4096, std::nullopt},     {2, std::nullopt, std::nullopt},
    {3, 300, std::nullopt},      {3, 1777, std::nullopt},
    {3, 4096, std::nullopt},     {3, std::nullopt, std::nullopt},
    {1, std::nullopt, "scalar"}, {2, 1777, "scalar"}};
const std::vector<Reading> kSomeReadings = {{2, 1777, std::nullopt},
                                            {3, 4096, std::nullopt},
                                            {2, std::nullopt, std::nullopt},
                                            {1, std::nullopt, "scalar"}};

// Everything a run leaves: its status, its console bytes and every file in its folder.
struct Outcome {
  int status = -1;
  std::string console;
  std::string diagnostics;
  std::map<std::string, std::string> files;  // by name, the input left out
};

// Standard error with the run time of the --progress summary (", 0.02 s" before a line end)
// taken out. Written out by hand: the regular expressions of the Windows build's library refuse
// digit ranges in some locales.
std::string withoutRunTime(const std::string& diagnostics) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::string result;
  std::size_t at = 0;
  while (at < diagnostics.size()) {
    const std::size_t comma = diagnostics.find(", ", at);
    if (comma == std::string::npos) {
      break;
    }
    std::size_t end = comma + 2;
    const std::size_t digits = end;
    while (end < diagnostics.size() && isDigit(diagnostics[end])) {
      ++end;
    }
    const bool timed = end > digits && end + 4 < diagnostics.size() + 1 &&
                       diagnostics.compare(end, 1, ".") == 0 && end + 3 <= diagnostics.size() &&
                       isDigit(diagnostics[end + 1]) && isDigit(diagnostics[end + 2]) &&
                       diagnostics.compare(end + 3, 2, " s") == 0 &&
                       (end + 5 == diagnostics.size() || diagnostics[end + 5] == '\n' ||
                        diagnostics[end + 5] == '\r');
    result.append(diagnostics, at, comma - at);
    if (timed) {
      result += ", <time> s";
      at = end + 5;
    } else {
      result += ", ";
      at = comma + 2;
    }
  }
  result.append(diagnostics, at, std::string::npos);
  return result;
}

Outcome runReading(const std::string& input, const std::vector<std::string>& options,
                   const Reading& reading) {
  TempFolder folder;
  writeFile(folder.work() / "flow.dat", input);
  std::vector<std::string> words = options;
  words.push_back("--threads=" + std::to_string(reading.threads));
  words.push_back("flow.dat");
  ToolEnvironment environment;
  if (reading.chunkBytes) {
    environment.emplace_back("SKARVEL_TEST_CHUNK_BYTES", std::to_string(*reading.chunkBytes));
  }
  if (reading.rowScan) {
    environment.emplace_back("SKARVEL_ROW_SCAN", *reading.rowScan);
  }
  const ToolRun run = runTool(folder, words, SKARVEL_BINARY, "", environment);
  Outcome outcome;
  outcome.status = run.status;
  outcome.console = run.rawConsole;
  outcome.diagnostics = withoutRunTime(readFile(folder.diagnosticsFile()));
  for (const std::string& name : folder.listing()) {
    if (name != "flow.dat") {
      outcome.files[name] = readFile(folder.work() / pathOf(name));
    }
  }
  EXPECT_TRUE(readFile(folder.work() / "flow.dat") == input) << "the input was changed";
  return outcome;
}

// Where two texts first differ, with the line there in each; empty when they are the same.
std::string firstDifference(const std::string& expected, const std::string& actual) {
  if (expected == actual) {
    return {};
  }
  const auto [at, ignored] =
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const std::size_t offset = static_cast<std::size_t>(at - expected.begin());
  const std::size_t lineStart = expected.rfind('\n', offset == 0 ? 0 : offset - 1);
  const std::size_t from = lineStart == std::string::npos || offset == 0 ? 0 : lineStart + 1;
  const auto lineAt = [from](const std::string& text) {
    return text.substr(from, std::min<std::size_t>(text.find('\n', from) - from, 200));
  };
  return "sizes " + std::to_string(expected.size()) + " and " + std::to_string(actual.size()) +
         ", first difference at byte " + std::to_string(offset) + ": one thread '" +
         lineAt(expected) + "', threads '" + lineAt(actual) + "'";
}

void expectSameOutcome(const Outcome& expected, const Outcome& actual, const std::string& what) {
  EXPECT_EQ(actual.status, expected.status) << what;
  EXPECT_EQ(firstDifference(expected.console, actual.console), "") << what << ": standard output";
  EXPECT_EQ(firstDifference(expected.diagnostics, actual.diagnostics), "")
      << what << ": standard error";
  std::vector<std::string> expectedNames;
  std::vector<std::string> actualNames;
  for (const auto& [name, content] : expected.files) {
    expectedNames.push_back(name);
  }
  for (const auto& [name, content] : actual.files) {
    actualNames.push_back(name);
    const auto reference = expected.files.find(name);
    if (reference != expected.files.end()) {
      EXPECT_EQ(firstDifference(reference->second, content), "") << what << ": " << name;
    }
  }
  EXPECT_EQ(actualNames, expectedNames) << what << ": the files written";
}

// Runs the input with --threads=1, then with each of `readings`, and compares.
void expectSameAsOneThread(const std::string& input, const std::vector<std::string>& options,
                           const std::vector<Reading>& readings) {
  const Outcome reference = runReading(input, options, kOneThread);
  ASSERT_GE(reference.files.size(), 2U) << "the run on one thread wrote no files";
  for (const Reading& reading : readings) {
    expectSameOutcome(reference, runReading(input, options, reading), reading.label());
  }
}

// A generated input: header lines and data rows, each without its line end.
struct Rows {
  std::vector<std::string> header;
  std::vector<std::string> data;

  std::string text(const std::string& lineEnd = "\n") const {
    std::string joined;
    for (const std::vector<std::string>* lines : {&header, &data}) {
      for (const std::string& line : *lines) {
        joined += line + lineEnd;
      }
    }
    return joined;
  }
};

struct Shape {
  std::uint64_t seed = 1;
  int columns = 4;
  int firstHour = 1;  // hours firstHour..lastHour each day
  int lastHour = 24;
  int months = 26;
};

bool isLeap(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int monthLength(int year, int month) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeap(year) ? 29 : kLengths[month - 1];
}

// A value with three decimals, or now and then -9999; whole stretches of a day are missing in
// some columns, so coverage varies from period to period.
std::string valueText(SeededRandom& random, bool inGap) {
  if (inGap || random.below(40) == 0) {
    return "-9999";
  }
  const int thousandths = random.below(2000001) - 1000000;
  const int magnitude = thousandths < 0 ? -thousandths : thousandths;
  std::string decimals = std::to_string(magnitude % 1000);
  decimals.insert(0, 3 - decimals.size(), '0');
  std::string text = thousandths < 0 ? "-" : "";
  text.append(std::to_string(magnitude / 1000)).append(".").append(decimals);
  return text;
}

// Rows from November 1999 on (a leap February and two year ends within the usual 26 months).
Rows generate(const Shape& shape) {
  SeededRandom random(shape.seed);
  Rows rows;
  rows.header = {"Varno time series output, seed " + std::to_string(shape.seed),
                 "run: reference, time step 1 h, missing values -9999"};
  std::string names = "year month day hour";
  for (int c = 1; c <= shape.columns; ++c) {
    names += " q" + std::to_string(c) + "[mm]";
  }
  rows.header.push_back(names);
  int year = 1999;
  int month = 11;
  for (int m = 0; m < shape.months; ++m) {
    for (int day = 1; day <= monthLength(year, month); ++day) {
      std::vector<bool> gaps;
      for (int c = 0; c < shape.columns; ++c) {
        gaps.push_back(random.below(8) == 0);
      }
      for (int hour = shape.firstHour; hour <= shape.lastHour; ++hour) {
        std::string row = std::to_string(year) + " " + std::to_string(month) + " " +
                          std::to_string(day) + " " + std::to_string(hour);
        for (int c = 0; c < shape.columns; ++c) {
          const bool inGap = gaps[static_cast<std::size_t>(c)] && hour - shape.firstHour < 14;
          row.push_back(random.below(4) == 0 ? '\t' : ' ');
          row.append(valueText(random, inGap));
        }
        rows.data.push_back(row);
      }
    }
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return rows;
}

Rows hourly(std::uint64_t seed, int columns) {
  return generate({seed, columns, 1, 24, 26});
}

// Where a fault goes: early (the second day), in the middle, or in the last day.
enum class Place { early, middle, lastDay };

std::size_t rowAt(const Rows& rows, Place place) {
  switch (place) {
    case Place::early:
      return 30;
    case Place::middle:
      return rows.data.size() / 2;
    case Place::lastDay:
      break;
  }
  return rows.data.size() - 9;
}

// One input, the options to run it with and the readings to compare. The input is made when
// the test runs, so that listing the tests stays quick.
struct Case {
  std::string name;
  std::function<std::string()> input;
  std::vector<std::string> options;
  const std::vector<Reading>* readings = &kEveryReading;
};

// A failing case is named, not dumped as bytes.
void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

std::string printCaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

class ThreadsEndToEnd : public ::testing::TestWithParam<Case> {};

TEST_P(ThreadsEndToEnd, WritesWhatOneThreadWrites) {
  const Case& c = GetParam();
  expectSameAsOneThread(c.input(), c.options, *c.readings);
}

// `rows` as text, the last `dropped` rows left out (an unfinished last day), without the final
// line end when `cutLastNewline`.
std::string endingWith(Rows rows, std::size_t dropped, bool cutLastNewline) {
  rows.data.resize(rows.data.size() - dropped);
  std::string text = rows.text();
  if (cutLastNewline) {
    text.pop_back();
  }
  return text;
}

// Inputs that the threads read to the end of their last closing row.
std::vector<Case> wellFormedCases() {
  std::vector<Case> cases;
  for (const int columns : {3, 4, 6}) {
    cases.push_back(
        {"Clean" + std::to_string(columns) + "Columns",
         [columns] { return hourly(static_cast<std::uint64_t>(columns), columns).text(); },
         {}});
  }
  cases.push_back({"LastDayUnfinished", [] { return endingWith(hourly(11, 5), 7, false); }, {}});
  cases.push_back({"NoFinalNewline", [] { return endingWith(hourly(12, 4), 0, true); }, {}});
  cases.push_back(
      {"UnfinishedDayWithoutFinalNewline", [] { return endingWith(hourly(13, 3), 3, true); }, {}});
  cases.push_back({"FooterAfterTheData",
                   [] {
                     Rows footer = hourly(14, 4);
                     footer.data.push_back("end of run: 19032 rows written");
                     return footer.text();
                   },
                   {}});
  cases.push_back({"MonthZeroDayZeroRows",
                   [] {
                     Rows rows = hourly(15, 4);
                     for (const std::size_t at :
                          {rows.data.size() - 48, rows.data.size() / 3, std::size_t{24}}) {
                       rows.data.insert(rows.data.begin() + static_cast<std::ptrdiff_t>(at),
                                        "2000 0 0 24 1.5 2.5 -9999 4");
                     }
                     return rows.text();
                   },
                   {}});
  cases.push_back({"DayEndsAtHour23",
                   [] {
                     return generate({16, 4, 0, 23, 26}).text();
                   },
                   {"--day-ends=23"}});
  cases.push_back({"DailyRows", [] { return generate({17, 3, 24, 24, 40}).text(); }, {}});
  cases.push_back({"ByteOrderMarkWithoutHeader",
                   [] {
                     Rows rows = hourly(18, 4);
                     rows.header.clear();
                     return "\xEF\xBB\xBF" + rows.text();
                   },
                   {}});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(WellFormed, ThreadsEndToEnd, ::testing::ValuesIn(wellFormedCases()),
                         printCaseName);

// A fault put into the rows at one place.
struct Fault {
  std::string name;
  std::function<std::string(Rows rows, std::size_t at)> apply;
  std::vector<std::string> options;
};

std::string withLastValue(const std::string& row, const std::string& value) {
  return row.substr(0, row.find_last_of(" \t") + 1) + value;
}

std::vector<Fault> faults() {
  const auto replaceLastValue = [](const std::string& value) {
    return [value](Rows rows, std::size_t at) {
      rows.data[at] = withLastValue(rows.data[at], value);
      return rows.text();
    };
  };
  return {
      {"NaToken", replaceLastValue("NA"), {}},
      {"NaTokenAsMissing", replaceLastValue("NA"), {"--missing=NA"}},
      {"HugeNumberOfDigits", replaceLastValue("0." + std::string(900, '7')), {}},
      {"ShortRow",
       [](Rows rows, std::size_t at) {
         // The last value on a line of its own: read across the line end.
         const std::string row = rows.data[at];
         const std::size_t split = row.find_last_of(" \t");
         rows.data[at] = row.substr(0, split);
         rows.data.insert(rows.data.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                          row.substr(split + 1));
         return rows.text();
       },
       {}},
      {"ExtraText",
       [](Rows rows, std::size_t at) {
         rows.data[at] += " checked";
         return rows.text();
       },
       {}},
      {"CrLfFromThere",
       [](Rows rows, std::size_t at) {
         Rows tail;
         tail.data.assign(rows.data.begin() + static_cast<std::ptrdiff_t>(at), rows.data.end());
         rows.data.resize(at);
         return rows.text() + tail.text("\r\n");
       },
       {}},
      {"CtrlZ",
       [](Rows rows, std::size_t at) {
         rows.data[at].insert(rows.data[at].find_first_of(" \t", 12), "\x1A");
         return rows.text();
       },
       {}},
      // A day's rows once more: the copy's close comes again, often as a chunk's first close.
      {"DayTwice",
       [](Rows rows, std::size_t at) {
         const auto day = static_cast<std::ptrdiff_t>(at - at % 24);
         const std::vector<std::string> copy(rows.data.begin() + day, rows.data.begin() + day + 24);
         rows.data.insert(rows.data.begin() + day + 24, copy.begin(), copy.end());
         return rows.text();
       },
       {}},
      {"FirstDayAgain",
       [](Rows rows, std::size_t at) {
         const std::vector<std::string> copy(rows.data.begin(), rows.data.begin() + 24);
         rows.data.insert(rows.data.begin() + static_cast<std::ptrdiff_t>(at - at % 24 + 24),
                          copy.begin(), copy.end());
         return rows.text();
       },
       {}},
      {"NumberReadInPart", replaceLastValue("1e"), {}},
      {"InfiniteValue", replaceLastValue("1e400"), {}},
      {"MonthOutOfRange",
       [](Rows rows, std::size_t at) {
         std::string& row = rows.data[at];
         const std::size_t month = row.find(' ') + 1;
         row.replace(month, row.find(' ', month) - month, "13");
         return rows.text();
       },
       {}},
      {"NulByte",
       [](Rows rows, std::size_t at) {
         rows.data[at].insert(rows.data[at].find_first_of(" \t", 12), std::string(1, '\0'));
         return rows.text();
       },
       {}},
  };
}

std::vector<Case> fallbackCases() {
  std::vector<Case> cases;
  std::uint64_t seed = 100;
  for (const Fault& fault : faults()) {
    for (const auto& [place, placeName] :
         {std::pair{Place::early, "Early"}, std::pair{Place::middle, "InTheMiddle"},
          std::pair{Place::lastDay, "InTheLastDay"}}) {
      ++seed;
      cases.push_back({fault.name + placeName,
                       [apply = fault.apply, seed, place] {
                         const Rows rows = hourly(seed, 3 + static_cast<int>(seed % 4));
                         return apply(rows, rowAt(rows, place));
                       },
                       fault.options, &kSomeReadings});
    }
  }
  ++seed;
  cases.push_back(
      {"CrLfEverywhere", [seed] { return hourly(seed, 4).text("\r\n"); }, {}, &kSomeReadings});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(FallingBackToOneThread, ThreadsEndToEnd,
                         ::testing::ValuesIn(fallbackCases()), printCaseName);

// Every option that changes what is written, on a clean input and on one that falls back to
// one thread in the middle.
std::vector<Case> optionCases() {
  const std::vector<std::pair<std::string, std::vector<std::string>>> optionSets = {
      {"Mean", {"--stat=mean"}},
      {"Sum", {"--stat=sum"}},
      {"Min", {"--stat=min"}},
      {"Max", {"--stat=max"}},
      {"Count", {"--stat=count"}},
      {"Yearly", {"--yearly"}},
      {"YearStartsInApril", {"--year-start=4"}},
      {"MinCoverage50", {"--min-coverage=50"}},
      {"Csv", {"--format=csv"}},
      {"CsvYearlyMax", {"--format=csv", "--yearly", "--stat=max", "--min-coverage=50"}},
      {"Progress", {"--progress"}},
      {"Quiet", {"--quiet"}},
  };
  const auto clean = [] { return hourly(200, 5).text(); };
  const auto fallsBack = [] {
    Rows rows = hourly(201, 4);
    rows.data[rows.data.size() / 2] += " x";
    return rows.text();
  };
  std::vector<Case> cases;
  for (const auto& [name, options] : optionSets) {
    cases.push_back({name + "Clean", clean, options, &kSomeReadings});
    cases.push_back({name + "FallingBack", fallsBack, options, &kSomeReadings});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Options, ThreadsEndToEnd, ::testing::ValuesIn(optionCases()),
                         printCaseName);

}  // namespace
}  // namespace skarvel
