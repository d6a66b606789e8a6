// The host's scripting through a whole run: steps recorded from the
// dialog and played back with, without or silently without it, hosts
// that lack the procedures, and the terminology a host reads. The dialog
// here is the answering one; with "fail -7" a run that opens it fails.
#include <gtest/gtest.h>

#include <set>

#include "params/script_settings.h"
#include "tests/module/run_support.h"

namespace {

constexpr int16_t kDialogShown = -7;

struct Step {
  int16_t result = 0;
  InvocationRecord invocation;
  HostImage document;
  std::vector<std::string> failures;
  std::vector<CapturedDialog> windows;
};

// One invocation in a new session; play: the descriptor handed to it.
Step RunStep(const HostImage &image, HostConfig config, const char *dialog,
             const Descriptor *play,
             InvocationKind kind = InvocationKind::kFromMenu,
             const std::vector<uint8_t> *block = nullptr) {
  Step step;
  HostSession session;
  if (!StartSession(&session, AnsweringModule(), config, image)) return step;
  std::string error;
  if (block) LoadParameterBlock(&session, *block, &error);
  if (play) SetPlaybackDescriptor(&session, *play);
  AnsweringDialog answer(dialog);
  BeginDialogCapture(DialogAnswer::kOk);
  step.result = RunInvocation(&session, kind);
  EndDialogCapture();
  step.windows = TakeCapturedDialogs();
  step.invocation = session.invocations.back();
  step.document = session.document;
  EndSession(&session);
  step.failures = SessionFailures(session);
  return step;
}

Descriptor Text(const char *text) {
  Descriptor d;
  ParseDescriptorText(text, &d, nullptr);
  return d;
}

HostConfig Scripting(ScriptingMode mode, int16_t playInfo) {
  HostConfig config;
  config.scripting = mode;
  config.playInfo = playInfo;
  return config;
}

// playInfo decides once a descriptor is handed; otherwise the module
// behaves as it does in a host without scripting, as it does in hosts
// whose record has no procedures.
TEST(Scripting, TheDialogOpensByHostAndPlayInfo) {
  const Descriptor recorded = Text("TvRd UntF #Pxl 2.5\nTvRs long 70\n");
  const auto full = ScriptingMode::kFull;
  const struct {
    const char *what;
    ScriptingMode mode;
    int16_t playInfo;
    bool play;
    InvocationKind kind;
    bool dialog, recorded;
    bool tornBlock = false;  // the block left by an earlier run unreadable
  } cases[] = {
      {"display", full, kPlayDialogDisplay, true, InvocationKind::kFromMenu,
       true, false},
      {"don't display", full, kPlayDialogDontDisplay, true,
       InvocationKind::kFromMenu, false, true},
      {"don't display, a repeat whose block is unreadable", full,
       kPlayDialogDontDisplay, true, InvocationKind::kRepeat, false, true,
       true},
      {"silent", full, kPlayDialogSilent, true, InvocationKind::kFromMenu,
       false, true},
      {"silent without a descriptor", full, kPlayDialogSilent, false,
       InvocationKind::kFromMenu, false, true},
      {"display without a descriptor, a repeat", full, kPlayDialogDisplay,
       false, InvocationKind::kRepeat, false, true},
      {"no procedures", ScriptingMode::kNoProcs, kPlayDialogDontDisplay, true,
       InvocationKind::kFromMenu, true, false},
      {"no procedures, a repeat", ScriptingMode::kNoProcs, -1, true,
       InvocationKind::kRepeat, false, false},
      {"no scripting", ScriptingMode::kNone, -1, true,
       InvocationKind::kFromMenu, true, false},
      {"record only, don't display", ScriptingMode::kRecordOnly,
       kPlayDialogDontDisplay, true, InvocationKind::kFromMenu, true, false},
      {"record only, a repeat", ScriptingMode::kRecordOnly, -1, true,
       InvocationKind::kRepeat, false, true},
  };
  const HostImage image = MakeTestPattern(40, 30, 3, 8);
  const std::vector<uint8_t> odd = BlockBytes(kOdd);
  const std::vector<uint8_t> torn(odd.begin(), odd.begin() + 8);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const Step step = RunStep(image, Scripting(c.mode, c.playInfo), "fail -7",
                              c.play ? &recorded : nullptr, c.kind,
                              c.tornBlock ? &torn : &odd);
    EXPECT_EQ(step.result, c.dialog ? kDialogShown : 0);
    EXPECT_EQ(step.invocation.recorded, c.recorded);
    EXPECT_EQ(step.failures, std::vector<std::string>());
  }
}

// Two steps recorded from the dialog with different settings, each played
// back without it (don't display, silent) in a new session: the bytes of
// its own recording, at 8 and 16 bits; guard bytes and handles intact.
TEST(Scripting, RecordedStepsReplayToTheSameBytes) {
  const char *const dialogs[] = {"radius 25 spread 80",
                                 "radius 600 response 90"};
  for (int32_t depth : {8, 16}) {
    SCOPED_TRACE(depth);
    const HostImage image = MakeTestPattern(70, 50, 3, depth);
    const HostConfig display = Scripting(ScriptingMode::kFull, -1);
    Step recorded[2];
    for (int i = 0; i < 2; ++i) {
      recorded[i] = RunStep(image, display, dialogs[i], nullptr);
      ASSERT_EQ(recorded[i].result, 0);
      ASSERT_TRUE(recorded[i].invocation.recorded);
      EXPECT_EQ(recorded[i].invocation.recordInfo, kRecordDialogOptional);
    }
    EXPECT_EQ(DescribeDescriptorItem(recorded[0].invocation.record.items[0]),
              "TvRd UntF #Pxl 2.5");
    EXPECT_NE(recorded[0].document.samples, recorded[1].document.samples);
    for (int16_t playInfo : {kPlayDialogDontDisplay, kPlayDialogSilent})
      for (int i = 0; i < 2; ++i) {
        const Step played =
            RunStep(image, Scripting(ScriptingMode::kFull, playInfo), "fail -7",
                    &recorded[i].invocation.record);
        EXPECT_EQ(played.result, 0);
        EXPECT_EQ(played.document.samples, recorded[i].document.samples);
        EXPECT_EQ(played.failures, std::vector<std::string>());
      }
  }
}

// A silent step opens no window, even to say why it failed: the host gets
// a code to report with the message in errorString. Played with display,
// the same failures show their message box.
TEST(Scripting, SilentStepsShowNoWindowEvenWhenTheyFail) {
  const Descriptor recorded = Text("TvRs long 70\n");
  HostConfig lab = Scripting(ScriptingMode::kFull, -1);
  lab.imageMode = kModeLab;
  HostConfig noAdvance = lab;
  noAdvance.imageMode = -1;
  noAdvance.noAdvanceState = true;
  const HostImage image = MakeTestPattern(20, 10, 3, 8);
  for (const HostConfig *failing : {&lab, &noAdvance}) {
    for (int16_t playInfo : {kPlayDialogSilent, kPlayDialogDisplay}) {
      HostConfig config = *failing;
      config.playInfo = playInfo;
      const Step step = RunStep(image, config, "", &recorded);
      const bool silent = playInfo == kPlayDialogSilent;
      EXPECT_EQ(step.windows.size(), silent ? 0u : 1u);
      if (silent)
        EXPECT_EQ(step.result, kErrReportString);
      else
        EXPECT_GT(step.result, 0);
      EXPECT_EQ(step.invocation.calls.back().errorString.empty(), !silent);
    }
  }
}

// The terminology our host reads from the module names the 'hstm' event
// and exactly the settings the module reads: each of its keys, recorded
// as the terminology types it, sets one setting of its own.
TEST(Scripting, TerminologyNamesExactlyTheKeysTheModuleReads) {
  std::string error;
  const ModuleFile &module = ProductModule(&error);
  ASSERT_GE(module.chosen, 0) << error;
  const PiplResource &list = module.pipls[size_t(module.chosen)];
  ASSERT_TRUE(list.terminologyValid) << list.terminologyError;
  const Terminology &terms = list.terminology;
  EXPECT_EQ(terms.eventClass, list.info.termsClass);
  EXPECT_EQ(terms.eventId, list.info.termsEvent);
  EXPECT_EQ(terms.directType, FourCC('#', 'I', 'm', 'R'));
  std::vector<std::string> names;
  Descriptor d;
  for (size_t i = 0; i < terms.parameters.size(); ++i) {
    const TerminologyParameter &p = terms.parameters[i];
    names.push_back(p.name);
    DescriptorItem item;
    item.key = p.key;
    item.type = p.type == kTypeFloat ? kTypeUnitFloat : p.type;
    item.code = kUnitPixels;
    item.integer = int32_t(i) + 1;
    item.number = double(i + 1) / 10;
    d.items.push_back(item);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Radius", "Response", "Spread",
                                             "Red", "Yellow", "Green", "Cyan",
                                             "Blue", "Magenta"}));
  HandleBook book;
  DescriptorSuite suite;
  InitDescriptorSuite(&suite, &book);
  FilterParams params{};
  for (int32_t i = 0; i < kParamCount; ++i) *ParamField(&params, i) = -50;
  EXPECT_EQ(ReadScriptSettings(&suite.readProcs, NewDescriptorHandle(&book, d),
                               &params),
            kParamCount);
  std::set<int32_t> values;
  for (int32_t i = 0; i < kParamCount; ++i)
    values.insert(*ParamField(&params, i));
  EXPECT_EQ(values, (std::set<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  ServeDescriptorSuite(nullptr);
}

}  // namespace
