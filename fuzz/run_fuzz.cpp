// A whole run on arbitrary input bytes with arbitrary header and column arguments, in a
// temporary folder: it must end with a defined exit status and leave the input unchanged.
//
// Input layout: byte 0 chooses the input name, the header argument and the options, byte 1 the
// column argument, the rest is the file.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reference.hpp"
#include "run_driver.hpp"

using namespace skarvel;
using namespace skarvel::fuzzing;
namespace fs = std::filesystem;

namespace {

// A folder of this process's own, emptied before each run.
const fs::path& folder() {
  static const fs::path path = [] {
    fs::path p =
        fs::temp_directory_path() / ("skarvel-fuzz-" + std::to_string(std::random_device{}()));
    fs::create_directories(p);
    return p;
  }();
  return path;
}

std::string contentOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  static const char* const kNames[] = {"in.dat", "in", "in.tat", "q.t$$", ".x.dat", "in.txt"};
  static const char* const kHeaderArguments[] = {nullptr, "-1", "0", "1", "2", "3", "auto", " +2x"};
  const std::string name = kNames[data[0] % 6];
  const char* header = kHeaderArguments[(data[0] / 6) % 8];
  const int columnChoice = data[1];
  const std::string content(reinterpret_cast<const char*>(data) + 2, size - 2);

  for (const auto& entry : fs::directory_iterator(folder())) {
    fs::remove_all(entry.path());
  }
  const fs::path input = folder() / name;
  {
    std::ofstream out(input, std::ios::binary);
    out << content;
  }

  static const std::vector<std::vector<std::string>> kOptionSets = {
      {},
      {"--stat=sum"},
      {"--stat", "min", "--min-coverage=50"},
      {"--stat=max", "--yearly"},
      {"--year-start=11", "--min-coverage", "100"},
      {"--stat=mean", "--year-start", "3", "--"}};
  std::vector<std::string> args = {"skarvel"};
  const auto& options = kOptionSets[data[0] / 48];
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(input.string());
  if (header != nullptr || columnChoice < 128) {
    args.emplace_back(header != nullptr ? header : "-1");
  }
  if (columnChoice < 128) {
    args.push_back(std::to_string(columnChoice % 40 - 4));  // -4 .. 35 value columns
  } else if (columnChoice >= 250) {
    args.emplace_back("7");
    args.emplace_back("extra");  // four arguments: the column count is detected
  }

  std::FILE* console = std::fopen("/dev/null", "w");
  const int status = exitCode(runSkarvel(args, {}, console, console));
  std::fclose(console);
  require(status >= 0 && status <= 4, "exit status is one of 0, 1, 2, 3, 4");
  require(contentOf(input) == content, "the input is unchanged");
  return 0;
}
