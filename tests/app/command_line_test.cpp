#include "command_line.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace skarvel {
namespace {

TEST(IntegerArgument, ReadsLikeStringToLong) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"3", 3},
      {"0", 0},
      {"-5", -5},
      {"+7", 7},
      {"  \t12", 12},
      {"4x", 4},
      {"auto", 0},
      {"", 0},
      {"-", 0},
      {"1.9", 1},
      {"99999999999999999999", 2147483647},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(readIntegerArgument(text), expected) << text;
  }
}

TEST(CountArgument, AutoDetectsDigitsCountOtherTextIsRefused) {
  using Kind = CountArgument::Kind;
  struct Case {
    std::string text;
    Kind kind;
    std::int32_t value;
  };
  const Case cases[] = {
      {"auto", Kind::detect, 0},      {" AUTO", Kind::detect, 0},
      {"Auto", Kind::detect, 0},      {"\t\naUtO", Kind::detect, 0},
      {"3", Kind::number, 3},         {"0", Kind::number, 0},
      {"3x", Kind::invalid, 0},       {" -2", Kind::number, -2},
      {"+7", Kind::number, 7},        {"-0", Kind::number, 0},
      {"1.9", Kind::invalid, 0},      {"99999999999", Kind::number, 2147483647},
      {"-", Kind::invalid, 0},        {"+", Kind::invalid, 0},
      {"+-1", Kind::invalid, 0},      {"x", Kind::invalid, 0},
      {"", Kind::invalid, 0},         {"   ", Kind::invalid, 0},
      {"--yearly", Kind::invalid, 0}, {"-x", Kind::invalid, 0},
      {"b.dat", Kind::invalid, 0},    {".5", Kind::invalid, 0},
      {"aut", Kind::invalid, 0},      {"autox", Kind::invalid, 0},
      {"auto ", Kind::detect, 0},     {"detect", Kind::invalid, 0},
      {" 12\t", Kind::number, 12},    {"2002.dat", Kind::invalid, 0},
      {"1 2", Kind::invalid, 0},      {"0x10", Kind::invalid, 0},
  };
  for (const Case& c : cases) {
    const CountArgument count = readCountArgument(c.text);
    EXPECT_EQ(count.kind, c.kind) << "'" << c.text << "'";
    EXPECT_EQ(count.value, c.value) << "'" << c.text << "'";
  }
}

// The argument vector of `words` after the program name.
std::vector<std::string> commandLine(const std::vector<std::string>& words) {
  std::vector<std::string> args = {"skarvel"};
  for (const std::string& word : words) {
    args.push_back(word);
  }
  return args;
}

TEST(CommandLine, RefusesCountsThatAreNoNumbers) {
  const std::string hint = " (options go before the file name)";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"a.dat", "b.dat"}, "the header-row count must be a number or \"auto\", not 'b.dat'"},
      {{"flow.dat", "--yearly"},
       "the header-row count must be a number or \"auto\", not '--yearly'" + hint},
      {{"flow.dat", "--stat=sum", "2"},
       "the header-row count must be a number or \"auto\", not '--stat=sum'" + hint},
      {{"flow.dat", "2", "--quiet"},
       "the number of value columns must be a number or \"auto\", not '--quiet'" + hint},
      {{"flow.dat", "2", "x"}, "the number of value columns must be a number or \"auto\", not 'x'"},
      {{"flow.dat", ""}, "the header-row count must be a number or \"auto\", not ''"},
      {{"flow.dat", "-"}, "the header-row count must be a number or \"auto\", not '-'"},
      {{"flow.dat", "-h"}, "the header-row count must be a number or \"auto\", not '-h'"},
      {{"flow.dat", "b.dat", "1", "2"},
       "the header-row count must be a number or \"auto\", not 'b.dat'"},
      {{"--quiet=1", "flow.dat"}, "--quiet takes no value"},
      {{"--progress=yes", "flow.dat"}, "--progress takes no value"},
      {{"--quiet=", "flow.dat"}, "--quiet takes no value"},
      {{"--Quiet", "flow.dat"}, "unknown option --Quiet"},
  };
  for (const auto& [words, error] : cases) {
    const CommandLine line = parseCommandLine(commandLine(words));
    EXPECT_EQ(line.action, Action::usageError) << error;
    EXPECT_EQ(line.error, error);
  }
}

TEST(CommandLine, ReadsCountsFlagsAndIgnoredArguments) {
  struct Case {
    std::vector<std::string> words;
    std::vector<std::string> positional;
    std::int32_t headrows;
    std::optional<std::int32_t> valueColumns;
    std::vector<std::string> ignored;
    bool quiet;
    bool progress;
  };
  const Case cases[] = {
      {{"flow.dat"}, {"flow.dat"}, -1, std::nullopt, {}, false, false},
      {{"flow.dat", "auto"}, {"flow.dat", "auto"}, -1, std::nullopt, {}, false, false},
      {{"flow.dat", "2", "AUTO"}, {"flow.dat", "2", "AUTO"}, 2, std::nullopt, {}, false, false},
      {{"flow.dat", "auto", "3"}, {"flow.dat", "auto", "3"}, -1, 3, {}, false, false},
      {{"flow.dat", " 3 ", "4"}, {"flow.dat", " 3 ", "4"}, 3, 4, {}, false, false},
      {{"flow.dat", " -2", "0"}, {"flow.dat", " -2", "0"}, -2, 0, {}, false, false},
      // More than three arguments: the column count is ignored with the rest, unread.
      {{"flow.dat", "2", "3", "x"},
       {"flow.dat", "2", "3", "x"},
       2,
       std::nullopt,
       {"3", "x"},
       false,
       false},
      {{"flow.dat", "1", "--yearly", "--quiet"},
       {"flow.dat", "1", "--yearly", "--quiet"},
       1,
       std::nullopt,
       {"--yearly", "--quiet"},
       false,
       false},
      {{"--quiet", "flow.dat"}, {"flow.dat"}, -1, std::nullopt, {}, true, false},
      {{"--progress", "flow.dat", "0"}, {"flow.dat", "0"}, 0, std::nullopt, {}, false, true},
      {{"--quiet", "--progress", "--", "-f.dat", "1"},
       {"-f.dat", "1"},
       1,
       std::nullopt,
       {},
       true,
       true},
      {{"--progress", "--quiet", "--quiet"}, {}, -1, std::nullopt, {}, true, true},
  };
  for (const Case& c : cases) {
    const CommandLine line = parseCommandLine(commandLine(c.words));
    const std::string what = c.words.front() + " ...";
    EXPECT_EQ(line.action, Action::run) << what << ": " << line.error;
    EXPECT_EQ(line.positional, c.positional) << what;
    EXPECT_EQ(line.headrows, c.headrows) << what;
    EXPECT_EQ(line.valueColumns, c.valueColumns) << what;
    EXPECT_EQ(line.ignored, c.ignored) << what;
    EXPECT_EQ(line.options.quiet, c.quiet) << what;
    EXPECT_EQ(line.options.progress, c.progress) << what;
    EXPECT_FALSE(line.options.yearly) << what;
  }
}

const char* statisticName(Statistic statistic) {
  switch (statistic) {
    case Statistic::mean:
      return "mean";
    case Statistic::sum:
      return "sum";
    case Statistic::min:
      return "min";
    case Statistic::count:
      return "count";
    case Statistic::max:
      break;
  }
  return "max";
}

// The parsed command line as one line of text: the action, then for a run the options and the
// positional arguments in brackets, for an error its text.
std::string describe(const CommandLine& line) {
  switch (line.action) {
    case Action::help:
      return "help";
    case Action::version:
      return "version";
    case Action::usageError:
      return "error: " + line.error;
    case Action::run:
      break;
  }
  const SummaryRules& rules = line.options.rules;
  char coverage[32];
  const auto written = std::to_chars(coverage, coverage + sizeof coverage, rules.minCoverage);
  std::string text = std::string("run ") + statisticName(rules.statistic) +
                     (line.options.yearly ? " yearly" : "") +
                     " last=" + std::to_string(rules.yearLastMonth) +
                     " coverage=" + std::string(coverage, written.ptr) + " [";
  // The newer settings, shown only where they differ from their defaults.
  if (rules.closeHour != kDefaultCloseHour) {
    text.insert(text.size() - 2, " day-ends=" + std::to_string(rules.closeHour));
  }
  if (line.options.layout == FileLayout::csv) {
    text.insert(text.size() - 2, " csv");
  }
  for (const std::string& missing : line.options.missingTexts) {
    text.insert(text.size() - 2, " missing=" + missing);
  }
  if (line.options.threads != 0) {
    text.insert(text.size() - 2, " threads=" + std::to_string(line.options.threads));
  }
  if (line.options.shard) {
    text.insert(text.size() - 2, " shard=" + std::to_string(line.options.shard->index) + "/" +
                                     std::to_string(line.options.shard->count));
  }
  for (std::size_t i = 0; i < line.positional.size(); ++i) {
    text += (i > 0 ? "|" : "") + line.positional[i];
  }
  return text + "]";
}

struct CommandLineCase {
  std::vector<std::string> arguments;  // after the program name
  std::string parsed;
};

void expectParsed(const std::vector<CommandLineCase>& cases) {
  for (const CommandLineCase& c : cases) {
    std::vector<std::string> args = {"skarvel"};
    args.insert(args.end(), c.arguments.begin(), c.arguments.end());
    std::string shown;
    for (const std::string& argument : c.arguments) {
      shown += " '" + argument + "'";
    }
    EXPECT_EQ(describe(parseCommandLine(args)), c.parsed) << shown;
  }
}

TEST(CommandLine, TakesOptionsBeforeTheFileName) {
  expectParsed({
      {{}, "run mean last=12 coverage=0 []"},
      {{"flow.dat"}, "run mean last=12 coverage=0 [flow.dat]"},
      {{"--stat=sum", "flow.dat"}, "run sum last=12 coverage=0 [flow.dat]"},
      {{"--stat", "sum", "flow.dat"}, "run sum last=12 coverage=0 [flow.dat]"},
      {{"--stat=min", "flow.dat"}, "run min last=12 coverage=0 [flow.dat]"},
      {{"--stat", "max", "flow.dat"}, "run max last=12 coverage=0 [flow.dat]"},
      {{"--stat=max", "--stat=mean", "flow.dat"}, "run mean last=12 coverage=0 [flow.dat]"},
      {{"--yearly", "flow.dat"}, "run mean yearly last=12 coverage=0 [flow.dat]"},
      {{"--year-start=11", "flow.dat"}, "run mean yearly last=10 coverage=0 [flow.dat]"},
      {{"--year-start", "11", "flow.dat"}, "run mean yearly last=10 coverage=0 [flow.dat]"},
      {{"--year-start=1", "flow.dat"}, "run mean yearly last=12 coverage=0 [flow.dat]"},
      {{"--year-start=2", "flow.dat"}, "run mean yearly last=1 coverage=0 [flow.dat]"},
      {{"--year-start=12", "flow.dat"}, "run mean yearly last=11 coverage=0 [flow.dat]"},
      {{"--min-coverage=90", "flow.dat"}, "run mean last=12 coverage=90 [flow.dat]"},
      {{"--min-coverage", "12.5", "flow.dat"}, "run mean last=12 coverage=12.5 [flow.dat]"},
      {{"--min-coverage=0", "flow.dat"}, "run mean last=12 coverage=0 [flow.dat]"},
      {{"--min-coverage=100", "flow.dat"}, "run mean last=12 coverage=100 [flow.dat]"},
      {{"--min-coverage=1e2", "flow.dat"}, "run mean last=12 coverage=100 [flow.dat]"},
      {{"--stat=sum", "--year-start=11", "--min-coverage=90", "flow.dat"},
       "run sum yearly last=10 coverage=90 [flow.dat]"},
      {{"--stat=sum"}, "run sum last=12 coverage=0 []"},
  });
}

TEST(CommandLine, EndsOptionsAtTheFileNameOrDoubleDash) {
  expectParsed({
      {{"--"}, "run mean last=12 coverage=0 []"},
      {{"--", "--stat=sum"}, "run mean last=12 coverage=0 [--stat=sum]"},
      {{"--stat=sum", "--", "-flow.dat", "2"}, "run sum last=12 coverage=0 [-flow.dat|2]"},
      {{"--", "--"}, "run mean last=12 coverage=0 [--]"},
      {{"--", "--help"}, "run mean last=12 coverage=0 [--help]"},
      {{"-"}, "run mean last=12 coverage=0 [-]"},
      {{"-", "--stat=sum"},
       "error: the header-row count must be a number or \"auto\", not '--stat=sum' (options go "
       "before the file name)"},
      {{"flow.dat", "--yearly"},
       "error: the header-row count must be a number or \"auto\", not '--yearly' (options go "
       "before the file name)"},
      {{"flow.dat", "-1", "-x"},
       "error: the number of value columns must be a number or \"auto\", not '-x'"},
      {{"flow.dat", "--help"},
       "error: the header-row count must be a number or \"auto\", not '--help' (options go "
       "before the file name)"},
      {{"--yearly", "flow.dat", "3", "4", "5"},
       "run mean yearly last=12 coverage=0 [flow.dat|3|4|5]"},
      {{"", "--yearly"},
       "error: the header-row count must be a number or \"auto\", not '--yearly' (options go "
       "before the file name)"},
  });
}

TEST(CommandLine, HelpAndVersionActions) {
  expectParsed({
      {{"--help"}, "help"},
      {{"-h"}, "help"},
      {{"--version"}, "version"},
      {{"--help", "flow.dat"}, "help"},
      {{"--stat=sum", "-h", "flow.dat"}, "help"},
      {{"--version", "--help"}, "version"},
      {{"--help", "-x"}, "help"},
      {{"-x", "--help"}, "error: unknown option -x"},
      {{"--help=1"}, "error: unknown option --help=1"},
  });
}

TEST(CommandLine, RejectsMalformedAndUnknownOptions) {
  expectParsed({
      {{"-x", "flow.dat"}, "error: unknown option -x"},
      {{"--stats=sum", "flow.dat"}, "error: unknown option --stats=sum"},
      {{"--Stat=sum", "flow.dat"}, "error: unknown option --Stat=sum"},
      {{"-stat=sum", "flow.dat"}, "error: unknown option -stat=sum"},
      {{"--yearly=1", "flow.dat"}, "error: --yearly takes no value"},
      {{"--yearly=", "flow.dat"}, "error: --yearly takes no value"},
      {{"--stat=median", "flow.dat"},
       "error: --stat must be mean, sum, min, max or count, not 'median'"},
      {{"--stat=Sum", "flow.dat"}, "error: --stat must be mean, sum, min, max or count, not 'Sum'"},
      {{"--stat=", "flow.dat"}, "error: --stat must be mean, sum, min, max or count, not ''"},
      {{"--stat", "--yearly", "flow.dat"},
       "error: --stat must be mean, sum, min, max or count, not '--yearly'"},
      {{"--year-start=0", "flow.dat"}, "error: --year-start must be a month from 1 to 12, not '0'"},
      {{"--year-start=13", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not '13'"},
      {{"--year-start=-1", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not '-1'"},
      {{"--year-start=+1", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not '+1'"},
      {{"--year-start=1x", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not '1x'"},
      {{"--year-start= 1", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not ' 1'"},
      {{"--year-start=1.0", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not '1.0'"},
      {{"--year-start=", "flow.dat"}, "error: --year-start must be a month from 1 to 12, not ''"},
      {{"--year-start=4294967307", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not '4294967307'"},
      {{"--year-start", "November", "flow.dat"},
       "error: --year-start must be a month from 1 to 12, not 'November'"},
      {{"--min-coverage=101", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not '101'"},
      {{"--min-coverage=100.000001", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not '100.000001'"},
      {{"--min-coverage=-1", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not '-1'"},
      {{"--min-coverage=50%", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not '50%'"},
      {{"--min-coverage=abc", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not 'abc'"},
      {{"--min-coverage=nan", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not 'nan'"},
      {{"--min-coverage=inf", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not 'inf'"},
      {{"--min-coverage=", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not ''"},
      {{"--min-coverage= 5", "flow.dat"},
       "error: --min-coverage must be a percentage from 0 to 100, not ' 5'"},
      {{"--stat=sum", "--yearly=yes", "flow.dat"}, "error: --yearly takes no value"},
  });
}

TEST(CommandLine, ReadsTheReadingAndFormatOptions) {
  expectParsed({
      {{"--day-ends=23", "f"}, "run mean last=12 coverage=0 day-ends=23 [f]"},
      {{"--day-ends", "0", "f"}, "run mean last=12 coverage=0 day-ends=0 [f]"},
      {{"--day-ends=25", "f"}, "error: --day-ends must be an hour from 0 to 24, not '25'"},
      {{"--day-ends=-1", "f"}, "error: --day-ends must be an hour from 0 to 24, not '-1'"},
      {{"--format=csv", "f"}, "run mean last=12 coverage=0 csv [f]"},
      {{"--format=csv", "--format=classic", "f"}, "run mean last=12 coverage=0 [f]"},
      {{"--format=CSV", "f"}, "error: --format must be classic or csv, not 'CSV'"},
      {{"--missing=NA,nan", "--missing", "x", "f"},
       "run mean last=12 coverage=0 missing=NA missing=nan missing=x [f]"},
      {{"--missing=NA,,x", "f"},
       "error: --missing must be comma-separated words that cannot be read as numbers (none "
       "empty, no white space), not 'NA,,x'"},
      {{"--missing=-1", "f"},
       "error: --missing must be comma-separated words that cannot be read as numbers (none "
       "empty, no white space), not '-1'"},
      {{"--threads=1", "f"}, "run mean last=12 coverage=0 threads=1 [f]"},
      {{"--threads=64", "f"}, "run mean last=12 coverage=0 threads=64 [f]"},
      {{"--threads=0", "f"}, "error: --threads must be a number from 1 to 64, not '0'"},
      {{"--threads=65", "f"}, "error: --threads must be a number from 1 to 64, not '65'"},
      {{"--threads=2x", "f"}, "error: --threads must be a number from 1 to 64, not '2x'"},
      {{"--quiet=1", "f"}, "error: --quiet takes no value"},
  });
}

TEST(CommandLine, ReadsTheShardOfManyInputs) {
  const std::string refused =
      "error: --shard must be I/N, the I-th of N parts with I from 1 to N, not ";
  expectParsed({
      {{"--shard=1/1", "--each", "f"}, "run mean last=12 coverage=0 shard=1/1 [f]"},
      {{"--shard", "3/4", "--files-from=l"}, "run mean last=12 coverage=0 shard=3/4 []"},
      {{"--each", "--shard=0/4"}, refused + "'0/4'"},
      {{"--each", "--shard=5/4"}, refused + "'5/4'"},
      {{"--each", "--shard=1/2/3"}, refused + "'1/2/3'"},
      {{"--each", "--shard=1/ 2"}, refused + "'1/ 2'"},
      {{"--each", "--shard=1/4294967296"}, refused + "'1/4294967296'"},
      {{"--shard=1/2", "f"}, "error: --shard takes a part of the inputs of --each or --files-from"},
  });
}

TEST(Shard, TakesContiguousSlicesThatDifferByAtMostOne) {
  using Range = std::pair<std::size_t, std::size_t>;
  const std::tuple<Shard, std::size_t, Range> cases[] = {
      {{1, 1}, 7, {0, 7}},
      {{2, 3}, 7, {2, 4}},
      {{3, 3}, 7, {4, 7}},
      {{1, 4}, 2, {0, 0}},
      {{3, 4294967295u}, std::size_t{1} << 40, {512, 768}},
  };
  for (const auto& [shard, inputs, range] : cases) {
    EXPECT_EQ(shard.range(inputs), range) << shard.index << "/" << shard.count << " of " << inputs;
  }
}

#ifdef SKARVEL_README
// The README's option table lists every option of the table, and nothing else.
TEST(OptionTable, IsTheReadmesOptionList) {
  std::ifstream readme(SKARVEL_README);
  ASSERT_TRUE(readme) << SKARVEL_README;
  std::set<std::string> documented;
  bool inOptions = false;
  for (std::string row; std::getline(readme, row);) {
    if (row.starts_with("#")) {
      inOptions = row == "### Options";
    } else if (inOptions && row.starts_with("| `--")) {
      documented.insert(row.substr(3, row.find_first_of("=`", 5) - 3));
    }
  }
  std::set<std::string> options;
  for (const OptionRow& row : optionTable()) {
    if (row.kind == OptionKind::value || row.kind == OptionKind::flag) {
      options.emplace(row.name);
    }
  }
  EXPECT_EQ(documented, options);
}
#endif

TEST(CommandLine, NeedsTheValueOfTheLastOption) {
  expectParsed({
      {{"--stat"}, "error: option --stat needs a value"},
      {{"--year-start"}, "error: option --year-start needs a value"},
      {{"--min-coverage"}, "error: option --min-coverage needs a value"},
      {{"--yearly", "--stat"}, "error: option --stat needs a value"},
  });
}

}  // namespace
}  // namespace skarvel
