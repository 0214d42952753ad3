#include "analysis.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skarvel {
namespace {

struct HeaderScan {
  bool found;
  std::int32_t headrows;
  std::string line;
};

HeaderScan scan(const std::string& bytes, std::int32_t headrows) {
  InputReader reader(ByteSource::ofBytes(bytes));
  HeaderScan result{false, headrows, ""};
  std::int64_t lineNumber = 0;
  result.found = scanHeader(reader, result.headrows, result.line, lineNumber);
  return result;
}

TEST(ScanHeader, CountsLinesBeforeTheFirstDataRow) {
  const HeaderScan s = scan("title\nyear month day hour q\n2001 1 1 1 0.5\n", -1);
  EXPECT_TRUE(s.found);
  EXPECT_EQ(s.headrows, 2);
  EXPECT_EQ(s.line, "2001 1 1 1 0.5\n");
}

TEST(ScanHeader, DetectsBoundaries) {
  struct Case {
    std::string input;
    std::int32_t given;
    bool found;
    std::int32_t headrows;
  };
  const Case cases[] = {
      {"2001 1 1 1 0.5\n", -1, true, 0},
      {"2001 1 1 1 0.5\n", -5, true, 0},
      {"\n2001 1 1 1 0.5\n", -1, true, 1},  // a blank line is a header line
      {"   \t\n2001 1 1 1 0.5\n", -1, true, 1},
      {"1 station\n2001 1 1 1 0.5\n", -1, true, 0},  // starts with a number
      {"Infiltration [mm]\n2001 1 1 1 0.5\n", -1, true, 1},
      {"nan\ninf\n.x\n-\n2001 1 1 1 0\n", -1, true, 4},
      {"  .5e1 x\n", -1, true, 0},
      {"title\n2001 1 1 1 0.5\n", 7, true, 7},  // a given count stays
      {"header only\n", -1, false, -1},
      {"header only\nno line end", -1, false, -1},
      {"", -1, false, -1},
      {"", 0, false, 0},
      {"a\r\nb\r\n2001 1 1 1 1\r\n", -1, true, 2},
  };
  for (const Case& c : cases) {
    const HeaderScan s = scan(c.input, c.given);
    EXPECT_EQ(s.found, c.found) << c.input;
    EXPECT_EQ(s.headrows, c.headrows) << c.input;
  }
}

TEST(ScanHeader, SeesWholeLongLines) {
  const std::string longHeader(50'000, 'h');
  const HeaderScan s = scan(longHeader + "\n2001 1 1 1 0.5\n", -1);
  EXPECT_EQ(s.headrows, 1);
}

TEST(CountColumns, CountsNumberTokensAfterTheStamp) {
  struct Case {
    std::string row;
    std::int32_t columns;
    std::string rest;
  };
  const Case cases[] = {
      {"2001 1 1 1 0.5 -9999 3.25\n", 3, ""},
      {"2001\t1\t1\t1\t0.5\t-9999\t3.25\n", 3, ""},
      {"2001 \t1\t 1  1 \t 0.5 \t-9999\t\t3.25\n", 3, ""},
      {"  2001\t1\t1\t1\t7.0\n", 2, ""},
      {"2001 1 1 1 4 x 5\n", 1, "5\n\t"},
      {"2001 1 1 1 1.5x 2\n", 2, ""},
      {"2001 1 1 24 \n", 0, ""},
      {"2001 1 1 24\n", 0, ""},
      {"2001 1 1 1 x\n", 0, ""},
      {"2001 1 1 1 0.5 2.5", 2, ""},
      {"2001 1 1 1 1 2 3 . 4\n", 3, "4\n\t"},
  };
  for (const Case& c : cases) {
    std::string rest = "stale";
    EXPECT_EQ(countColumns(c.row, rest), c.columns) << c.row;
    EXPECT_EQ(rest, c.rest) << c.row;
  }
}

TEST(CountColumns, CountsVeryWideRows) {
  std::string row = "2001 1 1 1";
  for (int i = 0; i < 100000; ++i) {
    row.append(" ").append(std::to_string(i % 97)).append(".5");
  }
  row += "\n";
  std::string rest;
  EXPECT_EQ(countColumns(row, rest), 100000);
}

TEST(CountColumns, CountsMissingTextsAsColumns) {
  const std::vector<std::string> texts = {"NA", "nan"};
  struct Case {
    std::string row;
    std::int32_t columns;
    std::string rest;
  };
  const Case cases[] = {
      {"2001 1 1 1 NA 2 nan\n", 3, ""},
      {"2001 1 1 1 NA\n", 1, ""},
      {"2001 1 1 1 NA\r\n", 1, ""},
      {"2001 1 1 1 1 NAN 2\n", 1, "2\n\t"},
      {"2001 1 1 1 NA, 2\n", 0, "2\n\t"},
      {"NA 1 1 1 1\n", 1, ""},  // the stamp tokens are not looked at
  };
  for (const Case& c : cases) {
    std::string rest;
    EXPECT_EQ(countColumns(c.row, rest, texts), c.columns) << c.row;
    EXPECT_EQ(rest, c.rest) << c.row;
  }
  std::string rest;
  EXPECT_EQ(countColumns("2001 1 1 1 NA 2\n", rest), 0);  // without texts, as before
}

}  // namespace
}  // namespace skarvel
