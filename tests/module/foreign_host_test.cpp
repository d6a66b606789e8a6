// Hosts unlike Photoshop, as people meet them (their runs are among the
// run tests): parameter blocks too short for the record are replaced,
// never read or written past their end.
#include <gtest/gtest.h>

#include "tests/module/run_support.h"

namespace {

constexpr OSType kOpenHost = FourCC('s', 'p', 'H', 'O');

// A block of 28 bytes that starts like ours: an older module's, or a
// host's own. Reading or writing the record in it would overrun the
// host's memory, which its guard bytes report.
TEST(ForeignHost, ShortBlocksAreReplacedNeverOverrun) {
  const struct {
    const char *what;
    OSType sig;
    InvocationKind kind;
    int16_t result;
  } cases[] = {
      {"from the menu in the imitated host", kOpenHost,
       InvocationKind::kFromMenu, 0},
      {"from the menu in an '8BIM' host", kHostSig8BIM,
       InvocationKind::kFromMenu, 0},
      {"a repeat in the imitated host", kOpenHost, InvocationKind::kRepeat,
       2010},
      {"a repeat in an '8BIM' host", kHostSig8BIM, InvocationKind::kRepeat,
       2010},
  };
  const HostImage image = MakeTestPattern(40, 30, 3, 8);
  std::vector<uint8_t> shortBlock = BlockBytes(kOdd);
  shortBlock.resize(28);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    RemoveSettingsTree(SettingsFolder());  // a new block holds the defaults
    HostConfig config;
    config.hostSig = c.sig;
    if (c.sig == kOpenHost)
      config.requests = RequestBehaviour::kClipLikeOpenHost;
    HostSession s;
    ASSERT_TRUE(StartSession(&s, AnsweringModule(), config, image));
    std::string error;
    ASSERT_TRUE(LoadParameterBlock(&s, shortBlock, &error));
    const AnsweringDialog ok("");
    EXPECT_EQ(RunInvocation(&s, c.kind), c.result);
    if (c.result == 0) {
      EXPECT_TRUE(s.document.samples ==
                  Reference(image, WholeImage(image), ReferenceSettings()));
    } else {
      EXPECT_TRUE(s.document.samples == image.samples);
      EXPECT_TRUE(s.invocations.back().progress.empty());
    }
    if (c.sig == kHostSig8BIM && c.result == 0) {
      // The replacement is a whole block of ours, the dialog's OK in it.
      std::vector<uint8_t> held;
      ASSERT_TRUE(ReadParameterBlock(&s, &held, &error)) << error;
      ASSERT_EQ(held.size(), sizeof(ParamBlock));
      EXPECT_EQ(HeldBlock(&s).signature, kBlockSignature);
      EXPECT_EQ(HeldBlock(&s).params.showDialog, 0);
    }
    EndSession(&s);
    for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
  }
  RemoveSettingsTree(SettingsFolder());
}

}  // namespace
