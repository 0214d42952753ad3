#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "exit_status.hpp"
#include "platform.hpp"
#include "run_driver.hpp"

int main(int argc, char** argv) {
  using skarvel::exitCode;
  using skarvel::ExitStatus;
  skarvel::platform::ensureStandardDescriptors();
  skarvel::platform::installSignalHandlers();
  try {
    const std::vector<std::string> args = skarvel::platform::commandLineArguments(argc, argv);
    return exitCode(skarvel::runSkarvel(args, stdout, stderr));
  } catch (const std::bad_alloc&) {
    std::fputs("error: not enough memory\n", stdout);
    return exitCode(ExitStatus::outOfMemory);
  } catch (...) {
    std::fputs("error: unexpected failure\n", stdout);
    return exitCode(ExitStatus::outputError);
  }
}
