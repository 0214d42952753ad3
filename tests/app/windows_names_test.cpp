// File names beyond ASCII on Windows: the tool opens them, writes its files beside them, never
// mistakes another file for the input, and names them in its text in the ANSI code page. Run
// under Windows-1252 and under code page 932 (Japanese, two bytes for most letters).
#include "end_to_end.hpp"

namespace skarvel {
namespace {

namespace fs = std::filesystem;
using namespace skarvel::testing;

const std::string kSmallInput = "date values\n2001 1 1 24 1.5\n";

// A name's bytes in the text the tool writes, under each code page the tests run under.
struct Spelling {
  std::string cp1252;
  std::string cp932;

  const std::string& current() const {
    const UINT codePage = GetACP();
    EXPECT_TRUE(codePage == 1252 || codePage == 932)
        << "the expected spellings are for code pages 1252 and 932, not " << codePage;
    return codePage == 932 ? cp932 : cp1252;
  }
};

struct NameCase {
  const char* what;
  std::string input;     // UTF-8
  std::string hardLink;  // a second name of the input made before the run, or empty
  std::string daily;     // UTF-8
  std::string monthly;   // UTF-8
  Spelling label;        // the input name in the header labels, ".$$$" included
  Spelling base;         // the console's note, with the column count given
};

class WindowsNames : public EndToEnd {};

TEST_F(WindowsNames, InputsOpenAndOutputsLandBesideThem) {
  const NameCase cases[] = {
      {"a letter at 0x8A in 1252, outside 932; the daily name is the input in another case",
       "\xC5\xA0ibenik.TXT",  // Šibenik.TXT
       "",
       "\xC5\xA0ibenik.t$$",
       "\xC5\xA0ibenik.m$$",
       {"\x8A"
        "ibenik.TXT.$$$",
        "?ibenik.TXT.$$$"},
       {"\x8A"
        "ibenik",
        "?ibenik"}},
      {"the same, behind a hard link",
       "\xC5\xA0ibenik.dat",
       "\xC5\xA0ibenik.tat",
       "\xC5\xA0ibenik.t$$",
       "\xC5\xA0ibenik.m$$",
       {"\x8A"
        "ibenik.dat.$$$",
        "?ibenik.dat.$$$"},
       {"\x8A"
        "ibenik",
        "?ibenik"}},
      {"outside 1252, two bytes in 932",
       "\xCE\xA9mega.dat",  // Ωmega.dat
       "",
       "\xCE\xA9mega.tat",
       "\xCE\xA9mega.mat",
       {"?mega.dat", "\x83\xB6mega.dat"},
       {"?mega", "\x83\xB6mega"}},
      {"CJK: outside 1252, two bytes each in 932",
       "\xE6\x9D\xB1\xE4\xBA\xAC.dat",  // 東京.dat
       "",
       "\xE6\x9D\xB1\xE4\xBA\xAC.tat",
       "\xE6\x9D\xB1\xE4\xBA\xAC.mat",
       {"??.dat", "\x93\x8C\x8B\x9E.dat"},
       {"??", "\x93\x8C\x8B\x9E"}},
      {"CJK, the daily name is the input in another case",
       "\xE6\x9D\xB1\xE4\xBA\xAC.TXT",
       "",
       "\xE6\x9D\xB1\xE4\xBA\xAC.t$$",
       "\xE6\x9D\xB1\xE4\xBA\xAC.m$$",
       {"??.TXT.$$$", "\x93\x8C\x8B\x9E.TXT.$$$"},
       {"??", "\x93\x8C\x8B\x9E"}},
  };
  for (const NameCase& c : cases) {
    for (const std::string& name : folder.listing()) {
      fs::remove(folder.work() / pathOf(name));
    }
    std::vector<std::string> expected = {c.input, c.daily, c.monthly};
    if (!c.hardLink.empty()) {
      writeFile(folder.work() / pathOf(c.input), kSmallInput);
      fs::create_hard_link(folder.work() / pathOf(c.input), folder.work() / pathOf(c.hardLink));
      expected.push_back(c.hardLink);
    }
    std::sort(expected.begin(), expected.end());
    const ToolRun result = run(kSmallInput, {"1", "1"}, c.input);
    EXPECT_EQ(result.status, 0) << c.what;
    EXPECT_EQ(result.console, kBanner + "1 columns " + c.base.current() + "\n.fertig..\n")
        << c.what;
    EXPECT_EQ(folder.listing(), expected) << c.what;
    EXPECT_EQ(file(c.daily), "daily_sums_from_" + c.label.current() +
                                 "_:_date values\n2001\t1\t1\t24\t1.5\n0\t0\t0\t0\t0\n")
        << c.what;
    EXPECT_EQ(file(c.monthly),
              "monthly_sums_from_" + c.label.current() + "_:_date values\n0\t0\t0\t0\t0\n")
        << c.what;
    if (!c.hardLink.empty()) {
      EXPECT_EQ(rawFile(c.hardLink), kSmallInput) << c.what;
    }
  }
}

TEST_F(WindowsNames, MessagesNameTheFileInTheCodePage) {
  const Spelling missing = {"error opening file ?missing.dat\n",
                            "error opening file \x83\xB6missing.dat\n"};
  const ToolRun notThere = runTool(folder, {"\xCE\xA9missing.dat"});  // Ωmissing.dat
  EXPECT_EQ(notThere.status, 2);
  EXPECT_EQ(notThere.console, kBanner + missing.current());

  const Spelling refused = {"error: output file ??.t$$ would overwrite the input file\n",
                            "error: output file \x93\x8C\x8B\x9E.t$$ would overwrite the input "
                            "file\n"};
  const ToolRun refusal = run(kSmallInput, {}, "\xE6\x9D\xB1\xE4\xBA\xAC.T$$");  // 東京.T$$
  EXPECT_EQ(refusal.status, 3);
  EXPECT_EQ(refusal.console, kBanner + refused.current());
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"\xE6\x9D\xB1\xE4\xBA\xAC.T$$"});
}

}  // namespace
}  // namespace skarvel
