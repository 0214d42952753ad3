// Input from anywhere: standard input, pipes and compressed files read as the plain file reads;
// many inputs in one run, with the run report.
#include <algorithm>
#include <cstdlib>
#include <regex>

#include "end_to_end.hpp"

namespace skarvel {
namespace {

using namespace skarvel::testing;

#ifndef _WIN32

const std::string kInput =
    "title\n" +
    hourlyRows(2001, 1, 30, 31,
               [](int day, int hour) {
                 return std::to_string(day) + "." + std::to_string(hour) + " " +
                        std::to_string(hour % 5);
               }) +
    hourlyRows(2001, 2, 1, 2, [](int, int hour) { return std::to_string(hour) + " -9999"; });

bool haveCommand(const std::string& name) {
  return std::system(("command -v " + name + " > /dev/null").c_str()) == 0;
}

class InputsEndToEnd : public EndToEnd {
 protected:
  void SetUp() override {
    writeFile(folder.work().parent_path() / "plain.dat", kInput);
    const ToolRun plain = run(kInput);
    ASSERT_EQ(plain.status, 0);
    console_ = plain.console;
    daily_ = rawFile("flow.tat");
    monthly_ = rawFile("flow.mat");
    std::filesystem::remove(folder.work() / "flow.dat");
    std::filesystem::remove(folder.work() / "flow.tat");
    std::filesystem::remove(folder.work() / "flow.mat");
  }
  // The outputs of the plain file, labelled `label`.
  std::string expected(const std::string& plain, const std::string& label) const {
    std::string labelled = plain;
    const std::size_t at = labelled.find("flow.dat_");
    return labelled.replace(at, 8, label);
  }

  std::string console_;
  std::string daily_;
  std::string monthly_;
};

// Each form of input gives the plain file's console text and outputs (labelled with the name
// the outputs are named after), however it arrives.
TEST_F(InputsEndToEnd, EveryFormReadsAsThePlainFile) {
  struct Case {
    std::string tool;  // needed to make the input
    std::string make;  // shell text, run in the work folder before the tool
    std::vector<std::string> arguments;
    std::string label;
  };
  const Case cases[] = {
      {"cat", "cat ../plain.dat | ", {"--name=flow.dat", "-"}, "flow.dat"},
      {"mkfifo",
       "mkfifo pipe.dat && { cat ../plain.dat > pipe.dat & } ; ",
       {"--name=flow.dat", "pipe.dat"},
       "flow.dat"},
      {"gzip", "gzip -c ../plain.dat > flow.dat.gz && ", {"flow.dat.gz"}, "flow.dat.gz"},
      {"gzip",
       "head -c 3000 ../plain.dat | gzip -c > flow.dat.gz && tail -c +3001 ../plain.dat | "
       "gzip -c >> flow.dat.gz && ",
       {"flow.dat.gz"},
       "flow.dat.gz"},
      {"zstd",
       "head -c 100 ../plain.dat | zstd -q -c > f.zst && tail -c +101 ../plain.dat | zstd -q -c "
       ">> f.zst && ",
       {"--name=flow.dat", "f.zst"},
       "flow.dat"},
      {"xz", "xz -c ../plain.dat > flow.dat.xz && ", {"flow.dat.xz"}, "flow.dat.xz"},
      {"bzip2", "bzip2 -c ../plain.dat > flow.dat.bz2 && ", {"flow.dat.bz2"}, "flow.dat.bz2"},
      {"pigz", "pigz -c -b 128 ../plain.dat > flow.dat && ", {"flow.dat"}, "flow.dat"},
  };
  for (const Case& c : cases) {
    if (!haveCommand(c.tool)) {
      ADD_FAILURE() << c.tool << " is needed to make the input";
      continue;
    }
    std::filesystem::remove_all(folder.work());
    std::filesystem::create_directories(folder.work());
    const ToolRun result = runTool(folder, c.arguments, SKARVEL_BINARY, c.make);
    EXPECT_EQ(result.status, 0) << c.make << result.diagnostics;
    EXPECT_EQ(result.console, console_) << c.make;
    EXPECT_EQ(rawFile("flow.tat"), expected(daily_, c.label)) << c.make;
    EXPECT_EQ(rawFile("flow.mat"), expected(monthly_, c.label)) << c.make;
  }
}

// An input that names no outputs of its own is refused before anything is read or created.
TEST_F(InputsEndToEnd, UnnamedInputsAreRefused) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-"}, "standard input"},
      {{"/dev/stdin"}, "the pipe /dev/stdin"},
      {{"/dev/null"}, "the device /dev/null"},
  };
  for (const auto& [arguments, what] : cases) {
    const ToolRun result = runTool(folder, arguments, SKARVEL_BINARY, "cat ../plain.dat | ");
    EXPECT_EQ(result.status, 1) << what;
    EXPECT_EQ(result.console,
              kBanner + "error: reading " + what + " needs --name=NAME to name the outputs\n");
    EXPECT_TRUE(folder.listing().empty()) << what;
  }
}

// A corrupt or cut compressed input is a read error at a compressed byte, and the outputs of
// the run before stay.
TEST_F(InputsEndToEnd, BrokenCompressedInputIsAReadError) {
  const std::pair<std::string, std::string> formats[] = {
      {"gzip", ".gz"}, {"zstd", ".zst"}, {"xz", ".xz"}, {"bzip2", ".bz2"}};
  for (const auto& [tool, suffix] : formats) {
    const std::string name = "flow.dat" + suffix;
    const std::string compress = tool + " -q -c ../plain.dat > whole && ";
    for (const std::string& damage : {"head -c -20 whole > " + name,
                                      "cp whole " + name + " && printf 'XXXXXXXX' | dd of=" + name +
                                          " bs=1 seek=200 conv=notrunc 2>/dev/null"}) {
      std::filesystem::remove_all(folder.work());
      std::filesystem::create_directories(folder.work());
      writeFile(folder.work() / "flow.tat", "previous daily\n");
      const ToolRun result =
          runTool(folder, {name}, SKARVEL_BINARY, compress + damage + " && rm whole && ");
      EXPECT_EQ(result.status, 2) << damage;
      EXPECT_TRUE(result.console.ends_with("error reading file " + name + "\n")) << damage;
      EXPECT_TRUE(result.diagnostics.starts_with("skarvel: error reading file " + name + ": "))
          << result.diagnostics;
      EXPECT_NE(result.diagnostics.find("compressed byte"), std::string::npos)
          << result.diagnostics;
      EXPECT_EQ(rawFile("flow.tat"), "previous daily\n") << damage;
      EXPECT_EQ(folder.listing(), (std::vector<std::string>{name, "flow.tat"})) << damage;
    }
  }
}

// Many inputs: one line each in the order given, warnings naming their input, the worst status,
// and the report, parsed back as JSON.
TEST_F(InputsEndToEnd, EachInputHasItsLineAndItsReport) {
  std::filesystem::create_directories(folder.work() / "b");
  writeFile(folder.work() / "a.dat", kInput);
  writeFile(folder.work() / "b" / "a.dat", kInput);
  writeFile(folder.work() / "warn.dat", "h\n2001 1 1 24 1 x\n2001 1 31 24 2\n");
  writeFile(folder.work() / "empty.dat", "h\n");
  writeFile(folder.work() / "list.txt", "b/a.dat\r\n\nwarn.dat\nmissing.dat\n");
  const ToolRun result = runTool(folder,
                                 {"--report=run.jsonl", "--threads=2", "--files-from=list.txt",
                                  "a.dat", "empty.dat", "a.dat.gz"},
                                 SKARVEL_BINARY, "gzip -c a.dat > a.dat.gz && ");
  EXPECT_EQ(result.status, 3);  // the outputs of a.dat.gz are those of a.dat
  EXPECT_EQ(result.console,
            kBanner + "a.dat: 2 columns, 4 days, 1 months\n" +
                "empty.dat: no valid row for column analyzing found (at least one row in the "
                "file has to start with a number)\n" +
                "a.dat.gz: error: the outputs of a.dat.gz are those of an input before it\n" +
                "b/a.dat: 2 columns, 4 days, 1 months\n" +
                "warn.dat: 1 columns, 2 days, 1 months\n" +
                "missing.dat: error opening file missing.dat\n");
  const std::string unfinished =
      ": warning: the input ended in an unfinished month (last row 2001 2 2 24): 2 closed days "
      "are in no monthly row and not in the final row\n";
  EXPECT_EQ(
      result.diagnostics,
      "skarvel: a.dat" + unfinished + "skarvel: b/a.dat" + unfinished +
          "skarvel: warn.dat: warning: line 2: text after the last of 1 values ignored: \"x\" (1 "
          "row in all)\n"
          "skarvel: missing.dat: error opening file missing.dat: No such file or directory\n");
  std::string daily = rawFile("a.tat");
  EXPECT_EQ(rawFile("b/a.tat"), daily.replace(daily.find("a.dat"), 5, "b/a.dat"));
  const std::string summary = (folder.work().parent_path() / "summary.txt").string();
  ASSERT_EQ(std::system(("python3 -c 'import json, sys\n"
                         "for line in open(sys.argv[1]):\n"
                         "  r = json.loads(line)\n"
                         "  print(r[\"input\"], r[\"status\"], r[\"columns\"], r[\"days\"], "
                         "r[\"compression\"], \",\".join(r[\"outputs\"]), "
                         "[(w[\"code\"], w[\"line\"]) for w in r[\"warnings\"]])' " +
                         (folder.work() / "run.jsonl").string() + " > " + summary)
                            .c_str()),
            0);
  EXPECT_EQ(readFile(summary),
            "a.dat 0 2 4 none a.tat,a.mat [('unfinished-month', None)]\n"
            "empty.dat 1 None 0 none empty.tat,empty.mat []\n"
            "a.dat.gz 3 None 0 gzip a.tat,a.mat []\n"
            "b/a.dat 0 2 4 none b/a.tat,b/a.mat [('unfinished-month', None)]\n"
            "warn.dat 0 1 2 none warn.tat,warn.mat [('text-after-values', 2)]\n"
            "missing.dat 2 None 0 none  []\n");

  // One input has its report too.
  ASSERT_EQ(runTool(folder, {"--report=one.jsonl", "a.dat"}).status, 0);
  const std::string one = rawFile("one.jsonl");
  EXPECT_TRUE(one.starts_with("{\"bytes_read\":")) << one;
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 1);
}

// The shards of a list give their inputs what a run over the whole list gives them: console
// lines, standard-error lines, outputs and report lines (but for the seconds), also where an
// input of an earlier shard claims the outputs of a later one (a.dat, then b/../a.dat.gz).
TEST_F(InputsEndToEnd, ShardsOfAListGiveWhatTheWholeListGives) {
  std::filesystem::create_directories(folder.work() / "b");
  for (const char* name : {"a.dat", "c.dat", "d.dat"}) {
    writeFile(folder.work() / name, kInput);
  }
  writeFile(folder.work() / "warn.dat", "h\n2001 1 1 24 1\n2001 1 2 24 NA\n");
  writeFile(folder.work() / "empty.dat", "h\n");
  writeFile(folder.work() / "list.txt",
            "a.dat\nwarn.dat\nmissing.dat\nb/../a.dat.gz\nc.dat\nempty.dat\nd.dat\n");
  const std::vector<std::string> outputs = {"a.tat", "a.mat", "warn.tat", "warn.mat",  "c.tat",
                                            "c.mat", "d.tat", "d.mat",    "empty.tat", "empty.mat"};
  const auto run = [&](const std::string& shard, const std::string& report) {
    std::vector<std::string> arguments = {"--files-from=list.txt", "--report=" + report};
    if (!shard.empty()) {
      arguments.push_back("--shard=" + shard);
    }
    return runTool(folder, arguments, SKARVEL_BINARY, "gzip -c -n a.dat > a.dat.gz && ");
  };
  const auto withoutSeconds = [&](const std::string& report) {
    return std::regex_replace(rawFile(report), std::regex(",\"seconds\":[^,}]*"), "");
  };
  const ToolRun whole = run("", "whole.jsonl");
  EXPECT_EQ(whole.status, 3);
  std::vector<std::string> wholeOutputs;
  for (const std::string& output : outputs) {
    wholeOutputs.push_back(rawFile(output));
    std::filesystem::remove(folder.work() / output);
  }
  std::string console = kBanner;
  std::string diagnostics;
  std::string reports;
  int worst = 0;
  for (const std::string shard : {"1/3", "2/3", "3/3"}) {
    const ToolRun part = run(shard, "part.jsonl");
    EXPECT_TRUE(part.console.starts_with(kBanner)) << shard;
    console += part.console.substr(kBanner.size());
    diagnostics += part.diagnostics;
    reports += withoutSeconds("part.jsonl");
    worst = part.status == 3 || worst == 3 ? 3 : std::max(worst, part.status);
  }
  EXPECT_EQ(console, whole.console);
  EXPECT_EQ(diagnostics, whole.diagnostics);
  EXPECT_EQ(reports, withoutSeconds("whole.jsonl"));
  EXPECT_EQ(worst, whole.status);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    EXPECT_EQ(rawFile(outputs[i]), wholeOutputs[i]) << outputs[i];
  }
  // More shards than inputs: some take none, and do nothing.
  const ToolRun none = run("1/8", "none.jsonl");
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.console, kBanner);
  EXPECT_EQ(rawFile("none.jsonl"), "");
}

#endif

}  // namespace
}  // namespace skarvel
