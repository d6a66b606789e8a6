#include "params/block_file.h"

#include <cstring>

void InitParamBlockHeader(ParamBlock *block) {
  if (!block) return;
  block->signature = kBlockSignature;
  block->kind = kBlockKind;
  block->version = kBlockVersion;
  block->creator = kBlockCreator;
  block->reserved1 = 0;
  block->reserved2 = 0;
  SetDefaultParams(&block->params);
}

void EncodeBlockFile(const ParamBlock *block, unsigned char *image) {
  ParamBlock file;
  std::memset(&file, 0, sizeof file);
  SwapHeader(block, &file);
  SwapCopyParams(&block->params, &file.params);
  std::memcpy(image, &file, sizeof file);
}

bool DecodeBlockFile(const unsigned char *image, int32_t count,
                     ParamBlock *block) {
  // Bytes past a short read were never filled: never look at them.
  if (count < kBlockFileBytes) return false;
  ParamBlock file;
  std::memcpy(&file, image, sizeof file);
  SwapHeader(&file, &file);
  if (file.signature != kBlockSignature || file.kind != kBlockKind ||
      file.version != kBlockVersion)
    return false;
  SwapCopyParams(&file.params, &block->params);
  return true;
}
