// The outputs of a run: their names for each layout, and the refusals that keep other files
// safe, with their exact messages.
#include "output_plan.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace skarvel {
namespace {

struct ConsoleTexts {
  TextWriter messages = TextWriter::collecting();
  TextWriter errorMessages = TextWriter::collecting();
  TextWriter standardError = TextWriter::collecting();
  Console console{messages, errorMessages, standardError};
};

std::string namesOf(const std::vector<PlannedOutput>& outputs) {
  std::string names;
  for (const PlannedOutput& output : outputs) {
    names += (names.empty() ? "" : " ") + output.name;
  }
  return names;
}

TEST(OutputPlan, NamesEveryOutputOfTheLayout) {
  struct Case {
    std::string input;
    FileLayout layout;
    bool yearly;
    std::string names, labelName, columnNote;
  };
  const Case cases[] = {
      {"flow.dat", FileLayout::classic, false, "flow.tat flow.mat", "flow.dat", "flow"},
      {"run/flow.dat", FileLayout::classic, true, "run/flow.tat run/flow.mat run/flow.yat",
       "run/flow.dat", "run/flow"},
      {"flow", FileLayout::classic, false, "flow.t$$ flow.m$$", "flow.$$$", "flow"},
      {"flow.dat", FileLayout::csv, true, "flow_daily.csv flow_monthly.csv flow_yearly.csv",
       "flow.dat", "flow"},
  };
  for (const Case& c : cases) {
    ConsoleTexts texts;
    std::vector<PlannedOutput> outputs = plannedOutputs(c.layout, c.yearly);
    OutputNames names{c.input, {}, {}};
    EXPECT_EQ(deriveOutputNames(c.input, c.input, outputs, names, texts.console),
              ExitStatus::success);
    EXPECT_EQ(namesOf(outputs), c.names) << c.input;
    EXPECT_EQ(names.labelName, c.labelName) << c.input;
    EXPECT_EQ(names.columnNote, c.columnNote) << c.input;
  }
}

TEST(OutputPlan, InputIdentityDropsFolderFallbackAndCompression) {
  const std::pair<std::string, std::string> cases[] = {
      {"gauge.A.dat", "gauge.A.dat"},
      {"../runs/gauge.A.dat", "gauge.A.dat"},
      {"flow.$$$", "flow"},
      {"flow.dat.gz", "flow.dat"},
      {"flow.dat.zst.$$$", "flow.dat"},
      {"flow.bz2", "flow"},
      {".gz", ".gz"},
      {"run/", ""},
  };
  for (const auto& [labelName, identity] : cases) {
    EXPECT_EQ(inputIdentity(labelName), identity) << labelName;
  }
}

TEST(OutputPlan, PutsCompleteOutputsInPlaceAndCreatesNoneInAMissingFolder) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "skarvel-output-plan-test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string input = (folder / "flow.dat").string();

  ConsoleTexts texts;
  std::vector<PlannedOutput> planned = plannedOutputs(FileLayout::classic, false);
  OutputNames names{input, {}, {}};
  ASSERT_EQ(deriveOutputNames(input, input, planned, names, texts.console), ExitStatus::success);
  std::vector<AveragesFile> files;
  ASSERT_EQ(createOutputs(planned, files, texts.console), ExitStatus::success);
  files[0].writer.write("daily\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "flow.tat"));  // a temporary name until done
  ASSERT_EQ(putOutputsInPlace(files, texts.console), ExitStatus::success);
  std::ifstream daily(folder / "flow.tat");
  std::string line;
  EXPECT_TRUE(std::getline(daily, line) && line == "daily");
  daily.close();  // Windows removes no file that is open
  EXPECT_EQ(std::filesystem::file_size(folder / "flow.mat"), 0U);

  // A rerun from another folder replaces; another input whose name holds the separator does not.
  const std::vector<PlannedOutput> again = {
      {kDailyFile, (folder / "flow.tat").string(), FileLayout::classic}};
  EXPECT_EQ(refuseOutputsOfOtherInputs(again, "../elsewhere/flow.dat", texts.console),
            ExitStatus::success);
  std::ofstream(folder / "flow.tat") << "daily_sums_from_a_:_b.dat_:_header\n";
  EXPECT_EQ(refuseOutputsOfOtherInputs(again, "a_:_b.dat", texts.console), ExitStatus::success);
  EXPECT_EQ(refuseOutputsOfOtherInputs(again, "flow.dat", texts.console), ExitStatus::outputError);
  EXPECT_EQ(texts.errorMessages.collected(),
            "error: " + again[0].name + " holds the results of a, not of flow.dat\n");

  const std::string missing = (folder / "none" / "flow.tat").string();
  std::vector<PlannedOutput> unreachable = {{kDailyFile, missing, FileLayout::classic}};
  std::vector<AveragesFile> none;
  EXPECT_EQ(createOutputs(unreachable, none, texts.console), ExitStatus::outputError);
  EXPECT_TRUE(texts.errorMessages.collected().ends_with("error creating file " + missing + "\n"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace skarvel
