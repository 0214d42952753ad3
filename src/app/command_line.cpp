#include <algorithm>
#include <charconv>
#include <optional>

#include "app.hpp"

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

// Applies one option with its value; returns what is wrong, or an empty text.
std::string applyOption(std::string_view name, std::string_view value, Options& options) {
  if (name == "--stat") {
    const auto statistic = statisticNamed(value);
    if (!statistic) {
      return "--stat must be mean, sum, min or max, not '" + std::string(value) + "'";
    }
    options.summary.statistic = *statistic;
    return {};
  }
  if (name == "--year-start") {
    const auto month = wholeNumber<std::int32_t>(value);
    if (!month || *month < 1 || *month > 12) {
      return "--year-start must be a month from 1 to 12, not '" + std::string(value) + "'";
    }
    options.yearStart = *month;
    options.yearly = true;
    return {};
  }
  // --min-coverage
  const auto percent = wholeNumber<double>(value);
  if (!percent || !(*percent >= 0.0 && *percent <= 100.0)) {
    return "--min-coverage must be a percentage from 0 to 100, not '" + std::string(value) + "'";
  }
  options.summary.minCoverage = *percent;
  return {};
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
    line.error = applyOption(name, value, line.options);
    if (!line.error.empty()) {
      line.action = Action::usageError;
      return line;
    }
  }
  line.positional.assign(args.begin() + static_cast<std::ptrdiff_t>(std::min(i, args.size())),
                         args.end());
  return line;
}

}  // namespace skarvel
