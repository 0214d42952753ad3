// The yardstick for skarvel's speed: reads a file in 1 MiB blocks and converts every
// white-space separated token with std::from_chars into one running sum. Nothing else: each
// token is scanned once, by from_chars itself, and a token it cannot convert is skipped to the
// next white space. A token cut by the end of a block is carried into the next block.
//
//   skarvel_yardstick <file>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

struct Total {
  double sum = 0.0;
  long numbers = 0;  // tokens converted
  long others = 0;   // tokens skipped
};

// The end of the text that holds whole tokens only: just after the last white space.
const char* endOfWholeTokens(const char* begin, const char* end) {
  while (end != begin && !isSpace(end[-1])) {
    --end;
  }
  return end;
}

// Adds every token of [p, end) to total; end is just after white space, or the end of the file.
void convertTokens(const char* p, const char* end, Total& total) {
  for (;;) {
    while (p != end && isSpace(*p)) {
      ++p;
    }
    if (p == end) {
      return;
    }
    double value = 0.0;
    const auto [stop, error] = std::from_chars(p, end, value);
    if (error == std::errc{}) {
      total.sum += value;
      ++total.numbers;
      p = stop;
    } else {
      ++total.others;
      while (p != end && !isSpace(*p)) {
        ++p;
      }
    }
  }
}

Total convertFile(std::FILE* in) {
  Total total;
  std::vector<char> buffer;
  std::size_t carried = 0;  // the start of a token cut by the end of the last block
  for (;;) {
    buffer.resize(carried + kBlock);
    const std::size_t got = std::fread(buffer.data() + carried, 1, kBlock, in);
    const char* begin = buffer.data();
    const char* end = begin + carried + got;
    const char* cut = got == 0 ? end : endOfWholeTokens(begin, end);
    convertTokens(begin, cut, total);
    if (got == 0) {
      return total;
    }
    carried = static_cast<std::size_t>(end - cut);
    std::memmove(buffer.data(), cut, carried);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: skarvel_yardstick <file>\n", stderr);
    return 1;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    std::fprintf(stderr, "error opening file %s\n", argv[1]);
    return 2;
  }
  const Total total = convertFile(in);
  std::fclose(in);
  std::printf("%ld numbers, %ld other tokens, sum %.17g\n", total.numbers, total.others, total.sum);
  return 0;
}
