// Many inputs in one run (--each, --files-from): each read as a run on it alone reads it, with
// its own outputs, several at a time within the thread budget; one line per input in the order
// given, and the worst exit status of them all.
#pragma once

#include <vector>

#include "command_line.hpp"
#include "console.hpp"
#include "exit_status.hpp"
#include "run_driver.hpp"

namespace skarvel {

// The worst of two exit statuses: an output error, then an input error, then the statuses 1,
// then incomplete results, then success.
ExitStatus worseStatus(ExitStatus a, ExitStatus b);

// Runs every input of `commandLine`: its positional arguments, then the names its --files-from
// list gives.
ExitStatus runEnsemble(const CommandLine& commandLine, const EnvironmentSettings& environment,
                       const Console& console);

}  // namespace skarvel
