// The run driver: the order of the phases of one run, its console messages and its exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "exit_status.hpp"

namespace skarvel {

// Runs the tool on the argument vector (program name first), writing console text to `console`
// and the reasons of errors, warnings and progress to `diagnostics`.
ExitStatus runSkarvel(const std::vector<std::string>& args, std::FILE* console,
                      std::FILE* diagnostics);

}  // namespace skarvel
