#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "exit_status.hpp"
#include "platform.hpp"
#include "run_driver.hpp"

namespace {

std::string environmentText(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? text : "";
}

}  // namespace

int main(int argc, char** argv) {
  using skarvel::exitCode;
  using skarvel::ExitStatus;
  skarvel::platform::ensureStandardDescriptors();
  skarvel::platform::installSignalHandlers();
  try {
    const std::vector<std::string> args = skarvel::platform::commandLineArguments(argc, argv);
    const skarvel::EnvironmentSettings environment{environmentText("SKARVEL_TEST_CHUNK_BYTES"),
                                                   environmentText("SKARVEL_ROW_SCAN"),
                                                   environmentText("SKARVEL_TEST_CUT_INPUT_TO")};
    return exitCode(skarvel::runSkarvel(args, environment, stdout, stderr));
  } catch (const std::bad_alloc&) {
    std::fputs("error: not enough memory\n", stdout);
    return exitCode(ExitStatus::outOfMemory);
  } catch (...) {
    std::fputs("error: unexpected failure\n", stdout);
    return exitCode(ExitStatus::outputError);
  }
}
