// Preset files as bytes: the 348-byte block image (header and record,
// every 32-bit value big-endian), built from a record and read back with
// the checks whose messages the dialog shows. Portable; the file dialogs
// and file calls are presets.cpp's.
#pragma once

#include <cstdint>

#include "params/filter_params.h"

constexpr int32_t kPresetBytes = 348;

// A file that ended before the record: nothing is taken from it.
constexpr int32_t kPresetShort = -1;

// The file image of params, its name replaced by name.
void BuildPresetImage(const FilterParams *params, const unsigned char *name,
                      unsigned char *image);

// Reads count bytes of a file image. 0: the record went into target,
// clamped to the ranges the engine needs. 2011, 2012, 2013: the message
// for a foreign signature, kind or version. kPresetShort: count is less
// than a whole image. target changes only with 0.
int32_t ReadPresetImage(const unsigned char *image, int32_t count,
                        FilterParams *target);
