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

// Applies one option with its value. False, with `error` set, when the value is not valid.
bool applyOption(std::string_view name, std::string_view value, Options& options,
                 std::string& error) {
  const std::string quoted = "'" + std::string(value) + "'";
  if (name == "--stat") {
    const auto statistic = statisticNamed(value);
    if (!statistic) {
      error = "--stat must be mean, sum, min, max or count, not " + quoted;
      return false;
    }
    options.rules.statistic = *statistic;
    return true;
  }
  if (name == "--year-start") {
    const auto month = wholeNumber<std::int32_t>(value);
    if (!month || *month < 1 || *month > 12) {
      error = "--year-start must be a month from 1 to 12, not " + quoted;
      return false;
    }
    // The year ends with the month before its first.
    options.rules.yearLastMonth = *month == 1 ? 12 : *month - 1;
    options.yearly = true;
    return true;
  }
  if (name == "--day-ends") {
    const auto hour = wholeNumber<std::int32_t>(value);
    if (!hour || *hour < 0 || *hour > kDefaultCloseHour) {
      error = "--day-ends must be an hour from 0 to 24, not " + quoted;
      return false;
    }
    options.rules.closeHour = *hour;
    return true;
  }
  if (name == "--format") {
    if (value != "classic" && value != "csv") {
      error = "--format must be classic or csv, not " + quoted;
      return false;
    }
    options.layout = value == "csv" ? FileLayout::csv : FileLayout::classic;
    return true;
  }
  if (name == "--missing") {
    return addMissingTexts(value, options.missingTexts, error);
  }
  if (name == "--threads") {
    const auto threads = wholeNumber<unsigned>(value);
    if (!threads || *threads < 1 || *threads > kMaxThreads) {
      error = "--threads must be a number from 1 to 64, not " + quoted;
      return false;
    }
    options.threads = *threads;
    return true;
  }
  // --min-coverage
  const auto percent = wholeNumber<double>(value);
  if (!percent || !(*percent >= 0.0 && *percent <= 100.0)) {
    error = "--min-coverage must be a percentage from 0 to 100, not " + quoted;
    return false;
  }
  options.rules.minCoverage = *percent;
  return true;
}

// The options that take no value, and the setting each turns on.
bool* flagNamed(std::string_view name, Options& options) {
  if (name == "--yearly") {
    return &options.yearly;
  }
  if (name == "--quiet") {
    return &options.quiet;
  }
  if (name == "--progress") {
    return &options.progress;
  }
  return nullptr;
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

bool takesValue(std::string_view name) {
  return name == "--stat" || name == "--year-start" || name == "--min-coverage" ||
         name == "--day-ends" || name == "--missing" || name == "--format" || name == "--threads";
}

}  // namespace

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
    if (argument == "--help" || argument == "-h") {
      line.action = Action::help;
      return line;
    }
    if (argument == "--version") {
      line.action = Action::version;
      return line;
    }
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    if (bool* flag = flagNamed(name, line.options)) {
      if (equals != std::string_view::npos) {
        line.action = Action::usageError;
        line.error = std::string(name) + " takes no value";
        return line;
      }
      *flag = true;
      continue;
    }
    if (!takesValue(name)) {
      line.action = Action::usageError;
      line.error = "unknown option " + std::string(argument);
      return line;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      line.action = Action::usageError;
      line.error = "option " + std::string(name) + " needs a value";
      return line;
    }
    if (!applyOption(name, value, line.options, line.error)) {
      line.action = Action::usageError;
      return line;
    }
  }
  line.positional.assign(args.begin() + static_cast<std::ptrdiff_t>(std::min(i, args.size())),
                         args.end());
  if (!readCounts(line)) {
    line.action = Action::usageError;
  }
  return line;
}

CountArgument readCountArgument(std::string_view text) {
  const std::size_t start = std::min(text.find_first_not_of(" \t\n\v\f\r"), text.size());
  std::string_view word = text.substr(start);
  if (word.size() == 4 && std::equal(word.begin(), word.end(), "auto", [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
      })) {
    return {CountArgument::Kind::detect, 0};
  }
  if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
    word.remove_prefix(1);
  }
  if (word.empty() || !number_detail::isDigit(word[0])) {
    return {CountArgument::Kind::invalid, 0};
  }
  return {CountArgument::Kind::number, readIntegerArgument(text)};
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
