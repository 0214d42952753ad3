// What a user's disk can do to a run: unwritable folders, unreadable or unseekable input, full
// disks. Every case gives its message and exit status and leaves the input as it was.
#include <cstdlib>

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

TEST_F(FaultEndToEnd, InputThatCannotBeReadTwice) {
  // A pipe gives its text once; the header must be read again for the copy.
  ASSERT_EQ(mkfifo((folder.work() / "pipe.dat").c_str(), 0600), 0);
  writeFile(folder.work().parent_path() / "source.txt", kInput);
  const ToolRun result =
      runTool(folder, {"pipe.dat"}, SKARVEL_BINARY, "{ cat ../source.txt > pipe.dat & } ; ");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.console, kBanner + "1 columns \nerror reading file pipe.dat\n");
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

TEST_F(FaultEndToEnd, ColumnCountBeyondMemory) {
  const ToolRun result = run(kInput, {"1", "2147483647"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.console, kBanner + "2147483647 columns flow\n" +
                                "error: not enough memory for 2147483647 value columns\n");
}

}  // namespace
}  // namespace skarvel
