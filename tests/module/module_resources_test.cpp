// The property list and string table as a host reads them from the
// built module files, both architectures.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "host/module_file.h"
#include "tavorin_version.h"
#include "tests/module/product_module.h"

namespace {

struct DataModule {
  HMODULE handle = nullptr;
  explicit DataModule(const std::string &path) {
    handle = LoadLibraryExA(path.c_str(), nullptr,
                            LOAD_LIBRARY_AS_DATAFILE |
                                LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  ~DataModule() {
    if (handle) FreeLibrary(handle);
  }
};

// The property list, written out from its description: what a host
// expects to find, independent of how the resource script spells it.
class PiplWriter {
 public:
  std::vector<uint8_t> bytes;
  void U16(uint16_t v) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(uint16_t(v));
    U16(uint16_t(v >> 16));
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
};

std::vector<uint8_t> LittleEndian32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::vector<uint8_t> Pascal(const std::string &s) {
  std::vector<uint8_t> out(s.size() + 1);
  out[0] = uint8_t(s.size());
  std::copy(s.begin(), s.end(), out.begin() + 1);
  return out;
}

std::vector<uint8_t> CString(const std::string &s) {
  std::vector<uint8_t> out(s.begin(), s.end());
  out.push_back(0);
  return out;
}

std::vector<uint8_t> ExpectedPipl(const char *codeKey) {
  PiplWriter w;
  w.U16(1);
  w.U32(0);
  w.U32(9);
  w.Property("kind", LittleEndian32(PiplWriter::Code("8BFM")));
  w.Property("vers", LittleEndian32(0x00040000));
  w.Property("prty", LittleEndian32(0));
  w.Property("catg", Pascal("Orvanex"));
  w.Property("name", Pascal("Tavorin..."));
  w.Property(codeKey, CString("ENTRYPOINT"));
  // Mode flags: RGB is 0x10 of the first byte, RGB48 0x10 of the second.
  w.Property("mode", {0x10, 0x10});
  w.Property("enbl", CString("in (PSHOP_ImageMode, RGBMode, RGB48Mode) && "
                             "!(PSHOP_NumTargetChannels < 3)"));
  std::vector<uint8_t> fici;
  for (int c = 0; c < 7; ++c) {
    const bool flat = c < 2;  // without and with selection
    const uint8_t record[4] = {1, 1, uint8_t(flat ? 1 : 0), 0};
    fici.insert(fici.end(), record, record + 4);
  }
  w.Property("fici", fici);
  return w.bytes;
}

std::vector<uint8_t> ReadPipl(HMODULE module) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(16000), "PIPL");
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const uint8_t *data = static_cast<const uint8_t *>(LockResource(loaded));
  return std::vector<uint8_t>(data, data + SizeofResource(module, found));
}

TEST(ModuleFile, PropertyListMatchesForEachArchitecture) {
  struct Case {
    const char *variable;
    const char *codeKey;
  } cases[] = {{"TAVORIN_MODULE32", "wx86"}, {"TAVORIN_MODULE64", "8664"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.variable);
    std::string path = ProductModulePath(c.variable);
    ASSERT_FALSE(path.empty()) << "set " << c.variable;
    DataModule module(path);
    ASSERT_NE(module.handle, nullptr) << path;
    std::vector<uint8_t> expected = ExpectedPipl(c.codeKey);
    EXPECT_EQ(ReadPipl(module.handle), expected);
    EXPECT_EQ(expected.size(), 306u);
  }
}

// What a person sees in the file's properties and our host prints: the
// one version number of the source in both the fixed words and the texts,
// and each module's own file name.
TEST(ModuleFile, VersionResourceOfEachArchitecture) {
  struct Case {
    const char *variable;
    const char *fileName;
    const char *bits;
  } cases[] = {{"TAVORIN_MODULE32", "Tavorin.8bf", "32-bit"},
               {"TAVORIN_MODULE64", "Tavorin64.8bf", "64-bit"}};
  const uint16_t words[4] = {TAVORIN_VERSION_MAJOR, TAVORIN_VERSION_MINOR,
                             TAVORIN_VERSION_PATCH, 0};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.variable);
    ModuleFile module;
    std::string error;
    ASSERT_TRUE(ReadModuleFile(ProductModulePath(c.variable), &module, &error))
        << error;
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

TEST(ModuleFile, StringTableTexts) {
  DataModule module(ProductModulePath("TAVORIN_MODULE"));
  ASSERT_NE(module.handle, nullptr);
  struct Case {
    UINT id;
    const char *text;  // null: the table holds no text
  } cases[] = {
      {1011,
       "This plug-in is incompatible with this operating system. \rIt will "
       "only run with Windows 98, Windows 2000, or Windows NT 5.0."},
      {1100,
       "This application has an unknown host signature. \rThe plugin "
       "requires Adobe Photoshop as host."},
      {1200, "This application is incompatible with this plugin."},
      {1201,
       "This application is incompatible with this plugin. \rThe host "
       "application does not support unbound data requests."},
      {1202,
       "This application is incompatible with this plugin. \rThe host "
       "application does not support color services."},
      {1210,
       "The host application did not deliver the image data the plugin "
       "asked for. \rPart of the image may be left unfiltered."},
      {1301, nullptr},
      {1303,
       "The plugin encountered an invalid image mode. \rPlease make sure the "
       "image mode is set to RGB, \rand the R, G, and B channels are "
       "selected in \rthe channel palette."},
      {2010, "This plug-in encountered unknown parameters."},
      {2011,
       "This plug-in encountered incompatible parameters. \rThese "
       "parameters were created by a different plug-in."},
      {2012,
       "This plug-in encountered incompatible parameters. \rThe filetype of "
       "these parameters is unknown."},
      {2013,
       "This plug-in encountered incompatible parameters. \rThis version of "
       "parameters can not be read."},
      {16000, "Tavorin"},
      {16996, nullptr},
      {16997, "This plug-in requires Adobe Photoshop 2.5 or later functionality"},
      {16998, "This plug-in is incompatible with this version of the host program"},
      {16999, "This plug-in requires Adobe Photoshop 2.5.2 or later functionality"},
  };
  for (const Case &c : cases) {
    char buffer[512];
    int length = LoadStringA(module.handle, c.id, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, length > 0 ? length : 0),
              c.text ? c.text : "")
        << "string " << c.id;
  }
}

}  // namespace
