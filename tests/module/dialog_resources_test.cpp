// The dialog templates and pictures as the built module carries them:
// every item where it belongs, in tab order, with its style, in a
// Chinese and an English face, the Chinese labels stored as the right
// UTF-16 text whatever machine built the module; the pictures at their
// sizes; the cursors with their images and hot spots.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/module/product_module.h"

namespace {

struct DataModule {
  HMODULE handle = nullptr;
  DataModule() {
    handle = LoadLibraryExA(
        ProductModulePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  ~DataModule() {
    if (handle) FreeLibrary(handle);
  }
  // In the language the system picks, or in the one given.
  std::vector<uint8_t> Resource(const char *type, const char *name,
                                WORD language = 0xFFFF) const {
    HRSRC found = language == 0xFFFF
                      ? FindResourceA(handle, name, type)
                      : FindResourceExA(handle, type, name, language);
    if (!found) return {};
    const uint8_t *data =
        static_cast<const uint8_t *>(LockResource(LoadResource(handle, found)));
    return std::vector<uint8_t>(data, data + SizeofResource(handle, found));
  }
};

// A reader of DLGTEMPLATE resources (the classic, not the extended form).
struct TemplateReader {
  const std::vector<uint8_t> &bytes;
  size_t at = 0;
  uint16_t Word() {
    uint16_t v = uint16_t(bytes[at] | bytes[at + 1] << 8);
    at += 2;
    return v;
  }
  uint32_t Long() {
    uint32_t lo = Word();
    return lo | uint32_t(Word()) << 16;
  }
  // A string, or "#n" for an ordinal.
  std::wstring NameOrOrdinal() {
    if (bytes[at] == 0xFF && bytes[at + 1] == 0xFF) {
      at += 2;
      return L"#" + std::to_wstring(Word());
    }
    std::wstring s;
    for (uint16_t c = Word(); c != 0; c = Word()) s += wchar_t(c);
    return s;
  }
  void AlignLong() { at = (at + 3) & ~size_t(3); }
};

struct Item {
  int id;
  std::wstring className;
  std::wstring text;
  int x, y, cx, cy;
  uint32_t style;
};

struct Template {
  uint32_t style = 0;
  int cx = 0, cy = 0;
  std::wstring title, font;
  int pointSize = 0;
  std::vector<Item> items;
};

Template ReadTemplate(const std::vector<uint8_t> &bytes) {
  Template t;
  TemplateReader r{bytes};
  t.style = r.Long();
  r.Long();  // extended style
  const int count = r.Word();
  r.Word();
  r.Word();
  t.cx = int16_t(r.Word());
  t.cy = int16_t(r.Word());
  r.NameOrOrdinal();  // menu
  r.NameOrOrdinal();  // class
  t.title = r.NameOrOrdinal();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.Word();
    t.font = r.NameOrOrdinal();
  }
  for (int i = 0; i < count; ++i) {
    r.AlignLong();
    Item item;
    item.style = r.Long();
    r.Long();
    item.x = int16_t(r.Word());
    item.y = int16_t(r.Word());
    item.cx = int16_t(r.Word());
    item.cy = int16_t(r.Word());
    item.id = int16_t(r.Word());
    item.className = r.NameOrOrdinal();
    item.text = r.NameOrOrdinal();
    r.at += r.Word();  // creation data
    t.items.push_back(item);
  }
  return t;
}

// Atoms of the predefined classes in templates.
const wchar_t kButton[] = L"#128", kEdit[] = L"#129", kStatic[] = L"#130";

bool SameClass(const std::wstring &stored, const wchar_t *wanted) {
  if (stored == wanted) return true;
  const std::wstring names[][2] = {
      {L"#128", L"BUTTON"}, {L"#129", L"EDIT"}, {L"#130", L"STATIC"}};
  for (const auto &n : names)
    if (n[0] == wanted) return _wcsicmp(stored.c_str(), n[1].c_str()) == 0;
  return _wcsicmp(stored.c_str(), wanted) == 0;
}

TEST(DialogResources, ParameterDialogTemplate) {
  DataModule module;
  ASSERT_NE(module.handle, nullptr);
  const DWORD tab = WS_TABSTOP;
  const DWORD sliderBits = TBS_NOTICKS | TBS_BOTH | TBS_FIXEDLENGTH | tab;
  const struct {
    int id;
    const wchar_t *cls;
    const wchar_t *text, *english;
    int x, y, cx, cy;
    DWORD styleBits;  // that must be set
  } expected[] = {
      {1, kButton, L"\u786e\u5b9a", L"OK", 460, 10, 38, 14,
       BS_DEFPUSHBUTTON | tab},
      {2, kButton, L"\u53d6\u6d88", L"Cancel", 460, 30, 38, 14, tab},
      {3, kButton, L"\u8f7d\u5165...", L"Load...", 460, 60, 38, 14, tab},
      {4, kButton, L"\u4fdd\u5b58...", L"Save...", 460, 80, 38, 14, tab},
      {5, kStatic, L"", L"", 185, 7, 265, 223, 0},
      {6, kButton, L"\u9884\u89c8", L"Preview", 460, 150, 41, 11,
       BS_AUTOCHECKBOX | BS_NOTIFY | tab},
      {8, kButton, L"", L"", 287, 232, 10, 10, tab},
      {9, kStatic, L"", L"", 297, 232, 40, 10, SS_CENTER},
      {10, kButton, L"", L"", 337, 232, 10, 10, tab},
      {-1, kButton, L"\u63a7\u5236", L"Controls", 23, 7, 149, 101, BS_GROUPBOX},
      {-1, kStatic, L"\u534a\u5f84", L"Radius", 33, 22, 40, 8, 0},
      {-1, kStatic, L"\u56de\u5e94", L"Response", 33, 50, 40, 8, 0},
      {-1, kStatic, L"\u6269\u5927", L"Spread", 33, 78, 40, 8, 0},
      {101, L"msctls_trackbar32", L"", L"", 33, 30, 100, 16, sliderBits},
      {102, L"msctls_trackbar32", L"", L"", 33, 58, 100, 16, sliderBits},
      {103, L"msctls_trackbar32", L"", L"", 33, 86, 100, 16, sliderBits},
      {201, kEdit, L"", L"", 133, 31, 19, 11, WS_BORDER | tab},
      {202, kEdit, L"", L"", 133, 59, 19, 11, WS_BORDER | tab},
      {203, kEdit, L"", L"", 133, 87, 19, 11, WS_BORDER | tab},
      {-1, kButton, L"\u989c\u8272", L"Colour", 23, 115, 149, 121, BS_GROUPBOX},
      {204, kEdit, L"", L"", 33, 130, 20, 11, WS_BORDER | tab},
      {205, kEdit, L"", L"", 55, 130, 20, 11, WS_BORDER | tab},
      {206, kEdit, L"", L"", 77, 130, 20, 11, WS_BORDER | tab},
      {207, kEdit, L"", L"", 99, 130, 20, 11, WS_BORDER | tab},
      {208, kEdit, L"", L"", 121, 130, 20, 11, WS_BORDER | tab},
      {209, kEdit, L"", L"", 143, 130, 20, 11, WS_BORDER | tab},
      {104, L"msctls_trackbar32", L"", L"", 35, 141, 16, 75,
       sliderBits | TBS_VERT},
      {105, L"msctls_trackbar32", L"", L"", 57, 141, 16, 75,
       sliderBits | TBS_VERT},
      {106, L"msctls_trackbar32", L"", L"", 79, 141, 16, 75,
       sliderBits | TBS_VERT},
      {107, L"msctls_trackbar32", L"", L"", 101, 141, 16, 75,
       sliderBits | TBS_VERT},
      {108, L"msctls_trackbar32", L"", L"", 123, 141, 16, 75,
       sliderBits | TBS_VERT},
      {109, L"msctls_trackbar32", L"", L"", 145, 141, 16, 75,
       sliderBits | TBS_VERT},
      {301, kStatic, L"", L"", 35, 221, 126, 8, 0},
      {-1, kStatic, L"#16001", L"#16001", 0, 0, 13, 582, SS_BITMAP},
      {-1, kStatic, L"#16002", L"#16002", 417, 240, 20, 20,
       SS_ICON | SS_REALSIZEIMAGE},
  };
  // The Chinese face as described; the English one with the same items
  // in the same places, in the system's dialog font, its edit boxes sized
  // for that font (the locale test measures their text).
  const struct {
    WORD language;
    const wchar_t *font;
    int pointSize;
  } faces[] = {
      {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"\u5b8b\u4f53",
       9},  // 宋体
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"MS Shell Dlg", 8}};
  for (const auto &face : faces) {
    const bool english = face.pointSize == 8;
    SCOPED_TRACE(english ? "English" : "Chinese");
    const std::vector<uint8_t> bytes = module.Resource(
        MAKEINTRESOURCEA(5) /* RT_DIALOG */, "PARAM_DLG", face.language);
    ASSERT_FALSE(bytes.empty());
    const Template t = ReadTemplate(bytes);
    EXPECT_EQ(t.cx, 505);
    EXPECT_EQ(t.cy, 250);
    EXPECT_EQ(t.font, face.font);
    EXPECT_EQ(t.pointSize, face.pointSize);
    EXPECT_TRUE(t.style & DS_MODALFRAME);
    EXPECT_TRUE(t.style & DS_CENTER);
    EXPECT_EQ(t.style & WS_CAPTION, DWORD(WS_CAPTION));
    EXPECT_FALSE(t.style & WS_SYSMENU);
    ASSERT_EQ(t.items.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < t.items.size(); ++i) {
      const Item &item = t.items[i];
      const auto &e = expected[i];
      SCOPED_TRACE("item " + std::to_string(i) + ", id " +
                   std::to_string(e.id));
      EXPECT_EQ(item.id, e.id);
      EXPECT_TRUE(SameClass(item.className, e.cls));
      EXPECT_EQ(item.text, english ? e.english : e.text);
      EXPECT_EQ(item.style & e.styleBits, e.styleBits);
      if (english && SameClass(item.className, kEdit)) continue;
      EXPECT_EQ(item.x, e.x);
      EXPECT_EQ(item.y, e.y);
      EXPECT_EQ(item.cx, e.cx);
      EXPECT_EQ(item.cy, e.cy);
    }
    // Edits stop at their edge; the frame of the preview is invisible.
    for (const Item &item : t.items) {
      if (SameClass(item.className, kEdit)) {
        EXPECT_FALSE(item.style & ES_AUTOHSCROLL) << item.id;
      }
      if (item.id == 5) {
        EXPECT_FALSE(item.style & WS_VISIBLE);
      }
    }
  }
}

TEST(DialogResources, AboutBoxTemplateAndPictures) {
  DataModule module;
  ASSERT_NE(module.handle, nullptr);
  const Template t = ReadTemplate(
      module.Resource(MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(16000)));
  EXPECT_TRUE(t.style & WS_POPUP);
  EXPECT_TRUE(t.style & WS_BORDER);
  EXPECT_NE(t.style & WS_CAPTION, DWORD(WS_CAPTION));
  EXPECT_EQ(t.font, L"\u5b8b\u4f53");
  ASSERT_EQ(t.items.size(), 1u);
  EXPECT_EQ(t.items[0].text, L"#16000");
  EXPECT_EQ(t.items[0].x, 0);
  EXPECT_EQ(t.items[0].y, 0);
  EXPECT_EQ(t.items[0].style & (SS_BITMAP | SS_NOTIFY),
            DWORD(SS_BITMAP | SS_NOTIFY));

  const struct {
    int id, width, height, bits;
  } bitmaps[] = {{16000, 425, 250, 8}, {16001, 20, 800, 4}};
  for (const auto &b : bitmaps) {
    const std::vector<uint8_t> data = module.Resource(
        MAKEINTRESOURCEA(2) /* RT_BITMAP */, MAKEINTRESOURCEA(b.id));
    ASSERT_GE(data.size(), sizeof(BITMAPINFOHEADER)) << b.id;
    const auto *h = reinterpret_cast<const BITMAPINFOHEADER *>(data.data());
    EXPECT_EQ(h->biWidth, b.width) << b.id;
    EXPECT_EQ(h->biHeight, b.height) << b.id;
    EXPECT_EQ(h->biBitCount, b.bits) << b.id;
  }
}

#pragma pack(push, 2)
struct GroupEntry {  // an entry of an icon or cursor group resource
  uint8_t width, height, colours, reserved;
  uint16_t planes, bits;  // cursors: width, height (x2) instead
  uint32_t bytes;
  uint16_t id;
};
#pragma pack(pop)

std::vector<GroupEntry> Group(const DataModule &m, int type, int id) {
  const std::vector<uint8_t> data =
      m.Resource(MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id));
  std::vector<GroupEntry> entries;
  if (data.size() < 6) return entries;
  const uint16_t count = uint16_t(data[4] | data[5] << 8);
  for (uint16_t i = 0; i < count; ++i) {
    GroupEntry e;
    memcpy(&e, &data[6 + i * sizeof e], sizeof e);
    entries.push_back(e);
  }
  return entries;
}

TEST(DialogResources, LogoStripAndCursors) {
  DataModule module;
  ASSERT_NE(module.handle, nullptr);
  const std::vector<GroupEntry> logo =
      Group(module, 14 /* RT_GROUP_ICON */, 16002);
  ASSERT_EQ(logo.size(), 1u);
  EXPECT_EQ(logo[0].width, 132);
  EXPECT_EQ(logo[0].height, 16);
  EXPECT_EQ(logo[0].colours, 16);

  const struct {
    int group;
    std::vector<int> ids;
    std::vector<int> sizes;    // width of each image
    std::vector<int> colours;  // 2 or 16
    int hotX, hotY;
  } cursors[] = {{31, {1, 2, 3}, {32, 16, 16}, {2, 16, 2}, 8, 8},
                 {32, {4, 5}, {32, 16}, {2, 2}, 7, 7}};
  for (const auto &c : cursors) {
    SCOPED_TRACE("cursor " + std::to_string(c.group));
    const std::vector<GroupEntry> entries =
        Group(module, 12 /* RT_GROUP_CURSOR */, c.group);
    ASSERT_EQ(entries.size(), c.ids.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].id, c.ids[i]);
      // A cursor's entry holds 16-bit width and twice the height where an
      // icon's holds bytes.
      EXPECT_EQ(entries[i].width | entries[i].height << 8, c.sizes[i]);
      EXPECT_EQ(entries[i].colours | entries[i].reserved << 8, 2 * c.sizes[i]);
      const std::vector<uint8_t> image = module.Resource(
          MAKEINTRESOURCEA(1) /* RT_CURSOR */, MAKEINTRESOURCEA(c.ids[i]));
      ASSERT_GE(image.size(), 4u + sizeof(BITMAPINFOHEADER));
      EXPECT_EQ(image[0] | image[1] << 8, c.hotX);
      EXPECT_EQ(image[2] | image[3] << 8, c.hotY);
      const auto *h = reinterpret_cast<const BITMAPINFOHEADER *>(&image[4]);
      EXPECT_EQ(1 << h->biBitCount, c.colours[i]);
    }
  }
}

}  // namespace
