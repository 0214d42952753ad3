// The fixture of the end-to-end tests: an input file in a temporary folder, a run of the real
// binary on it, and the check that the input is never changed.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tool_runner.hpp"

namespace skarvel::testing {

inline const std::string kBanner =
    "skarvel: daily and monthly average values from Varno-output-files \n";
inline const std::string kUsage =
    "usage: skarvel <filename> [<headrows{def=auto}>] [<number of value columns(without leading "
    "dates){def=auto}>]\n\n";
inline const std::string kDone = "fertig..\n";

class EndToEnd : public ::testing::Test {
 protected:
  // Writes `content` as the input `name`, runs the tool on it with `options` before the name
  // and `arguments` after it (and `environment` set for it), and checks that the input is left
  // as it was.
  ToolRun run(const std::string& content, std::vector<std::string> arguments = {},
              const std::string& name = "flow.dat", std::vector<std::string> options = {},
              const ToolEnvironment& environment = {}) {
    writeFile(folder.work() / pathOf(name), content);
    std::vector<std::string> words = std::move(options);
    words.push_back(name);
    words.insert(words.end(), arguments.begin(), arguments.end());
    ToolRun result = runTool(folder, words, SKARVEL_BINARY, "", environment);
    EXPECT_EQ(readFile(folder.work() / pathOf(name)), content) << "the input was changed";
    return result;
  }
  // A file the tool wrote, with the platform's line end read as "\n".
  std::string file(const std::string& name) const { return fromPlatformText(rawFile(name), name); }
  std::string rawFile(const std::string& name) const {
    return readFile(folder.work() / pathOf(name));
  }
  bool exists(const std::string& name) const {
    return std::filesystem::exists(folder.work() / pathOf(name));
  }

  TempFolder folder;
};

// Hourly rows (hours 1..24) for the given days of one month; `values` gives a row's value text.
inline std::string hourlyRows(int year, int month, int firstDay, int lastDay,
                              const std::function<std::string(int day, int hour)>& values) {
  std::string rows;
  for (int day = firstDay; day <= lastDay; ++day) {
    for (int hour = 1; hour <= 24; ++hour) {
      for (const int field : {year, month, day, hour}) {
        rows.append(std::to_string(field)).append(" ");
      }
      rows.append(values(day, hour)).append("\n");
    }
  }
  return rows;
}

}  // namespace skarvel::testing
