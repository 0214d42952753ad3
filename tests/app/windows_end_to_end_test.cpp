// What only Windows has, run under Wine by the cross build: CR LF text, backslashes and drive
// letters in names, names that differ only in letter case, hard and symbolic links, files that
// another process holds without sharing, and a full drive.
#include <functional>

#include "end_to_end.hpp"

namespace skarvel {
namespace {

namespace fs = std::filesystem;
using namespace skarvel::testing;

const std::string kSmallInput = "date values\n2001 1 1 24 1.5\n";

std::string dailyOfSmallInput(const std::string& label) {
  return "daily_sums_from_" + label + "_:_date values\n2001\t1\t1\t24\t1.5\n0\t0\t0\t0\t0\n";
}
std::string monthlyOfSmallInput(const std::string& label) {
  return "monthly_sums_from_" + label + "_:_date values\n0\t0\t0\t0\t0\n";
}

// ----------------------------------------------------------------------------------------------
// Line ends

class WindowsText : public EndToEnd {};

TEST_F(WindowsText, FilesAndConsoleEndLinesInCrLfWhateverTheInputHas) {
  // A lone CR inside a header line is text, not a line end: it stays, before the CR LF.
  const std::string lf = "title\rmore\n2001 1 31 23 1\n2001 1 31 24 2\n";
  std::string crlf;
  for (const char c : lf) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  for (const std::string& input : {lf, crlf,
                                   crlf + "\x1A"
                                          "2001 2 28 24 9\r\n"}) {
    const ToolRun result = run(input);
    // Data rows behind the Ctrl-Z are not read, with a warning.
    EXPECT_EQ(result.status, input.find('\x1A') == std::string::npos ? 0 : 4);
    EXPECT_EQ(result.rawConsole,
              "skarvel: daily and monthly average values from Varno-output-files \r\n"
              "1 columns \r\n.1/2001\r\nfertig..\r\n");
    EXPECT_EQ(
        rawFile("flow.tat"),
        "daily_sums_from_flow.dat_:_title\rmore\r\n2001\t1\t31\t24\t1.5\r\n0\t0\t0\t0\t1.5\r\n");
    EXPECT_EQ(rawFile("flow.mat"),
              "monthly_sums_from_flow.dat_:_title\rmore\r\n2001\t1\t31\t24\t1.5\r\n"
              "0\t0\t0\t0\t1.5\r\n");
  }
}

TEST_F(WindowsText, UsageAndErrorsEndLinesInCrLf) {
  const ToolRun usage = runTool(folder, {});
  EXPECT_EQ(usage.status, 1);
  EXPECT_EQ(usage.rawConsole,
            "skarvel: daily and monthly average values from Varno-output-files \r\n"
            "usage: skarvel <filename> [<headrows{def=auto}>] [<number of value columns(without "
            "leading dates){def=auto}>]\r\n\r\n");
  const ToolRun missing = runTool(folder, {"nofile.dat"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(missing.rawConsole.ends_with("\r\nerror opening file nofile.dat\r\n"));
}

// ----------------------------------------------------------------------------------------------
// Paths

class WindowsPaths : public EndToEnd {};

TEST_F(WindowsPaths, BackslashesAndDriveLetters) {
  fs::create_directories(folder.work() / "sub");
  fs::create_directories(folder.work() / "run.v2");
  const std::string drive = utf8Of(folder.work().root_name());  // the temporary folder's, "C:"
  const std::string absolute = utf8Of(folder.work()) + "\\sub\\abs.dat";
  struct Case {
    std::string argument;
    std::string input;  // where the file is, from the work folder
    std::string base;   // the console's note: directory part and cut file name
    std::string daily;
    std::string monthly;
  };
  const Case cases[] = {
      {"sub\\flow.dat", "sub/flow.dat", "sub\\flow", "sub/flow.tat", "sub/flow.mat"},
      {"sub/flow.dat", "sub/flow.dat", "sub/flow", "sub/flow.tat", "sub/flow.mat"},
      // The '.' of the folder is not the extension's.
      {"run.v2\\flow.dat", "run.v2/flow.dat", "run.v2\\flow", "run.v2/flow.tat", "run.v2/flow.mat"},
      // Drive-relative: the current folder of that drive.
      {drive + "flow.dat", "flow.dat", drive + "flow", "flow.tat", "flow.mat"},
      {drive + "sub\\flow.dat", "sub/flow.dat", drive + "sub\\flow", "sub/flow.tat",
       "sub/flow.mat"},
      {absolute, "sub/abs.dat", absolute.substr(0, absolute.size() - 4), "sub/abs.tat",
       "sub/abs.mat"},
  };
  for (const Case& c : cases) {
    writeFile(folder.work() / pathOf(c.input), kSmallInput);
    const ToolRun result = runTool(folder, {c.argument, "1", "1"});
    EXPECT_EQ(result.status, 0) << c.argument;
    EXPECT_EQ(result.console, kBanner + "1 columns " + c.base + "\n.fertig..\n") << c.argument;
    EXPECT_EQ(file(c.daily), dailyOfSmallInput(c.argument)) << c.argument;
    EXPECT_EQ(file(c.monthly), monthlyOfSmallInput(c.argument)) << c.argument;
    EXPECT_EQ(rawFile(c.input), kSmallInput) << c.argument;
    fs::remove(folder.work() / pathOf(c.daily));
    fs::remove(folder.work() / pathOf(c.monthly));
  }
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "run.v2", "sub"}));
}

TEST_F(WindowsPaths, PathLongerThanTheClassicLimit) {
  // 2 x 150 characters below the temporary folder: beyond the 260 of MAX_PATH.
  const std::string folderName(150, 'f');
  const std::string name = folderName + "\\" + std::string(146, 'n') + ".dat";
  fs::create_directories(folder.work() / folderName);
  const ToolRun result = run(kSmallInput, {}, name);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "1 columns \n.fertig..\n");
  const std::string stem = name.substr(0, name.size() - 4);
  EXPECT_EQ(file(stem + ".tat"), dailyOfSmallInput(name));
  EXPECT_EQ(file(stem + ".mat"), monthlyOfSmallInput(name));
}

// ----------------------------------------------------------------------------------------------
// When an output name denotes the input

class WindowsIdentity : public EndToEnd {};

TEST_F(WindowsIdentity, OutputNameThatIsTheInputFallsBack) {
  struct Case {
    const char* what;
    std::string input;
    std::function<void(const fs::path& work)> prepare;
    std::string label;
    std::vector<std::string> listing;
    std::string daily;
    std::string monthly;
  };
  const auto nothing = [](const fs::path&) {};
  const Case cases[] = {
      {"the same text",
       "data.txt",
       nothing,
       "data.txt.$$$",
       {"data.m$$", "data.t$$", "data.txt"},
       "data.t$$",
       "data.m$$"},
      {"another letter case",
       "data.TXT",
       nothing,
       "data.TXT.$$$",
       {"data.TXT", "data.m$$", "data.t$$"},
       "data.t$$",
       "data.m$$"},
      {"another letter case, all capitals",
       "FLOW.TAT",
       nothing,
       "FLOW.TAT.$$$",
       {"FLOW.TAT", "FLOW.m$$", "FLOW.t$$"},
       "FLOW.t$$",
       "FLOW.m$$"},
      {"the monthly name only",
       "flow.MAT",
       nothing,
       "flow.MAT.$$$",
       {"flow.MAT", "flow.m$$", "flow.tAT"},
       "flow.tAT",
       "flow.m$$"},
      {"a hard link",
       "flow.dat",
       [](const fs::path& work) {
         writeFile(work / "flow.dat", kSmallInput);
         fs::create_hard_link(work / "flow.dat", work / "flow.tat");
       },
       "flow.dat.$$$",
       {"flow.dat", "flow.m$$", "flow.t$$", "flow.tat"},
       "flow.t$$",
       "flow.m$$"},
  };
  for (const Case& c : cases) {
    for (const std::string& name : folder.listing()) {
      fs::remove(folder.work() / pathOf(name));
    }
    c.prepare(folder.work());
    const ToolRun result = run(kSmallInput, {}, c.input);
    EXPECT_EQ(result.status, 0) << c.what;
    EXPECT_EQ(result.console, kBanner + "1 columns \n.fertig..\n") << c.what;
    EXPECT_EQ(folder.listing(), c.listing) << c.what;
    EXPECT_EQ(file(c.daily), dailyOfSmallInput(c.label)) << c.what;
    EXPECT_EQ(file(c.monthly), monthlyOfSmallInput(c.label)) << c.what;
  }
  EXPECT_EQ(rawFile("flow.tat"), kSmallInput) << "the link to the input was written through";
}

TEST_F(WindowsIdentity, RefusesWhenTheFallbackIsTheInputInAnotherCase) {
  writeFile(folder.work() / "q.m$$", "keep me\n");
  const ToolRun result = run(kSmallInput, {}, "Q.T$$");
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error: output file Q.t$$ would overwrite the input file\n");
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"Q.T$$", "q.m$$"}));
  EXPECT_EQ(rawFile("q.m$$"), "keep me\n");
}

TEST_F(WindowsIdentity, RecognisesTheInputBehindASymbolicLink) {
  // Made by the tests' setup on the host: link/flow.dat, and link/flow.tat a link to it.
  const fs::path linkFolder = besideTestProgram(SKARVEL_HOST_FILES) / "link";
  if (!fs::exists(linkFolder / "flow.tat")) {
    GTEST_SKIP() << "no " << utf8Of(linkFolder) << ": run through ctest (its setup makes it)";
  }
  fs::remove(linkFolder / "flow.t$$");
  fs::remove(linkFolder / "flow.m$$");
  const ToolRun result = runToolIn(linkFolder, folder.consoleFile(), {"flow.dat"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.console, kBanner + "1 columns \n.fertig..\n");
  EXPECT_EQ(readFile(linkFolder / "flow.dat"), kSmallInput);
  EXPECT_EQ(fromPlatformText(readFile(linkFolder / "flow.t$$"), "flow.t$$"),
            dailyOfSmallInput("flow.dat.$$$"));
  EXPECT_EQ(fromPlatformText(readFile(linkFolder / "flow.m$$"), "flow.m$$"),
            monthlyOfSmallInput("flow.dat.$$$"));
}

// ----------------------------------------------------------------------------------------------
// Faults: exit statuses, locked files, a full drive

class WindowsFaults : public EndToEnd {};

// A file held open by this process with no sharing: no other process may open it.
class Lock {
 public:
  explicit Lock(const fs::path& path)
      : handle_(CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << utf8Of(path);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

TEST_F(WindowsFaults, ExitStatuses) {
  writeFile(folder.work() / "flow.dat", kSmallInput);
  fs::create_directory(folder.work() / "taken.dat");
  fs::create_directory(folder.work() / "taken.tat");
  writeFile(folder.work() / "taken.dat" / "x.dat", "");
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string console;  // after the banner
  };
  const Case cases[] = {
      {{"flow.dat", "1", "1"}, 0, "1 columns flow\n.fertig..\n"},
      {{"--stat=avg", "flow.dat"},
       1,
       "error: --stat must be mean, sum, min, max or count, not 'avg'\n" + kUsage},
      {{"missing\\flow.dat"}, 2, "error opening file missing\\flow.dat\n"},
      {{"taken.dat"}, 2, "error opening file taken.dat\n"},
      {{"taken.dat\\x.dat"},
       1,
       "no valid row for column analyzing found \n(at least one row in the file has to start "
       "with a number)\n"},
  };
  for (const Case& c : cases) {
    const ToolRun result = runTool(folder, c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.console, kBanner + c.console) << c.arguments[0];
  }
  // A folder in the place of the daily file.
  writeFile(folder.work() / "taken.txt", kSmallInput);
  fs::rename(folder.work() / "taken.tat", folder.work() / "taken.t$$");
  const ToolRun blocked = run(kSmallInput, {}, "taken.txt");
  EXPECT_EQ(blocked.status, 3);
  EXPECT_EQ(blocked.console, kBanner + "error creating file taken.t$$\n");
}

TEST_F(WindowsFaults, LockedInputCannotBeOpened) {
  writeFile(folder.work() / "flow.dat", kSmallInput);
  const ToolRun result = [&] {
    const Lock lock(folder.work() / "flow.dat");
    return runTool(folder, {"flow.dat"});
  }();
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.console, kBanner + "error opening file flow.dat\n");
  EXPECT_EQ(folder.listing(), std::vector<std::string>{"flow.dat"});
  EXPECT_EQ(rawFile("flow.dat"), kSmallInput);
}

TEST_F(WindowsFaults, LockedOutputCannotBeReplaced) {
  writeFile(folder.work() / "flow.dat", kSmallInput);
  for (const std::string output : {"flow.tat", "flow.mat"}) {
    fs::remove(folder.work() / "flow.tat");
    fs::remove(folder.work() / "flow.mat");
    const ToolRun result = [&] {
      const Lock lock(folder.work() / output);
      return runTool(folder, {"flow.dat"});
    }();
    EXPECT_EQ(result.status, 3) << output;
    // The outputs are written beside their names; the locked one cannot be replaced.
    EXPECT_EQ(result.console, kBanner + "1 columns \n.\nerror writing file " + output + "\n")
        << output;
    EXPECT_EQ(rawFile(output), "") << output;
    EXPECT_TRUE(exists("flow.tat")) << output;  // created first, or the locked one
    EXPECT_EQ(exists("flow.mat"), output == "flow.mat") << output;
  }
  EXPECT_EQ(rawFile("flow.dat"), kSmallInput);
}

// Fills the drive that holds `folder` to the last byte.
void fill(const fs::path& folder) {
  const HANDLE filler = CreateFileW((folder / "filler").wstring().c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(filler, INVALID_HANDLE_VALUE);
  const std::string block(65536, 'x');
  DWORD written = 0;
  while (WriteFile(filler, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
         written > 0) {
  }
  CloseHandle(filler);
  ULARGE_INTEGER free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(folder.wstring().c_str(), &free, nullptr, nullptr));
  ASSERT_EQ(free.QuadPart, 0u);
}

TEST_F(WindowsFaults, FullDriveIsAFailure) {
  // A small tmpfs seen as a drive, made by the tests' setup when they run as root.
  const std::wstring root = pathOf(SKARVEL_FULL_DRIVE "\\").wstring();
  if (GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR) {
    GTEST_SKIP() << "no drive " SKARVEL_FULL_DRIVE
                    " (a tmpfs that the tests' setup mounts as root)";
  }
  const fs::path drive(root);
  std::string longInput;  // 1240 daily rows of about 1 kB each: more than one write buffer
  std::string values;
  for (int c = 0; c < 200; ++c) {
    values += " " + std::to_string(c) + ".25";
  }
  for (int year = 2001; year <= 2040; ++year) {
    for (int day = 1; day <= 31; ++day) {
      longInput += std::to_string(year) + " 1 " + std::to_string(day) + " 24" + values + "\n";
    }
  }
  struct Case {
    const char* what;
    std::string input;
    std::vector<std::string> arguments;
    std::function<void(const ToolRun&)> check;
  };
  const Case cases[] = {
      {"a short run fails when its files are closed",
       "title\n2001 1 31 24 1.5\n",
       {"flow.dat"},
       [](const ToolRun& result) {
         EXPECT_EQ(result.console, kBanner + "1 columns \n.1/2001\nerror writing file flow.tat\n");
       }},
      // On one thread: the drive holds too little input for more chunks than the threads read
      // ahead.
      {"a long run on one thread stops at the first full buffer",
       longInput,
       {"--threads=1", "flow.dat"},
       [](const ToolRun& result) {
         EXPECT_EQ(result.console.find("1/2040"), std::string::npos);
         EXPECT_TRUE(result.console.ends_with("error writing file flow.tat\n"));
       }},
  };
  for (const Case& c : cases) {
    const fs::path work = drive / ("skarvel-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(work);
    fs::create_directory(work);
    writeFile(work / "flow.dat", c.input);
    fill(work);
    const ToolRun result = runToolIn(work, folder.consoleFile(), c.arguments);
    EXPECT_EQ(result.status, 3) << c.what;
    c.check(result);
    EXPECT_EQ(readFile(work / "flow.dat"), c.input) << c.what;
    fs::remove_all(work);
  }
}

}  // namespace
}  // namespace skarvel
