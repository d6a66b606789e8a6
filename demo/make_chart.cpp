// tavorin-chart: writes the demo's sample chart as a PNG or TIFF file.
//   tavorin-chart FILE [WIDTHxHEIGHT] [--depth 16]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "demo/chart.h"
#include "host/image_io.h"
#include "host/text.h"

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs("usage: tavorin-chart FILE [WIDTHxHEIGHT] [--depth 16]\n",
               stderr);
    return 2;
  }
  int width = 1200, height = 800, depth = 8;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--depth") == 0 && i + 1 < argc)
      depth = std::atoi(argv[++i]) == 16 ? 16 : 8;
    else if (std::sscanf(argv[i], "%dx%d", &width, &height) != 2 || width < 1 ||
             height < 1 || width > 30000 || height > 30000) {
      std::fprintf(stderr, "tavorin-chart: bad size %s\n", argv[i]);
      return 2;
    }
  }
  const std::string path = MapUnixPath(argv[1]);
  std::string error;
  if (!WriteImageFile(path, MakeSampleChart(width, height, depth), &error)) {
    std::fprintf(stderr, "tavorin-chart: %s\n", error.c_str());
    return 1;
  }
  std::printf("wrote: %s (%dx%d, %d bits)\n", path.c_str(), width, height,
              depth);
  return 0;
}
