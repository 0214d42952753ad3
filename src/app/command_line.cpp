#include "command_line.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>
#include <optional>

#include "number_scan.hpp"

namespace skarvel {

namespace {

std::optional<Statistic> statisticNamed(std::string_view name) {
  if (name == "mean") {
    return Statistic::mean;
  }
  if (name == "sum") {
    return Statistic::sum;
  }
  if (name == "min") {
    return Statistic::min;
  }
  if (name == "max") {
    return Statistic::max;
  }
  if (name == "count") {
    return Statistic::count;
  }
  return std::nullopt;
}

// The whole text as a number, or nothing.
template <typename Number>
std::optional<Number> wholeNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// Adds the comma-separated texts of --missing. Each must be a word that can never be read as a
// number: the reader looks at the texts only where a number conversion fails.
bool addMissingTexts(std::string_view value, std::vector<std::string>& texts, std::string& error) {
  std::vector<std::string> added;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = std::min(value.find(',', start), value.size());
    const std::string text(value.substr(start, comma - start));
    if (text.empty() || std::any_of(text.begin(), text.end(), isSpace) ||
        numberConversionResult(text.c_str()) == 1 || text.find('\0') != std::string::npos) {
      error =
          "--missing must be comma-separated words that cannot be read as numbers (none "
          "empty, no white space), not '" +
          std::string(value) + "'";
      return false;
    }
    added.push_back(text);
    if (comma == value.size()) {
      break;
    }
    start = comma + 1;
  }
  texts.insert(texts.end(), added.begin(), added.end());
  return true;
}

std::string quoted(std::string_view value) {
  return "'" + std::string(value) + "'";
}

bool applyStatistic(std::string_view value, Options& options, std::string& error) {
  const auto statistic = statisticNamed(value);
  if (!statistic) {
    error = "--stat must be mean, sum, min, max or count, not " + quoted(value);
    return false;
  }
  options.rules.statistic = *statistic;
  return true;
}

bool applyYearStart(std::string_view value, Options& options, std::string& error) {
  const auto month = wholeNumber<std::int32_t>(value);
  if (!month || *month < 1 || *month > 12) {
    error = "--year-start must be a month from 1 to 12, not " + quoted(value);
    return false;
  }
  // The year ends with the month before its first.
  options.rules.yearLastMonth = *month == 1 ? 12 : *month - 1;
  options.yearly = true;
  return true;
}

bool applyMinCoverage(std::string_view value, Options& options, std::string& error) {
  const auto percent = wholeNumber<double>(value);
  if (!percent || !(*percent >= 0.0 && *percent <= 100.0)) {
    error = "--min-coverage must be a percentage from 0 to 100, not " + quoted(value);
    return false;
  }
  options.rules.minCoverage = *percent;
  return true;
}

bool applyDayEnds(std::string_view value, Options& options, std::string& error) {
  const auto hour = wholeNumber<std::int32_t>(value);
  if (!hour || *hour < 0 || *hour > kDefaultCloseHour) {
    error = "--day-ends must be an hour from 0 to 24, not " + quoted(value);
    return false;
  }
  options.rules.closeHour = *hour;
  return true;
}

bool applyMissing(std::string_view value, Options& options, std::string& error) {
  return addMissingTexts(value, options.missingTexts, error);
}

bool applyFormat(std::string_view value, Options& options, std::string& error) {
  if (value != "classic" && value != "csv") {
    error = "--format must be classic or csv, not " + quoted(value);
    return false;
  }
  options.layout = value == "csv" ? FileLayout::csv : FileLayout::classic;
  return true;
}

bool applyThreads(std::string_view value, Options& options, std::string& error) {
  const auto threads = wholeNumber<unsigned>(value);
  if (!threads || *threads < 1 || *threads > kMaxThreads) {
    error = "--threads must be a number from 1 to 64, not " + quoted(value);
    return false;
  }
  options.threads = *threads;
  return true;
}

bool setYearly(std::string_view /*value*/, Options& options, std::string& /*error*/) {
  options.yearly = true;
  return true;
}

bool setQuiet(std::string_view /*value*/, Options& options, std::string& /*error*/) {
  options.quiet = true;
  return true;
}

bool setProgress(std::string_view /*value*/, Options& options, std::string& /*error*/) {
  options.progress = true;
  return true;
}

// Takes an option's file name into `target`; false, with `missing` as the error, for none.
bool takeFileName(std::string_view value, std::string& target, std::string& error,
                  std::string_view missing) {
  if (value.empty()) {
    error = missing;
    return false;
  }
  target = value;
  return true;
}

bool applyName(std::string_view value, Options& options, std::string& error) {
  return takeFileName(value, options.name, error, "--name needs a file name");
}

bool setEach(std::string_view /*value*/, Options& options, std::string& /*error*/) {
  options.each = true;
  return true;
}

bool applyFilesFrom(std::string_view value, Options& options, std::string& error) {
  return takeFileName(value, options.filesFrom, error,
                      "--files-from needs a file name, or - for standard input");
}

bool applyReport(std::string_view value, Options& options, std::string& error) {
  return takeFileName(value, options.report, error, "--report needs a file name");
}

bool applyShard(std::string_view value, Options& options, std::string& error) {
  const std::size_t slash = value.find('/');
  const auto index = wholeNumber<std::uint32_t>(value.substr(0, slash));
  const auto count = slash == std::string_view::npos
                         ? std::nullopt
                         : wholeNumber<std::uint32_t>(value.substr(slash + 1));
  if (!index || !count || *index < 1 || *index > *count) {
    error = "--shard must be I/N, the I-th of N parts with I from 1 to N, not " + quoted(value);
    return false;
  }
  options.shard = Shard{*index, *count};
  return true;
}

// A count option's value: a whole number of at least 0, or auto (nothing); false, with the
// error, otherwise.
bool readCountOption(std::string_view value, std::string_view what,
                     std::optional<std::int32_t>& count, std::string& error) {
  const CountArgument read = readCountArgument(value);
  if (read.kind == CountArgument::Kind::invalid || read.value < 0) {
    error = std::string(what) + " or auto, not " + quoted(value);
    return false;
  }
  count = read.kind == CountArgument::Kind::detect ? std::nullopt
                                                   : std::optional<std::int32_t>(read.value);
  return true;
}

bool applyHeaderRows(std::string_view value, Options& options, std::string& error) {
  std::optional<std::int32_t> rows;
  if (!readCountOption(value, "--header-rows must be a number of rows", rows, error)) {
    return false;
  }
  options.headerRows = rows.value_or(-1);
  return true;
}

bool applyColumns(std::string_view value, Options& options, std::string& error) {
  return readCountOption(value, "--columns must be a number of value columns", options.columns,
                         error);
}

constexpr OptionRow kOptionTable[] = {
    {"--stat", "", OptionKind::value, "=mean|sum|min|max|count", applyStatistic,
     "the value per column and period (default mean); count: the\n"
     "number of valid values"},
    {"--yearly", "", OptionKind::flag, "", setYearly, "also write the yearly file (letter y)"},
    {"--year-start", "", OptionKind::value, "=M", applyYearStart,
     "first month of the year, 1 to 12 (default 1); implies --yearly"},
    {"--min-coverage", "", OptionKind::value, "=P", applyMinCoverage,
     "show a column's value for a period only when at least P percent\n"
     "of the period's rows have a valid value in it (default 0)"},
    {"--day-ends", "", OptionKind::value, "=H", applyDayEnds,
     "the row with hour H, 0 to 24, closes the day (default 24);\n"
     "--day-ends=23 for hours 0..23"},
    {"--missing", "", OptionKind::value, "=TEXT[,TEXT...]", applyMissing,
     "tokens that are missing values, like -9999: --missing=NA,nan"},
    {"--format", "", OptionKind::value, "=classic|csv", applyFormat,
     "the files to write: the classic files (default), or instead\n"
     "comma-separated files: flow.dat gives flow_daily.csv,\n"
     "flow_monthly.csv (and flow_yearly.csv)"},
    {"--threads", "", OptionKind::value, "=N", applyThreads,
     "read the input with N threads (default: one per processor, at\n"
     "most 4); --threads=1 reads it on one thread"},
    {"--quiet", "", OptionKind::flag, "", setQuiet,
     "nothing on standard output but error messages"},
    {"--progress", "", OptionKind::flag, "", setProgress,
     "a status line and a summary on standard error instead of the\n"
     "progress marks"},
    {"--name", "", OptionKind::value, "=NAME", applyName,
     "name and label the outputs as if the input were NAME; needed\n"
     "for standard input (-), pipes and devices"},
    {"--each", "", OptionKind::flag, "", setEach,
     "every argument after the options is an input, each with its\n"
     "own outputs; one line per input"},
    {"--files-from", "", OptionKind::value, "=LIST", applyFilesFrom,
     "also read the inputs named in LIST, one per line (- for\n"
     "standard input); implies --each"},
    {"--shard", "", OptionKind::value, "=I/N", applyShard,
     "run only the I-th of N parts of the inputs of --each and\n"
     "--files-from, I from 1 to N: a slice of the list"},
    {"--report", "", OptionKind::value, "=FILE", applyReport,
     "write the run report to FILE: JSON Lines, one object per input"},
    {"--header-rows", "", OptionKind::value, "=N", applyHeaderRows,
     "N header rows (default auto: detected), for every input"},
    {"--columns", "", OptionKind::value, "=N", applyColumns,
     "N value columns (default auto: detected), for every input"},
    {"--help", "-h", OptionKind::help, "", nullptr, "this text"},
    {"--version", "", OptionKind::version, "", nullptr, "the version"},
};

// The row of the option written as `name` (its name or its alias); null for none.
const OptionRow* optionNamed(std::string_view name) {
  for (const OptionRow& row : kOptionTable) {
    if (name == row.name || (!row.alias.empty() && name == row.alias)) {
      return &row;
    }
  }
  return nullptr;
}

// What an argument starting with '-' does to the command line; false when the parsing ends
// there (an error, or help or version). `i` moves past a value given as the next argument.
bool takeOption(const std::vector<std::string>& args, std::size_t& i, CommandLine& line) {
  const std::string_view argument = args[i];
  const std::size_t equals = argument.find('=');
  // Help and version are requests on their own: "--help=1" is no option.
  const OptionRow* row = optionNamed(argument);
  if (row == nullptr || (row->kind != OptionKind::help && row->kind != OptionKind::version)) {
    row = optionNamed(argument.substr(0, equals));
    if (row != nullptr && (row->kind == OptionKind::help || row->kind == OptionKind::version)) {
      row = nullptr;
    }
  }
  const auto fail = [&](std::string error) {
    line.action = Action::usageError;
    line.error = std::move(error);
    return false;
  };
  if (row == nullptr) {
    return fail("unknown option " + std::string(argument));
  }
  switch (row->kind) {
    case OptionKind::help:
      line.action = Action::help;
      return false;
    case OptionKind::version:
      line.action = Action::version;
      return false;
    case OptionKind::flag:
      if (equals != std::string_view::npos) {
        return fail(std::string(row->name) + " takes no value");
      }
      row->apply({}, line.options, line.error);
      return true;
    case OptionKind::value:
      break;
  }
  std::string_view value;
  if (equals != std::string_view::npos) {
    value = argument.substr(equals + 1);
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    return fail("option " + std::string(row->name) + " needs a value");
  }
  std::string error;
  return row->apply(value, line.options, error) || fail(std::move(error));
}

// Reads one count argument; nothing, with `error` set, when it is no count.
std::optional<CountArgument> readCount(std::string_view what, const std::string& argument,
                                       std::string& error) {
  const CountArgument count = readCountArgument(argument);
  if (count.kind != CountArgument::Kind::invalid) {
    return count;
  }
  error = "the " + std::string(what) + " must be a number or \"auto\", not '" + argument + "'";
  if (argument.starts_with("--")) {
    error += " (options go before the file name)";
  }
  return std::nullopt;
}

// The header-row count and the column count after the file name. The column count is taken
// only when exactly three arguments follow the options; more are ignored, and so is the count.
bool readCounts(CommandLine& line) {
  const std::vector<std::string>& positional = line.positional;
  if (positional.size() >= 2) {
    const auto headrows = readCount("header-row count", positional[1], line.error);
    if (!headrows) {
      return false;
    }
    line.headrows = headrows->kind == CountArgument::Kind::detect ? -1 : headrows->value;
  }
  if (positional.size() == 3) {
    const auto columns = readCount("number of value columns", positional[2], line.error);
    if (!columns) {
      return false;
    }
    if (columns->kind == CountArgument::Kind::number) {
      line.valueColumns = columns->value;
    }
  }
  if (positional.size() > 3) {
    line.ignored.assign(positional.begin() + 2, positional.end());
  }
  return true;
}

}  // namespace

std::pair<std::size_t, std::size_t> Shard::range(std::size_t inputs) const {
  // floor(k*M/N) as k*q + floor(k*r/N) with M = q*N + r: no product passes 64 bits.
  const std::uint64_t whole = inputs / count;
  const std::uint64_t rest = inputs % count;
  const auto start = [&](std::uint64_t k) {
    return static_cast<std::size_t>(k * whole + k * rest / count);
  };
  return {start(index - 1), start(index)};
}

std::span<const OptionRow> optionTable() {
  return kOptionTable;
}

std::string optionsHelp() {
  // The names take the first 25 columns after an indent of two; a longer one has its help
  // start on the next line.
  constexpr std::size_t kNameWidth = 25;
  const std::string indent(2 + kNameWidth, ' ');
  std::string text = "options, before <filename> (\"--\" ends them):\n";
  for (const OptionRow& row : kOptionTable) {
    std::string names = std::string(row.name) + std::string(row.valueSyntax);
    if (!row.alias.empty()) {
      names += ", " + std::string(row.alias);
    }
    text += "  " + names;
    text += names.size() < kNameWidth ? std::string(kNameWidth - names.size(), ' ') : "\n" + indent;
    std::string_view help = row.help;
    for (std::size_t end = help.find('\n'); end != std::string_view::npos; end = help.find('\n')) {
      text.append(help.substr(0, end)).append("\n").append(indent);
      help.remove_prefix(end + 1);
    }
    text.append(help).append("\n");
  }
  return text;
}

CommandLine parseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  std::size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::string_view argument = args[i];
    if (argument == "--") {
      ++i;
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      break;  // the file name
    }
    if (!takeOption(args, i, line)) {
      return line;
    }
  }
  line.positional.assign(args.begin() + static_cast<std::ptrdiff_t>(std::min(i, args.size())),
                         args.end());
  line.headrows = line.options.headerRows;
  line.valueColumns = line.options.columns;
  if (line.options.shard && !line.options.manyInputs()) {
    line.error = "--shard takes a part of the inputs of --each or --files-from";
    line.action = Action::usageError;
    return line;
  }
  if (line.options.manyInputs()) {
    if (!line.options.name.empty()) {
      line.error = "--name names one input; with --each each input names its own outputs";
      line.action = Action::usageError;
    }
    return line;  // every argument is an input
  }
  if (!readCounts(line)) {
    line.action = Action::usageError;
  }
  return line;
}

CountArgument readCountArgument(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\n\v\f\r";
  std::string_view word = text.substr(std::min(text.find_first_not_of(kBlanks), text.size()));
  word = word.substr(0, word.find_last_not_of(kBlanks) + 1);
  if (word.size() == 4 && std::equal(word.begin(), word.end(), "auto", [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
      })) {
    return {CountArgument::Kind::detect, 0};
  }
  std::string_view digits = word;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    digits.remove_prefix(1);
  }
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), number_detail::isDigit)) {
    return {CountArgument::Kind::invalid, 0};
  }
  return {CountArgument::Kind::number, readIntegerArgument(word)};
}

std::int32_t readIntegerArgument(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr std::int64_t kLimit = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (text[i] - '0'), kLimit);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace skarvel
