#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "app.hpp"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv, argv + argc);
    return skarvel::runSkarvel(args, stdout);
  } catch (const std::bad_alloc&) {
    std::fputs("error: out of memory\n", stdout);
    return skarvel::ExitOutputError;
  } catch (...) {
    std::fputs("error: unexpected failure\n", stdout);
    return skarvel::ExitOutputError;
  }
}
