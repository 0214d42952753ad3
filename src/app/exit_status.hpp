// The process exit statuses: what a script learns about whether a run can be trusted.
#pragma once

namespace skarvel {

enum class ExitStatus : int {
  success = 0,
  usage = 1,        // no file argument, or a malformed or unknown option
  noDataRow = 1,    // the input has no line that starts with a number
  outOfMemory = 1,  // memory cannot hold what the run needs
  inputError = 2,   // the input cannot be opened or read
  outputError = 3,  // an output cannot be created or written, or would overwrite the input
  incomplete = 4,   // the files are written, but data rows were not averaged as written
};

constexpr int exitCode(ExitStatus status) {
  return static_cast<int>(status);
}

}  // namespace skarvel
