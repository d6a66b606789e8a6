// The preview as it appears on screen, read back from pictures of the
// dialog. (What every zoom, depth and kind of host shows is checked
// natively, in tests/native/dialog_preview_render_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "host/report.h"
#include "tests/module/dialog_support.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

// Counts the pixels of the shot's preview that differ from want(x, y, p),
// the expected value of plane p of preview client pixel (x, y). Reports
// the first few.
template <typename Want>
int32_t Mismatches(const ScriptShot &shot, Want want) {
  int32_t wrong = 0;
  for (int32_t y = 0; y < shot.previewHeight; ++y)
    for (int32_t x = 0; x < shot.previewWidth; ++x)
      for (int p = 0; p < 3; ++p) {
        const int32_t shown =
            SampleAt(shot.image, shot.previewLeft + x, shot.previewTop + y, p);
        const int32_t expected = want(x, y, p);
        if (shown != expected && ++wrong <= 3)
          ADD_FAILURE() << "preview pixel " << x << "," << y << " plane " << p
                        << " shows " << shown << ", want " << expected;
      }
  return wrong;
}

int32_t To8(const HostImage &image, int32_t x, int32_t y, int p) {
  const int32_t v = SampleAt(image, x, y, p);
  return image.depth == 16 ? (v * 511) >> 16 : v;
}

// A host that cannot pad, with odd row bytes at 16 bits: the preview
// shows the engine's output; dragged as far as it goes, the image stops
// at the window's outer edge (the border hides its outermost pixel) with
// no grey gap; the labels follow the zoom buttons and the click on the
// label; the pointer is a hand over the image, and a release off it beeps.
TEST(DialogPreview, OnTheScreen) {
  ASSERT_NE(ProductModule().entry, nullptr);
  const HostImage document = MakeTestPattern(700, 520, 3, 16);
  HostConfig config;
  config.hostSig = FourCC('s', 'p', 'H', 'O');
  config.rowPad = 1;
  config.requests = RequestBehaviour::kClipLikeOpenHost;
  DialogHost host(document, config);
  host.GiveBlock(Values({64, 80, 70, 40, -30, 0, 60, -50, 20}));
  // Drags stay on the screen: several of them to reach the corners.
  std::string script =
      "show\nshot\nhover 2 2\nshow\nrelease 2 2\nzoom label\nshow\n"
      "hover 2 2\nshow\nrelease 2 2\n";
  for (int i = 0; i < 3; ++i) script += "pan 500 400\n";
  script += "shot\n";
  for (int i = 0; i < 6; ++i) script += "pan -500 -400\n";
  script += "shot\nzoom in\nzoom in\nshow\nzoom label\nshow\nzoom label\n";
  ScriptedRun run = host.Run(InvocationKind::kFromMenu, script + "show\nok\n");
  ASSERT_TRUE(run.failures.empty()) << run.failures[0];
  ASSERT_EQ(run.result, 0);
  ASSERT_EQ(run.script.views.size(), 7u);
  ASSERT_EQ(run.script.shots.size(), 3u);
  std::vector<std::string> labels;
  for (const DialogView &v : run.script.views) labels.push_back(v.Text(9));
  EXPECT_EQ(labels, (std::vector<std::string>{"50%", "50%", "100%", "100%",
                                              "300%", "100%", "50%"}));
  EXPECT_EQ(run.script.views[1].cursor, "arrow");
  EXPECT_EQ(run.script.views[3].cursor, "hand");
  EXPECT_EQ(run.Events(), (std::vector<std::string>{"beep 880 100"}));

  // OK filtered the document with the same values: the corners show it.
  const HostImage &result = host.session.document;
  const ScriptShot &fit = run.script.shots[0];
  for (int p = 0; p < 3; ++p)
    EXPECT_EQ(SampleAt(fit.image, fit.previewLeft, fit.previewTop, p), 128);
  const int32_t w = fit.previewWidth, h = fit.previewHeight;
  EXPECT_EQ(Mismatches(run.script.shots[1],
                       [&](int32_t x, int32_t y, int p) {
                         return To8(result, x + 1, y + 1, p);
                       }),
            0);
  EXPECT_EQ(Mismatches(run.script.shots[2],
                       [&](int32_t x, int32_t y, int p) {
                         return To8(result, 700 - 1 - w + x, 520 - 1 - h + y,
                                    p);
                       }),
            0);
  for (const AdvanceCall &a : host.session.tiles.log)
    EXPECT_TRUE(a.inRect.top >= 0 && a.inRect.left >= 0) << RectText(a.inRect);
}

}  // namespace

#endif  // _WIN64
