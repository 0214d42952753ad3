// An independent model check: random but well-formed hourly and daily files with missing
// values, their expected daily, monthly and overall means computed in the simplest way (sums
// and counts per day and per month, kept in maps), compared with the tool's files parsed back
// from a run on one thread; the threaded reading must give that run's bytes.
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <tuple>

#include "end_to_end.hpp"
#include "seeded_random.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

class ModelCheck : public EndToEnd {};

using Random = SeededRandom;

bool isLeap(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int monthLength(int year, int month) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeap(year) ? 29 : kLengths[month - 1];
}

using Day = std::tuple<int, int, int>;  // year, month, day
using Month = std::pair<int, int>;      // year, month

struct Sums {
  std::vector<double> sum;
  std::vector<int> count;
  explicit Sums(int columns = 0) : sum(static_cast<std::size_t>(columns)), count(sum.size()) {}
  void add(const Sums& other) {
    for (std::size_t c = 0; c < sum.size(); ++c) {
      sum[c] += other.sum[c];
      count[c] += other.count[c];
    }
  }
};

// A generated input and what the model expects of it.
struct Case {
  std::string input;
  int headerLines = 0;
  int columns = 0;
  std::vector<std::pair<Day, Sums>> dailyRows;
  std::vector<std::pair<Day, Sums>> monthlyRows;
  Sums totals;
  int status = 0;  // 4 when rows are not averaged as written, or no day closes
};

Case generate(std::uint64_t seed) {
  Random random(seed);
  Case c;
  c.columns = 1 + random.below(5);
  c.headerLines = random.below(4);
  for (int h = 0; h < c.headerLines; ++h) {
    c.input += "header line " + std::to_string(h) + " q[mm]\n";
  }
  const bool hourly = random.below(4) != 0;
  int year = 1899 + random.below(203);
  int month = 1 + random.below(12);
  int day = 1 + random.below(28);
  const int days = 1 + random.below(100);
  // The last day may stop before hour 24; or end in an hour-24 row that cannot be read.
  const int lastHour = hourly && random.below(2) == 0 ? 1 + random.below(23) : 24;
  const bool unreadableEnd = lastHour == 24 && random.below(8) == 0;

  std::map<Day, Sums> byDay;
  std::map<Month, Sums> byMonth;
  std::vector<Day> closedDays;
  std::vector<Month> closedMonths;
  Month lastRowMonth;
  for (int d = 0; d < days; ++d) {
    const Day key{year, month, day};
    Sums& today = byDay.try_emplace(key, c.columns).first->second;
    const bool last = d + 1 == days;
    const int fromHour = hourly ? 1 : 24;
    const int toHour = last ? lastHour : 24;
    for (int hour = fromHour; hour <= toHour; ++hour) {
      std::string row = std::to_string(year) + " " + std::to_string(month) + " " +
                        std::to_string(day) + " " + std::to_string(hour);
      lastRowMonth = {year, month};
      if (last && hour == 24 && unreadableEnd) {
        c.input += row + " x\n";  // drops the whole day, and its month from the totals
        break;
      }
      for (std::size_t col = 0; col < static_cast<std::size_t>(c.columns); ++col) {
        const int kind = random.below(100);
        double value = 0.0;
        std::string text;
        if (kind < 5) {
          text = "-9999";
        } else if (kind < 6) {
          text = "-998";
        } else if (kind < 7) {
          text = "-997.5";
          value = -997.5;
        } else {
          const int hundredths = random.below(198001) - 99000;  // -990.00 .. 990.00
          value = hundredths / 100.0;
          std::ostringstream format;
          format << (hundredths < 0 ? "-" : "") << std::abs(hundredths) / 100 << "."
                 << std::abs(hundredths) % 100 / 10 << std::abs(hundredths) % 10;
          text = format.str();
        }
        row += (random.below(3) == 0 ? "\t" : " ") + text;
        if (text != "-9999" && text != "-998") {
          today.sum[col] += value;
          ++today.count[col];
        }
      }
      c.input += row + "\n";
      if (hour == 24) {
        closedDays.push_back(key);
        if (day == monthLength(year, month)) {
          closedMonths.emplace_back(year, month);
        }
      }
    }
    byMonth.try_emplace({year, month}, c.columns).first->second.add(today);
    if (++day > monthLength(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }

  for (const Day& d : closedDays) {
    c.dailyRows.emplace_back(d, byDay.at(d));
  }
  c.totals = Sums(c.columns);
  for (const Month& m : closedMonths) {
    const Day stamp{m.first, m.second, monthLength(m.first, m.second)};
    c.monthlyRows.emplace_back(stamp, byMonth.at(m));
    c.totals.add(byMonth.at(m));
  }
  // The totals rule: a run that stops inside a day (hour below 24) counts its open month as
  // well; one that stops after an hour-24 row, or at an unreadable hour-24 row, does not.
  if (lastHour < 24) {
    c.totals.add(byMonth.at(lastRowMonth));  // the last row's month never closed
  }
  c.status = unreadableEnd || closedDays.empty() ? 4 : 0;
  return c;
}

// Splits a tab-separated row.
std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> result;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) {
    result.push_back(field);
  }
  return result;
}

void expectRow(const std::string& line, const Day& stamp, int hour, const Sums& sums,
               const std::string& whenEmpty, const std::string& context) {
  const std::vector<std::string> f = fields(line);
  ASSERT_EQ(f.size(), 4 + sums.sum.size()) << context << ": " << line;
  EXPECT_EQ(f[0], std::to_string(std::get<0>(stamp))) << context;
  EXPECT_EQ(f[1], std::to_string(std::get<1>(stamp))) << context;
  EXPECT_EQ(f[2], std::to_string(std::get<2>(stamp))) << context;
  EXPECT_EQ(f[3], std::to_string(hour)) << context;
  for (std::size_t c = 0; c < sums.sum.size(); ++c) {
    if (sums.count[c] == 0) {
      EXPECT_EQ(f[4 + c], whenEmpty) << context << " column " << c + 1;
      continue;
    }
    const double expected = sums.sum[c] / sums.count[c];
    const double written = std::strtod(f[4 + c].c_str(), nullptr);
    EXPECT_NEAR(written, expected, 1e-5 * std::fabs(expected) + 1e-9)
        << context << " column " << c + 1 << ": " << line;
  }
}

void expectFile(const std::string& content, const Case& c,
                const std::vector<std::pair<Day, Sums>>& rows, const std::string& context) {
  std::vector<std::string> lines;
  std::istringstream in(content);
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(line);
  }
  const std::size_t header = static_cast<std::size_t>(c.headerLines);
  ASSERT_EQ(lines.size(), header + rows.size() + 1) << context;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    expectRow(lines[header + r], rows[r].first, 24, rows[r].second, "-9999",
              context + " row " + std::to_string(r + 1));
  }
  expectRow(lines.back(), Day{0, 0, 0}, 0, c.totals, "0", context + " final row");
}

// Every third input is read again on two threads in small chunks (300 bytes hold a few daily
// rows, 1000 and 2500 bytes one or two hourly days): the files and the console text must be
// the one-thread run's, byte for byte.
TEST_F(ModelCheck, AgreesWithASimpleModel) {
  for (std::uint64_t seed = 1; seed <= 300; ++seed) {
    const Case c = generate(seed);
    const ToolRun result = run(c.input, {}, "flow.dat", {"--threads=1"});
    ASSERT_EQ(result.status, c.status) << "seed " << seed << result.diagnostics;
    expectFile(file("flow.tat"), c, c.dailyRows, "seed " + std::to_string(seed) + " daily");
    expectFile(file("flow.mat"), c, c.monthlyRows, "seed " + std::to_string(seed) + " monthly");
    if (seed % 3 == 0) {
      const std::string daily = rawFile("flow.tat");
      const std::string monthly = rawFile("flow.mat");
      const std::string chunkBytes = std::to_string(std::array{300, 1000, 2500}[seed / 3 % 3]);
      const ToolRun threaded =
          run(c.input, {}, "flow.dat", {"--threads=2"}, {{"SKARVEL_TEST_CHUNK_BYTES", chunkBytes}});
      const std::string context =
          "seed " + std::to_string(seed) + ", --threads=2 in " + chunkBytes + "-byte chunks";
      EXPECT_EQ(threaded.status, result.status) << context;
      EXPECT_EQ(threaded.rawConsole, result.rawConsole) << context;
      EXPECT_EQ(threaded.diagnostics, result.diagnostics) << context;
      EXPECT_TRUE(rawFile("flow.tat") == daily) << context << ": the daily file differs";
      EXPECT_TRUE(rawFile("flow.mat") == monthly) << context << ": the monthly file differs";
    }
    if (HasFailure()) {
      FAIL() << "seed " << seed << " input:\n" << c.input.substr(0, 2000);
    }
  }
}

}  // namespace
}  // namespace skarvel
