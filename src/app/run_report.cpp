#include "run_report.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace skarvel {

namespace {

constexpr std::size_t kQuoteLength = 40;

// The text in double quotes, cut to a short quote, with control bytes written as \xNN so that
// a warning stays one line of plain text.
std::string quoted(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  const bool cut = text.size() > kQuoteLength;
  std::string result = "\"";
  for (const char c : text.substr(0, kQuoteLength)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      constexpr std::string_view kHex = "0123456789abcdef";
      result.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
    } else {
      result += c;
    }
  }
  return result.append(cut ? "...\"" : "\"");
}

std::string line(std::int64_t number) {
  return "line " + std::to_string(number) + ": ";
}

// The line a warning names: each rule starts its text with line(number) where there is one.
std::int64_t lineNamedBy(std::string_view text) {
  constexpr std::string_view kLine = "line ";
  std::int64_t number = 0;
  if (text.starts_with(kLine)) {
    std::from_chars(text.data() + kLine.size(), text.data() + text.size(), number);
  }
  return number;
}

std::string plural(std::int64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string dateText(const RecordStamp& stamp) {
  return std::to_string(stamp.year) + " " + std::to_string(stamp.month) + " " +
         std::to_string(stamp.day);
}

std::string stampText(const RecordStamp& stamp) {
  return dateText(stamp) + " " + std::to_string(stamp.hour);
}

// A first data row or a token of comma-separated or ISO-dated text, as spreadsheets and pandas
// write it.
bool looksLikeCsv(std::string_view text) {
  const auto digit = [&](std::size_t i) {
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
  };
  const bool isoDate = digit(0) && digit(1) && digit(2) && digit(3) && text.size() > 4 &&
                       text[4] == '-' && digit(5) && digit(6);
  return isoDate || text.substr(0, text.find('\n')).find(',') != std::string_view::npos;
}

constexpr std::string_view kCsvHint =
    "this looks like a CSV file: skarvel reads blank- or tab-separated columns";

// W1 and W5: reading stopped at a token that is no number.
std::optional<Warning> stoppedWarning(const RunFacts& facts) {
  if (!facts.failure) {
    return std::nullopt;
  }
  const FailedToken& failure = *facts.failure;
  const std::string where = line(facts.failureLine) + "reading stopped at " + quoted(failure.text) +
                            ", which is no number";
  if (facts.dataRowsUnread > 0) {
    return Warning{where + "; " + plural(facts.dataRowsUnread, "data row was", "data rows were") +
                       " not read from there on (" +
                       (looksLikeCsv(failure.text)
                            ? std::string(kCsvHint)
                            : "missing values must be numbers, such as -9999, or named with "
                              "--missing=NA") +
                       ")",
                   true};
  }
  return Warning{where + "; no data row follows, so the rest is taken as a footer", false};
}

// W2: the first data row has no value columns.
std::optional<Warning> noColumnsWarning(const RunFacts& facts) {
  if (!facts.columnsDetected || facts.valueColumns != 0) {
    return std::nullopt;
  }
  return Warning{line(facts.firstDataRowLine) +
                     "no value columns found after the four date "
                     "fields of " +
                     quoted(facts.firstDataRow) + " (" +
                     (looksLikeCsv(facts.firstDataRow) ? std::string(kCsvHint)
                                                       : "values are separated by blanks or tabs") +
                     ")",
                 true};
}

// W3: no day ever closed.
std::optional<Warning> noDayWarning(const RunFacts& facts) {
  if (facts.rowsRead == 0 || facts.daysClosed > 0) {
    return std::nullopt;
  }
  const std::string text = "no row closed a day in " + plural(facts.rowsRead, "row", "rows");
  if (facts.closeHour != kDefaultCloseHour) {
    const std::string hour = std::to_string(facts.closeHour);
    return Warning{
        text + " (a day closes on its row with hour " + hour + ", as --day-ends=" + hour + " asks)",
        true};
  }
  return Warning{text +
                     " (a day closes on its row with hour 24; hours 0..23? skarvel expects the "
                     "day's last step as hour 24, or use --day-ends=23)",
                 true};
}

// W4: rows with fewer values than the column count.
std::optional<Warning> shortRowWarning(const RunFacts& facts) {
  const std::string count = std::to_string(facts.valueColumns);
  if (facts.linesCrossed.count > 0) {
    return Warning{line(facts.linesCrossedLine) + "the row has fewer than " + count +
                       " values, and its missing values were read from the next line (" +
                       plural(facts.linesCrossed.count, "row", "rows") + " in all)",
                   true};
  }
  if (facts.endedInsideValues) {
    return Warning{
        line(facts.endLine) + "the input ended inside a row, before its " + count + " values",
        true};
  }
  return std::nullopt;
}

// W6: the input ended with closed days that reach no monthly row. A last row at the close hour
// leaves them out of the totals, and so does one above it, after which nothing is folded.
std::optional<Warning> unfinishedMonthWarning(const RunFacts& facts) {
  const RecordStamp& last = facts.lastStamp;
  if ((facts.failure && facts.dataRowsUnread > 0) || last.hour < facts.closeHour ||
      facts.daysSinceMonthClose == 0) {
    return std::nullopt;  // the input did not end there, or the open month went into the totals
  }
  return Warning{"the input ended in an unfinished month (last row " + stampText(last) +
                     "): " + plural(facts.daysSinceMonthClose, "closed day is", "closed days are") +
                     " in no monthly row and not in the final row",
                 false};
}

// W6 for the rows of the day that was open at the end: below the close hour they are folded
// into the totals, above it they are in no row at all.
std::optional<Warning> openDayWarning(const RunFacts& facts) {
  const RecordStamp& last = facts.lastStamp;
  if ((facts.failure && facts.dataRowsUnread > 0) || last.hour == facts.closeHour ||
      facts.openDayRows == 0) {
    return std::nullopt;
  }
  return Warning{
      "the input ended inside a day (last row " + stampText(last) + "): its " +
          plural(facts.openDayRows, "row is", "rows are") + " in no daily row, " +
          (last.hour < facts.closeHour ? "only in the final row" : "and not in the final row"),
      false};
}

// W7: text after the last value of a row.
std::optional<Warning> extraTextWarning(const RunFacts& facts) {
  if (!facts.columnsDetected || facts.valueColumns == 0 || facts.extraText.count == 0) {
    return std::nullopt;
  }
  return Warning{line(facts.extraTextLine) + "text after the last of " +
                     std::to_string(facts.valueColumns) +
                     " values ignored: " + quoted(facts.extraText.quote) + " (" +
                     plural(facts.extraText.count, "row", "rows") + " in all)",
                 false};
}

// A number read from the start of a token that goes on: the rest of the token became the next
// field, or was dropped. Where reading stopped in that line, the warning about it tells.
std::optional<Warning> partTokenWarning(const RunFacts& facts) {
  if (facts.partTokens.count == 0 || (facts.failure && facts.failureLine == facts.partTokensLine)) {
    return std::nullopt;
  }
  return Warning{line(facts.partTokensLine) + "only the start of " +
                     quoted(facts.partTokens.quote) +
                     " was read as a number, and the rest as the next field or not at all (" +
                     plural(facts.partTokens.count, "token", "tokens") +
                     " in all; fields are separated by blanks or tabs)",
                 true};
}

// A value beyond the double range: it is infinite in every period it is in.
std::optional<Warning> infiniteValueWarning(const RunFacts& facts) {
  if (facts.infiniteValues.count == 0) {
    return std::nullopt;
  }
  return Warning{line(facts.infiniteValuesLine) + "the value " +
                     quoted(facts.infiniteValues.quote) +
                     " is beyond the range of numbers and was read as infinity (" +
                     plural(facts.infiniteValues.count, "value", "values") + " in all)",
                 false};
}

// A Ctrl-Z ended the input, as in Windows text mode, before data rows.
std::optional<Warning> ctrlZWarning(const RunFacts& facts) {
  if (!facts.ctrlZ || !facts.ctrlZ->dataRowsBehind) {
    return std::nullopt;
  }
  const std::uint64_t bytes = facts.ctrlZ->bytesBehind;
  return Warning{
      line(facts.ctrlZLine) + "a Ctrl-Z byte ended the input, as on Windows, and the " +
          std::to_string(bytes) +
          (bytes == 1 ? " byte behind it, which holds" : " bytes behind it, which hold") +
          " data rows, were not read (remove the Ctrl-Z to read them)",
      true};
}

// A stamp field out of range: such a row closes no month, or no day.
std::optional<Warning> stampRangeWarning(const RunFacts& facts) {
  if (facts.stampsOutOfRange.count == 0) {
    return std::nullopt;
  }
  const RecordStamp& stamp = facts.firstOutOfRange;
  const auto [field, value] =
      stamp.year < 0                                 ? std::pair{"year", stamp.year}
      : static_cast<std::uint32_t>(stamp.month) > 12 ? std::pair{"month", stamp.month}
      : static_cast<std::uint32_t>(stamp.day) > 31   ? std::pair{"day", stamp.day}
                                                     : std::pair{"hour", stamp.hour};
  return Warning{line(facts.stampsOutOfRangeLine) + "the " + field + " " + std::to_string(value) +
                     " of " + stampText(stamp) + " is out of range (" +
                     plural(facts.stampsOutOfRange.count, "row", "rows") + " in all)",
                 true};
}

// Day closes on the date of the close before: several rows per hour label, or repeated rows.
std::optional<Warning> repeatedDayWarning(const RunFacts& facts) {
  const CloseOrder& order = facts.closeOrder;
  if (order.repeatedDays.count == 0) {
    return std::nullopt;
  }
  return Warning{line(facts.repeatedDaysLine) + "the day " + dateText(order.firstRepeated) +
                     " closed again (" + plural(order.repeatedDays.count, "day", "days") +
                     " closed more than once: several rows per hour, or repeated rows?)",
                 true};
}

// A day close on an earlier date than the close before.
std::optional<Warning> dateBackWarning(const RunFacts& facts) {
  const CloseOrder& order = facts.closeOrder;
  if (order.datesBack.count == 0) {
    return std::nullopt;
  }
  return Warning{line(facts.datesBackLine) + "the date goes back from " + dateText(order.backFrom) +
                     " to " + dateText(order.backTo) + " (" +
                     plural(order.datesBack.count, "time", "times") +
                     " in all: rows in reverse order, or two runs in one file?)",
                 true};
}

// A given header-row count that reaches into the data: those rows went into the header copy.
std::optional<Warning> headerCountWarning(const RunFacts& facts) {
  if (facts.headerDataRows == 0) {
    return std::nullopt;
  }
  return Warning{"the header-row count " + std::to_string(facts.headerRowsGiven) + " copies " +
                     plural(facts.headerDataRows, "data row", "data rows") +
                     " into the header (the rows from line " +
                     std::to_string(facts.firstDataRowLine) +
                     " on start with a number; leave the count out to detect it)",
                 true};
}

// An output name that is the input: the outputs took the ".$$$" names instead.
std::optional<Warning> fallbackWarning(const RunFacts& facts) {
  if (facts.inputAsOutputName.empty()) {
    return std::nullopt;
  }
  std::string names;
  for (std::size_t i = 0; i < facts.outputNames.size(); ++i) {
    names += (i == 0                              ? ""
              : i + 1 == facts.outputNames.size() ? " and "
                                                  : ", ") +
             facts.outputNames[i];
  }
  return Warning{"the output name " + facts.inputAsOutputName +
                     " is the input, so the outputs are " + names + " (labelled " +
                     facts.labelName + ")",
                 false};
}

// W8: arguments after the column count.
std::optional<Warning> ignoredWarning(const RunFacts& facts) {
  if (facts.ignoredArguments.empty()) {
    return std::nullopt;
  }
  std::string text = "more than three arguments after the options: ";
  for (const std::string& argument : facts.ignoredArguments) {
    text.append(quoted(argument)).append(" ");
  }
  return Warning{text.append("ignored, and the value columns are counted"), false};
}

// The line numbers the warnings name, as the reading noted them.
void takeLineNumbers(RunFacts& facts) {
  if (facts.failure) {
    facts.failureLine = facts.failure->line;
  }
  for (const auto& [occurrence, number] :
       {std::pair{&facts.linesCrossed, &facts.linesCrossedLine},
        std::pair{&facts.extraText, &facts.extraTextLine},
        std::pair{&facts.partTokens, &facts.partTokensLine},
        std::pair{&facts.infiniteValues, &facts.infiniteValuesLine},
        std::pair{&facts.stampsOutOfRange, &facts.stampsOutOfRangeLine},
        std::pair{&facts.closeOrder.repeatedDays, &facts.repeatedDaysLine},
        std::pair{&facts.closeOrder.datesBack, &facts.datesBackLine}}) {
    if (occurrence->count > 0) {
      *number = occurrence->firstLine;
    }
  }
  if (facts.ctrlZ && facts.ctrlZ->dataRowsBehind) {
    facts.ctrlZLine = facts.ctrlZ->line;
  }
}

}  // namespace

RunFacts collectRunFacts(InputReader& input, const RecordLoopState& loop,
                         const AnalysedLayout& layout, std::int32_t closeHour,
                         const std::vector<std::string>& ignoredArguments) {
  RunFacts facts;
  facts.columnsDetected = layout.columnsDetected;
  facts.valueColumns = layout.valueColumns;
  facts.firstDataRow = layout.firstDataRow;
  facts.firstDataRowLine = layout.firstDataRowLine;
  facts.failure = input.firstFailure();
  facts.endedInsideValues = loop.endedInsideValues;
  facts.rowsRead = loop.rowsRead;
  facts.daysClosed = loop.closes[static_cast<std::size_t>(Period::day)];
  facts.daysSinceMonthClose = loop.daysSinceMonthClose;
  facts.openDayRows = loop.accumulators.rows(Period::day);
  facts.lastStamp = loop.stamp;
  facts.closeHour = closeHour;
  facts.linesCrossed = input.linesCrossed();
  facts.extraText = input.extraText();
  facts.partTokens = input.partTokens();
  facts.infiniteValues = input.infiniteValues();
  facts.stampsOutOfRange = loop.stampsOutOfRange;
  facts.firstOutOfRange = loop.firstOutOfRange;
  facts.closeOrder = loop.closeOrder;
  facts.ignoredArguments = ignoredArguments;
  if (facts.endedInsideValues) {
    facts.endLine = input.lineNumberAt(input.textOffset());
  }
  if (facts.failure) {
    facts.dataRowsUnread = (facts.failure->lineStartsWithNumber ? 1 : 0) + countDataRows(input);
  }
  facts.ctrlZ = input.ctrlZ();  // met by the record loop, or by the count of the rows unread
  takeLineNumbers(facts);
  return facts;
}

RunSummary summaryOf(const RecordLoopState& loop, std::int32_t valueColumns) {
  const std::int64_t values = loop.rowsRead * std::max<std::int64_t>(valueColumns, 0);
  return {loop.rowsRead, loop.closes[static_cast<std::size_t>(Period::day)],
          loop.closes[static_cast<std::size_t>(Period::month)], loop.valuesAccepted,
          std::max<std::int64_t>(values - loop.valuesAccepted, 0)};
}

std::vector<Warning> warningsFor(const RunFacts& facts) {
  using Rule = std::optional<Warning> (*)(const RunFacts&);
  const std::pair<std::string_view, Rule> rules[] = {
      {"ignored-arguments", ignoredWarning},
      {"output-name-is-input", fallbackWarning},
      {"header-rows-into-data", headerCountWarning},
      {"no-value-columns", noColumnsWarning},
      {"reading-stopped", stoppedWarning},
      {"short-rows", shortRowWarning},
      {"part-numbers", partTokenWarning},
      {"stamps-out-of-range", stampRangeWarning},
      {"repeated-days", repeatedDayWarning},
      {"dates-back", dateBackWarning},
      {"text-after-values", extraTextWarning},
      {"infinite-values", infiniteValueWarning},
      {"ctrl-z", ctrlZWarning},
      {"no-day-closed", noDayWarning},
      {"unfinished-month", unfinishedMonthWarning},
      {"open-day", openDayWarning},
  };
  std::vector<Warning> warnings;
  for (const auto& [code, rule] : rules) {
    if (std::optional<Warning> warning = rule(facts)) {
      warning->code = code;
      warning->line = lineNamedBy(warning->text);
      warnings.push_back(std::move(*warning));
    }
  }
  return warnings;
}

}  // namespace skarvel
