// What a user's disk and other programs can do to a run: unwritable folders, unreadable input, full
// disks, an input cut short while it is read, another run on the same outputs. Every case gives its
// message and exit status and leaves the input as it was (but for the cut the test makes).
#include <cstdlib>
#include <thread>
#include <utility>

#include "end_to_end.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace skarvel {
namespace {

namespace fs = std::filesystem;
using namespace skarvel::testing;

class FaultEndToEnd : public EndToEnd {};

const std::string kInput = "title\n2001 1 31 24 1.5\n";

#ifndef _WIN32

// Permissions do not stop the superuser, so as root the tool runs as user "nobody".
class Unprivileged : public EndToEnd {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      return;
    }
    prefix_ = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    const ToolRun probe = runTool(folder, {"--version"}, SKARVEL_BINARY, prefix_);
    if (probe.status != 0) {
      GTEST_SKIP() << "cannot run the tool as user nobody";
    }
  }
  ToolRun runUnprivileged(const std::vector<std::string>& arguments) {
    return runTool(folder, arguments, SKARVEL_BINARY, prefix_);
  }

  std::string prefix_;
};

TEST_F(Unprivileged, ReadOnlyFolder) {
  writeFile(folder.work() / "flow.dat", kInput);
  fs::permissions(folder.work(), fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
  const ToolRun result = runUnprivileged({"flow.dat"});
  fs::permissions(folder.work(), fs::perms::owner_all);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error creating file flow.tat\n");
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
  EXPECT_EQ(rawFile("flow.dat"), kInput);
}

TEST_F(Unprivileged, UnreadableInput) {
  writeFile(folder.work() / "flow.dat", kInput);
  fs::permissions(folder.work(), fs::perms::all);
  fs::permissions(folder.work() / "flow.dat", fs::perms::none);
  const ToolRun result = runUnprivileged({"flow.dat"});
  fs::permissions(folder.work() / "flow.dat", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.console, kBanner + "error opening file flow.dat\n");
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
  EXPECT_EQ(rawFile("flow.dat"), kInput);
}

#endif

#ifdef __linux__
TEST_F(FaultEndToEnd, FullDiskIsAFailure) {
  for (const std::string output : {"flow.tat", "flow.mat"}) {
    fs::remove(folder.work() / "flow.tat");
    fs::remove(folder.work() / "flow.mat");
    fs::create_symlink("/dev/full", folder.work() / output);
    const ToolRun result = run(kInput);
    EXPECT_EQ(result.status, 3) << output;
    EXPECT_EQ(result.console, kBanner + "1 columns \n.1/2001\nerror writing file " + output + "\n");
  }
}

TEST_F(FaultEndToEnd, FullDiskStopsALongRunEarly) {
  // Far more output than one buffer holds, and input for many more chunks than the threads
  // read ahead: the failure shows long before the end of the input.
  fs::create_symlink("/dev/full", folder.work() / "flow.tat");
  std::string values;
  for (int c = 0; c < 200; ++c) {
    values += " " + std::to_string(c) + ".25";
  }
  std::string input;  // 12400 daily rows of about 1 kB each
  for (int year = 2001; year <= 2400; ++year) {
    for (int day = 1; day <= 31; ++day) {
      input += std::to_string(year) + " 1 " + std::to_string(day) + " 24" + values + "\n";
    }
  }
  const ToolRun result = run(input);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console.find("1/2400"), std::string::npos);
  EXPECT_TRUE(result.console.ends_with("error writing file flow.tat\n"));
}
#endif

// SKARVEL_TEST_CUT_INPUT_TO cuts the input once its head is analysed, here inside the fifth
// day: whatever the threads, a read error once the days read before the cut are averaged, and
// the results of the run before stay.
TEST_F(FaultEndToEnd, InputCutWhileReadIsAReadError) {
  const std::string input =
      "title\n" + hourlyRows(2001, 1, 1, 10, [](int, int hour) { return std::to_string(hour); });
  const std::string cut = std::to_string(input.find("2001 1 5 12 ") + 7);
  const std::vector<std::pair<std::string, ToolEnvironment>> readings = {
      {"--threads=1", {{"SKARVEL_TEST_CUT_INPUT_TO", cut}}},
      {"--threads=2", {{"SKARVEL_TEST_CUT_INPUT_TO", cut}, {"SKARVEL_TEST_CHUNK_BYTES", "300"}}},
      {"--threads=4", {{"SKARVEL_TEST_CUT_INPUT_TO", cut}}},
  };
  for (const auto& [threads, environment] : readings) {
    ASSERT_EQ(run(kInput).status, 0);
    const std::vector<std::string> previous = {rawFile("flow.tat"), rawFile("flow.mat")};
    writeFile(folder.work() / "flow.dat", input);
    const ToolRun result = runTool(folder, {threads, "flow.dat"}, SKARVEL_BINARY, "", environment);
    EXPECT_EQ(result.status, 2) << threads;
    EXPECT_EQ(result.console, kBanner + "1 columns \n..........\nerror reading file flow.dat\n");
    EXPECT_EQ(result.diagnostics,
              "skarvel: error reading file flow.dat: the input changed while it was read\n");
    EXPECT_EQ(std::vector<std::string>({rawFile("flow.tat"), rawFile("flow.mat")}), previous);
    EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat", "flow.tat"}));
  }
}

// Two runs with different statistics started together on one input, again and again: each pair
// leaves the daily and the monthly file of one of them, never one of each.
TEST_F(FaultEndToEnd, ConcurrentRunsLeaveTheFilesOfOneRun) {
  const auto values = [](int day, int hour) { return std::to_string((day * 7 + hour) % 11); };
  const std::string input =
      "title\n" + hourlyRows(2001, 1, 31, 31, values) + hourlyRows(2001, 2, 1, 1, values);
  const std::string statistics[] = {"--stat=sum", "--stat=max"};
  std::vector<std::pair<std::string, std::string>> alone;
  for (const std::string& statistic : statistics) {
    ASSERT_EQ(run(input, {}, "flow.dat", {statistic}).status, 0);
    alone.emplace_back(rawFile("flow.tat"), rawFile("flow.mat"));
  }
  ASSERT_NE(alone[0].first, alone[1].first);
  ASSERT_NE(alone[0].second, alone[1].second);
  const TempFolder consoles[2];
  const auto start = [&](int which) {
    return runToolIn(folder.work(), consoles[which].consoleFile(), {statistics[which], "flow.dat"});
  };
#ifdef _WIN32
  constexpr int kPairs = 10;  // a start under Wine takes a good part of a second
#else
  constexpr int kPairs = 30;
#endif
  for (int pair = 0; pair < kPairs; ++pair) {
    ToolRun first;
    std::thread starting([&] { first = start(0); });
    const ToolRun second = start(1);
    starting.join();
    EXPECT_EQ(first.status, 0) << "pair " << pair << ": " << first.diagnostics;
    EXPECT_EQ(second.status, 0) << "pair " << pair << ": " << second.diagnostics;
    const std::pair files{rawFile("flow.tat"), rawFile("flow.mat")};
    EXPECT_TRUE(files == alone[0] || files == alone[1]) << "pair " << pair << " mixed the files";
  }
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat", "flow.tat"}));
}

TEST_F(FaultEndToEnd, ColumnCountBeyondMemory) {
  const ToolRun result = run(kInput, {"1", "2147483647"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.console, kBanner + "2147483647 columns flow\n" +
                                "error: not enough memory for 2147483647 value columns\n");
}

}  // namespace
}  // namespace skarvel
