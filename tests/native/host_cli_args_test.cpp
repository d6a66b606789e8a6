// The host program's command line and the text helpers it relies on:
// Linux paths handed over under Wine, the option values that configure
// the host, and the messages for bad usage.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/cli_args.h"
#include "host/image.h"
#include "host/text.h"

namespace {

TEST(HostCliArgs, ConfiguresTheHost) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"/tmp/build/Tavorin64.8bf",
                                "--run",
                                "--repeat",
                                "--in",
                                "/tmp/a.png",
                                "--out",
                                "C:\\out.tif",
                                "--depth",
                                "16",
                                "--planes",
                                "4",
                                "--host-sig",
                                "spHO",
                                "--rect",
                                "1,2,30,40",
                                "--handles",
                                "five",
                                "--handles",
                                "newfail:3",
                                "--handles",
                                "lockfail",
                                "--abort-at",
                                "2",
                                "--advance-fail-at",
                                "5:-1234",
                                "--padding",
                                "clip",
                                "--column-bytes-zero",
                                "--null-parameters",
                                "--unattended",
                                "--dialog",
                                "ok",
                                "--load-block",
                                "/tmp/b.bin"},
                               &o, &error))
      << error;
  EXPECT_EQ(o.modulePath, "Z:\\tmp\\build\\Tavorin64.8bf");
  EXPECT_EQ(o.inPath, "Z:\\tmp\\a.png");
  EXPECT_EQ(o.outPath, "C:\\out.tif");
  EXPECT_EQ(o.loadBlock, "Z:\\tmp\\b.bin");
  EXPECT_TRUE(o.run && o.repeat && o.unattended && !o.piplOnly);
  EXPECT_EQ(o.depth, 16);
  EXPECT_EQ(o.planes, 4);
  EXPECT_EQ(o.config.hostSig, 0x7370484Fu); // 'spHO', 's' most significant
  ASSERT_TRUE(o.config.hasFilterRect);
  EXPECT_EQ(o.config.filterRect.top, 1);
  EXPECT_EQ(o.config.filterRect.left, 2);
  EXPECT_EQ(o.config.filterRect.bottom, 30);
  EXPECT_EQ(o.config.filterRect.right, 40);
  EXPECT_EQ(o.config.handles, HandleSuiteMode::kFiveProcs);
  EXPECT_EQ(o.config.newFailAt, 3);
  EXPECT_EQ(o.config.lockFailAt, kAlways);
  EXPECT_EQ(o.config.abortAt, 2);
  EXPECT_EQ(o.config.advanceFailAt, 5);
  EXPECT_EQ(o.config.advanceFailCode, -1234);
  EXPECT_EQ(o.config.requests, RequestBehaviour::kClipLikeOpenHost);
  EXPECT_TRUE(o.config.columnBytesZero && o.config.nullParameters);
  EXPECT_EQ(o.dialogAnswer, DialogAnswer::kOk);
}

TEST(HostCliArgs, AModuleAloneOnlyPrintsItsPropertyList) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"m.8bf"}, &o, &error));
  EXPECT_TRUE(o.piplOnly);
  EXPECT_EQ(o.modulePath, "m.8bf");
}

TEST(HostCliArgs, RefusesBadUsageWithTheReason) {
  struct Case {
    std::vector<std::string> args;
    const char *reason;
  };
  const Case cases[] = {
      {{"--run"}, "no module given"},
      {{"a.8bf", "b.8bf"}, "more than one module"},
      {{"a.8bf", "--frobnicate"}, "unknown option --frobnicate"},
      {{"a.8bf", "--in"}, "--in needs a value"},
      {{"a.8bf", "--depth", "12"}, "--depth: 8 or 16"},
      {{"a.8bf", "--depth", "x"}, "expected a number"},
      {{"a.8bf", "--host-sig", "8BI"}, "four characters"},
      {{"a.8bf", "--rect", "0,0,10"}, "--rect"},
      {{"a.8bf", "--rect", "5,0,5,10"}, "non-empty"},
      {{"a.8bf", "--rect", "0,0,10,40000"}, "--rect"},
      {{"a.8bf", "--handles", "newfail:0"}, "--handles"},
      {{"a.8bf", "--handles", "sometimes"}, "--handles"},
      {{"a.8bf", "--advance-fail-at", "3:0"}, "CODE non-zero"},
      {{"a.8bf", "--padding", "zero"}, "replicate or clip"},
      {{"a.8bf", "--size", "10by10"}, "WIDTHxHEIGHT"},
  };
  for (const Case &c : cases) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, &o, &error)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos)
        << c.reason << " vs " << error;
  }
}

TEST(HostText, EscapesWhatWouldBreakALine) {
  EXPECT_EQ(EscapeText("a\rb\n\"c\"\\\x01\xE9"),
            "a\\rb\\n\\\"c\\\"\\\\\\x01\\xE9");
  EXPECT_EQ(MapUnixPath("relative/x"), "relative/x");
}

TEST(HostImage, SixteenBitFileSamplesRoundTripThroughTheHostRange) {
  EXPECT_EQ(FileToHost16(0), 0);
  EXPECT_EQ(FileToHost16(65535), kHostMax16);
  EXPECT_EQ(HostToFile16(kHostMax16), 65535);
  EXPECT_EQ(HostToFile16(16384), 32768);
  for (uint32_t v = 0; v <= kHostMax16; ++v)
    ASSERT_EQ(FileToHost16(HostToFile16(uint16_t(v))), v) << v;
  HostImage gray = MakeImage(256, 1, 1, 8);
  for (int x = 0; x < 256; ++x)
    SampleAt(gray, x, 0, 0) = uint16_t(x);
  EXPECT_EQ(WithDepth(WithDepth(gray, 16), 8).samples, gray.samples);
  EXPECT_EQ(SampleAt(WithDepth(gray, 16), 255, 0, 0), kHostMax16);
}

} // namespace
