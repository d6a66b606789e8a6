// The block as files hold it, and the settings path built piece by piece.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "params/params.h"

namespace {

uint32_t BigEndianAt(const unsigned char *bytes, size_t offset) {
  return uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 |
         uint32_t(bytes[offset + 2]) << 8 | uint32_t(bytes[offset + 3]);
}

ParamBlock BlockWith(int32_t radius, int32_t weight5) {
  ParamBlock block;
  std::memset(&block, 0x5A, sizeof block);  // as a host's new handle
  InitParamBlockHeader(&block);
  block.params.radius = radius;
  block.params.colourWeight[5] = weight5;
  return block;
}

TEST(BlockFile, EncodesBigEndianWithZerosWhereTheBlockHasNoField) {
  const ParamBlock block = BlockWith(-2, -100);
  unsigned char image[kBlockFileBytes];
  std::memset(image, 0xEE, sizeof image);
  EncodeBlockFile(&block, image);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(image), 8), "TVR Prms");
  EXPECT_EQ(BigEndianAt(image, 8), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(image) + 12, 4), "lmq ");
  EXPECT_EQ(BigEndianAt(image, 24), 1u);  // showDialog
  EXPECT_EQ(BigEndianAt(image, 284), uint32_t(-2));
  EXPECT_EQ(BigEndianAt(image, 316), uint32_t(-100));
  EXPECT_EQ(image[28], 19);
  // Past the name's 19 characters and in the reserved bytes: zeros, not
  // the block's 0x5A.
  EXPECT_EQ(std::vector<unsigned char>(image + 48, image + 284),
            std::vector<unsigned char>(236, 0));
  EXPECT_EQ(std::vector<unsigned char>(image + 320, image + 348),
            std::vector<unsigned char>(28, 0));
}

TEST(BlockFile, DecodesOnlyAWholeImageOfOurs) {
  const ParamBlock written = BlockWith(370, 42);
  std::vector<unsigned char> image(400, 0x77);  // a longer file
  EncodeBlockFile(&written, image.data());
  const struct {
    const char *what;
    size_t offset;  // a byte to change, or npos
    unsigned char value;
    int32_t count;
    bool taken;
  } cases[] = {
      {"whole, with bytes after it", std::string::npos, 0, 400, true},
      {"one byte short", std::string::npos, 0, 347, false},
      {"empty", std::string::npos, 0, 0, false},
      {"another signature", 0, 'X', 348, false},
      {"another kind", 7, 'X', 348, false},
      {"version 3", 11, 3, 348, false},
      {"another creator: not tested", 12, 'X', 348, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> bytes = image;
    if (c.offset != std::string::npos) bytes[c.offset] = c.value;
    ParamBlock block = BlockWith(10, 0);
    block.reserved1 = 99;
    EXPECT_EQ(DecodeBlockFile(bytes.data(), c.count, &block), c.taken);
    EXPECT_EQ(block.params.radius, c.taken ? 370 : 10);
    EXPECT_EQ(block.params.colourWeight[5], c.taken ? 42 : 0);
    EXPECT_EQ(block.reserved1, 99u);  // the header is the block's own
  }
}

TEST(SettingsPath, PiecesStayTerminatedAndNeverCutShort) {
  const struct {
    std::string base, expected;
  } cases[] = {
      {"C:\\Users\\ann\\AppData", "C:\\Users\\ann\\AppData\\lattimerworkshops"},
      {"C:\\", "C:\\lattimerworkshops"},
  };
  for (const auto &c : cases) {
    PString path = {0};
    ASSERT_TRUE(AppendPathText(c.base.c_str(), path));
    ASSERT_TRUE(EndPathWithBackslash(path));
    ASSERT_TRUE(AppendPathText("lattimerworkshops", path));
    EXPECT_EQ(std::string(PathText(path)), c.expected);
    EXPECT_EQ(path[0], c.expected.size());
  }
  PString path = {0};
  ASSERT_TRUE(AppendPathText(std::string(250, 'a').c_str(), path));
  EXPECT_FALSE(AppendPathText("\\Tavorin", path));  // would not fit whole
  EXPECT_EQ(std::string(PathText(path)), std::string(250, 'a'));
  EXPECT_TRUE(AppendPathText("\\abc", path));  // 254 characters and the NUL
  EXPECT_FALSE(EndPathWithBackslash(path));
}

}  // namespace
