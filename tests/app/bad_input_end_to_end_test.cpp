// Malformed input: every case has defined output, byte for byte, and an exit status by the
// rules; nothing crashes.
#include "end_to_end.hpp"
#include "seeded_random.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

class BadInputEndToEnd : public EndToEnd {};

const std::string kNoDataRow =
    "no valid row for column analyzing found \n(at least one row in the file has to start with a "
    "number)\n";

struct BadInput {
  const char* what;
  std::string input;
  std::vector<std::string> arguments;
  int status;
  std::string console;  // after the banner
  std::string daily;
  std::string monthly;
};

std::string withNul(std::string text) {
  for (char& c : text) {
    if (c == '@') {
      c = '\0';
    }
  }
  return text;
}

TEST_F(BadInputEndToEnd, BadInputHasDefinedResults) {
  const std::string zeroHeaders = "0 Kopfzeilen..\n\n";
  const BadInput cases[] = {
      {"garbage after the data ends the loop at once",
       "2001 1 31 24 5\n\x01\xff\x7f garbage\n",
       {},
       0,
       zeroHeaders + "1 columns \n.1/2001\n" + kDone,
       "2001\t1\t31\t24\t5\n0\t0\t0\t0\t5\n",
       "2001\t1\t31\t24\t5\n0\t0\t0\t0\t5\n"},
      {"garbage without any number",
       "\x01\xff\x7f\n\x80\x90 abc\n\x1b[0m\n",
       {},
       1,
       kNoDataRow,
       "",
       ""},
      {"NUL bytes: kept in a header line, ending a value",
       withNul("head@er\n2001 1 31 24 1@ 2\n2001 2 28 24 3 4\n"),
       {},
       4,
       "2 columns \n" + kDone,
       withNul("daily_sums_from_flow.dat_:_head@er\n0\t0\t0\t0\t0\t0\n"),
       withNul("monthly_sums_from_flow.dat_:_head@er\n0\t0\t0\t0\t0\t0\n")},
      {"a huge line without line end and no number",
       std::string(3'000'000, 'x'),
       {},
       1,
       kNoDataRow,
       "",
       ""},
      {"an 11-digit year fails the first row",
       "20010131241 1 31 24 5\n",
       {},
       4,
       zeroHeaders + "1 columns \n" + kDone,
       "0\t0\t0\t0\t0\n",
       "0\t0\t0\t0\t0\n"},
      {"an 11-digit hour ends the loop; the open day counts",
       "2001 1 31 23 1\n2001 1 31 99999999999 2\n",
       {},
       4,
       zeroHeaders + "1 columns \n" + kDone,
       "0\t0\t0\t0\t1\n",
       "0\t0\t0\t0\t1\n"},
      {"infinite and vanishing magnitudes; minus infinity is below the missing threshold",
       "2001 1 31 24 1e999 -1e999 1e-999\n",
       {},
       0,
       zeroHeaders + "3 columns \n.1/2001\n" + kDone,
       "2001\t1\t31\t24\t1.#INF\t-9999\t0\n0\t0\t0\t0\t1.#INF\t0\t0\n",
       "2001\t1\t31\t24\t1.#INF\t-9999\t0\n0\t0\t0\t0\t1.#INF\t0\t0\n"},
      {"infinities of both signs in one day",
       "2001 1 31 23 1e999\n2001 1 31 24 -1e999\n",
       {},
       0,
       zeroHeaders + "1 columns \n.1/2001\n" + kDone,
       "2001\t1\t31\t24\t1.#INF\n0\t0\t0\t0\t1.#INF\n",
       "2001\t1\t31\t24\t1.#INF\n0\t0\t0\t0\t1.#INF\n"},
      {"a lone point is consumed",
       "2001 1 31 23 . 5\n",
       {"0", "2"},
       4,
       zeroHeaders + "2 columns flow\n" + kDone,
       "0\t0\t0\t0\t0\t5\n",
       "0\t0\t0\t0\t0\t5\n"},
      {"a lone minus is consumed",
       "2001 1 31 23 - 5\n",
       {"0", "2"},
       4,
       zeroHeaders + "2 columns flow\n" + kDone,
       "0\t0\t0\t0\t0\t5\n",
       "0\t0\t0\t0\t0\t5\n"},
      {"a lone plus is consumed",
       "2001 1 31 23 + 5\n",
       {"0", "2"},
       4,
       zeroHeaders + "2 columns flow\n" + kDone,
       "0\t0\t0\t0\t0\t5\n",
       "0\t0\t0\t0\t0\t5\n"},
      {"a word is not consumed",
       "2001 1 31 23 x 5\n",
       {"0", "2"},
       4,
       zeroHeaders + "2 columns flow\n" + kDone,
       "0\t0\t0\t0\t0\t0\n",
       "0\t0\t0\t0\t0\t0\n"},
      {"1.5x reads 1.5, then fails at x",
       "2001 1 31 23 1.5x 7\n",
       {"0", "2"},
       4,
       zeroHeaders + "2 columns flow\n" + kDone,
       "0\t0\t0\t0\t1.5\t0\n",
       "0\t0\t0\t0\t1.5\t0\n"},
      {"1,5 reads 1, then fails at the comma",
       "2001 1 31 23 1,5 7\n",
       {"0", "2"},
       4,
       zeroHeaders + "2 columns flow\n" + kDone,
       "0\t0\t0\t0\t1\t0\n",
       "0\t0\t0\t0\t1\t0\n"},
      {"tabs mixed with blanks",
       "2001\t 1 \t31\t\t24 \t1.5\t 2.5 \n",
       {},
       0,
       zeroHeaders + "2 columns \n.1/2001\n" + kDone,
       "2001\t1\t31\t24\t1.5\t2.5\n0\t0\t0\t0\t1.5\t2.5\n",
       "2001\t1\t31\t24\t1.5\t2.5\n0\t0\t0\t0\t1.5\t2.5\n"},
      {"CR without LF: one line, read as a stream",
       "2001 1 31 24 1\r2001 2 28 24 3\r",
       {},
       0,
       zeroHeaders + "5 columns \n.1/2001\n" + kDone,
       "2001\t1\t31\t24\t1\t2001\t2\t28\t24\n0\t0\t0\t0\t1\t2001\t2\t28\t24\n",
       "2001\t1\t31\t24\t1\t2001\t2\t28\t24\n0\t0\t0\t0\t1\t2001\t2\t28\t24\n"},
      {"CR without LF after a header line", "h\r2001 1 31 24 1\r", {}, 1, kNoDataRow, "", ""},
  };
  for (const BadInput& c : cases) {
    const ToolRun result = run(c.input, c.arguments);
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.console, kBanner + c.console) << c.what;
    EXPECT_EQ(file("flow.tat"), c.daily) << c.what;
    EXPECT_EQ(file("flow.mat"), c.monthly) << c.what;
  }
}

TEST_F(BadInputEndToEnd, TenThousandHeaderLines) {
  std::string header;
  for (int i = 0; i < 10000; ++i) {
    header += "header line " + std::to_string(i) + "\n";
  }
  const ToolRun result = run(header + "2001 1 31 24 2\n");
  EXPECT_EQ(result.console, kBanner + "1 columns \n.1/2001\n" + kDone);
  EXPECT_EQ(file("flow.tat"),
            "daily_sums_from_flow.dat_:_" + header + "2001\t1\t31\t24\t2\n0\t0\t0\t0\t2\n");
}

TEST_F(BadInputEndToEnd, HundredThousandColumnsOnALineWithoutLineEnd) {
  std::string values;
  std::string means;
  for (int c = 0; c < 100000; ++c) {
    const std::string value = std::to_string(c % 1000) + "." + std::to_string(c % 7 + 1);
    values.append(" ").append(value);
    means.append("\t").append(value);
  }
  const ToolRun result = run("2001 1 31 24" + values);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "0 Kopfzeilen..\n\n100000 columns \n.1/2001\n" + kDone);
  EXPECT_EQ(file("flow.tat"), "2001\t1\t31\t24" + means + "\n0\t0\t0\t0" + means + "\n");
}

TEST_F(BadInputEndToEnd, RandomBytesNeverCrash) {
  SeededRandom random(42);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(20000, '\0');
    for (char& c : bytes) {
      const auto draw = static_cast<unsigned>(random.next() >> 56);
      // Mostly digits, blanks and line ends, so that some rows are read.
      c = draw < 120   ? static_cast<char>('0' + draw % 10)
          : draw < 170 ? ' '
          : draw < 190 ? '\n'
                       : static_cast<char>(draw);
    }
    const ToolRun result = run(bytes);
    EXPECT_TRUE(result.status == 0 || result.status == 1 || result.status == 4)
        << round << ": " << result.status;
    EXPECT_TRUE(result.console.ends_with(kDone) || result.console.ends_with(kNoDataRow)) << round;
  }
}

}  // namespace
}  // namespace skarvel
