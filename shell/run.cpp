// The filtering run: start loads the parameters, takes the engine's
// working memory, runs the dialog phase when asked, then walks filterRect
// in tiles of at most 256 by 256 pixels, each fetched through
// advanceState, checked for abort, sharpened and reported as progress.
// Everything is released, and the request rectangles emptied, before
// start returns, so the host has nothing left to deliver.
#include <climits>

#include "engine/engine.h"
#include "resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr Fixed kFullResolution = 0x10000;

// The engine's working memory: a host handle held, locked, only while
// start runs.
Handle engineMemory = nullptr;

// Progress in the host's signed 32-bit counts. A filter area whose
// samples do not fit them is reported in coarser units, so that done
// still grows steadily to total.
struct Progress {
  int64_t done = 0;
  int64_t total = 0;
  int32_t shift = 0;
  void Report(const FilterRecord *record) const {
    if (record->progressProc)
      record->progressProc(int32_t(done >> shift), int32_t(total >> shift));
  }
};

Progress StartProgress(const FilterRecord *record) {
  const Rect &area = record->filterRect;
  Progress progress;
  progress.total = int64_t(area.bottom - area.top) *
                   int64_t(area.right - area.left) * record->planes;
  while ((progress.total >> progress.shift) > INT32_MAX) ++progress.shift;
  return progress;
}

void EmptyRequests(FilterRecord *record) {
  EmptyRect(&record->inRect);
  EmptyRect(&record->outRect);
}

}  // namespace

int32_t AllocEngineMemory(FilterRecord *record) {
  engineMemory = NewHostHandle(record, EngineMemorySize(record));
  if (!engineMemory) return kErrNoMemory;
  char *address = LockHostHandle(record, engineMemory, true);
  if (!address) {
    DisposeHostHandle(record, engineMemory);
    engineMemory = nullptr;
    return kErrMemLocked;
  }
  AttachEngineMemory(record, address);
  return 0;
}

void FreeEngineMemory(FilterRecord *record) {
  DetachEngineMemory(record);
  if (!engineMemory) return;
  UnlockHostHandle(record, engineMemory);
  DisposeHostHandle(record, engineMemory);
  engineMemory = nullptr;
}

int32_t RunTileLoop(FilterRecord *record) {
  Progress progress = StartProgress(record);
  int32_t result = 0;
  EmptyRequests(record);
  EmptyRect(&record->maskRect);
  record->inLoPlane = record->outLoPlane = 0;
  record->inHiPlane = record->outHiPlane = int16_t(record->planes - 1);
  record->inputPadding = record->outputPadding = -1;  // replicate the edges
  if (record->haveMask && record->isFloating) record->maskPadding = -1;
  record->inputRate = record->maskRate = kFullResolution;

  // An empty filterRect yields no tile: nothing is requested.
  const Rect image = ImageRect(record);
  while (result == 0 && NextTile(record)) {
    const AskedTile request = AskForTile(record, image);
    result = int16_t(record->advanceState());
    if (result != 0) break;
    result = record->abortProc ? uint8_t(record->abortProc()) : 0;
    if (result != 0) break;
    // A tile the host did not deliver in full ends the run: filtering
    // around it would report a document done that is not.
    HostTile tile;
    if (!TakeDeliveredTile(record, request, request.out, &tile) ||
        !HostTileFits(tile)) {
      ShowErrorMessage(IDS_TILE_NOT_DELIVERED);
      result = IDS_TILE_NOT_DELIVERED;
      break;
    }
    ProcessHostTile(tile);
    const Rect &out = request.out;
    progress.done += (out.bottom - out.top) * (out.right - out.left) *
                     (record->outHiPlane - record->outLoPlane + 1);
    progress.Report(record);
    // The next tile follows the one asked for, whatever the host wrote.
    record->inRect = request.wantedIn;
    record->outRect = out;
  }
  EmptyRequests(record);
  return result;
}

namespace {

// What start does while it holds the engine's memory.
int32_t FilterWithEngineMemory(FilterRecord *record) {
  if (GetShowDialog() != 0) {
    int32_t result = RunDialogPhase(record);
    if (result != 0) return result;
    SetShowDialog(0);
    // A file that cannot be written costs only the next session's
    // defaults: the block holds the settings.
    StoreParamsToBlock(record);
  }
  // The dialog's preview leaves its own sampling rate; the reach of the
  // blur is derived from the rate.
  record->inputRate = record->maskRate = kFullResolution;
  int32_t result = PrepareEngineTables(record);
  if (result != 0) return result;
  return RunTileLoop(record);
}

int32_t RunStart(FilterRecord *record) {
  // The host must learn that nothing was filtered: with the flat-image
  // cases it copies no source into the destination.
  if (!record->advanceState) {
    ShowErrorMessage(IDS_NO_ADVANCE_STATE);
    return IDS_NO_ADVANCE_STATE;
  }
  // A repeat comes without the parameters selector and its checks.
  int32_t result = CheckImage(record);
  if (result != 0) {
    ReportError(record, result);
    return result;
  }
  // A host that starts the filter from a script may never have called
  // the parameters selector: it gets the last-used settings.
  if (!record->parameters) result = CreateRepeatBlock(record);
  if (result == 0) result = LoadParamsFromBlock(record);
  // Settings played back from the host's descriptor stand in for a
  // block that could not be read.
  if (PlayBackDescriptor(record, result == 0) < 0 && result != 0) return result;
  result = AllocEngineMemory(record);
  if (result == 0) result = FilterWithEngineMemory(record);
  FreeEngineMemory(record);
  if (result == 0) RecordDescriptor(record);
  return result;
}

}  // namespace

int32_t DoStart(FilterRecord *record) {
  const bool handedBlock = record->parameters != nullptr;
  int32_t result = RunStart(record);
  EmptyRequests(record);
  ForgetOwnParamBlock();
  // Only '8BIM' hosts are known to keep the block between invocations; a
  // block made because the host handed none is left for it to repeat.
  if (record->hostSig != kHostSig8BIM && handedBlock && record->parameters) {
    DisposeHostHandle(record, record->parameters);
    record->parameters = nullptr;
  }
  return result;
}

int32_t DoContinue(FilterRecord *record) {
  // Start leaves nothing to continue; a host that sends continue anyway
  // gets no request and the run is over.
  if (!engineMemory) {
    EmptyRequests(record);
    return 0;
  }
  return RunTileLoop(record);
}
