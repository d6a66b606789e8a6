// The last-used settings file's life through the host: first use, the
// next session, files that are empty, short, foreign, longer or held
// open by another program, and a base folder that ends in a backslash.
// None of them may break a run or lose the user's settings. 64-bit only:
// the file is the same for both builds.
#include <gtest/gtest.h>

#include "tests/module/run_support.h"

#ifdef _WIN64
namespace {

// A file image written independently of the module: big-endian values.
std::vector<uint8_t> FileImage(int32_t radius, int32_t spread,
                               uint32_t version = 4) {
  std::vector<uint8_t> bytes(348, 0);
  auto put = [&](size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(v >> (24 - 8 * i));
  };
  std::memcpy(&bytes[0], "TVR Prms", 8);
  put(8, version);
  std::memcpy(&bytes[12], "lmq ", 4);
  put(24, 0);
  bytes[28] = 4;
  std::memcpy(&bytes[29], "mine", 4);
  put(284, uint32_t(radius));
  put(288, 50);
  put(292, uint32_t(spread));
  return bytes;
}

class SettingsFileLife : public ::testing::Test {
 protected:
  void SetUp() override { RemoveSettingsTree(SettingsFolder()); }
  // A new session (the host restarted), run from the menu, the host
  // holding block if one is given; the block the host then holds.
  ParamBlock MenuRun(const char *dialog, int16_t expected,
                     const std::vector<uint8_t> &block = {}) {
    HostSession s;
    EXPECT_TRUE(StartSession(&s, AnsweringModule(), HostConfig(),
                             MakeTestPattern(20, 20, 3, 8)));
    std::string error;
    EXPECT_TRUE(block.empty() || LoadParameterBlock(&s, block, &error));
    const AnsweringDialog answer(dialog);
    EXPECT_EQ(RunInvocation(&s, InvocationKind::kFromMenu), expected);
    ParamBlock held = HeldBlock(&s);
    EndSession(&s);
    for (const std::string &f : SessionFailures(s)) ADD_FAILURE() << f;
    return held;
  }
};

TEST_F(SettingsFileLife, FirstUseCreatesItAndOkFillsIt) {
  ParamBlock block = MenuRun("cancel", 1);
  EXPECT_EQ(block.params.radius, 10);
  EXPECT_EQ(block.params.showDialog, 1);
  ASSERT_TRUE(FileExists(SettingsFilePath()));  // created empty on reading
  EXPECT_TRUE(ReadBytes(SettingsFilePath()).empty());

  // The host holds a block with our signature but another kind, version
  // and creator: it runs (only the signature is tested), and the file
  // still gets our header, which the next session accepts.
  std::vector<uint8_t> odd = BlockBytes(ReferenceSettings(), 1);
  ParamBlock *header = reinterpret_cast<ParamBlock *>(odd.data());
  header->kind = FourCC('O', 'o', 'p', 's');
  header->version = 3;
  header->creator = FourCC('n', 'o', 'n', 'e');
  block = MenuRun("radius 37 spread 80", 0, odd);
  EXPECT_EQ(block.params.showDialog, 0);
  const std::vector<uint8_t> file = ReadBytes(SettingsFilePath());
  ASSERT_EQ(file.size(), 348u);
  // Our header and the values, big-endian (the byte layout itself is
  // the block file's own test).
  EXPECT_EQ(std::string(file.begin(), file.begin() + 16),
            std::string("TVR Prms\0\0\0\4lmq ", 16));
  EXPECT_EQ(BigEndianAt(file, 284), 37u);
  EXPECT_EQ(BigEndianAt(file, 292), 80u);

  // The next session starts from the file, asking for the dialog again.
  block = MenuRun("cancel", 1);
  EXPECT_EQ(block.params.radius, 37);
  EXPECT_EQ(block.params.spread, 80);
  EXPECT_EQ(block.params.showDialog, 1);
}

TEST_F(SettingsFileLife, FilesNotOursOrNotWholeAreIgnoredAndKept) {
  const std::vector<uint8_t> good = FileImage(33, 60);
  std::vector<uint8_t> longer = good;
  for (int i = 0; i < 52; ++i) longer.push_back(uint8_t(i + 1));
  std::vector<uint8_t> foreign = good;
  foreign[0] = 'X';
  const struct {
    const char *what;
    std::vector<uint8_t> bytes;
    int32_t radius, spread;
  } cases[] = {
      {"empty", {}, 10, 50},
      {"short", std::vector<uint8_t>(good.begin(), good.begin() + 300), 10, 50},
      {"another plug-in's", foreign, 10, 50},
      {"version 3", FileImage(33, 60, 3), 10, 50},
      {"out of range", FileImage(5000, -7), 1000, 0},
      {"400 bytes", longer, 33, 60},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    MenuRun("cancel", 1);  // makes the folders
    WriteBytes(SettingsFilePath(), c.bytes);
    const ParamBlock block = MenuRun("cancel", 1);
    EXPECT_EQ(block.params.radius, c.radius);
    EXPECT_EQ(block.params.spread, c.spread);
    EXPECT_TRUE(ReadBytes(SettingsFilePath()) == c.bytes);  // read, not changed
  }
  // Writing keeps what lies past the block.
  MenuRun("radius 44", 0);
  const std::vector<uint8_t> file = ReadBytes(SettingsFilePath());
  ASSERT_EQ(file.size(), 400u);
  EXPECT_EQ(BigEndianAt(file, 284), 44u);
  EXPECT_TRUE(std::equal(file.begin() + 348, file.end(), longer.begin() + 348));
}

TEST_F(SettingsFileLife, AFileHeldOpenElsewhereBreaksNothing) {
  MenuRun("cancel", 1);
  WriteBytes(SettingsFilePath(), FileImage(33, 60));
  HANDLE held =
      CreateFileA(SettingsFilePath().c_str(), GENERIC_READ, 0, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Neither read nor written: the run goes on with the defaults and the
  // user's choice, which the block keeps.
  const ParamBlock block = MenuRun("radius 55", 0);
  CloseHandle(held);
  EXPECT_EQ(block.params.radius, 55);
  EXPECT_EQ(block.params.spread, 50);
  EXPECT_EQ(block.params.showDialog, 0);
  EXPECT_TRUE(ReadBytes(SettingsFilePath()) == FileImage(33, 60));
  EXPECT_EQ(MenuRun("cancel", 1).params.radius, 33);
}

// The user's application-data folder as the registry names it, changed
// for one scope; the file follows it.
class AppDataFolder {
 public:
  explicit AppDataFolder(const char *path) {
    RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &key_);
    RegQueryValueExA(key_, "AppData", nullptr, &type_, old_, &size_);
    RegSetValueExA(key_, "AppData", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE *>(path),
                   DWORD(strlen(path) + 1));
  }
  ~AppDataFolder() {
    RegSetValueExA(key_, "AppData", 0, type_, old_, size_);
    RegCloseKey(key_);
  }

 private:
  static constexpr const char *kKey =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell "
      "Folders";
  HKEY key_ = nullptr;
  DWORD type_ = 0, size_ = sizeof old_;
  BYTE old_[1024] = {};
};

TEST_F(SettingsFileLife, ABaseFolderEndingInABackslash) {
  RemoveSettingsTree("C:\\lattimerworkshops");
  {
    AppDataFolder root("C:\\");
    MenuRun("radius 21", 0);
  }
  EXPECT_EQ(ReadBytes("C:\\lattimerworkshops\\PS Filters\\Tavorin").size(),
            348u);
  EXPECT_FALSE(FileExists(SettingsFilePath()));
  RemoveSettingsTree("C:\\lattimerworkshops");
}

}  // namespace
#endif  // _WIN64
