// Runs the real binary on small files in a temporary folder and compares the console text, the
// exit status and whole output files byte for byte.
#include "end_to_end.hpp"

#include <gtest/gtest.h>

namespace skarvel {
namespace {

namespace fs = std::filesystem;
using namespace skarvel::testing;

// ----------------------------------------------------------------------------------------------
// Command line, names and failures

TEST_F(EndToEnd, NoArgumentsPrintsUsage) {
  const ToolRun result = runTool(folder, {});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.console, kBanner + kUsage);
  EXPECT_TRUE(folder.listing().empty());
}

TEST_F(EndToEnd, Version) {
  const ToolRun version = runTool(folder, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.console, kBanner + "skarvel " SKARVEL_VERSION "\n");
  EXPECT_TRUE(folder.listing().empty());
}

TEST_F(EndToEnd, MissingInputCreatesNothing) {
  const ToolRun result = runTool(folder, {"nofile.dat"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.console, kBanner + "error opening file nofile.dat\n");
  EXPECT_TRUE(folder.listing().empty());
}

TEST_F(EndToEnd, InputThatIsAFolderCannotBeOpened) {
  fs::create_directory(folder.work() / "flow.dat");
  const ToolRun result = runTool(folder, {"flow.dat"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.console, kBanner + "error opening file flow.dat\n");
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
}

const std::string kSmallInput = "date values\n2001 1 1 24 1.5\n";

TEST_F(EndToEnd, NameWhoseOutputWouldBeTheInputFallsBack) {
  const ToolRun result = run(kSmallInput, {}, "data.txt");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"data.m$$", "data.t$$", "data.txt"}));
  EXPECT_EQ(file("data.t$$"),
            "daily_sums_from_data.txt.$$$_:_date values\n2001\t1\t1\t24\t1.5\n0\t0\t0\t0\t0\n");
  EXPECT_EQ(file("data.m$$"), "monthly_sums_from_data.txt.$$$_:_date values\n0\t0\t0\t0\t0\n");
  EXPECT_TRUE(result.diagnostics.starts_with(
      "skarvel: warning: the output name data.txt is the input, so the outputs are data.t$$ and "
      "data.m$$ (labelled data.txt.$$$)\n"));
}

TEST_F(EndToEnd, OwnOutputNamesAsInputFallBack) {
  EXPECT_EQ(run(kSmallInput, {}, "flow.tat").status, 0);
  // The fallback names of flow.mat are those of flow.tat, whose results they hold.
  const ToolRun second = run(kSmallInput, {}, "flow.mat");
  EXPECT_EQ(second.status, 3);
  EXPECT_EQ(second.console,
            kBanner + "error: flow.m$$ holds the results of flow.tat.$$$, not of flow.mat.$$$\n");
  EXPECT_EQ(folder.listing(),
            (std::vector<std::string>{"flow.m$$", "flow.mat", "flow.t$$", "flow.tat"}));
}

TEST_F(EndToEnd, RefusesToOverwriteTheInput) {
  const ToolRun result = run(kSmallInput, {}, "q.t$$");
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error: output file q.t$$ would overwrite the input file\n");
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"q.t$$"});
}

TEST_F(EndToEnd, RefusalTruncatesNoOtherFile) {
  writeFile(folder.work() / "q.t$$", "keep me\n");
  const ToolRun result = run(kSmallInput, {}, "q.m$$");
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error: output file q.m$$ would overwrite the input file\n");
  EXPECT_EQ(rawFile("q.t$$"), "keep me\n");
}

#ifndef _WIN32
TEST_F(EndToEnd, RecognisesTheInputBehindALink) {
  fs::create_symlink("flow.dat", folder.work() / "flow.tat");
  const ToolRun result = run(kSmallInput);
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(fs::is_symlink(folder.work() / "flow.tat"));
  EXPECT_EQ(file("flow.t$$"),
            "daily_sums_from_flow.dat.$$$_:_date values\n2001\t1\t1\t24\t1.5\n0\t0\t0\t0\t0\n");
  EXPECT_TRUE(exists("flow.m$$"));  // derived from the extended name, as after any fallback
}
#endif

TEST_F(EndToEnd, KeepsTheDirectoryOfTheInput) {
  fs::create_directory(folder.work() / "run.v2");
  writeFile(folder.work() / "run.v2" / "flow.dat", kSmallInput);
  const ToolRun result = runTool(folder, {"run.v2/flow.dat", "1", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "1 columns run.v2/flow\n.fertig..\n");
  EXPECT_TRUE(exists("run.v2/flow.tat"));
  EXPECT_TRUE(exists("run.v2/flow.mat"));
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"run.v2"});
}

TEST_F(EndToEnd, OutputThatCannotBeCreated) {
  fs::create_directory(folder.work() / "flow.tat");
  const ToolRun result = run(kSmallInput);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error creating file flow.tat\n");
  EXPECT_FALSE(exists("flow.mat"));
}

TEST_F(EndToEnd, MonthlyOutputThatCannotBeCreatedLeavesNoDailyFile) {
  fs::create_directory(folder.work() / "flow.mat");
  const ToolRun result = run(kSmallInput);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error creating file flow.mat\n");
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat"}));
}

// ----------------------------------------------------------------------------------------------
// Header and column arguments

const std::string kTwoHeaderLines =
    "Varno run\nyear month day hour a b c d\n"
    "2001 1 1 24 1 2 3 4\n"
    "2001 1 2 24 3 4 5 6\n";

TEST_F(EndToEnd, DetectsHeaderAndColumns) {
  const ToolRun result = run(kTwoHeaderLines);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "4 columns \n..fertig..\n");
  EXPECT_EQ(file("flow.tat"),
            "daily_sums_from_flow.dat_:_Varno run\nyear month day hour a b c d\n"
            "2001\t1\t1\t24\t1\t2\t3\t4\n2001\t1\t2\t24\t3\t4\t5\t6\n0\t0\t0\t0\t0\t0\t0\t0\n");
  EXPECT_EQ(file("flow.mat"),
            "monthly_sums_from_flow.dat_:_Varno run\nyear month day hour a b c d\n"
            "0\t0\t0\t0\t0\t0\t0\t0\n");
}

TEST_F(EndToEnd, ArgumentForms) {
  const std::string detected = kBanner + "4 columns \n..fertig..\n";
  const std::string zeroHeaders = kBanner + "0 Kopfzeilen..\n\n4 columns \nfertig..\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string console;
    int status;
  };
  const Case cases[] = {
      {{"-5"}, detected, 0},
      {{"2"}, detected, 0},
      {{"0"}, zeroHeaders, 4},  // the header lines are read as data: reading stops at once
      {{"auto"}, detected, 0},
      {{" AUTO"}, detected, 0},
      {{"2", "auto"}, detected, 0},
      {{"3x"},
       kBanner + "error: the header-row count must be a number or \"auto\", not '3x'\n" + kUsage,
       1},
      {{"2", "4"}, kBanner + "4 columns flow\n..fertig..\n", 0},
      {{"2", "3"}, kBanner + "3 columns flow\n..fertig..\n", 0},
      {{"2", "4", "x"}, detected, 0},
  };
  for (const Case& c : cases) {
    const ToolRun result = run(kTwoHeaderLines, c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.console, c.console) << c.arguments[0];
  }
}

TEST_F(EndToEnd, HeaderCountZeroReadsNoDataFromAHeaderLine) {
  const ToolRun result = run(kTwoHeaderLines, {"0"});
  EXPECT_EQ(file("flow.tat"), "0\t0\t0\t0\t0\t0\t0\t0\n");
  EXPECT_EQ(file("flow.mat"), "0\t0\t0\t0\t0\t0\t0\t0\n");
}

TEST_F(EndToEnd, NoDataRow) {
  for (const std::string input : {"", "only a header\n", "header\nand more"}) {
    const ToolRun result = run(input);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.console, kBanner +
                                  "no valid row for column analyzing found \n(at least one row in "
                                  "the file has to start with a number)\n");
    EXPECT_EQ(file("flow.tat"), "");
    EXPECT_EQ(file("flow.mat"), "");
  }
}

}  // namespace
}  // namespace skarvel
