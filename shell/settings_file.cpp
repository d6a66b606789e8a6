// The last-used settings file: the parameter block in file order, kept
// under the user's application-data folder so that the settings a user
// last accepted survive the host. Every failure here is silent: the
// reader's caller falls back to the defaults, the writer's ignores it.
#include <shlobj.h>

#include "resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr int32_t kBaseFolderBytes = MAX_PATH;
constexpr int32_t kDisplayNameChars = 30;
constexpr int kAppDataFolder = 0x1A;  // CSIDL_APPDATA

int32_t LastErrorOr(int32_t fallback) {
  DWORD error = GetLastError();
  return error != 0 ? int32_t(error) : fallback;
}

int32_t AppDataFolder(char *buffer) {
  IMalloc *allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || !allocator) return 0;
  BOOL converted = FALSE;
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(
          SHGetSpecialFolderLocation(HostWindow(), kAppDataFolder, &items))) {
    converted = SHGetPathFromIDListA(items, buffer);
    allocator->Free(items);
  }
  allocator->Release();
  return converted ? lstrlenA(buffer) : 0;
}

}  // namespace

int32_t GetSettingsBaseFolder(char *buffer) {
  buffer[0] = '\0';
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    int32_t length = AppDataFolder(buffer);
    if (length != 0) return length;
  }
  UINT length = GetWindowsDirectoryA(buffer, kBaseFolderBytes);
  if (length >= UINT(kBaseFolderBytes)) length = 0;  // did not fit
  buffer[length] = '\0';
  return int32_t(length);
}

int32_t BuildSettingsFolder(unsigned char *path) {
  if (path[0] == 0) return kErrNoFolder;
  if (!EndPathWithBackslash(path) || !AppendPathText("lattimerworkshops", path))
    return kErrNoFolder;
  // A folder that exists already is no failure, nor is one that cannot
  // be made: opening the file then says what went wrong.
  CreateDirectoryA(PathText(path), nullptr);
  if (!AppendPathText("\\PS Filters", path)) return kErrNoFolder;
  CreateDirectoryA(PathText(path), nullptr);
  if (!AppendPathText("\\", path)) return kErrNoFolder;
  return 0;
}

int32_t OpenSettingsFile(HANDLE *file) {
  *file = INVALID_HANDLE_VALUE;
  char base[kBaseFolderBytes];
  PString path;
  path[0] = 0;
  if (GetSettingsBaseFolder(base) != 0 && !AppendPathText(base, path))
    return kErrNoFolder;
  int32_t result = BuildSettingsFolder(path);
  if (result != 0) return result;

  char name[kDisplayNameChars + 1] = "";
  if (LoadStringA(ModuleInstance(), IDS_DISPLAY_NAME, name, sizeof name) <= 0)
    return kErrNoResource;
  if (!AppendPathText(name, path)) return kErrNoFolder;

  // No sharing: a second process opening it meanwhile gets a sharing
  // error, which its caller handles like any other.
  *file = CreateFileA(
      PathText(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (*file == INVALID_HANDLE_VALUE) return LastErrorOr(kErrNoFolder);
  return 0;
}

int32_t ReadLastUsedSettings(ParamBlock *block) {
  HANDLE file;
  int32_t result = OpenSettingsFile(&file);
  if (result != 0) return result;
  unsigned char image[kBlockFileBytes];
  DWORD got = 0;
  if (!ReadFile(file, image, sizeof image, &got, nullptr)) {
    result = LastErrorOr(kErrNoFolder);
  } else {
    // A short, empty or foreign file leaves the block as it was.
    DecodeBlockFile(image, int32_t(got), block);
  }
  CloseHandle(file);
  return result;
}

int32_t WriteLastUsedSettings(const ParamBlock *block) {
  HANDLE file;
  int32_t result = OpenSettingsFile(&file);
  if (result != 0) return result;
  unsigned char image[kBlockFileBytes];
  EncodeBlockFile(block, image);
  DWORD written = 0;
  // The file is not truncated: bytes past the block stay as they were.
  if (!WriteFile(file, image, sizeof image, &written, nullptr))
    result = LastErrorOr(kErrNoFolder);
  else if (written != sizeof image)
    result = ERROR_HANDLE_DISK_FULL;
  CloseHandle(file);
  return result;
}
