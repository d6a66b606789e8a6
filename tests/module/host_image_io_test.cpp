// The host's image files come back as written, planes and depth too (the
// planes set the document's mode): gray, gray with transparency and RGBA,
// which must not pass for gray with transparency, in PNG and TIFF.
#include <gtest/gtest.h>

#include "host/image_io.h"
#include "tests/module/run_support.h"

namespace {

TEST(HostImageIo, GrayAndRgbaFilesComeBackAsWritten) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  for (int32_t depth : {8, 16})
    for (int32_t planes : {1, 2, 4})
      for (const char *kind : {".png", ".tif"}) {
        const std::string path =
            temp + std::to_string(depth * 10 + planes) + "-tavorin-io" + kind;
        const HostImage written = MakeTestPattern(137, 300, planes, depth);
        std::string error;
        HostImage read;
        EXPECT_TRUE(WriteImageFile(path, written, &error) &&
                    ReadImageFile(path, &read, &error))
            << error;
        DeleteFileA(path.c_str());
        EXPECT_TRUE(read.planes == planes && read.depth == depth &&
                    read.samples == written.samples)
            << path;
      }
}

}  // namespace
