// The parameter record, its one current instance, and the 348-byte block
// (header + record) that the host's handle, the last-used settings file
// and preset files share.
#pragma once

#include <cstdint>

#include "params/pstring.h"

struct FilterParams {
  int32_t showDialog;
  PString name;
  int32_t radius;    // tenths of a pixel, 0..1000
  int32_t response;  // 0..100
  int32_t spread;    // 0..100
  int32_t colourWeight[6];  // red, yellow, green, cyan, blue, magenta
  unsigned char reserved[28];
};
static_assert(sizeof(FilterParams) == 324, "FilterParams image size");

// The nine numeric values addressed by one number (dialog and engine).
enum ParamIndex : int32_t {
  kParamRadius = 0,
  kParamResponse = 1,
  kParamSpread = 2,
  kParamFirstColourWeight = 3,
  kParamCount = 9,
};

constexpr int32_t kRadiusMax = 1000;
constexpr int32_t kControlMax = 100;
constexpr int32_t kWeightMin = -100;
constexpr int32_t kWeightMax = 100;

struct ParamBlock {
  uint32_t signature;
  uint32_t kind;
  uint32_t version;
  uint32_t creator;
  uint32_t reserved1;
  uint32_t reserved2;
  FilterParams params;
};
static_assert(sizeof(ParamBlock) == 348, "ParamBlock size");

constexpr uint32_t kBlockSignature = 0x54565220;  // 'TVR '
constexpr uint32_t kBlockKind = 0x50726D73;       // 'Prms'
constexpr uint32_t kBlockVersion = 4;
constexpr uint32_t kBlockCreator = 0x6C6D7120;  // 'lmq '

extern FilterParams currentParams;

void SetDefaultParams(FilterParams *params);
void CopyParams(const FilterParams *source, FilterParams *destination);
void SwapCopyParams(const FilterParams *source, FilterParams *destination);
void ValidateParams(FilterParams *params);
int32_t ClampInt(int32_t value, int32_t lo, int32_t hi);

void ResetCurrentParams();
int32_t CopyIntoCurrentParams(const FilterParams *source);
int32_t CopyOutOfCurrentParams(FilterParams *destination);
int32_t SwapIntoCurrentParams(const FilterParams *fileImage);
int32_t SwapOutOfCurrentParams(FilterParams *fileImage);
int32_t GetShowDialog();
void SetShowDialog(int32_t value);
int32_t GetRadius();
int32_t GetResponse();
int32_t GetSpread();
int32_t GetParamByIndex(int32_t index);
// The field of a ParamIndex; null outside them.
int32_t *ParamField(FilterParams *params, int32_t index);
int32_t SetParamByIndex(int32_t index, int32_t value);

// Header words between memory order and file (big-endian) order.
void SwapHeader(const ParamBlock *source, ParamBlock *destination);
