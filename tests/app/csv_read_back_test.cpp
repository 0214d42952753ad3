// The comma-separated files read back by pandas, as a client reads them, over seeded random
// hourly files: every daily and monthly value against sums and counts kept independently, and
// against the classic files' six-digit values. Skipped where python3 has no pandas.
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "end_to_end.hpp"
#include "seeded_random.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

class CsvReadBack : public EndToEnd {};

// Prints every row of each file as the date and the values, tab-separated, with an empty field
// for a missing value and repr() of the others (the exact double).
const std::string kReader =
    "import sys\n"
    "import pandas as pd\n"
    "for path in sys.argv[1:]:\n"
    "    frame = pd.read_csv(path, parse_dates=['date'])\n"
    "    print(path, len(frame), ' '.join(frame.columns))\n"
    "    for row in frame.itertuples(index=False):\n"
    "        cells = ['' if pd.isna(v) else repr(float(v)) for v in row[1:]]\n"
    "        print('\\t'.join([row[0].strftime('%Y-%m-%d')] + cells))\n";

// A python3 that has pandas: the first on the search path, or the distribution's, which holds
// its python3-pandas package. Empty when neither has it.
std::string pythonWithPandas() {
  for (const std::string python : {"python3", "/usr/bin/python3"}) {
    if (std::system((python + " -c 'import pandas' > /dev/null 2>&1").c_str()) == 0) {
      return python;
    }
  }
  return "";
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    parts.push_back(part);
  }
  if (!text.empty() && text.back() == separator) {
    parts.emplace_back();
  }
  return parts;
}

int monthLength(int year, int month) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kLengths[month - 1];
}

struct Sums {
  std::vector<double> sum;
  std::vector<int> count;
};

// One expected row: the date text and, per column, the mean or nothing.
using Rows = std::vector<std::pair<std::string, std::vector<std::optional<double>>>>;

std::string isoDate(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::vector<std::optional<double>> means(const Sums& sums) {
  std::vector<std::optional<double>> result;
  for (std::size_t c = 0; c < sums.sum.size(); ++c) {
    result.push_back(sums.count[c] > 0 ? std::optional<double>(sums.sum[c] / sums.count[c])
                                       : std::nullopt);
  }
  return result;
}

struct Generated {
  std::string input;
  std::size_t columns = 0;
  Rows daily;
  Rows monthly;
};

Generated generate(std::uint64_t seed) {
  SeededRandom random(seed);
  Generated g;
  g.columns = 1 + static_cast<std::size_t>(random.below(4));
  g.input = "year month day hour";
  for (std::size_t c = 0; c < g.columns; ++c) {
    g.input += " q" + std::to_string(c + 1);
  }
  g.input += "\n";
  int year = 1950 + random.below(100);
  int month = 1 + random.below(12);
  int day = 1 + random.below(28);
  const int days = 1 + random.below(70);
  Sums monthSums{std::vector<double>(g.columns), std::vector<int>(g.columns)};
  for (int d = 0; d < days; ++d) {
    Sums today{std::vector<double>(g.columns), std::vector<int>(g.columns)};
    for (int hour = 1; hour <= 24; ++hour) {
      g.input += std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day) +
                 " " + std::to_string(hour);
      for (std::size_t c = 0; c < g.columns; ++c) {
        if (random.below(10) == 0) {
          g.input += random.below(2) == 0 ? " -9999" : " NA";
          continue;
        }
        const int hundredths = random.below(198001) - 99000;  // -990.00 .. 990.00, never missing
        std::ostringstream text;
        text << (hundredths < 0 ? "-" : "") << std::abs(hundredths) / 100 << "."
             << std::abs(hundredths) % 100 / 10 << std::abs(hundredths) % 10;
        g.input += " " + text.str();
        today.sum[c] += std::strtod(text.str().c_str(), nullptr);
        ++today.count[c];
      }
      g.input += "\n";
    }
    g.daily.emplace_back(isoDate(year, month, day), means(today));
    for (std::size_t c = 0; c < g.columns; ++c) {
      monthSums.sum[c] += today.sum[c];
      monthSums.count[c] += today.count[c];
    }
    if (day == monthLength(year, month)) {
      g.monthly.emplace_back(isoDate(year, month, day), means(monthSums));
      monthSums = {std::vector<double>(g.columns), std::vector<int>(g.columns)};
    }
    if (++day > monthLength(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
  return g;
}

// The classic file's value rows (after the one header line, without the final row), each
// as its fields.
std::vector<std::vector<std::string>> classicRows(const std::string& content) {
  std::vector<std::vector<std::string>> rows;
  const std::vector<std::string> lines = split(content, '\n');
  for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
    rows.push_back(split(lines[i], '\t'));
  }
  return rows;
}

void expectRead(const std::string& read, const std::string& classic, const Rows& expected,
                std::size_t columns, const std::string& context) {
  const std::vector<std::string> lines = split(read, '\n');
  ASSERT_EQ(lines.size(), expected.size() + 2) << context << "\n" << read;  // + title, + ""
  std::string names;
  for (std::size_t c = 1; c <= columns; ++c) {
    names += " q" + std::to_string(c);
  }
  EXPECT_TRUE(lines[0].ends_with(" " + std::to_string(expected.size()) + " date" + names))
      << context << ": " << lines[0];
  const auto classicValues = classicRows(classic);
  ASSERT_EQ(classicValues.size(), expected.size()) << context;
  for (std::size_t r = 0; r < expected.size(); ++r) {
    const std::vector<std::string> cells = split(lines[r + 1], '\t');
    ASSERT_EQ(cells.size(), columns + 1) << context << " row " << r << ": " << lines[r + 1];
    EXPECT_EQ(cells[0], expected[r].first) << context;
    for (std::size_t c = 0; c < columns; ++c) {
      const std::optional<double>& mean = expected[r].second[c];
      const std::string& shown = classicValues[r][4 + c];
      if (!mean) {
        EXPECT_EQ(cells[c + 1], "") << context << " row " << r;
        EXPECT_EQ(shown, "-9999") << context << " row " << r;
        continue;
      }
      const double value = std::strtod(cells[c + 1].c_str(), nullptr);
      EXPECT_NEAR(value, *mean, 1e-12 * std::fabs(*mean)) << context << " row " << r;
      EXPECT_NEAR(std::strtod(shown.c_str(), nullptr), value, 5e-6 * std::fabs(value) + 1e-9)
          << context << " row " << r;
    }
  }
}

TEST_F(CsvReadBack, PandasReadsTheMeansOfRandomFiles) {
  const std::string python = pythonWithPandas();
  if (python.empty()) {
    GTEST_SKIP() << "python3 with pandas is not installed";
  }
  writeFile(folder.work() / "read.py", kReader);
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    const Generated g = generate(seed);
    ASSERT_EQ(run(g.input, {}, "flow.dat", {"--missing=NA"}).status, 0) << seed;
    ASSERT_EQ(run(g.input, {}, "flow.dat", {"--missing=NA", "--format=csv"}).status, 0) << seed;
    const std::string command = "cd '" + folder.work().string() + "' && " + python +
                                " read.py flow_daily.csv flow_monthly.csv > read.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << seed;
    const std::string read = file("read.txt");
    const std::size_t monthly = read.find("flow_monthly.csv ");
    ASSERT_NE(monthly, std::string::npos) << read;
    const std::string context = "seed " + std::to_string(seed);
    expectRead(read.substr(0, monthly), file("flow.tat"), g.daily, g.columns, context + " daily");
    expectRead(read.substr(monthly), file("flow.mat"), g.monthly, g.columns, context + " monthly");
    if (HasFailure()) {
      FAIL() << context << " input:\n" << g.input.substr(0, 1500);
    }
  }
}

}  // namespace
}  // namespace skarvel
