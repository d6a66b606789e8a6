// The settings in a host's descriptor: the module's reading and writing
// through our host's descriptor procedures, and which hosts it trusts
// with them. (The run around them is the module tests'.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/descriptors.h"
#include "params/script_settings.h"

namespace {

// Radius in tenths, response, spread, the six weights.
using Nine = std::vector<int32_t>;
const Nine kBefore = {37, 77, 13, 17, -42, 99, -100, 63, -7};

FilterParams ParamsOf(const Nine &nine) {
  FilterParams p;
  SetDefaultParams(&p);
  for (int32_t i = 0; i < kParamCount; ++i) *ParamField(&p, i) = nine[i];
  return p;
}

Nine NineOf(FilterParams p) {
  Nine nine;
  for (int32_t i = 0; i < kParamCount; ++i) nine.push_back(*ParamField(&p, i));
  return nine;
}

// The host and its suite for one read or write; faults found on the way
// (handles left, guard bytes, readers left open) end up in failures.
struct Host {
  HandleBook book;
  DescriptorSuite suite;
  Host() { InitDescriptorSuite(&suite, &book); }
  ~Host() { ServeDescriptorSuite(nullptr); }
  std::vector<std::string> Failures(Handle keep) {
    CheckDescriptorsAfterInvocation(&suite);
    CheckHandlesAfterInvocation(&book, keep);
    std::vector<std::string> all = book.failures;
    all.insert(all.end(), suite.failures.begin(), suite.failures.end());
    return all;
  }
};

TEST(ScriptSettings, ReadsKnownKeysAsTheDialogTakesTypedValues) {
  const struct {
    const char *what;
    const char *text;
    Nine after;
    int32_t taken;
  } cases[] = {
      {"missing keys keep their values",
       "TvRs long 20\n",
       {37, 20, 13, 17, -42, 99, -100, 63, -7},
       1},
      {"out of range: the nearest end",
       "TvRd UntF #Pxl 250\nTvRs long -5\nTvWR long 101\n"
       "TvWM long -2147483648\nTvSp long 2147483647\n",
       {1000, 0, 100, 100, -42, 99, -100, 63, -100},
       5},
      {"radius 0.3 is 3 tenths, not 2.99...",
       "TvRd UntF #Pxl 0.3\n",
       {3, 77, 13, 17, -42, 99, -100, 63, -7},
       1},
      {"radius truncated to tenths",
       "TvRd UntF #Pxl 12.38\n",
       {123, 77, 13, 17, -42, 99, -100, 63, -7},
       1},
      {"negative radius",
       "TvRd UntF #Pxl -0.04\n",
       {0, 77, 13, 17, -42, 99, -100, 63, -7},
       1},
      {"wrong types, units and no number skipped",
       "TvRd doub 2\nTvRd UntF #Prc 50\nTvRs doub 20\nTvSp UntF #Pxl 3\n"
       "TvWR bool true\nTvWY TEXT \"40\"\nTvRd UntF #Pxl nan\n",
       kBefore, 0},
      {"a key given twice: the last",
       "TvRs long 20\nTvWG long 5\nTvRs long 30\n",
       {37, 30, 13, 17, -42, 5, -100, 63, -7},
       3},
      {"other keys skipped",
       "Zzzz long 5\nTvSp long 60\nTvWB enum Abcd Efgh\n",
       {37, 77, 60, 17, -42, 99, -100, 63, -7},
       1},
      {"no keys at all", "", kBefore, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    Host host;
    Descriptor d;
    ASSERT_EQ(ParseDescriptorText(c.text, &d, nullptr), 0);
    Handle h = NewDescriptorHandle(&host.book, d);
    FilterParams params = ParamsOf(kBefore);
    EXPECT_EQ(ReadScriptSettings(&host.suite.readProcs, h, &params), c.taken);
    EXPECT_EQ(NineOf(params), c.after);
    EXPECT_EQ(host.Failures(h), std::vector<std::string>());
  }
}

// Written as the text form shows it (radius in pixels), and read back the
// same: a recorded step plays the settings it recorded.
TEST(ScriptSettings, RecordsEverySettingAndReadsItBack) {
  Host host;
  const FilterParams recorded =
      ParamsOf({3, 100, 0, -100, 100, 1, -1, 50, -50});
  Handle h = nullptr;
  ASSERT_EQ(WriteScriptSettings(&host.suite.writeProcs, &recorded, &h), 0);
  Descriptor d;
  ASSERT_TRUE(ReadDescriptorHandle(host.book, h, &d));
  EXPECT_EQ(DescriptorText(d),
            "TvRd UntF #Pxl 0.3\nTvRs long 100\nTvSp long 0\nTvWR long -100\n"
            "TvWY long 100\nTvWG long 1\nTvWC long -1\nTvWB long 50\n"
            "TvWM long -50\n");
  FilterParams played = ParamsOf(kBefore);
  EXPECT_EQ(ReadScriptSettings(&host.suite.readProcs, h, &played), 9);
  EXPECT_EQ(NineOf(played), NineOf(recorded));
  EXPECT_EQ(host.Failures(h), std::vector<std::string>());
}

// A host that lacks any part the module calls is one without scripting.
TEST(ScriptSettings, OnlyHostsWithEveryProcedureAreUsed) {
  const struct {
    const char *what;
    void (*spoil)(PIDescriptorParameters *, ReadDescriptorProcs *,
                  WriteDescriptorProcs *);
    bool usable;
  } cases[] = {
      {"complete", [](auto, auto, auto) {}, true},
      {"record version 1",
       [](auto p, auto, auto) { p->descriptorParametersVersion = 1; }, false},
      {"no read table", [](auto p, auto, auto) { p->readDescriptorProcs = {}; },
       false},
      {"no write table",
       [](auto p, auto, auto) { p->writeDescriptorProcs = {}; }, false},
      {"17 read procedures",
       [](auto, auto r, auto) { r->numReadDescriptorProcs = 17; }, false},
      {"write table version 1",
       [](auto, auto, auto w) { w->writeDescriptorProcsVersion = 1; }, false},
      {"no getUnitFloat",
       [](auto, auto r, auto) { r->getUnitFloatProc = nullptr; }, false},
      {"no putInteger", [](auto, auto, auto w) { w->putIntegerProc = nullptr; },
       false},
  };
  for (const auto &c : cases) {
    Host host;
    PIDescriptorParameters p{};
    p.readDescriptorProcs = &host.suite.readProcs;
    p.writeDescriptorProcs = &host.suite.writeProcs;
    c.spoil(&p, &host.suite.readProcs, &host.suite.writeProcs);
    FilterRecord record{};
    record.descriptorParameters = &p;
    EXPECT_EQ(UsableScripting(&record) != nullptr, c.usable) << c.what;
  }
  FilterRecord none{};
  EXPECT_EQ(UsableScripting(&none), nullptr);
}

}  // namespace
