// tavorin-settings: makes the parameter block a host replays when it
// repeats the filter, from settings on the command line or from a preset
// file, so that the host filters at once without the dialog.
//   tavorin-settings BLOCK [--preset FILE.prm] [--radius PIXELS]
//       [--response N] [--spread N] [--weights R,Y,G,C,B,M]
//       [--save-preset FILE.prm]
// Values outside their ranges are clamped as the module clamps them.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "params/params.h"

namespace {

bool ReadFile(const char *path, std::vector<unsigned char> *bytes) {
  FILE *file = std::fopen(path, "rb");
  if (!file) return false;
  unsigned char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes->insert(bytes->end(), buffer, buffer + got);
  std::fclose(file);
  return true;
}

bool WriteFile(const char *path, const void *bytes, size_t size) {
  FILE *file = std::fopen(path, "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

bool Number(const char *text, double *value) {
  char *end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

int Usage(const char *why) {
  std::fprintf(stderr,
               "tavorin-settings: %s\n"
               "usage: tavorin-settings BLOCK [--preset FILE.prm] "
               "[--radius PIXELS] [--response N]\n"
               "         [--spread N] [--weights R,Y,G,C,B,M] "
               "[--save-preset FILE.prm]\n",
               why);
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2 || argv[1][0] == '-') return Usage("no block file given");
  ParamBlock block;
  std::memset(&block, 0, sizeof block);
  InitParamBlockHeader(&block);
  const char *savePreset = nullptr;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return Usage((option + " needs a value").c_str());
    const char *value = argv[++i];
    double number = 0;
    if (option == "--preset") {
      std::vector<unsigned char> bytes;
      if (!ReadFile(value, &bytes)) return Usage("cannot read the preset");
      if (!DecodeBlockFile(bytes.data(), int32_t(bytes.size()), &block))
        return Usage("not a Tavorin preset of this version");
    } else if (option == "--save-preset") {
      savePreset = value;
    } else if (option == "--weights") {
      int w[6];
      if (std::sscanf(value, "%d,%d,%d,%d,%d,%d", &w[0], &w[1], &w[2], &w[3],
                      &w[4], &w[5]) != 6)
        return Usage("--weights takes six numbers: R,Y,G,C,B,M");
      for (int k = 0; k < 6; ++k) block.params.colourWeight[k] = w[k];
    } else if (!Number(value, &number)) {
      return Usage((option + " takes a number").c_str());
    } else if (option == "--radius") {
      // Pixels with one decimal; the block counts tenths.
      block.params.radius = int32_t(std::lround(number * 10));
    } else if (option == "--response") {
      block.params.response = int32_t(std::lround(number));
    } else if (option == "--spread") {
      block.params.spread = int32_t(std::lround(number));
    } else {
      return Usage(("unknown option " + option).c_str());
    }
  }
  ValidateParams(&block.params);
  block.params.showDialog = 0;  // as after OK: the repeat filters at once

  if (savePreset) {
    // A preset carries the name of its file.
    ParamBlock preset = block;
    const char *slash = std::strrchr(savePreset, '/');
    CToPString(slash ? slash + 1 : savePreset, preset.params.name);
    unsigned char image[kBlockFileBytes];
    EncodeBlockFile(&preset, image);
    if (!WriteFile(savePreset, image, sizeof image))
      return Usage("cannot write the preset");
  }
  // The host's handle holds the block in the module's byte order, which
  // is this machine's: both are little-endian x86.
  if (!WriteFile(argv[1], &block, sizeof block))
    return Usage("cannot write the block");
  const FilterParams &p = block.params;
  std::printf(
      "settings: radius %d.%d, response %d, spread %d, weights %d %d %d %d "
      "%d %d\n",
      int(p.radius / 10), int(p.radius % 10), int(p.response), int(p.spread),
      int(p.colourWeight[0]), int(p.colourWeight[1]), int(p.colourWeight[2]),
      int(p.colourWeight[3]), int(p.colourWeight[4]), int(p.colourWeight[5]));
  return 0;
}
