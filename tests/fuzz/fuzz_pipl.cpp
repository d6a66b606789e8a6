// Property list bytes of any length, as our host reads them from a
// module before it runs anything. Nothing is read past the list's end;
// a list that is read makes sense (properties within the list, entries
// without their terminator) and, written out again in the
// resource's layout, reads back to the same description.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/pipl.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

void PutLE32(std::vector<uint8_t> *out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

// The list in the resource's layout: header, then each property's
// 16-byte header and data padded to 4 bytes.
std::vector<uint8_t> WriteOut(const PiplInfo &info) {
  std::vector<uint8_t> out = {uint8_t(info.leadingWord),
                              uint8_t(info.leadingWord >> 8)};
  PutLE32(&out, uint32_t(info.version));
  PutLE32(&out, uint32_t(info.properties.size()));
  for (const PiplProperty &p : info.properties) {
    PutLE32(&out, p.vendor);
    PutLE32(&out, p.key);
    PutLE32(&out, uint32_t(p.id));
    PutLE32(&out, uint32_t(p.data.size()));
    out.insert(out.end(), p.data.begin(), p.data.end());
    for (size_t pad = p.data.size(); pad % 4 != 0; ++pad) out.push_back(0);
  }
  return out;
}

bool SameProperties(const PiplInfo &a, const PiplInfo &b) {
  if (a.properties.size() != b.properties.size()) return false;
  for (size_t i = 0; i < a.properties.size(); ++i) {
    const PiplProperty &p = a.properties[i], &q = b.properties[i];
    if (p.vendor != q.vendor || p.key != q.key || p.id != q.id ||
        p.data != q.data)
      return false;
  }
  return true;
}

void CheckSense(const PiplInfo &info, size_t size) {
  size_t bytes = 10;
  for (const PiplProperty &p : info.properties) bytes += 16 + p.data.size();
  FUZZ_CHECK(bytes <= size);
  FUZZ_CHECK(info.category.size() <= 255 && info.name.size() <= 255);
  for (CodeArch arch : {CodeArch::kX86, CodeArch::kX64}) {
    if (const std::string *entry = CodeEntryFor(info, arch)) {
      FUZZ_CHECK(!entry->empty());
      FUZZ_CHECK(entry->find('\0') == std::string::npos);
    }
  }
  FUZZ_CHECK(info.enable.find('\0') == std::string::npos);
  FUZZ_CHECK(info.ficiCount >= 0 && info.ficiCount <= kFilterCaseCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  PiplInfo info;
  std::string error;
  if (!ParsePipl(data, size, &info, &error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  CheckSense(info, size);
  const std::string description = DescribePipl(info, "  ");

  const std::vector<uint8_t> written = WriteOut(info);
  PiplInfo again;
  FUZZ_CHECK(ParsePipl(written.data(), written.size(), &again, &error));
  FUZZ_CHECK(SameProperties(info, again));
  FUZZ_CHECK(DescribePipl(again, "  ") == description);
  FUZZ_CHECK(WriteOut(again) == written);
  return 0;
}
