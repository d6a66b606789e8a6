// The parameter block's header, and the block as files hold it: 348
// bytes, every 32-bit value big-endian. The last-used settings file and
// preset files share this form.
#pragma once

#include <cstdint>

#include "params/filter_params.h"

constexpr int32_t kBlockFileBytes = int32_t(sizeof(ParamBlock));

// Writes the header values, then the default record. Bytes of the record
// that hold no field keep what they held.
void InitParamBlockHeader(ParamBlock *block);

// The block's header and record in file order into image, which is
// zeroed first: bytes the block does not supply are written as zero.
void EncodeBlockFile(const ParamBlock *block, unsigned char *image);

// When count covers a whole image whose signature, kind and version are
// this module's, the image's record replaces block's record and the
// result is true. Otherwise block is untouched: a short, empty or foreign
// file is no error, just nothing to take.
bool DecodeBlockFile(const unsigned char *image, int32_t count,
                     ParamBlock *block);
