// The parameter block in the host's parameters handle: the host keeps it
// between invocations, so a repeated filter runs with the same settings,
// and it carries showDialog from the parameters selector to start.
#include "resource_ids.h"
#include "shell/shell.h"

namespace {

constexpr int32_t kBlockBytes = int32_t(sizeof(ParamBlock));

// The block this module allocated during the current run. Its size is the
// one asked for: some hosts answer 0 for every handle of their own suite.
Handle ownBlock = nullptr;

ParamBlock *LockBlock(const FilterRecord *record, Handle handle) {
  return reinterpret_cast<ParamBlock *>(LockHostHandle(record, handle, false));
}

// A block too small for the record (an older or another plug-in's, or one
// whose size the host cannot tell) is never read or written: not even its
// signature is looked at.
bool HoldsWholeBlock(const FilterRecord *record) {
  return record->parameters == ownBlock ||
         HostHandleSize(record, record->parameters) >= kBlockBytes;
}

}  // namespace

int32_t DoParameters(FilterRecord *record) {
  ownBlock = nullptr;
  int32_t result = CheckHostEnvironment(record);
  if (result != 0) return result;
  result = ValidateOrCreateParamBlock(record);
  // Other hosts than '8BIM' are only known to take 1 for a failure; the
  // user learns which from the message.
  if (result > 0 && record->hostSig != kHostSig8BIM) {
    ShowErrorMessage(result);
    return 1;
  }
  return result;
}

void ForgetOwnParamBlock() { ownBlock = nullptr; }

int32_t CreateRepeatBlock(FilterRecord *record) {
  int32_t result = CreateParamBlock(record);
  if (result != 0) return result;
  ParamBlock *block = LockBlock(record, record->parameters);
  if (!block) return kErrMemLocked;
  block->params.showDialog = 0;
  UnlockHostHandle(record, record->parameters);
  return 0;
}

int32_t ValidateOrCreateParamBlock(FilterRecord *record) {
  return record->parameters ? RevalidateParamBlock(record)
                            : CreateParamBlock(record);
}

int32_t CreateParamBlock(FilterRecord *record) {
  Handle handle = NewHostHandle(record, kBlockBytes);
  if (!handle) return kErrNoMemory;
  ParamBlock *block = LockBlock(record, handle);
  if (!block) {
    DisposeHostHandle(record, handle);
    return kErrMemLocked;
  }
  InitParamBlockHeader(block);
  // No file, or none of ours, is no failure: the defaults stay.
  if (ReadLastUsedSettings(block) == 0) {
    ValidateParams(&block->params);
    block->params.showDialog = 1;
  }
  UnlockHostHandle(record, handle);
  record->parameters = handle;
  ownBlock = handle;
  return 0;
}

int32_t RevalidateParamBlock(FilterRecord *record) {
  if (!record->parameters) return kErrNilHandle;
  if (!HoldsWholeBlock(record)) {
    // Replaced by a new block, as if the host had held none.
    DisposeHostHandle(record, record->parameters);
    record->parameters = nullptr;
    return CreateParamBlock(record);
  }
  ParamBlock *block = LockBlock(record, record->parameters);
  if (!block) return kErrMemLocked;
  int32_t result = IDS_UNKNOWN_PARAMETERS;
  if (block->signature == kBlockSignature) {
    ValidateParams(&block->params);
    block->params.showDialog = 1;
    result = 0;
  }
  UnlockHostHandle(record, record->parameters);
  return result;
}

int32_t LoadParamsFromBlock(FilterRecord *record) {
  // Every failure below leaves the defaults in force.
  ResetCurrentParams();
  if (!record->parameters) return kErrNilHandle;
  if (!HoldsWholeBlock(record)) return IDS_UNKNOWN_PARAMETERS;
  const ParamBlock *block = LockBlock(record, record->parameters);
  if (!block) return kErrMemLocked;
  int32_t result = IDS_UNKNOWN_PARAMETERS;
  if (block->signature == kBlockSignature) {
    CopyIntoCurrentParams(&block->params);
    // A block a host stored and replays never passed the parameters
    // selector's clamp; the engine needs its values in range.
    ValidateParams(&currentParams);
    result = 0;
  }
  UnlockHostHandle(record, record->parameters);
  return result;
}

int32_t StoreParamsToBlock(FilterRecord *record) {
  if (!record->parameters) return kErrNilHandle;
  if (!HoldsWholeBlock(record)) return IDS_UNKNOWN_PARAMETERS;
  ParamBlock *block = LockBlock(record, record->parameters);
  if (!block) return kErrMemLocked;
  int32_t result = IDS_UNKNOWN_PARAMETERS;
  if (block->signature == kBlockSignature) {
    CopyOutOfCurrentParams(&block->params);
    // The file carries our own header whatever the block's said, so that
    // the next session accepts it.
    ParamBlock file;
    InitParamBlockHeader(&file);
    file.params = block->params;
    result = WriteLastUsedSettings(&file);
  }
  UnlockHostHandle(record, record->parameters);
  return result;
}
