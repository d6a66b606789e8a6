// Length-prefixed strings, number text and the parameter record.
#include "params/params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace {

std::string Text(const unsigned char *p) {
  return std::string(reinterpret_cast<const char *>(p + 1), p[0]);
}

void SetText(unsigned char *p, const std::string &s) {
  p[0] = (unsigned char)s.size();
  std::memcpy(p + 1, s.data(), s.size());
}

TEST(PString, AppendAndConvertStopAt255) {
  PString s, piece;
  SetText(s, std::string(250, 'a'));
  SetText(piece, "0123456789");
  PStringAppend(piece, s);
  EXPECT_EQ(Text(s), std::string(250, 'a') + "01234");
  PStringAppend(piece, s);  // full: nothing more fits
  EXPECT_EQ(s[0], 255);

  std::string long_text(300, 'x');
  CToPString(long_text.c_str(), s);
  EXPECT_EQ(Text(s), std::string(255, 'x'));

  char c_text[256];
  SetText(s, "abc");
  PStringToC(s, c_text);
  EXPECT_STREQ(c_text, "abc");
}

TEST(PString, EqualityIsByteForByte) {
  PString a, b;
  SetText(a, "");
  SetText(b, "");
  EXPECT_EQ(PStringEqual(a, b), 1);
  SetText(a, "Reset");
  SetText(b, "reset");
  EXPECT_EQ(PStringEqual(a, b), 0);
  SetText(b, "Reset!");
  EXPECT_EQ(PStringEqual(a, b), 0);  // one character longer
  b[0] = 5;                          // same text once the length says so
  EXPECT_EQ(PStringEqual(a, b), 1);
}

TEST(NumberText, Integers) {
  const struct {
    int32_t value;
    const char *text;
  } cases[] = {{0, "0"},
               {-100, "-100"},
               {1000, "1000"},
               {2147483647, "2147483647"},
               {-2147483647 - 1, "-2147483648"}};
  for (const auto &c : cases) {
    PString s;
    IntToPString(c.value, s);
    EXPECT_EQ(Text(s), c.text) << c.value;
  }
}

TEST(NumberText, FormatsInSinglePrecision) {
  const struct {
    float value;
    int decimals;
    bool forceSign;
    const char *text;
  } cases[] = {
      {1.3f, 1, false, "1.3"},  // slightly below 1.3, still shown as 1.3
      {0.04f, 1, false, "0.0"},
      {100.0f, 1, false, "100.0"},
      {0.0f, 1, true, "+0.0"},
      {-2.5f, 1, false, "-2.5"},
      {1.25f, 1, false, "1.2"},  // the halfway sum rounds down in floats
      {50.0f, 0, false, "50"},
      {-100.0f, 0, true, "-100"},
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
    const char *text;
    float value;
  } cases[] = {
      {"12.5", 12.5f},
      {" - 3,25", -3.25f},
      {"1a2", 12.0f},
      {"-", 0.0f},
      {"1.2.3", 12.3f},
      {"   ", 0.0f},
      {"", 0.0f},
      {"+ 7", 7.0f},
      {"\xCA"
       "5",
       5.0f},
      {"100.0", 100.0f},
      {"-100", -100.0f},
      {".5", 0.5f},
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
  // still make the number they stand for, not infinity over infinity.
  SetText(s, std::string(20, '1') + "." + std::string(45, '2'));
  EXPECT_FLOAT_EQ(PStringToFloat(s), 1.1111111e19f);
}

TEST(NumberText, SwapBytesCopiesAndWorksInPlace) {
  unsigned char a[4] = {1, 2, 3, 4}, b[4] = {};
  SwapBytes32(a, b);
  EXPECT_EQ(std::memcmp(b, "\x04\x03\x02\x01", 4), 0);
  SwapBytes32(a, a);
  EXPECT_EQ(std::memcmp(a, "\x04\x03\x02\x01", 4), 0);
}

TEST(ParamRecord, DefaultsKeepTheNameTail) {
  FilterParams p;
  std::memset(&p, 0x5A, sizeof p);
  SetText(p.name, "A name of twenty-five chr");
  SetDefaultParams(&p);
  EXPECT_EQ(Text(p.name), "Untitled parameters");
  EXPECT_EQ(p.name[20], 'v');  // characters 20 to 25 of the old name stay
  EXPECT_EQ(p.name[25], 'r');
  EXPECT_EQ(p.showDialog, 1);
  EXPECT_EQ(p.radius, 10);
  EXPECT_EQ(p.response, 50);
  EXPECT_EQ(p.spread, 50);
  for (int32_t w : p.colourWeight) EXPECT_EQ(w, 0);
  EXPECT_EQ(p.reserved[0], 0x5A);
}

TEST(ParamRecord, ValidateClampsValuesOnly) {
  FilterParams p{};
  p.showDialog = 7;
  p.radius = 1001;
  p.response = -1;
  p.spread = 101;
  const int32_t weights[6] = {-150, 150, -100, 100, 0, -2147483647 - 1};
  std::memcpy(p.colourWeight, weights, sizeof weights);
  ValidateParams(&p);
  EXPECT_EQ(p.showDialog, 7);
  EXPECT_EQ(p.radius, 1000);
  EXPECT_EQ(p.response, 0);
  EXPECT_EQ(p.spread, 100);
  const int32_t clamped[6] = {-100, 100, -100, 100, 0, -100};
  EXPECT_EQ(std::memcmp(p.colourWeight, clamped, sizeof clamped), 0);
  p.radius = -1;
  ValidateParams(&p);
  EXPECT_EQ(p.radius, 0);
}

TEST(ParamRecord, SwapCopyGivesTheFileImage) {
  FilterParams p{};
  SetDefaultParams(&p);
  p.colourWeight[5] = -2;
  FilterParams file;
  std::memset(&file, 0xEE, sizeof file);
  SwapCopyParams(&p, &file);
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&file);
  EXPECT_EQ(std::memcmp(bytes + 260, "\x00\x00\x00\x0A", 4), 0);
  EXPECT_EQ(std::memcmp(bytes + 0, "\x00\x00\x00\x01", 4), 0);
  EXPECT_EQ(std::memcmp(bytes + 292, "\xFF\xFF\xFF\xFE", 4), 0);
  EXPECT_EQ(Text(file.name), "Untitled parameters");
  EXPECT_EQ(file.name[25], 0xEE);      // past the name: untouched
  EXPECT_EQ(file.reserved[27], 0xEE);  // reserved: untouched
  // Back again, in place, gives the fields we started from.
  SwapCopyParams(&file, &file);
  EXPECT_EQ(std::memcmp(&file, &p, offsetof(FilterParams, name)), 0);
  EXPECT_EQ(std::memcmp(&file.radius, &p.radius,
                        offsetof(FilterParams, reserved) -
                            offsetof(FilterParams, radius)),
            0);
}

TEST(CurrentParams, IndexAddressesTheNineValues) {
  std::memset(&currentParams, 0, sizeof currentParams);
  EXPECT_EQ(GetRadius(), 0);  // zero until the first reset
  ResetCurrentParams();
  for (int32_t i = 0; i < 9; ++i) SetParamByIndex(i, 100 + i);
  EXPECT_EQ(currentParams.radius, 100);
  EXPECT_EQ(currentParams.response, 101);
  EXPECT_EQ(currentParams.spread, 102);
  EXPECT_EQ(currentParams.colourWeight[0], 103);
  EXPECT_EQ(currentParams.colourWeight[5], 108);
  FilterParams before = currentParams;
  EXPECT_EQ(SetParamByIndex(9, 5), 5);
  EXPECT_EQ(SetParamByIndex(-1, 5), 5);
  EXPECT_EQ(std::memcmp(&before, &currentParams, sizeof before), 0);
  EXPECT_EQ(GetParamByIndex(9), 0);
  EXPECT_EQ(GetParamByIndex(-1), 0);
  EXPECT_EQ(GetParamByIndex(8), 108);
}

}  // namespace
