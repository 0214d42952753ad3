// Runs the built skarvel binary in a temporary folder and reads back what it left there.
//
// Names in the tests are UTF-8 on every platform. On Windows the tool is started directly
// (CreateProcessW, no shell) with the work folder as its current directory, on whatever drive
// that is, and its text is read back with CR LF as the line end that is expected of it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace skarvel::testing {

// A path from a UTF-8 name, the same on every platform.
inline std::filesystem::path pathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The UTF-8 spelling of a path.
inline std::string utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

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

// Text the tool wrote, with the platform's line end read as "\n". On Windows every LF must come
// as CR LF (a bare LF fails the test: it was written in the wrong mode); elsewhere the bytes are
// returned as they are.
inline std::string fromPlatformText(const std::string& raw, const std::string& what) {
#ifdef _WIN32
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
      continue;
    }
    if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) {
      ADD_FAILURE() << what << ": LF without CR at byte " << i;
    }
    text += raw[i];
  }
  return text;
#else
  static_cast<void>(what);
  return raw;
#endif
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

  // The names in the work folder (UTF-8), sorted.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(work())) {
      names.push_back(utf8Of(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path root_;
};

// Variables set for the tool's process only, beside what it inherits: name and value.
using ToolEnvironment = std::vector<std::pair<std::string, std::string>>;

struct ToolRun {
  int status = -1;
  std::string console;      // with the platform's line end read as "\n"
  std::string rawConsole;   // the bytes written
  std::string diagnostics;  // standard error, with the platform's line end read as "\n"
};

#ifdef _WIN32

inline std::wstring wideOf(const std::string& utf8) {
  return pathOf(utf8).wstring();
}

// One argument on a Windows command line, quoted by the rules the C runtime splits it by:
// backslashes are doubled only where a quote follows them.
inline std::wstring quoteArgument(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// The path as given, or, when relative, taken from the folder of this test program (the cross
// build names the tool and the files it prepares so).
inline std::filesystem::path besideTestProgram(const std::string& relative) {
  const std::filesystem::path path = pathOf(relative);
  if (path.is_absolute()) {
    return path;
  }
  std::wstring self(MAX_PATH, L'\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) ==
         self.size()) {
    self.resize(self.size() * 2);
  }
  self.resize(length);
  return (std::filesystem::path(self).parent_path() / path).lexically_normal();
}

// True when the "NAME=value" entry sets the variable `name` (Windows names ignore letter case).
inline bool entrySets(const std::wstring& entry, const std::wstring& name) {
  return entry.size() > name.size() && entry[name.size()] == L'=' &&
         CompareStringOrdinal(entry.c_str(), static_cast<int>(name.size()), name.c_str(),
                              static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// The environment block of this process with `environment` set in it: "NAME=value" strings,
// each ended by a NUL, and a NUL at the end. Empty when nothing is set: the child inherits then.
inline std::wstring environmentBlockWith(const ToolEnvironment& environment) {
  if (environment.empty()) {
    return {};
  }
  std::vector<std::wstring> entries;
  wchar_t* const inherited = GetEnvironmentStringsW();
  for (const wchar_t* entry = inherited; entry != nullptr && *entry != L'\0';
       entry += std::wcslen(entry) + 1) {
    entries.emplace_back(entry);
  }
  FreeEnvironmentStringsW(inherited);
  for (const auto& [name, value] : environment) {
    const std::wstring wideName = wideOf(name);
    std::erase_if(entries, [&](const std::wstring& entry) { return entrySets(entry, wideName); });
    entries.push_back(wideName + L"=" + wideOf(value));
  }
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

// Starts `program` detached, with the standard handles of `startup` and the environment block
// (the inherited one when empty). Under Wine a start can fail with ERROR_INTERNAL_ERROR: the new
// process ended while Wine was still setting it up, before any of the program ran (seen when
// the tests run in parallel on a loaded machine). Such a start is tried again, twice, with a
// note on standard error; any other failure fails the test.
inline bool startProcess(const std::wstring& program, std::wstring& commandLine,
                         std::wstring& environmentBlock, const std::filesystem::path& workFolder,
                         STARTUPINFOW& startup, PROCESS_INFORMATION& process) {
  constexpr int kAttempts = 3;
  for (int attempt = 1;; ++attempt) {
    // Without a console of its own: under Wine a console program given one gets a console host
    // process that holds copies of its standard handles (and its current folder) for a while
    // after the program has ended, so the next run could not create the console file anew.
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT,
                       environmentBlock.empty() ? nullptr : environmentBlock.data(),
                       workFolder.wstring().c_str(), &startup, &process)) {
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == kAttempts) {
      ADD_FAILURE() << "cannot start " << utf8Of(program) << ": error " << error;
      return false;
    }
    std::cerr << "note: starting " << utf8Of(program) << " failed with error " << error
              << " (the process ended while it was set up); starting it again\n";
    Sleep(200);
  }
}

// Runs `binary` with `arguments` in `workFolder`, its output going to `consoleFile`, with
// `environment` set for it.
inline ToolRun runToolIn(const std::filesystem::path& workFolder,
                         const std::filesystem::path& consoleFile,
                         const std::vector<std::string>& arguments,
                         const std::string& binary = SKARVEL_BINARY,
                         const ToolEnvironment& environment = {}) {
  const std::wstring program = besideTestProgram(binary).wstring();
  std::wstring commandLine = quoteArgument(program);
  for (const std::string& argument : arguments) {
    commandLine += L" " + quoteArgument(wideOf(argument));
  }
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE console = CreateFileW(consoleFile.wstring().c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (console == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create " << utf8Of(consoleFile) << ": error " << GetLastError();
    return {};
  }
  const std::filesystem::path diagnosticsFile = consoleFile.parent_path() / "stderr.txt";
  const HANDLE diagnostics = CreateFileW(diagnosticsFile.wstring().c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = console;
  startup.hStdError = diagnostics;
  PROCESS_INFORMATION process{};
  std::wstring environmentBlock = environmentBlockWith(environment);
  ToolRun run;
  if (startProcess(program, commandLine, environmentBlock, workFolder, startup, process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.status = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(console);
  CloseHandle(diagnostics);
  CloseHandle(nothing);
  run.rawConsole = readFile(consoleFile);
  run.console = fromPlatformText(run.rawConsole, "console");
  run.diagnostics = fromPlatformText(readFile(diagnosticsFile), "standard error");
  return run;
}

// Runs `binary` with `arguments` in the folder's work folder, with `environment` set for it.
// There is no shell on this side: `prefix` must be empty.
inline ToolRun runTool(const TempFolder& folder, const std::vector<std::string>& arguments,
                       const std::string& binary = SKARVEL_BINARY, const std::string& prefix = "",
                       const ToolEnvironment& environment = {}) {
  EXPECT_EQ(prefix, "") << "no shell prefix on Windows";
  return runToolIn(folder.work(), folder.consoleFile(), arguments, binary, environment);
}

#else

inline std::string quoteArgument(const std::string& argument) {
  std::string quoted = "'";
  for (const char c : argument) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

// Runs `binary` with `arguments` in `workFolder`, its output going to `consoleFile` and its
// standard error to "stderr.txt" beside it, with `environment` set for it. `prefix`, shell text,
// goes in front of the binary (a command to start it with, or one to run before it).
inline ToolRun runToolIn(const std::filesystem::path& workFolder,
                         const std::filesystem::path& consoleFile,
                         const std::vector<std::string>& arguments,
                         const std::string& binary = SKARVEL_BINARY,
                         const ToolEnvironment& environment = {}, const std::string& prefix = "") {
  const std::filesystem::path diagnosticsFile = consoleFile.parent_path() / "stderr.txt";
  std::string command = "cd " + quoteArgument(workFolder.string()) + " && ";
  for (const auto& [name, value] : environment) {
    command += "export " + name + "=" + quoteArgument(value) + " && ";
  }
  command += prefix + quoteArgument(binary);
  for (const std::string& argument : arguments) {
    command += " " + quoteArgument(argument);
  }
  command += " > " + quoteArgument(consoleFile.string()) + " 2> " +
             quoteArgument(diagnosticsFile.string());
  const int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  run.rawConsole = readFile(consoleFile);
  run.console = run.rawConsole;
  run.diagnostics = readFile(diagnosticsFile);
  return run;
}

// Runs `binary` with `arguments` in the folder's work folder, with `environment` set for it.
// `prefix`, shell text, goes in front of the binary (a command to start it with, or one to run
// before it).
inline ToolRun runTool(const TempFolder& folder, const std::vector<std::string>& arguments,
                       const std::string& binary = SKARVEL_BINARY, const std::string& prefix = "",
                       const ToolEnvironment& environment = {}) {
  return runToolIn(folder.work(), folder.consoleFile(), arguments, binary, environment, prefix);
}

#endif

}  // namespace skarvel::testing
