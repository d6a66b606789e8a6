// bench-block BLOCK RADIUS: the parameter block a host hands back when it
// repeats the filter, with the default settings at this radius (pixels)
// and no dialog, for timing the module through our host.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "params/params.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench-block BLOCK RADIUS\n");
    return 2;
  }
  ParamBlock block;
  std::memset(&block, 0, sizeof block);
  InitParamBlockHeader(&block);
  block.params.showDialog = 0;
  block.params.radius = int32_t(std::lround(std::atof(argv[2]) * 10));
  FILE *file = std::fopen(argv[1], "wb");
  if (!file || std::fwrite(&block, sizeof block, 1, file) != 1 ||
      std::fclose(file) != 0) {
    std::fprintf(stderr, "bench-block: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
