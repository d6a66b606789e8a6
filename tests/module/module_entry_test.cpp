// The entry point as a host drives it: dispatch, refusal of unknown
// selectors and of a null record, the depth default and prepare. (Finish
// empties the requests: the run tests look after every run.)
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/host.h"
#include "tests/module/run_support.h"

namespace {

class ModuleEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    entry = ProductModule(&error).entry;
    ASSERT_NE(entry, nullptr) << error;
    InitSession(&session, HostConfig(), entry, MakeTestPattern(40, 30, 3, 8));
    BeginInvocation(&session, InvocationKind::kManual);
  }
  void TearDown() override {
    if (entry) {
      EndInvocation(&session, false);
      EndSession(&session);
      EXPECT_TRUE(SessionFailures(session).empty());
    }
  }
  std::vector<unsigned char> RecordBytes() const {
    const unsigned char *p =
        reinterpret_cast<const unsigned char *>(session.record);
    return std::vector<unsigned char>(p, p + session.config.recordSize);
  }
  PluginEntryProc entry = nullptr;
  HostSession session;
};

TEST_F(ModuleEntry, RefusesUnknownSelectorsAndANullRecord) {
  const int16_t selectors[] = {6, -1, 7, 32767, -32768};
  for (int16_t selector : selectors) {
    session.record->depth = 0;  // would become 8 if a handler ran
    std::vector<unsigned char> before = RecordBytes();
    EXPECT_EQ(CallSelector(&session, selector), -30100) << selector;
    EXPECT_EQ(RecordBytes(), before) << selector;
  }
  // A host that passes no record must get an error, not a crash in the
  // module (which would take the host down with it).
  for (int16_t selector = kSelectorAbout; selector <= kSelectorFinish;
       ++selector) {
    int16_t result = 0;
    entry(selector, nullptr, nullptr, &result);
    EXPECT_EQ(result, -30100) << selector;
  }
}

TEST_F(ModuleEntry, PrepareTakesDepthZeroAsEightAndAsksForNoBuffer) {
  const struct {
    int32_t given, seen;
  } cases[] = {{0, 8}, {8, 8}, {16, 16}, {12, 12}};
  for (const auto &c : cases) {
    session.record->depth = c.given;
    EXPECT_EQ(CallSelector(&session, kSelectorPrepare), 0);
    EXPECT_EQ(session.record->depth, c.seen) << c.given;
  }
  // Prepare asks for no buffer space and leaves maxSpace; the data slot
  // may be null, as the module keeps nothing there.
  session.record->bufferSpace = 123456;
  session.record->maxSpace = 7654321;
  int16_t result = 99;
  entry(kSelectorPrepare, session.record, nullptr, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(session.record->bufferSpace, 0);
  EXPECT_EQ(session.record->maxSpace, 7654321);
}

}  // namespace
