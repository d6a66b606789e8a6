#include "params/filter_params.h"

#include <cstddef>
#include <cstring>

FilterParams currentParams;

static const unsigned char kDefaultName[] = "\x13Untitled parameters";

void SetDefaultParams(FilterParams *params) {
  if (!params) return;
  params->showDialog = 1;
  // Only the length byte and the 19 characters: the rest of the name
  // field keeps what it held.
  std::memcpy(params->name, kDefaultName, 20);
  params->radius = 10;
  params->response = 50;
  params->spread = 50;
  for (int32_t &w : params->colourWeight) w = 0;
}

// Offsets of the ten 32-bit fields in image order.
static const size_t kIntFieldOffsets[10] = {
    offsetof(FilterParams, showDialog),      offsetof(FilterParams, radius),
    offsetof(FilterParams, response),        offsetof(FilterParams, spread),
    offsetof(FilterParams, colourWeight[0]), offsetof(FilterParams, colourWeight[1]),
    offsetof(FilterParams, colourWeight[2]), offsetof(FilterParams, colourWeight[3]),
    offsetof(FilterParams, colourWeight[4]), offsetof(FilterParams, colourWeight[5])};

static void CopyFields(const FilterParams *source, FilterParams *destination,
                       bool swap) {
  if (!source || !destination) return;
  const unsigned char *from = reinterpret_cast<const unsigned char *>(source);
  unsigned char *to = reinterpret_cast<unsigned char *>(destination);
  for (size_t offset : kIntFieldOffsets) {
    if (swap)
      SwapBytes32(from + offset, to + offset);
    else
      std::memmove(to + offset, from + offset, 4);
  }
  PStringCopy(source->name, destination->name);
}

void CopyParams(const FilterParams *source, FilterParams *destination) {
  CopyFields(source, destination, false);
}

void SwapCopyParams(const FilterParams *source, FilterParams *destination) {
  CopyFields(source, destination, true);
}

int32_t ClampInt(int32_t value, int32_t lo, int32_t hi) {
  if (value < lo) return lo;
  if (value <= hi) return value;
  return hi;
}

void ValidateParams(FilterParams *params) {
  if (!params) return;
  params->radius = ClampInt(params->radius, 0, kRadiusMax);
  params->response = ClampInt(params->response, 0, kControlMax);
  params->spread = ClampInt(params->spread, 0, kControlMax);
  for (int32_t &w : params->colourWeight)
    w = ClampInt(w, kWeightMin, kWeightMax);
}

void ResetCurrentParams() { SetDefaultParams(&currentParams); }

int32_t CopyIntoCurrentParams(const FilterParams *source) {
  CopyParams(source, &currentParams);
  return 0;
}

int32_t CopyOutOfCurrentParams(FilterParams *destination) {
  CopyParams(&currentParams, destination);
  return 0;
}

int32_t SwapIntoCurrentParams(const FilterParams *fileImage) {
  SwapCopyParams(fileImage, &currentParams);
  return 0;
}

int32_t SwapOutOfCurrentParams(FilterParams *fileImage) {
  SwapCopyParams(&currentParams, fileImage);
  return 0;
}

int32_t GetShowDialog() { return currentParams.showDialog; }
void SetShowDialog(int32_t value) { currentParams.showDialog = value; }
int32_t GetRadius() { return currentParams.radius; }
int32_t GetResponse() { return currentParams.response; }
int32_t GetSpread() { return currentParams.spread; }

int32_t *ParamField(FilterParams *params, int32_t index) {
  if (index < 0 || index >= kParamCount) return nullptr;
  if (index == kParamRadius) return &params->radius;
  if (index == kParamResponse) return &params->response;
  if (index == kParamSpread) return &params->spread;
  return &params->colourWeight[index - kParamFirstColourWeight];
}

static int32_t *ValueByIndex(int32_t index) {
  return ParamField(&currentParams, index);
}

int32_t GetParamByIndex(int32_t index) {
  int32_t *value = ValueByIndex(index);
  return value ? *value : 0;
}

int32_t SetParamByIndex(int32_t index, int32_t value) {
  if (int32_t *slot = ValueByIndex(index)) *slot = value;
  return value;
}

void SwapHeader(const ParamBlock *source, ParamBlock *destination) {
  if (!source || !destination) return;
  SwapBytes32(&source->signature, &destination->signature);
  SwapBytes32(&source->kind, &destination->kind);
  SwapBytes32(&source->version, &destination->version);
  SwapBytes32(&source->creator, &destination->creator);
  SwapBytes32(&source->reserved1, &destination->reserved1);
  SwapBytes32(&source->reserved2, &destination->reserved2);
}
