// Before the module accepts an invocation it checks the system, the image
// and the host, and refuses with a message box when one does not fit.
#include <cstring>

#include "engine/gray.h"
#include "resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr int32_t kCaptionBytes = 64;
constexpr int32_t kTextBytes = 256;

bool messageShown = false;

// The string table carries no text for these two codes.
const char *FallbackText(int32_t code) {
  switch (code) {
    case IDS_TOO_FEW_PLANES:
      return "The plugin needs at least three channels. \rPlease make sure "
             "the R, G, and B channels are selected in \rthe channel "
             "palette.";
    case IDS_NO_ADVANCE_STATE:
      return "This application is incompatible with this plugin. \rThe host "
             "application cannot deliver the image tile by tile.";
    default:
      return nullptr;
  }
}

}  // namespace

bool IsOldWindowsNT() {
  OSVERSIONINFOA version;
  static_assert(sizeof version == 148, "the version record of Windows 95");
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  // An unreadable version leaves zeros, and the system passes.
  GetVersionExA(&version);
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         version.dwMajorVersion <= 4;
}

// A gray document needs its one gray plane; a second, its transparency,
// is carried through.
int32_t CheckImage(const FilterRecord *record) {
  const bool gray = IsGrayMode(record->imageMode);
  if (!gray && record->imageMode != kModeRGB && record->imageMode != kModeRGB48)
    return IDS_BAD_IMAGE_MODE;
  if (record->planes < (gray ? 1 : 3)) return IDS_TOO_FEW_PLANES;
  return 0;
}

// Hosts are accepted by what they can do, whatever their signature: the
// run copes with hosts that do not replicate edges. A host that has not
// described the image yet (no mode, no planes) has it checked at start.
int32_t CheckHostEnvironment(const FilterRecord *record) {
  const bool described = record->imageMode != 0 || record->planes != 0;
  const int32_t code = IsOldWindowsNT() ? IDS_OS_INCOMPATIBLE
                       : described      ? CheckImage(record)
                                        : 0;
  if (code != 0) ReportError(record, code);
  return code;
}

namespace {

// Unicode calls: the Chinese texts read right whatever the system's code
// page.
void LoadMessageText(int32_t code, wchar_t (&text)[kTextBytes]) {
  text[0] = 0;
  if (LoadStringW(ModuleInstance(), UINT(code), text, kTextBytes) <= 0) {
    const char *fallback = FallbackText(code);
    // The system's own formatting: the C library's would bring its whole
    // printf (some 19 KB) into the module for this one line.
    char bytes[kTextBytes];
    if (fallback)
      lstrcpynA(bytes, fallback, sizeof bytes);
    else
      wsprintfA(bytes, "Error %ld.", long(code));
    MultiByteToWideChar(CP_ACP, 0, bytes, -1, text, kTextBytes);
  }
}

}  // namespace

void ShowErrorMessage(int32_t code) {
  if (IsSilentInvocation()) return;
  wchar_t caption[kCaptionBytes] = L"";
  LoadStringW(ModuleInstance(), IDS_DISPLAY_NAME, caption, kCaptionBytes);
  wchar_t text[kTextBytes];
  LoadMessageText(code, text);
  // Without an owner on the screen the system centres the box there.
  MessageBoxW(OnScreen(GetForegroundWindow()), text, caption,
              MB_OK | MB_ICONHAND | MB_TASKMODAL);
  messageShown = true;
}

void ClearMessageShown() { messageShown = false; }

bool MessageShown() { return messageShown; }

int32_t SilentFailureCode(FilterRecord *record, int32_t code) {
  unsigned char *errorString =
      static_cast<unsigned char *>(record->errorString);
  if (!errorString) return kErrFilterBadParameters;
  wchar_t wide[kTextBytes];
  LoadMessageText(code, wide);
  // The host's string is in the system's code page.
  char text[kTextBytes * 2] = "";
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr,
                      nullptr);
  text[sizeof text - 1] = 0;
  const size_t length = std::strlen(text) > 255 ? 255 : std::strlen(text);
  errorString[0] = static_cast<unsigned char>(length);
  std::memcpy(errorString + 1, text, length);
  return kErrReportString;
}

int32_t ReportError(const FilterRecord *, int32_t code) {
  ShowErrorMessage(code);
  return 0;
}
