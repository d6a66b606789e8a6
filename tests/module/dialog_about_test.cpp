// The about box over the host's window: where it lands, and its closing
// by a click on the picture, by Enter and by Escape, leaving nothing.
#include <gtest/gtest.h>

#include "tests/module/dialog_support.h"
#include "tests/module/soak/process_memory.h"

// The 64-bit program only: the emulated 32-bit one opens the dialog once
// (dialog_locale_test.cpp), and a skipped test would end it there.
#ifdef _WIN64

namespace {

TEST(AboutBox, LandsOverTheOwnerAndClosesByClickEnterAndEscape) {
  ASSERT_NE(ProductModule().entry, nullptr);
  TestOwnerWindow();  // the common controls, as for every dialog test
  // An owner without a frame, so its client area starts where it does.
  HWND owner = CreateHostWindow("about owner", 100, 120, 1027, 652, false);
  ASSERT_NE(owner, nullptr);
  HostConfig config;
  config.hostWindow = reinterpret_cast<intptr_t>(owner);
  DialogHost host(MakeTestPattern(8, 8, 3, 8), config);
  int64_t gdiAfterFirst = -1;
  for (const char *closer :
       {"click 101\n", "press return\n", "press escape\n"}) {
    SCOPED_TRACE(closer);
    ScriptedRun run =
        host.Run(InvocationKind::kAbout, std::string("show\n") + closer);
    EXPECT_TRUE(run.failures.empty()) << run.failures[0];
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.script.views.size(), 1u);
    // (1027 - 427) / 2 and (652 - 252) / 3 from the owner's client origin.
    const DialogView &v = run.script.views[0];
    EXPECT_EQ(std::vector<int32_t>({v.left, v.top, v.width, v.height}),
              std::vector<int32_t>({400, 253, 427, 252}));
    ASSERT_NE(v.Find(101), nullptr);
    EXPECT_EQ(v.Find(101)->width, 425);
    if (gdiAfterFirst < 0) gdiAfterFirst = SampleGuiObjects().gdi;
  }
  // Each box after the first leaves no GDI object behind.
  EXPECT_EQ(SampleGuiObjects().gdi, gdiAfterFirst);
  DestroyWindow(owner);
}

}  // namespace

#endif  // _WIN64
