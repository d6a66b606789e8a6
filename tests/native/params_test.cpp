// Length-prefixed strings, number text, the parameter record and the
// block as files hold it. (Which files are read back, and the settings
// path's pieces, are left to the settings_file fuzz target.)
#include "params/params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string Text(const unsigned char *p) {
  return std::string(reinterpret_cast<const char *>(p + 1), p[0]);
}

void SetText(unsigned char *p, const std::string &s) {
  p[0] = (unsigned char)s.size();
  std::memcpy(p + 1, s.data(), s.size());
}

TEST(PString, AppendStopsAt255AndEqualityIsByteForByte) {
  PString s, piece;
  SetText(s, std::string(250, 'a'));
  SetText(piece, "0123456789");
  PStringAppend(piece, s);
  EXPECT_EQ(Text(s), std::string(250, 'a') + "01234");

  const struct {
    const char *other;
    int equal;
  } cases[] = {{"Reset", 1}, {"reset", 0}, {"Reset!", 0}, {"Rese", 0}};
  for (const auto &c : cases) {
    PString a, b;
    SetText(a, "Reset");
    SetText(b, c.other);
    EXPECT_EQ(PStringEqual(a, b), c.equal) << c.other;
  }
}

TEST(NumberText, WritesWhatTheBoxesShow) {
  for (int32_t value : {0, -100, 2147483647, -2147483647 - 1}) {
    PString s;
    IntToPString(value, s);
    EXPECT_EQ(Text(s), std::to_string(value));
  }
  const struct {
    float value;
    int decimals;
    bool forceSign;
    const char *text;
  } cases[] = {
      {1.3f, 1, false, "1.3"},  // slightly below 1.3, still shown as 1.3
      {0.0f, 1, true, "+0.0"},
      {-2.5f, 1, false, "-2.5"},
      {1.25f, 1, false, "1.2"},  // the halfway sum rounds down in floats
      {7.0f, 0, true, "+7"},
      {99.96f, 1, false, "100.0"},
      {0.125f, 3, false, "0.125"},
      // Past int32 the whole part saturates instead of wrapping.
      {3e9f, 1, false, "2147483647.0"},
      {-1e30f, 0, false, "-2147483647"},
      {std::numeric_limits<float>::infinity(), 0, true, "+2147483647"},
  };
  for (const auto &c : cases) {
    PString s;
    FloatToPString(c.value, c.decimals, s, c.forceSign);
    EXPECT_EQ(Text(s), c.text) << c.value << " with " << c.decimals;
  }
}

TEST(NumberText, ParsesWhatUsersType) {
  const struct {
    std::string text;
    float value;
  } cases[] = {
      {" - 3,25", -3.25f}, {"1a2", 12.0f}, {"-", 0.0f},        {"1.2.3", 12.3f},
      {"", 0.0f},          {"+ 7", 7.0f},  {"\xCA\x35", 5.0f}, {".5", 0.5f},
  };
  for (const auto &c : cases) {
    PString s;
    SetText(s, c.text);
    EXPECT_EQ(PStringToFloat(s), c.value) << '"' << c.text << '"';
  }
  // A box full of digits neither overflows nor goes negative.
  PString s;
  SetText(s, std::string(255, '9'));
  EXPECT_GT(PStringToFloat(s), 1e30f);
  // Digits beyond single precision's range on both sides of the division
  // still make their number, not infinity over infinity.
  SetText(s, std::string(20, '1') + "." + std::string(45, '2'));
  EXPECT_FLOAT_EQ(PStringToFloat(s), 1.1111111e19f);
}

TEST(ParamRecord, DefaultsKeepTheNameTailAndValidateClampsValuesOnly) {
  FilterParams p;
  std::memset(&p, 0x5A, sizeof p);
  SetText(p.name, "A name of twenty-five chr");
  SetDefaultParams(&p);
  EXPECT_EQ(Text(p.name), "Untitled parameters");
  EXPECT_EQ(p.name[20], 'v');  // characters 20 to 25 of the old name stay
  EXPECT_EQ(p.reserved[0], 0x5A);
  const int32_t defaults[9] = {10, 50, 50, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&p.radius, defaults, sizeof defaults), 0);
  EXPECT_EQ(p.showDialog, 1);

  const struct {
    int32_t in[9], out[9];  // radius, response, spread, six weights
  } cases[] = {
      {{1001, -1, 101, -150, 150, -100, 100, 0, -2147483647 - 1},
       {1000, 0, 100, -100, 100, -100, 100, 0, -100}},
      {{-1, 101, 99, 1, 2, 3, 4, 5, 6}, {0, 100, 99, 1, 2, 3, 4, 5, 6}},
  };
  for (const auto &c : cases) {
    std::memcpy(&p.radius, c.in, sizeof c.in);
    p.showDialog = 7;
    ValidateParams(&p);
    EXPECT_EQ(std::memcmp(&p.radius, c.out, sizeof c.out), 0) << c.in[0];
    EXPECT_EQ(p.showDialog, 7);
  }
}

TEST(CurrentParams, IndexAddressesTheNineValues) {
  ResetCurrentParams();
  for (int32_t i = 0; i < 9; ++i) SetParamByIndex(i, 100 + i);
  const int32_t expected[9] = {100, 101, 102, 103, 104, 105, 106, 107, 108};
  EXPECT_EQ(std::memcmp(&currentParams.radius, expected, sizeof expected), 0);
  for (int32_t i = 0; i < 9; ++i) EXPECT_EQ(GetParamByIndex(i), 100 + i);
}

TEST(BlockFile, EncodesBigEndianWithZerosWhereTheBlockHasNoField) {
  ParamBlock block;
  std::memset(&block, 0x5A, sizeof block);  // as a host's new handle
  InitParamBlockHeader(&block);
  block.params.radius = -2;
  block.params.colourWeight[5] = -100;
  std::vector<unsigned char> image(kBlockFileBytes, 0xEE);
  EncodeBlockFile(&block, image.data());
  std::vector<unsigned char> expected(kBlockFileBytes, 0);
  const char header[] = "TVR Prms\0\0\0\4lmq ";
  std::memcpy(expected.data(), header, 16);
  expected[27] = 1;  // showDialog
  expected[28] = 19;
  std::memcpy(&expected[29], "Untitled parameters", 19);
  std::memcpy(&expected[284], "\xFF\xFF\xFF\xFE\0\0\0\x32\0\0\0\x32", 12);
  std::memcpy(&expected[316], "\xFF\xFF\xFF\x9C", 4);
  EXPECT_EQ(image, expected);
}

}  // namespace
