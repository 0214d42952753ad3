// Faults that must never destroy results: a closed console, a file-size limit, closed standard
// descriptors, signals in the middle of a run, a full disk, outputs that are folders, links or one
// file. Each case checks the exit status, the console text, the output files byte for byte and
// that no temporary file is left.
#include "end_to_end.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

namespace skarvel {
namespace {

namespace fs = std::filesystem;
using namespace skarvel::testing;

const std::string kPrevious = "previous run\n2001 1 31 24 1.5\n";

int daysIn(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Every day of `years` years from 1801, with `hoursPerDay` rows per day (the last one at hour
// 24) of `columns` values each.
std::string series(int years, int hoursPerDay, int columns) {
  std::string values;
  for (int c = 0; c < columns; ++c) {
    values += " " + std::to_string(c % 7) + ".25";
  }
  values += "\n";
  std::string text = "generated series\nyear month day hour values\n";
  for (int year = 1801; year < 1801 + years; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= daysIn(year, month); ++day) {
        const std::string date =
            std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day) + " ";
        for (int hour = 25 - hoursPerDay; hour <= 24; ++hour) {
          text.append(date).append(std::to_string(hour)).append(values);
        }
      }
    }
  }
  return text;
}

// Whole files compared byte for byte; a difference is shown by its place, not by the whole file.
void expectBytes(const std::string& actual, const std::string& expected, const std::string& what) {
  if (actual == expected) {
    return;
  }
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
      actual.begin());
  ADD_FAILURE() << what << ": " << actual.size() << " bytes, expected " << expected.size()
                << "; from byte " << at << ": \"" << actual.substr(at, 60) << "\" instead of \""
                << expected.substr(at, 60) << "\"";
}

std::string withoutDone(std::string console) {
  EXPECT_TRUE(console.ends_with(kDone));
  console.resize(console.size() - kDone.size());
  return console;
}

class Safety : public EndToEnd {
 protected:
  void SetUp() override {
    // The faults show only under the default actions, whatever this test inherited.
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_DFL);
  }

  // A run of `input` as `name` in a folder of its own: the console and the two outputs.
  ToolRun referenceRun(const std::string& input, const std::string& name = "flow.dat") {
    fs::create_directories((reference_.work() / name).parent_path());
    writeFile(reference_.work() / name, input);
    ToolRun result = runTool(reference_, {name});
    EXPECT_EQ(result.status, 0);
    const std::string base = name.substr(0, name.size() - 4);
    referenceFiles = {readFile(reference_.work() / (base + ".tat")),
                      readFile(reference_.work() / (base + ".mat"))};
    return result;
  }

  // Leaves the results of a good run of kPrevious in `place`.
  void leavePreviousResults() {
    ASSERT_EQ(run(kPrevious, {}, place + "flow.dat").status, 0);
    previous = {file(place + "flow.tat"), file(place + "flow.mat")};
  }
  void expectOutputs(const std::vector<std::string>& expected, const std::string& context = "") {
    expectBytes(file(place + "flow.tat"), expected.at(0), place + "flow.tat " + context);
    expectBytes(file(place + "flow.mat"), expected.at(1), place + "flow.mat " + context);
    expectNoTemporaries(context);
  }
  void expectNoTemporaries(const std::string& context = "") const {
    for (const auto& entry : fs::recursive_directory_iterator(folder.work().parent_path())) {
      EXPECT_EQ(entry.path().filename().string().find(".skarvel-tmp-"), std::string::npos)
          << entry.path() << " " << context;
    }
  }

  std::string place;  // the folder of the input and outputs, relative to the work folder
  std::vector<std::string> previous;
  std::vector<std::string> referenceFiles;

 private:
  TempFolder reference_;
};

TEST_F(Safety, ConsolePipeClosedEarlyChangesNothing) {
  // A progress mark per row: far more console text than a pipe holds once its reader is gone.
  const std::string input = series(300, 1, 1);
  const ToolRun normal = referenceRun(input);
  writeFile(folder.work() / "flow.dat", input);
  const ToolRun piped = runTool(folder, {"flow.dat"}, SKARVEL_BINARY,
                                "sh -c '{ \"$0\" \"$@\"; echo $? >../status.txt; } | head -c 1' ");
  EXPECT_EQ(piped.console, "s");
  EXPECT_EQ(readFile(folder.work() / "../status.txt"), "0\n");
  expectOutputs(referenceFiles);
}

TEST_F(Safety, FileSizeLimitIsAWriteFailure) {
  leavePreviousResults();
  const std::string input = series(3, 1, 20);  // a daily file of about 120 kB, in one buffer
  const ToolRun normal = referenceRun(input);
  writeFile(folder.work() / "flow.dat", input);
  const ToolRun limited = runTool(folder, {"flow.dat"}, SKARVEL_BINARY, "ulimit -f 64; ");
  EXPECT_EQ(limited.status, 3);
  EXPECT_EQ(limited.console, withoutDone(normal.console) + "error writing file flow.tat\n");
  expectOutputs(previous);
}

TEST_F(Safety, ClosedStandardDescriptorsStayOutOfTheFiles) {
  const std::string input = series(1, 1, 2);
  referenceRun(input);
  writeFile(folder.work() / "flow.dat", input);
  for (const std::string redirections : {"<&- >&-", "<&- >&- 2>&-", ">&- 2>&-"}) {
    fs::remove(folder.work() / "flow.tat");
    fs::remove(folder.work() / "flow.mat");
    const std::string command = "cd " + quoteArgument(folder.work().string()) + " && " +
                                quoteArgument(SKARVEL_BINARY) + " flow.dat " + redirections;
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << redirections << ": " << status;
    expectOutputs(referenceFiles, redirections);
    EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat", "flow.tat"}));
  }
}

// The tool started on its own, its console a pipe this test reads only after the run, so a run
// cannot end before it: it stops when the pipe is full.
class Started {
 public:
  Started(const TempFolder& folder, const std::string& input, int ignoredSignal) {
    int ends[2] = {-1, -1};
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);  // the copy on descriptor 1 stays open in the tool
#ifdef F_SETPIPE_SZ
    fcntl(ends[1], F_SETPIPE_SZ, 1 << 16);
#endif
    const std::string work = folder.work().string();
    std::string binary = SKARVEL_BINARY;
    std::string argument = input;
    char* const argv[] = {binary.data(), argument.data(), nullptr};
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(work.c_str()) != 0 || dup2(ends[1], 1) < 0) {
        _exit(126);
      }
      for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, signal == ignoredSignal ? SIG_IGN : SIG_DFL);
      }
      execv(argv[0], argv);
      _exit(127);
    }
    close(ends[1]);
    console_ = ends[0];
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  ~Started() {
    close(console_);
    if (pid_ > 0) {  // a test that failed early
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Waits until a temporary output file exists; false when the run ended first.
  bool awaitTemporaryIn(const fs::path& work) {
    for (int tries = 0; tries < 20000; ++tries) {  // a bound against a hang, not a timing
      for (const auto& entry : fs::directory_iterator(work)) {
        if (entry.path().filename().string().find(".skarvel-tmp-") != std::string::npos) {
          return true;
        }
      }
      pollfd none{};
      poll(&none, 0, 1);
    }
    return false;
  }
  void send(int signal) const {
    kill(pid_, signal);
  }
  // Reads the console to its end and returns the raw wait status.
  int finish(std::string& console) {
    char block[65536];
    ssize_t got = 0;
    while ((got = read(console_, block, sizeof block)) > 0) {
      console.append(block, static_cast<std::size_t>(got));
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int console_ = -1;
};

TEST_F(Safety, SignalMidRunKeepsThePreviousResults) {
  leavePreviousResults();
  writeFile(folder.work() / "flow.dat", series(200, 24, 3));  // about 50 MB
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    Started tool(folder, "flow.dat", 0);
    ASSERT_TRUE(tool.awaitTemporaryIn(folder.work())) << signal;
    tool.send(signal);
    std::string console;
    const int status = tool.finish(console);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << ": " << status;
    EXPECT_TRUE(console.starts_with(kBanner)) << console.substr(0, 100);
    expectOutputs(previous, "signal " + std::to_string(signal));
  }
  // Under nohup the hangup stays ignored and the run completes.
  Started tool(folder, "flow.dat", SIGHUP);
  ASSERT_TRUE(tool.awaitTemporaryIn(folder.work()));
  tool.send(SIGHUP);
  std::string console;
  const int status = tool.finish(console);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(console.ends_with("12/2000\n" + kDone));
  EXPECT_NE(file("flow.tat"), previous[0]);
  expectNoTemporaries();
}

TEST_F(Safety, FailedRerunsKeepThePreviousResults) {
  leavePreviousResults();
  const ToolRun tooManyColumns = run(kPrevious, {"1", "2147483647"});
  EXPECT_EQ(tooManyColumns.status, 1);
  EXPECT_EQ(tooManyColumns.console, kBanner + "2147483647 columns flow\n" +
                                        "error: not enough memory for 2147483647 value columns\n");
  expectOutputs(previous, "out of memory");

  // A FIFO names no outputs of its own: without --name it is refused before it is opened.
  fs::remove(folder.work() / "flow.dat");
  ASSERT_EQ(mkfifo((folder.work() / "flow.dat").c_str(), 0600), 0);
  const ToolRun unnamed = runTool(folder, {"flow.dat"}, SKARVEL_BINARY);
  EXPECT_EQ(unnamed.status, 1);
  EXPECT_EQ(unnamed.console,
            kBanner + "error: reading the pipe flow.dat needs --name=NAME to name the outputs\n");
  expectOutputs(previous, "unnamed pipe");

  // Without a data row, the empty files are the result.
  fs::remove(folder.work() / "flow.dat");
  EXPECT_EQ(run("only a header\n").status, 1);
  expectOutputs({"", ""}, "no data row");
}

TEST_F(Safety, MonthlyNameThatIsAFolderKeepsTheOldDailyFile) {
  writeFile(folder.work() / "flow.tat", "old daily\n");
  fs::create_directory(folder.work() / "flow.mat");
  const ToolRun result = run(kPrevious);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.console, kBanner + "error creating file flow.mat\n");
  EXPECT_EQ(file("flow.tat"), "old daily\n");
  EXPECT_EQ(folder.listing(), (std::vector<std::string>{"flow.dat", "flow.mat", "flow.tat"}));
  expectNoTemporaries();
}

TEST_F(Safety, LinkedOutputsReplaceTheirTargetsAndStayLinks) {
  struct Case {
    std::string output;  // flow.tat or flow.mat
    std::string link;    // the link's text
    std::string target;  // where the file ends up, from the work folder
  };
  const Case cases[] = {
      {"flow.tat", "results/daily.txt", "results/daily.txt"},
      {"flow.mat", "../elsewhere/monthly.txt", "../elsewhere/monthly.txt"},
      {"flow.tat", "results/link.txt", "results/daily.txt"},  // a link to a link beside it
      {"flow.mat", "results/new.txt", "results/new.txt"},     // dangling: the target is created
  };
  referenceRun(kPrevious);
  fs::create_directories(folder.work() / "results");
  fs::create_directories(folder.work() / "../elsewhere");
  fs::create_symlink("daily.txt", folder.work() / "results/link.txt");
  for (const Case& c : cases) {
    fs::remove(folder.work() / "flow.tat");
    fs::remove(folder.work() / "flow.mat");
    fs::remove(folder.work() / "results/new.txt");
    writeFile(folder.work() / "results/daily.txt", "old\n");
    writeFile(folder.work() / "../elsewhere/monthly.txt", "old\n");
    fs::create_symlink(c.link, folder.work() / c.output);
    EXPECT_EQ(run(kPrevious).status, 0) << c.link;
    EXPECT_EQ(fs::read_symlink(folder.work() / c.output), c.link);
    const bool daily = c.output == "flow.tat";
    expectBytes(file(c.target), referenceFiles[daily ? 0 : 1], c.link);
    expectBytes(file(daily ? "flow.mat" : "flow.tat"), referenceFiles[daily ? 1 : 0], c.link);
    expectNoTemporaries(c.link);
  }
}

TEST_F(Safety, PermissionsOfANewAndOfAReplacedFile) {
  struct Case {
    std::string umask;
    bool replaces;
    fs::perms before;
    fs::perms after;
  };
  const auto mode = [](unsigned bits) { return static_cast<fs::perms>(bits); };
  const Case cases[] = {{"022", false, {}, mode(0644)},
                        {"027", false, {}, mode(0640)},
                        {"077", true, mode(0664), mode(0664)},
                        {"000", true, mode(0600), mode(0600)}};
  writeFile(folder.work() / "flow.dat", kPrevious);
  for (const Case& c : cases) {
    fs::remove(folder.work() / "flow.tat");
    if (c.replaces) {
      writeFile(folder.work() / "flow.tat", "old\n");
      fs::permissions(folder.work() / "flow.tat", c.before);
    }
    EXPECT_EQ(runTool(folder, {"flow.dat"}, SKARVEL_BINARY, "umask " + c.umask + "; ").status, 0);
    EXPECT_EQ(fs::status(folder.work() / "flow.tat").permissions(), c.after) << c.umask;
  }
}

TEST_F(Safety, OutputsThatAreOneFileAreRefused) {
  struct Case {
    std::string name;
    std::function<void(const fs::path& work)> arrange;
    std::vector<std::string> options;
    std::string message;
  };
  const std::string tatAndMat = "error: output files flow.tat and flow.mat are the same file\n";
  const Case cases[] = {
      {"link to an existing daily file",
       [](const fs::path& work) {
         writeFile(work / "flow.tat", "old\n");
         fs::create_symlink("flow.tat", work / "flow.mat");
       },
       {},
       tatAndMat},
      {"dangling link",
       [](const fs::path& work) { fs::create_symlink("flow.tat", work / "flow.mat"); },
       {},
       tatAndMat},
      {"hard link",
       [](const fs::path& work) {
         writeFile(work / "flow.tat", "old\n");
         fs::create_hard_link(work / "flow.tat", work / "flow.mat");
       },
       {},
       tatAndMat},
      {"yearly file, another spelling",
       [](const fs::path& work) { fs::create_symlink("./flow.mat", work / "flow.yat"); },
       {"--yearly"},
       "error: output files flow.mat and flow.yat are the same file\n"},
  };
  for (const Case& c : cases) {
    for (const std::string name : {"flow.tat", "flow.mat", "flow.yat"}) {
      fs::remove(folder.work() / name);
    }
    writeFile(folder.work() / "flow.dat", kPrevious);
    c.arrange(folder.work());
    const std::vector<std::string> before = folder.listing();
    const ToolRun result = run(kPrevious, {}, "flow.dat", c.options);
    EXPECT_EQ(result.status, 3) << c.name;
    EXPECT_EQ(result.console, kBanner + c.message) << c.name;
    EXPECT_EQ(folder.listing(), before) << c.name;
    if (fs::exists(folder.work() / "flow.tat")) {
      EXPECT_EQ(file("flow.tat"), "old\n") << c.name;
    }
  }
}

#ifdef __linux__
// A tmpfs of 512 kB mounted in the work folder; skipped where mounting is not permitted.
class SmallFilesystem : public Safety {
 protected:
  void SetUp() override {
    Safety::SetUp();
    disk_ = folder.work() / "disk";
    fs::create_directory(disk_);
    const std::string mount =
        "mount -t tmpfs -o size=512k skarvel-test " + quoteArgument(disk_.string()) + " 2>&1";
    if (std::system(mount.c_str()) != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN)";
    }
    mounted_ = true;
    place = "disk/";
  }
  void TearDown() override {
    if (mounted_) {
      EXPECT_EQ(std::system(("umount " + quoteArgument(disk_.string())).c_str()), 0);
    }
  }

  fs::path disk_;
  bool mounted_ = false;
};

TEST_F(SmallFilesystem, FailedRerunKeepsThePreviousResults) {
  leavePreviousResults();
  const std::string input = series(3, 1, 20);  // a daily file of about 120 kB, in one buffer
  const ToolRun normal = referenceRun(input, "disk/flow.dat");
  writeFile(disk_ / "flow.dat", input);
  {
    std::ofstream filler(disk_ / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }
  const ToolRun rerun = runTool(folder, {"disk/flow.dat"});
  EXPECT_EQ(rerun.status, 3);
  EXPECT_EQ(rerun.console, withoutDone(normal.console) + "error writing file disk/flow.tat\n");
  expectOutputs(previous);
  EXPECT_EQ(readFile(disk_ / "flow.dat"), input);
}
#endif

}  // namespace
}  // namespace skarvel

#endif
