// The last-used settings file as bytes of any length, and the path the
// file lives under built from folder texts of any length. A file is
// taken only whole and only when its header is ours, the block keeps its
// own header, and the block written back reads back the same. Path
// pieces are appended whole or not at all, and the path stays a
// terminated text that fits its 256 bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "params/block_file.h"
#include "params/settings_path.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr size_t kRecord = 24;

bool OursWhole(const uint8_t *data, size_t size) {
  return size >= size_t(kBlockFileBytes) &&
         ReadBigEndian32(data) == kBlockSignature &&
         ReadBigEndian32(data + 4) == kBlockKind &&
         ReadBigEndian32(data + 8) == kBlockVersion;
}

ParamBlock FreshBlock(unsigned char fill) {
  ParamBlock block;
  std::memset(&block, fill, sizeof block);
  InitParamBlockHeader(&block);
  return block;
}

void CheckFile(const uint8_t *data, size_t size) {
  const int32_t count = size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size);
  const ParamBlock before = FreshBlock(0x5A);
  ParamBlock block = before;
  const bool taken = DecodeBlockFile(data, count, &block);
  FUZZ_CHECK(taken == OursWhole(data, size));
  if (!taken) {
    FUZZ_CHECK(std::memcmp(&block, &before, sizeof block) == 0);
  } else {
    // Only the record's fields come from the file, unclamped.
    FUZZ_CHECK(std::memcmp(&block, &before, kRecord) == 0);
    for (size_t offset : {0, 260, 264, 268, 272, 276, 280, 284, 288, 292}) {
      int32_t field;
      std::memcpy(&field,
                  reinterpret_cast<const uint8_t *>(&block.params) + offset, 4);
      FUZZ_CHECK(field == int32_t(ReadBigEndian32(data + kRecord + offset)));
    }
    const uint8_t *name = data + kRecord + 4;
    FUZZ_CHECK(std::memcmp(block.params.name, name, size_t(name[0]) + 1) == 0);
    FUZZ_CHECK(std::memcmp(block.params.reserved, before.params.reserved,
                           sizeof before.params.reserved) == 0);
  }

  // The block written out and read back: the same record. (The bytes
  // themselves are the native tests'.)
  unsigned char image[kBlockFileBytes];
  EncodeBlockFile(&block, image);
  ParamBlock again = FreshBlock(0xC3);
  FUZZ_CHECK(DecodeBlockFile(image, kBlockFileBytes, &again));
  FUZZ_CHECK(std::memcmp(&again.params, &block.params,
                         5 + size_t(block.params.name[0])) == 0);
  FUZZ_CHECK(std::memcmp(&again.params.radius, &block.params.radius, 36) == 0);
}

// The input's NUL-separated pieces as folder texts (the system's folder,
// then our names); an empty piece asks for a closing backslash.
void CheckPath(const uint8_t *data, size_t size) {
  PString path;
  std::memset(path, 0xEE, sizeof path);
  path[0] = 0;
  path[1] = 0;
  const std::string all(reinterpret_cast<const char *>(data), size);
  for (size_t at = 0; at <= size;) {
    const size_t end = std::min(all.find('\0', at), size);
    const std::string piece = all.substr(at, end - at);
    at = end + 1;

    PString before;
    std::memcpy(before, path, sizeof path);
    const std::string text(PathText(before), before[0]);
    std::string added = piece;
    bool ok;
    if (piece.empty()) {
      const bool ends = before[0] != 0 && text.back() == '\\';
      added = ends ? "" : "\\";
      ok = EndPathWithBackslash(path);
    } else {
      ok = AppendPathText(piece.c_str(), path);
    }
    FUZZ_CHECK(ok == (text.size() + added.size() <= size_t(kMaxPathText)));
    if (ok) {
      FUZZ_CHECK(path[0] == text.size() + added.size());
      FUZZ_CHECK(std::string(PathText(path), path[0]) == text + added);
    } else {
      FUZZ_CHECK(std::memcmp(path, before, sizeof path) == 0);
    }
    FUZZ_CHECK(path[1 + path[0]] == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  CheckFile(data, size);
  CheckPath(data, size);
  return 0;
}
