// The property list and version as a host reads them from
// the built module files, both architectures.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "host/module_file.h"
#include "tavorin_version.h"
#include "tests/module/product_module.h"

namespace {

// The property list, written out from its description: what a host
// expects to find, independent of how the resource script spells it.
struct PiplWriter {
  std::vector<uint8_t> bytes;
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> 8 * i));
  }
  static uint32_t Code(const char *c) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
           uint32_t(uint8_t(c[2])) << 8 | uint32_t(uint8_t(c[3]));
  }
  void Property(const char *key, const std::vector<uint8_t> &data) {
    U32(Code("8BIM"));
    U32(Code(key));
    U32(0);
    U32(uint32_t(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    while (bytes.size() % 4 != 2) bytes.push_back(0);  // after the 2-byte lead
  }
  void Property(const char *key, uint32_t v) {
    Property(key,
             {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  }
  void Property(const char *key, const std::string &s, bool counted) {
    std::vector<uint8_t> data(s.begin(), s.end());
    if (counted)
      data.insert(data.begin(), uint8_t(s.size()));
    else
      data.push_back(0);
    Property(key, data);
  }
};

std::vector<uint8_t> ExpectedPipl(const char *codeKey) {
  PiplWriter w;
  w.bytes = {1, 0};
  w.U32(0);
  w.U32(9);
  w.Property("kind", PiplWriter::Code("8BFM"));
  w.Property("vers", 0x00040000);
  w.Property("prty", 0);
  w.Property("catg", "Orvanex", true);
  w.Property("name", "Tavorin...", true);
  w.Property(codeKey, "ENTRYPOINT", false);
  // Mode flags: RGB is 0x10 of the first byte, RGB48 0x10 of the second.
  w.Property("mode", std::vector<uint8_t>{0x10, 0x10});
  w.Property("enbl",
             "in (PSHOP_ImageMode, RGBMode, RGB48Mode) && "
             "!(PSHOP_NumTargetChannels < 3)",
             false);
  // Filter case records: source copied to the output for the flat cases
  // (without and with selection) only.
  std::vector<uint8_t> fici;
  for (int c = 0; c < 7; ++c) fici.insert(fici.end(), {1, 1, c < 2, 0});
  w.Property("fici", fici);
  return w.bytes;
}

// What a host reads and a person sees in the file's properties: the
// property list, and the one version number of the source in both the
// fixed words and the texts, with each module's own file name.
TEST(ModuleFile, PropertyListAndVersionOfEachArchitecture) {
  const struct {
    const char *variable, *codeKey, *fileName, *bits;
  } cases[] = {{"TAVORIN_MODULE32", "wx86", "Tavorin.8bf", "32-bit"},
               {"TAVORIN_MODULE64", "8664", "Tavorin64.8bf", "64-bit"}};
  const uint16_t words[4] = {TAVORIN_VERSION_MAJOR, TAVORIN_VERSION_MINOR,
                             TAVORIN_VERSION_PATCH, 0};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.variable);
    const std::string path = ProductModulePath(c.variable);
    HMODULE data = LoadLibraryExA(
        path.c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(data, nullptr) << "set " << c.variable;
    HRSRC found = FindResourceA(data, MAKEINTRESOURCEA(16000), "PIPL");
    ASSERT_NE(found, nullptr);
    const uint8_t *pipl =
        static_cast<const uint8_t *>(LockResource(LoadResource(data, found)));
    const std::vector<uint8_t> expected = ExpectedPipl(c.codeKey);
    EXPECT_EQ(std::vector<uint8_t>(pipl, pipl + SizeofResource(data, found)),
              expected);
    EXPECT_EQ(expected.size(), 306u);
    FreeLibrary(data);

    ModuleFile module;
    std::string error;
    ASSERT_TRUE(ReadModuleFile(path, &module, &error)) << error;
    ASSERT_TRUE(module.version.present);
    EXPECT_TRUE(std::equal(words, words + 4, module.version.file));
    EXPECT_TRUE(std::equal(words, words + 4, module.version.product));
    const std::vector<std::pair<std::string, std::string>> texts = {
        {"ProductName", "Tavorin"},
        {"ProductVersion", TAVORIN_VERSION_TEXT},
        {"FileDescription",
         std::string("Tavorin sharpening filter, ") + c.bits},
        {"FileVersion", TAVORIN_VERSION_TEXT},
        {"CompanyName", "Orvanex"},
        {"LegalCopyright", "Copyright (C) 2026 Orvanex"},
        {"OriginalFilename", c.fileName},
        {"InternalName", "Tavorin"},
    };
    EXPECT_EQ(module.version.texts, texts);
  }
}

}  // namespace
