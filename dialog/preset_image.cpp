#include "dialog/preset_image.h"

#include <cstring>

#include "resources/resource_ids.h"

void BuildPresetImage(const FilterParams *params, const unsigned char *name,
                      unsigned char *image) {
  ParamBlock block;
  std::memset(&block, 0, sizeof block);
  block.signature = kBlockSignature;
  block.kind = kBlockKind;
  block.version = kBlockVersion;
  block.creator = kBlockCreator;
  SwapHeader(&block, &block);
  SwapCopyParams(params, &block.params);
  PStringCopy(name, block.params.name);
  std::memcpy(image, &block, sizeof block);
}

int32_t ReadPresetImage(const unsigned char *image, int32_t count,
                        FilterParams *target) {
  if (count < kPresetBytes) return kPresetShort;
  ParamBlock block;
  std::memcpy(&block, image, sizeof block);
  SwapHeader(&block, &block);
  if (block.signature != kBlockSignature) return IDS_FOREIGN_PARAMETERS;
  if (block.kind != kBlockKind) return IDS_UNKNOWN_FILETYPE;
  if (block.version != kBlockVersion) return IDS_UNREADABLE_VERSION;
  SwapCopyParams(&block.params, target);
  ValidateParams(target);
  return 0;
}
