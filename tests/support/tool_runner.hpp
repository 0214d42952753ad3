// Runs the built skarvel binary in a temporary folder and reads back what it left there.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace skarvel::testing {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void writeFile(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() /
            ("skarvel-test-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(root_ / "work");
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(work(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
  }

  // The folder the tool runs in.
  std::filesystem::path work() const { return root_ / "work"; }
  // Where the tool's console text and its standard error are captured, outside the work folder.
  std::filesystem::path consoleFile() const { return root_ / "console.txt"; }
  std::filesystem::path diagnosticsFile() const { return root_ / "stderr.txt"; }

  // The names in the work folder, sorted.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(work())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path root_;
};

struct ToolRun {
  int status = -1;
  std::string console;
  std::string diagnostics;  // standard error
};

inline std::string quoteArgument(const std::string& argument) {
#ifdef _WIN32
  return "\"" + argument + "\"";
#else
  std::string quoted = "'";
  for (const char c : argument) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
#endif
}

// Runs `binary` with `arguments` in the folder's work folder. `prefix`, shell text, goes in
// front of the binary (a command to start it with, or one to run before it).
inline ToolRun runTool(const TempFolder& folder, const std::vector<std::string>& arguments,
                       const std::string& binary = SKARVEL_BINARY, const std::string& prefix = "") {
  std::string command =
      "cd " + quoteArgument(folder.work().string()) + " && " + prefix + quoteArgument(binary);
  for (const std::string& argument : arguments) {
    command += " " + quoteArgument(argument);
  }
  command += " > " + quoteArgument(folder.consoleFile().string()) + " 2> " +
             quoteArgument(folder.diagnosticsFile().string());
  const int raw = std::system(command.c_str());
  ToolRun run;
#ifdef _WIN32
  run.status = raw;
#else
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
#endif
  run.console = readFile(folder.consoleFile());
  run.diagnostics = readFile(folder.diagnosticsFile());
  return run;
}

}  // namespace skarvel::testing
