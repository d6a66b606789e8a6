// Writes the engine digests of this build, one line each, to the file
// named by the first argument (standard output without one); the
// Windows test program compares its own against them.
#include <cstdio>

#include "tests/support/engine_digest.h"

int main(int argc, char **argv) {
  FILE *file = argc > 1 ? std::fopen(argv[1], "w") : stdout;
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  for (const std::string &line : EngineDigestLines()) {
    std::fprintf(file, "%s\n", line.c_str());
  }
  return (file == stdout ? std::fflush(file) : std::fclose(file)) == 0 ? 0 : 1;
}
