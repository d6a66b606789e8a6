// Loading and saving presets through the system's file dialogs. The
// bytes are preset_image.cpp's; here are the dialogs and the file calls.
#include "dialog/dialog.h"
// after windows.h
#include <commdlg.h>

#include "dialog/preset_image.h"
#include "params/params.h"
#include "resources/resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr DWORD kPathChars = 256;
constexpr int kFilterChars = 160;

// Appends a file type's name, in the user's language, and its pattern,
// each ending in the null the file dialogs want; returns the end.
wchar_t *AppendFileType(wchar_t *at, const wchar_t *end, UINT nameId,
                        const wchar_t *fallback, const wchar_t *pattern) {
  const int room = int(end - at) - lstrlenW(pattern) - 2;
  if (LoadStringW(ModuleInstance(), nameId, at, room) <= 0)
    lstrcpynW(at, fallback, room);
  at += lstrlenW(at) + 1;
  lstrcpyW(at, pattern);
  at += lstrlenW(at) + 1;
  *at = L'\0';
  return at;
}

// Wide calls: the Chinese type names read right whatever the system's
// code page.
void PrepareFileDialog(OPENFILENAMEW *ofn, HWND owner, wchar_t *path,
                       wchar_t (&filter)[kFilterChars], bool anyFile) {
  wchar_t *const end = filter + kFilterChars;
  wchar_t *at = AppendFileType(filter, end, IDS_PRESET_FILES,
                               L"Parameters (*.prm)", L"*.prm");
  if (anyFile) AppendFileType(at, end, IDS_ANY_FILES, L"Any (*.*)", L"*.*");
  ZeroMemory(ofn, sizeof *ofn);
  // The record as the oldest common dialogs know it; everything we set
  // lies within it.
  ofn->lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  // Owned, the file dialog opens over ours and keeps it disabled until it
  // closes: OK cannot end the run behind it.
  ofn->hwndOwner = owner;
  ofn->lpstrFilter = filter;
  ofn->nFilterIndex = 1;
  path[0] = L'\0';
  ofn->lpstrFile = path;
  ofn->nMaxFile = kPathChars;
  ofn->lpstrDefExt = L"prm";
}

int32_t LastError() { return int32_t(GetLastError()); }

}  // namespace

int32_t LoadPreset(HWND owner) {
  wchar_t path[kPathChars], filter[kFilterChars];
  OPENFILENAMEW ofn;
  PrepareFileDialog(&ofn, owner, path, filter, true);
  ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&ofn)) return 0;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  const int32_t result = ReadPresetFile(file);
  CloseHandle(file);
  return result;
}

int32_t ReadPresetFile(HANDLE file) {
  unsigned char image[kPresetBytes];
  DWORD count = 0;
  if (!ReadFile(file, image, kPresetBytes, &count, nullptr)) return LastError();
  // Only the bytes read are looked at; a short file is left alone.
  const int32_t result = ReadPresetImage(image, int32_t(count), &currentParams);
  if (result > 0) ShowErrorMessage(result);
  return 0;
}

int32_t SavePreset(HWND owner) {
  wchar_t path[kPathChars], filter[kFilterChars];
  OPENFILENAMEW ofn;
  PrepareFileDialog(&ofn, owner, path, filter, false);
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameW(&ofn)) return 0;
  HANDLE file =
      CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  // The name the block keeps is 8-bit, in the system's code page.
  char name8[kPathChars] = "";
  WideCharToMultiByte(CP_ACP, 0, path + ofn.nFileOffset, -1, name8,
                      sizeof name8, nullptr, nullptr);
  PString name;
  CToPString(name8, name);
  const int32_t result = WritePresetFile(file, name);
  CloseHandle(file);
  return result;
}

int32_t WritePresetFile(HANDLE file, const unsigned char *name) {
  unsigned char image[kPresetBytes];
  BuildPresetImage(&currentParams, name, image);
  DWORD written = 0;
  if (!WriteFile(file, image, kPresetBytes, &written, nullptr))
    return LastError();
  return 0;
}
