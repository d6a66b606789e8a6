// Loading and saving presets through the system's file dialogs. The
// bytes are preset_image.cpp's; here are the dialogs and the file calls.
#include "dialog/dialog.h"
// after windows.h
#include <commdlg.h>

#include "dialog/preset_image.h"
#include "params/params.h"
#include "shell/shell.h"

namespace {

constexpr DWORD kPathChars = 256;

void PrepareFileDialog(OPENFILENAMEA *ofn, HWND owner, char *path,
                       const char *filter) {
  ZeroMemory(ofn, sizeof *ofn);
  // The record as the oldest common dialogs know it; everything we set
  // lies within it.
  ofn->lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  // Owned, the file dialog opens over ours and keeps it disabled until it
  // closes: OK cannot end the run behind it.
  ofn->hwndOwner = owner;
  ofn->lpstrFilter = filter;
  ofn->nFilterIndex = 1;
  path[0] = '\0';
  ofn->lpstrFile = path;
  ofn->nMaxFile = kPathChars;
  ofn->lpstrDefExt = "prm";
}

int32_t LastError() { return int32_t(GetLastError()); }

}  // namespace

int32_t LoadPreset(HWND owner) {
  char path[kPathChars];
  OPENFILENAMEA ofn;
  PrepareFileDialog(&ofn, owner, path, "Parameters (*.prm)\0*.prm\0Any (*.*)\0*.*\0");
  ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&ofn)) return 0;
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
  char path[kPathChars];
  OPENFILENAMEA ofn;
  PrepareFileDialog(&ofn, owner, path, "Parameters (*.prm)\0*.prm\0");
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&ofn)) return 0;
  HANDLE file =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastError();
  PString name;
  CToPString(path + ofn.nFileOffset, name);
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
