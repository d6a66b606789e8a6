// The property list as a host reads it from the built module files, both
// architectures. (The version resource is checked on the released files,
// by tests/check-archive.)
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/module/run_support.h"

namespace {

std::vector<uint8_t> LittleEndian(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
// A four-character code, stored as a little-endian number.
std::vector<uint8_t> Code(const char *c) {
  return {uint8_t(c[3]), uint8_t(c[2]), uint8_t(c[1]), uint8_t(c[0])};
}
// Padded to a multiple of 4 inside the declared length, with pad.
std::vector<uint8_t> Text(const std::string &s, bool counted, uint8_t pad = 0) {
  std::vector<uint8_t> out(s.begin(), s.end());
  if (counted)
    out.insert(out.begin(), uint8_t(s.size()));
  else if (pad == 0)
    out.push_back(0);
  while (out.size() % 4 != 0) out.push_back(pad);
  return out;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const std::vector<uint8_t> &part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The property list, written out from its description: what a host
// expects to find, independent of how the resource script spells it.
std::vector<uint8_t> ExpectedPipl(const char *codeKey) {
  // Filter case records: source copied to the output for the flat cases
  // (without and with selection) only.
  std::vector<uint8_t> fici;
  for (uint8_t c = 0; c < 7; ++c) fici.insert(fici.end(), {1, 1, c < 2, 0});
  const std::pair<const char *, std::vector<uint8_t>> properties[] = {
      {"kind", Code("8BFM")},
      {"vers", LittleEndian(0x00040000)},
      {"prty", LittleEndian(0)},
      {"catg", Text("Orvanex", true)},
      {"name", Text("Tavorin...", true)},
      {codeKey, Text("ENTRYPOINT", false)},
      // Mode flags: 0x80 >> mode in the first byte for grayscale (1) and
      // RGB (3), 0x80 >> (mode - 8) in the second for gray16 and RGB48.
      {"mode", {0x50, 0x30, 0, 0}},
      {"enbl", Text("(in (PSHOP_ImageMode, RGBMode, RGB48Mode) && "
                    "!(PSHOP_NumTargetChannels < 3)) || "
                    "in (PSHOP_ImageMode, GrayScaleMode, Gray16Mode)",
                    false, ' ')},
      // Scripting terms: version 0, class, event, terminology 16000, an
      // empty scope padded to a multiple of 4.
      {"hstm", Cat({LittleEndian(0), Code("Tvrn"), Code("TvSh"),
                    {0x80, 0x3E, 0, 0}})},
      {"fici", fici},
  };
  std::vector<uint8_t> out = {1, 0, 0, 0, 0, 0, 10, 0, 0, 0};
  for (const auto &p : properties) {
    for (const std::vector<uint8_t> &part :
         {Code("8BIM"), Code(p.first), LittleEndian(0),
          LittleEndian(uint32_t(p.second.size())), p.second})
      out.insert(out.end(), part.begin(), part.end());
  }
  return out;
}

TEST(ModuleFile, PropertyListOfEachArchitecture) {
  const struct {
    const char *variable, *codeKey;
  } cases[] = {{"TAVORIN_MODULE32", "wx86"}, {"TAVORIN_MODULE64", "8664"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.variable);
    HMODULE data = LoadLibraryExA(
        ProductModulePath(c.variable).c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(data, nullptr) << "set " << c.variable;
    HRSRC found = FindResourceA(data, MAKEINTRESOURCEA(16000), "PIPL");
    ASSERT_NE(found, nullptr);
    const uint8_t *pipl =
        static_cast<const uint8_t *>(LockResource(LoadResource(data, found)));
    EXPECT_EQ(std::vector<uint8_t>(pipl, pipl + SizeofResource(data, found)),
              ExpectedPipl(c.codeKey));
    FreeLibrary(data);
  }
}

// A host that steps by the declared lengths without rounding them up
// lists the module as one that rounds does.
TEST(ModuleFile, LooseWalkerListsTheModuleAlike) {
  const std::string path = ProductModulePath();
  ModuleFile rounded, loose;
  std::string error;
  ASSERT_TRUE(ReadModuleFile(path, &rounded, &error)) << error;
  ASSERT_TRUE(ReadModuleFile(path, &loose, &error, PiplWalk::kLoose)) << error;
  EXPECT_EQ(loose.refusal, "");
  EXPECT_EQ(DescribeModuleFile(loose), DescribeModuleFile(rounded));
}

}  // namespace
