#include "command_line.hpp"

#include <algorithm>
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

// Applies one option with its value. False, with `error` set, when the value is not valid.
bool applyOption(std::string_view name, std::string_view value, Options& options,
                 std::string& error) {
  const std::string quoted = "'" + std::string(value) + "'";
  if (name == "--stat") {
    const auto statistic = statisticNamed(value);
    if (!statistic) {
      error = "--stat must be mean, sum, min or max, not " + quoted;
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
  // --min-coverage
  const auto percent = wholeNumber<double>(value);
  if (!percent || !(*percent >= 0.0 && *percent <= 100.0)) {
    error = "--min-coverage must be a percentage from 0 to 100, not " + quoted;
    return false;
  }
  options.rules.minCoverage = *percent;
  return true;
}

bool takesValue(std::string_view name) {
  return name == "--stat" || name == "--year-start" || name == "--min-coverage";
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
    if (name == "--yearly") {
      if (equals != std::string_view::npos) {
        line.action = Action::usageError;
        line.error = "--yearly takes no value";
        return line;
      }
      line.options.yearly = true;
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
  return line;
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
