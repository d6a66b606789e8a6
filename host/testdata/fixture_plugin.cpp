// The host's test module: a small filter that inverts the filter area in
// tiles, through advanceState or through start and continue, checks the
// edge replication of what it is given, and on request misbehaves (leaks
// a handle, leaves a lock, shows a message box or a dialog). It knows the
// host only through the record, like any module.
//
// Behaviour words in the HOST_FIXTURE environment variable: classic,
// leak, unbalanced, msgbox, dialog, watch, display.
#include <windows.h>

#include <cstring>
#include <string>

#include "host/testdata/fixture_block.h"
#include "params/host_records.h"

namespace {

HINSTANCE g_instance = nullptr;
constexpr int kTile = 32;
constexpr int kMargin = 2;
constexpr int kDialogId = 100;

bool Wants(const char *word) {
  char value[256] = {};
  GetEnvironmentVariableA(HOST_FIXTURE_VARIABLE, value, sizeof value);
  std::string words = std::string(" ") + value + " ";
  return words.find(std::string(" ") + word + " ") != std::string::npos;
}

bool SuiteUsable(const FilterRecord *r) {
  const HandleProcs *h = r->handleProcs;
  return h && h->handleProcsVersion == 1 && h->numHandleProcs >= 6 &&
         h->newProc && h->disposeProc && h->getSizeProc && h->setSizeProc &&
         h->lockProc && h->unlockProc;
}

FixtureBlock *LockBlock(FilterRecord *r) {
  if (!SuiteUsable(r) || !r->parameters)
    return nullptr;
  auto *b = reinterpret_cast<FixtureBlock *>(
      r->handleProcs->lockProc(r->parameters, 0));
  if (b && b->signature != kFixtureSignature) {
    r->handleProcs->unlockProc(r->parameters);
    return nullptr;
  }
  return b;
}

void UnlockBlock(FilterRecord *r, FixtureBlock *b) {
  if (b)
    r->handleProcs->unlockProc(r->parameters);
}

int16_t DoParameters(FilterRecord *r) {
  if (!SuiteUsable(r) || r->parameters)
    return 0;
  Handle h = r->handleProcs->newProc(sizeof(FixtureBlock));
  if (!h)
    return kErrNoMemory;
  auto *b = reinterpret_cast<FixtureBlock *>(r->handleProcs->lockProc(h, 0));
  if (!b) {
    r->handleProcs->disposeProc(h);
    return kErrMemLocked;
  }
  std::memset(b, 0, sizeof *b);
  b->signature = kFixtureSignature;
  r->handleProcs->unlockProc(h);
  r->parameters = h;
  return 0;
}

bool RectIsEmpty(const Rect &r) {
  return r.top >= r.bottom || r.left >= r.right;
}

// Left to right within bands, bands top to bottom.
bool NextTile(FilterRecord *r) {
  const Rect &f = r->filterRect;
  Rect &o = r->outRect;
  auto clamp = [](int a, int b) { return int16_t(a < b ? a : b); };
  if (RectIsEmpty(o)) {
    o = Rect{f.top, f.left, clamp(f.top + kTile, f.bottom),
             clamp(f.left + kTile, f.right)};
  } else if (o.right < f.right) {
    o = Rect{o.top, o.right, o.bottom, clamp(o.right + kTile, f.right)};
  } else if (o.bottom < f.bottom) {
    o = Rect{o.bottom, f.left, clamp(o.bottom + kTile, f.bottom),
             clamp(f.left + kTile, f.right)};
  } else {
    return false;
  }
  r->inRect = Rect{int16_t(o.top - kMargin), int16_t(o.left - kMargin),
                   int16_t(o.bottom + kMargin), int16_t(o.right + kMargin)};
  return true;
}

void SetUpRequests(FilterRecord *r) {
  r->inRect = r->outRect = r->maskRect = Rect{0, 0, 0, 0};
  r->inLoPlane = r->outLoPlane = 0;
  r->inHiPlane = r->outHiPlane = int16_t(r->planes - 1);
  r->inputPadding = r->outputPadding = -1;
  r->inputRate = 0x10000;
}

int Sample(const FilterRecord *r, int row, int col, int plane) {
  const uint8_t *p =
      static_cast<const uint8_t *>(r->inData) + row * r->inRowBytes;
  if (r->depth == 16) {
    uint16_t v;
    std::memcpy(&v, p + (col * r->planes + plane) * 2, 2);
    return v;
  }
  return p[col * r->planes + plane];
}

// Inverts the tile, and counts padded input pixels that differ from the
// image pixel at the clamped position.
void FilterTile(FilterRecord *r, FixtureBlock *b) {
  const Rect in = r->inRect, out = r->outRect;
  const int max = r->depth == 16 ? 32768 : 255;
  const int width = r->imageSize.h, height = r->imageSize.v;
  for (int y = in.top; y < in.bottom; ++y) {
    for (int x = in.left; x < in.right; ++x) {
      if (x >= 0 && x < width && y >= 0 && y < height)
        continue;
      int cx = x < 0 ? 0 : x >= width ? width - 1 : x;
      int cy = y < 0 ? 0 : y >= height ? height - 1 : y;
      for (int p = 0; p < r->planes; ++p)
        if (b && Sample(r, y - in.top, x - in.left, p) !=
                     Sample(r, cy - in.top, cx - in.left, p))
          ++b->paddingErrors;
    }
  }
  for (int y = out.top; y < out.bottom; ++y) {
    uint8_t *row =
        static_cast<uint8_t *>(r->outData) + (y - out.top) * r->outRowBytes;
    for (int x = out.left; x < out.right; ++x) {
      for (int p = 0; p < r->planes; ++p) {
        int v = max - Sample(r, y - in.top, x - in.left, p);
        if (r->depth == 16) {
          uint16_t w = uint16_t(v);
          std::memcpy(row + ((x - out.left) * r->planes + p) * 2, &w, 2);
        } else {
          row[(x - out.left) * r->planes + p] = uint8_t(v);
        }
      }
    }
  }
}

void ShowTile(FilterRecord *r, FixtureBlock *b) {
  PSPixelMap map = {};
  map.version = 1;
  map.bounds = VRect{0, 0, r->outRect.bottom - r->outRect.top,
                     r->outRect.right - r->outRect.left};
  map.imageMode = kModeRGB;
  map.rowBytes = r->outRowBytes;
  map.colBytes = r->planes;
  map.planeBytes = 1;
  map.baseAddr = r->outData;
  OSErr result = r->displayPixels(&map, &map.bounds, 0, 0, nullptr);
  if (b)
    b->displayResult = result;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG)
    return TRUE;
  if (message == WM_COMMAND &&
      (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

HWND Owner(const FilterRecord *r) {
  auto *platform = static_cast<const PlatformData *>(r->platformData);
  return platform ? reinterpret_cast<HWND>(platform->hwnd) : nullptr;
}

int16_t FinishTiles(FilterRecord *r, FixtureBlock *b, int tiles,
                    int16_t result) {
  r->inRect = r->outRect = Rect{0, 0, 0, 0};
  if (b) {
    b->tiles = tiles;
    if (result == 0)
      ++b->runs;
  }
  UnlockBlock(r, b);
  return result;
}

int g_classicTiles = 0;

int16_t DoStart(FilterRecord *r) {
  FixtureBlock *b = LockBlock(r);
  if (b)
    b->depthSeen = r->depth;
  if (Wants("leak") && SuiteUsable(r))
    r->handleProcs->newProc(64);
  if (Wants("unbalanced") && SuiteUsable(r) && r->parameters)
    r->handleProcs->lockProc(r->parameters, 0);
  if (Wants("watch") && r->propertyProcs)
    r->propertyProcs->setPropertyProc(r->hostSig, FourCC('w', 't', 'c', 'h'), 0,
                                      1, nullptr);
  if (Wants("msgbox")) {
    int answer =
        MessageBoxA(nullptr, "Fixture message\rsecond line", "Host Fixture",
                    MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    if (b)
      b->lastMessageBox = answer;
  }
  if (Wants("dialog")) {
    INT_PTR answer = DialogBoxParamA(g_instance, MAKEINTRESOURCEA(kDialogId),
                                     Owner(r), DialogProc, 0);
    if (b)
      b->lastDialog = int32_t(answer);
    if (answer != IDOK) {
      UnlockBlock(r, b);
      return 1;
    }
  }
  SetUpRequests(r);
  if (Wants("classic")) {
    // Requests for the host to serve before continue.
    g_classicTiles = 0;
    UnlockBlock(r, b);
    NextTile(r);
    return 0;
  }
  const int32_t total = (r->filterRect.bottom - r->filterRect.top) *
                        (r->filterRect.right - r->filterRect.left);
  int32_t done = 0;
  int tiles = 0;
  while (NextTile(r)) {
    OSErr err = r->advanceState();
    if (err != 0)
      return FinishTiles(r, b, tiles, err);
    if (r->abortProc())
      return FinishTiles(r, b, tiles, 1);
    FilterTile(r, b);
    if (tiles == 0 && Wants("display") && r->displayPixels)
      ShowTile(r, b);
    ++tiles;
    done += (r->outRect.bottom - r->outRect.top) *
            (r->outRect.right - r->outRect.left);
    r->progressProc(done, total);
  }
  return FinishTiles(r, b, tiles, 0);
}

int16_t DoContinue(FilterRecord *r) {
  FixtureBlock *b = LockBlock(r);
  FilterTile(r, b);
  ++g_classicTiles;
  if (!NextTile(r))
    return FinishTiles(r, b, g_classicTiles, 0);
  UnlockBlock(r, b);
  return 0;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    g_instance = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) void ENTRYPOINT(int16_t selector, void *record,
                                                 intptr_t *, int16_t *result) {
  auto *r = static_cast<FilterRecord *>(record);
  switch (selector) {
  case kSelectorAbout: {
    auto *about = static_cast<AboutRecord *>(record);
    auto *platform = static_cast<const PlatformData *>(about->platformData);
    MessageBoxA(platform ? reinterpret_cast<HWND>(platform->hwnd) : nullptr,
                "Host Fixture, a test module", "About Host Fixture", MB_OK);
    *result = 0;
    return;
  }
  case kSelectorParameters:
    *result = DoParameters(r);
    return;
  case kSelectorPrepare:
    r->bufferSpace = 0;
    *result = 0;
    return;
  case kSelectorStart:
    *result = DoStart(r);
    return;
  case kSelectorContinue:
    *result = DoContinue(r);
    return;
  case kSelectorFinish:
    r->inRect = r->outRect = Rect{0, 0, 0, 0};
    *result = 0;
    return;
  default:
    *result = int16_t(kErrFilterBadParameters);
    return;
  }
}
