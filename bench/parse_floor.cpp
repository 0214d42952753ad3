// The yardstick for skarvel's speed: reads a file in 1 MiB blocks and converts every
// white-space separated token with std::from_chars into one running sum. Nothing else.
//
//   skarvel_parse_floor <file>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: skarvel_parse_floor <file>\n", stderr);
    return 1;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) {
    return 2;
  }
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::vector<char> buffer(kBlock + 256);
  std::size_t carried = 0;  // the start of a token cut by the end of the last block
  double sum = 0.0;
  long tokens = 0;
  for (;;) {
    const std::size_t got = std::fread(buffer.data() + carried, 1, kBlock, in);
    const std::size_t size = carried + got;
    const char* p = buffer.data();
    const char* end = p + size;
    const char* cut = end;
    if (got > 0) {  // keep a token that may go on in the next block
      while (cut != p && cut[-1] != ' ' && cut[-1] != '\n' && cut[-1] != '\t') {
        --cut;
      }
    }
    while (p < cut) {
      while (p < cut && (*p == ' ' || *p == '\n' || *p == '\t' || *p == '\r')) {
        ++p;
      }
      const char* tokenEnd = p;
      while (tokenEnd < cut && *tokenEnd != ' ' && *tokenEnd != '\n' && *tokenEnd != '\t' &&
             *tokenEnd != '\r') {
        ++tokenEnd;
      }
      if (tokenEnd > p) {
        double value = 0.0;
        std::from_chars(p, tokenEnd, value);
        sum += value;
        ++tokens;
      }
      p = tokenEnd;
    }
    carried = static_cast<std::size_t>(end - cut);
    std::memmove(buffer.data(), cut, carried);
    if (got == 0) {
      break;
    }
  }
  std::fclose(in);
  std::printf("%ld tokens, sum %.17g\n", tokens, sum);
  return 0;
}
