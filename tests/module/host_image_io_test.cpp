// PNG and TIFF files through the Windows Imaging Component: every layout
// the host reads and writes comes back sample for sample, 16-bit files in
// the host range.
#include <gtest/gtest.h>

#include "host/image_io.h"
#include "host_test_support.h"

namespace {

TEST(HostImageIo, RoundTripsEveryLayout) {
  struct Case {
    const char *file;
    int32_t planes, depth;
  };
  const Case cases[] = {
      {"rgb8.png", 3, 8},    {"rgba16.png", 4, 16}, {"gray8.png", 1, 8},
      {"gray16.png", 1, 16}, {"rgb16.tif", 3, 16},  {"rgba8.tiff", 4, 8},
  };
  for (const Case &c : cases) {
    HostImage image = MakeTestPattern(23, 17, c.planes, c.depth);
    std::string path = TempFilePath(c.file);
    std::string error;
    ASSERT_TRUE(WriteImageFile(path, image, &error)) << c.file << ": " << error;
    HostImage back;
    ASSERT_TRUE(ReadImageFile(path, &back, &error)) << c.file << ": " << error;
    DeleteFileA(path.c_str());
    EXPECT_EQ(back.width, 23) << c.file;
    EXPECT_EQ(back.height, 17) << c.file;
    EXPECT_EQ(back.planes, c.planes) << c.file;
    EXPECT_EQ(back.depth, c.depth) << c.file;
    EXPECT_EQ(back.samples, image.samples) << c.file;
  }
  std::string error;
  EXPECT_FALSE(WriteImageFile(TempFilePath("x.bmp"),
                              MakeTestPattern(2, 2, 3, 8), &error));
  EXPECT_NE(error.find("use .png or .tif"), std::string::npos);
}

}  // namespace
