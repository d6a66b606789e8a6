// The pictures of the dialog in the README, taken by the test suite in
// English and in Chinese: a colourful document at its fit zoom, some
// values away from the defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "host/dialog_host.h"
#include "host/image_io.h"
#include "host/text.h"
#include "tests/module/dialog_support.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

// A sky, a hue wheel and fine rings: something for the sharpening to do.
HostImage Scene(int32_t width, int32_t height) {
  HostImage image = MakeImage(width, height, 3, 8);
  const double kPi = 3.14159265358979323846;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double t = double(y) / height;
      double rgb[3] = {90 + 120 * t, 140 + 60 * t, 220 - 90 * t};
      const double wx = x - width * 0.3, wy = y - height * 0.5;
      const double r = std::hypot(wx, wy);
      if (r < height * 0.32) {
        const double hue = std::atan2(wy, wx) / (2 * kPi) + 0.5;
        for (int c = 0; c < 3; ++c) {
          const double phase = hue * 6 - 2 * c;
          const double d = std::fabs(std::fmod(phase + 6, 6) - 3);
          rgb[c] =
              255 * std::min(1.0, std::max(0.0, d - 1)) * (0.4 + r / height);
        }
      }
      const double rx = x - width * 0.75, ry = y - height * 0.5;
      const double rr = std::hypot(rx, ry);
      if (rr < height * 0.3) {
        const double v = 0.5 + 0.5 * std::cos(rr * 0.35);
        rgb[0] = 60 + 180 * v;
        rgb[1] = 50 + 120 * v;
        rgb[2] = 40 + 60 * v;
      }
      for (int c = 0; c < 3; ++c)
        SampleAt(image, x, y, c) =
            uint16_t(std::min(255.0, std::max(0.0, rgb[c])));
    }
  return image;
}

TEST(DialogPicture, ForTheReadme) {
  const char *dir = std::getenv("TAVORIN_SHOTS");
  if (!dir || !*dir) GTEST_SKIP() << "TAVORIN_SHOTS names no folder";
  CreateDirectoryA(MapUnixPath(dir).c_str(), nullptr);
  const struct {
    const char *language, *file;
  } faces[] = {{"en-US", "dialog.png"}, {"zh-CN", "dialog-chinese.png"}};
  for (const auto &f : faces) {
    SCOPED_TRACE(f.language);
    const std::string path = std::string(dir) + "/" + f.file;
    ASSERT_TRUE(SetDialogLanguage(f.language));
    DialogHost host(Scene(720, 520));
    host.GiveBlock(Values({25, 65, 70, 40, 0, -20, 0, 30, 0}));
    ScriptedRun run = host.Run(InvocationKind::kFromMenu,
                               "drag 108 30\nshot " + path + "\ncancel\n");
    SetDialogLanguage("");
    ASSERT_TRUE(run.failures.empty()) << run.failures[0];
    ASSERT_EQ(run.script.shots.size(), 1u);
    HostImage written;
    std::string error;
    ASSERT_TRUE(ReadImageFile(MapUnixPath(path), &written, &error)) << error;
    EXPECT_EQ(written.width, run.script.shots[0].image.width);
    EXPECT_EQ(written.samples, run.script.shots[0].image.samples);
  }
}

}  // namespace

#endif  // _WIN64
