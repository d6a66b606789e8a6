// Preset file bytes of any length, as the dialog's load button reads
// them: a file is taken whole or not at all, every value it brings is
// clamped to the engine's ranges, the refusals come in the order the
// messages promise, and a loaded preset saved again loads back the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dialog/preset_image.h"
#include "resources/resource_ids.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Offsets in the file: a 24-byte header, then the record.
constexpr size_t kRecord = 24;
constexpr size_t kRadius = kRecord + 260;

int32_t FileInt(const uint8_t *file, size_t offset) {
  return int32_t(ReadBigEndian32(file + offset));
}

int32_t ExpectedResult(const uint8_t *data, size_t size) {
  if (size < size_t(kPresetBytes)) return kPresetShort;
  if (ReadBigEndian32(data) != kBlockSignature) return IDS_FOREIGN_PARAMETERS;
  if (ReadBigEndian32(data + 4) != kBlockKind) return IDS_UNKNOWN_FILETYPE;
  if (ReadBigEndian32(data + 8) != kBlockVersion) return IDS_UNREADABLE_VERSION;
  return 0;
}

// A record whose every byte is known, so that a partial load shows.
FilterParams Sentinel(unsigned char fill) {
  FilterParams params;
  std::memset(&params, fill, sizeof params);
  SetDefaultParams(&params);
  return params;
}

bool SameFields(const FilterParams &a, const FilterParams &b) {
  // radius, response, spread and the six weights lie together
  return a.showDialog == b.showDialog &&
         std::memcmp(&a.radius, &b.radius, 9 * sizeof(int32_t)) == 0 &&
         std::memcmp(a.name, b.name, size_t(a.name[0]) + 1) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const int32_t count = size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size);
  const FilterParams before = Sentinel(0xA5);
  FilterParams target = before;
  const int32_t result = ReadPresetImage(data, count, &target);
  FUZZ_CHECK(result == ExpectedResult(data, size));
  if (result != 0) {
    FUZZ_CHECK(std::memcmp(&target, &before, sizeof target) == 0);
    return 0;
  }

  const uint8_t *record = data + kRecord;
  FUZZ_CHECK(target.showDialog == FileInt(record, 0));
  FUZZ_CHECK(std::memcmp(target.name, record + 4, size_t(record[4]) + 1) == 0);
  // Name bytes past the new length and the reserved bytes are not the
  // file's to set.
  FUZZ_CHECK(std::memcmp(target.name + 1 + record[4],
                         before.name + 1 + record[4], 255 - record[4]) == 0);
  FUZZ_CHECK(std::memcmp(target.reserved, before.reserved,
                         sizeof target.reserved) == 0);
  FUZZ_CHECK(target.radius == std::clamp(FileInt(data, kRadius), 0, 1000));
  FUZZ_CHECK(target.response == std::clamp(FileInt(data, kRadius + 4), 0, 100));
  FUZZ_CHECK(target.spread == std::clamp(FileInt(data, kRadius + 8), 0, 100));
  for (int k = 0; k < 6; ++k) {
    FUZZ_CHECK(
        target.colourWeight[k] ==
        std::clamp(FileInt(data, kRadius + 12 + 4 * size_t(k)), -100, 100));
  }

  // Saved under its own name and loaded again: the same record.
  unsigned char image[kPresetBytes];
  BuildPresetImage(&target, target.name, image);
  FilterParams again = Sentinel(0x3C);
  FUZZ_CHECK(ReadPresetImage(image, kPresetBytes, &again) == 0);
  FUZZ_CHECK(SameFields(again, target));
  return 0;
}
