// The host's property list reader: what it decodes from a well-formed
// list, and that every malformed or truncated list is refused with a
// reason instead of being read past its end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/pipl.h"

namespace {

struct Prop {
  std::string key; // first character first, e.g. "kind"
  std::vector<uint8_t> data;
  std::string vendor = "8BIM";
};

void PutLE32(std::vector<uint8_t> *out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out->push_back(uint8_t(v >> (8 * i)));
}

// Codes are stored as little-endian integers: "8BIM" becomes "MIB8".
void PutCode(std::vector<uint8_t> *out, const std::string &code) {
  for (int i = 3; i >= 0; --i)
    out->push_back(uint8_t(code[size_t(i)]));
}

constexpr int64_t kCountOfProps = INT64_MIN;

std::vector<uint8_t> Build(const std::vector<Prop> &props,
                           int64_t count = kCountOfProps, int32_t version = 0) {
  std::vector<uint8_t> out = {1, 0};
  PutLE32(&out, uint32_t(version));
  PutLE32(&out,
          uint32_t(count == kCountOfProps ? int64_t(props.size()) : count));
  for (const Prop &p : props) {
    PutCode(&out, p.vendor);
    PutCode(&out, p.key);
    PutLE32(&out, 0);
    PutLE32(&out, uint32_t(p.data.size()));
    out.insert(out.end(), p.data.begin(), p.data.end());
    while (out.size() % 4 != 2) // data padded to 4 from the 10-byte header
      out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> Bytes(const std::string &s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> PString(const std::string &s) {
  std::vector<uint8_t> out = {uint8_t(s.size())};
  out.insert(out.end(), s.begin(), s.end());
  return out;
}

std::vector<uint8_t> Entry(const std::string &s) {
  std::vector<uint8_t> out = Bytes(s);
  out.push_back(0);
  return out;
}

std::vector<uint8_t> LE32(uint32_t v) {
  std::vector<uint8_t> out;
  PutLE32(&out, v);
  return out;
}

// The seven filter cases: flat ones with the do-not-copy flag.
std::vector<uint8_t> Fici() {
  std::vector<uint8_t> out;
  for (int i = 0; i < 7; ++i) {
    std::vector<uint8_t> r = {1, 1, uint8_t(i < 2 ? 1 : 0), 0};
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

const std::string kEnable = "in (PSHOP_ImageMode, RGBMode, RGB48Mode) && "
                            "!(PSHOP_NumTargetChannels < 3)";

std::vector<Prop> ProductLikeList() {
  return {
      {"kind", Bytes("MFB8")},
      {"vers", LE32(0x00040000)},
      {"prty", LE32(0)},
      {"catg", PString("Orvanex")},
      {"name", PString("Tavorin...")},
      {"wx86", Entry("ENTRYPOINT")},
      {"mode", {0x10, 0x10}},
      {"enbl", Bytes(kEnable)},
      {"fici", Fici()},
  };
}

bool Parse(const std::vector<uint8_t> &bytes, PiplInfo *info,
           std::string *error) {
  return ParsePipl(bytes.data(), bytes.size(), info, error);
}

TEST(HostPipl, DecodesEveryPropertyOfAFilterList) {
  PiplInfo info;
  std::string error;
  ASSERT_TRUE(Parse(Build(ProductLikeList()), &info, &error)) << error;
  EXPECT_EQ(info.properties.size(), 9u);
  EXPECT_EQ(info.kind, 0x3842464Du); // '8BFM'
  EXPECT_EQ(info.interfaceVersion, 0x00040000);
  EXPECT_EQ(info.category, "Orvanex");
  EXPECT_EQ(info.name, "Tavorin...");
  ASSERT_NE(CodeEntryFor(info, CodeArch::kX86), nullptr);
  EXPECT_EQ(*CodeEntryFor(info, CodeArch::kX86), "ENTRYPOINT");
  EXPECT_EQ(CodeEntryFor(info, CodeArch::kX64), nullptr);
  EXPECT_EQ(info.enable, kEnable);
  // Mode flags: RGB in the first byte, RGB48 in the second.
  EXPECT_TRUE(PiplSupportsMode(info, 3));
  EXPECT_TRUE(PiplSupportsMode(info, 11));
  EXPECT_FALSE(PiplSupportsMode(info, 1));
  EXPECT_FALSE(PiplSupportsMode(info, 10));
  ASSERT_EQ(info.ficiCount, 7);
  EXPECT_EQ(FilterCaseFor(info, 1)->flags1, 1);
  EXPECT_EQ(FilterCaseFor(info, 2)->flags1, 1);
  EXPECT_EQ(FilterCaseFor(info, 3)->flags1, 0);
  EXPECT_EQ(FilterCaseFor(info, 8), nullptr);
  EXPECT_NE(DescribePipl(info, "").find("category: \"Orvanex\""),
            std::string::npos);
}

TEST(HostPipl, EachArchitectureGetsItsOwnDescriptorAndTheFirstWins) {
  std::vector<Prop> props = {
      {"kind", Bytes("MFB8")},
      {"8664", Entry("Entry64")},
      {"wx86", Entry("Entry32")},
      {"8664", Entry("Later64")},
      // Another vendor's keys are kept but mean nothing to the host.
      {"name", PString("Other"), "ABCD"},
  };
  PiplInfo info;
  std::string error;
  ASSERT_TRUE(Parse(Build(props), &info, &error)) << error;
  EXPECT_EQ(*CodeEntryFor(info, CodeArch::kX64), "Entry64");
  EXPECT_EQ(*CodeEntryFor(info, CodeArch::kX86), "Entry32");
  EXPECT_FALSE(info.hasName);
  EXPECT_EQ(info.properties.size(), 5u);
}

TEST(HostPipl, AcceptsALastPropertyWithoutItsPadding) {
  std::vector<uint8_t> bytes = Build({{"name", PString("Ab")}});
  bytes.resize(bytes.size() - 1); // 3 data bytes and no pad byte
  PiplInfo info;
  std::string error;
  ASSERT_TRUE(Parse(bytes, &info, &error)) << error;
  EXPECT_EQ(info.name, "Ab");
}

// Properties of no data have no buffer behind them: nothing may be
// searched in it.
TEST(HostPipl, ReadsAnEmptyEnableExpression) {
  PiplInfo info;
  std::string error;
  ASSERT_TRUE(Parse(Build({{"enbl", {}}}), &info, &error)) << error;
  EXPECT_TRUE(info.hasEnable);
  EXPECT_EQ(info.enable, "");
}

TEST(HostPipl, RefusesMalformedListsWithAReason) {
  struct Case {
    const char *fault;
    std::vector<uint8_t> bytes;
    const char *reason;
  };
  std::vector<uint8_t> header9 = Build({});
  header9.resize(9);
  std::vector<uint8_t> shortHeader =
      Build({{"vers", std::vector<uint8_t>(16, 0)}, {"prty", LE32(0)}});
  shortHeader.resize(10 + 16 + 16 + 8); // second header cut to 8 bytes
  std::vector<uint8_t> longData = Build({{"kind", Bytes("MFB8")}});
  longData[10 + 12] = 100; // length field of the first property
  const Case cases[] = {
      {"header cut", header9, "shorter than its 10-byte header"},
      {"unknown version", Build({}, kCountOfProps, 1), "version 1, expected 0"},
      {"count beyond the data", Build({{"kind", Bytes("MFB8")}}, 2),
       "declares 2 properties, room for at most 1"},
      {"negative count", Build({}, -2), "declares -2 properties"},
      {"property header cut", shortHeader, "header runs past the end"},
      {"data length beyond the list", longData, "declares 100 bytes"},
      {"string longer than its data", Build({{"catg", {9, 'A', 'B'}}}),
       "string of 9 characters in 3 bytes"},
      {"empty string property", Build({{"name", {}}}), "is empty"},
      {"entry without terminator", Build({{"8664", Bytes("ENTRY")}}),
       "has no terminated name"},
      {"entry without a name", Build({{"wx86", {0, 0, 0, 0}}}),
       "names no entry"},
      {"entry of no bytes", Build({{"wx86", {}}}), "has no terminated name"},
      {"kind too short", Build({{"kind", {'M', 'F'}}}), "needs 4"},
      {"mode too short", Build({{"mode", {0x10}}}), "fewer than 2 bytes"},
      {"fici of partial records", Build({{"fici", std::vector<uint8_t>(27)}}),
       "not a whole number"},
  };
  for (const Case &c : cases) {
    PiplInfo info;
    std::string error;
    EXPECT_FALSE(Parse(c.bytes, &info, &error)) << c.fault;
    EXPECT_NE(error.find(c.reason), std::string::npos)
        << c.fault << ": " << error;
  }
}

TEST(HostPipl, RefusesEveryTruncationOfAValidList) {
  // The list ends with a whole 28-byte record, so no cut is harmless;
  // under the sanitizers this also proves no read past the given size.
  std::vector<uint8_t> full = Build(ProductLikeList());
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + long(n));
    PiplInfo info;
    std::string error;
    EXPECT_FALSE(Parse(cut, &info, &error)) << "cut to " << n << " bytes";
  }
}

TEST(HostPipl, NamesCodesReadably) {
  EXPECT_EQ(FourCCText(0x3842494D), "8BIM");
  EXPECT_EQ(FourCCText(0x41420A43), "AB\\x0AC");
}

} // namespace
