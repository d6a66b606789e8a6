// Host memory through every kind of handle suite a host offers, and with
// every allocation or lock failing in turn: the run either completes or
// fails with the memory codes, and the host finds no handle or global
// block leaked and no lock left. (Locks of global memory are not made to
// fail: a valid block without the discardable flag always locks.)
#include <gtest/gtest.h>

#include "tests/module/run_support.h"

namespace {

// From the menu (the answering dialog says OK), then a repeat; the
// document as the first left it.
void MenuAndRepeat(HostSession *s, int16_t results[2],
                   std::vector<uint16_t> *afterMenu) {
  results[0] = RunInvocation(s, InvocationKind::kFromMenu);
  *afterMenu = s->document.samples;
  results[1] = RunInvocation(s, InvocationKind::kRepeat);
}

TEST(HandleSuites, EveryKindServesTheRun) {
  const HostImage image = MakeTestPattern(40, 30, 3, 8);
  const std::vector<uint16_t> expected =
      Reference(image, WholeImage(image), ReferenceSettings());
  const struct {
    const char *name;
    HandleSuiteMode mode;
  } modes[] = {{"suite", HandleSuiteMode::kOn},
               {"no suite", HandleSuiteMode::kOff},
               {"version 2", HandleSuiteMode::kVersion2},
               {"five procedures", HandleSuiteMode::kFiveProcs},
               {"no getSizeProc", HandleSuiteMode::kNoGetSize}};
  for (const auto &m : modes) {
    for (OSType sig : {kHostSig8BIM, kHostSigMFI1}) {
      SCOPED_TRACE(std::string(m.name) +
                   (sig == kHostSig8BIM ? ", 8BIM" : ", MFI1"));
      RemoveSettingsTree(SettingsFolder());
      HostConfig config;
      config.handles = m.mode;
      config.hostSig = sig;
      HostSession s;
      ASSERT_TRUE(StartSession(&s, AnsweringModule(), config, image));
      int16_t results[2];
      std::vector<uint16_t> afterMenu;
      MenuAndRepeat(&s, results, &afterMenu);
      EXPECT_EQ(results[0], 0);
      EXPECT_EQ(results[1], 0);
      EXPECT_TRUE(afterMenu == expected);
      const bool suite = m.mode == HandleSuiteMode::kOn;
      // Only a whole suite of version 1 is used; the emulation serves the
      // rest.
      EXPECT_EQ(s.handles.counts.news > 0, suite);
      EXPECT_EQ(CurrentGlobalBook().counts.allocs > 0, !suite);
      // Other hosts get the block back only from a start they handed
      // none: the repeat's, which it made from the settings file.
      EXPECT_NE(s.parameters, nullptr);
      EndSession(&s);
      for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
    }
  }
}

TEST(HandleSuites, EachFailingAllocationOrLockLeavesNothingBehind) {
  struct Case {
    const char *what;
    HandleSuiteMode mode;
    int32_t HostConfig::*failAt;
  } cases[] = {
      {"newProc", HandleSuiteMode::kOn, &HostConfig::newFailAt},
      {"lockProc", HandleSuiteMode::kOn, &HostConfig::lockFailAt},
      {"GlobalAlloc", HandleSuiteMode::kOff, &HostConfig::globalAllocFailAt},
  };
  const HostImage image = MakeTestPattern(40, 30, 3, 8);
  const std::vector<uint16_t> expected =
      Reference(image, WholeImage(image), ReferenceSettings());
  RemoveSettingsTree(SettingsFolder());
  for (const Case &c : cases) {
    int32_t failures = 0;
    for (int32_t k = 1; k <= 16; ++k) {
      SCOPED_TRACE(std::string(c.what) + " failing at call " +
                   std::to_string(k));
      HostConfig config;
      config.handles = c.mode;
      config.*c.failAt = k;
      HostSession s;
      ASSERT_TRUE(StartSession(&s, AnsweringModule(), config, image));
      int16_t results[2];
      std::vector<uint16_t> afterMenu;
      MenuAndRepeat(&s, results, &afterMenu);
      for (int16_t result : results) {
        EXPECT_TRUE(result == 0 || result == -108 || result == -114) << result;
        failures += result != 0 ? 1 : 0;
      }
      // A run either completes or leaves the image as it was.
      EXPECT_TRUE(afterMenu == (results[0] == 0 ? expected : image.samples));
      EndSession(&s);
      for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
    }
    EXPECT_GE(failures, 3) << c.what;  // the failures did reach the module
  }
}

}  // namespace
