#include "host/pipl.h"

#include <cstdio>
#include <cstring>

#include "host/text.h"
#include "params/host_records.h"

namespace {

constexpr uint32_t kVendor8BIM = FourCC('8', 'B', 'I', 'M');
constexpr size_t kHeaderSize = 10; // leading word, version, count
constexpr size_t kPropertyHeaderSize = 16;

uint32_t ReadLE32(const uint8_t *p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
         (uint32_t(p[3]) << 24);
}

bool Fail(std::string *error, const std::string &why) {
  if (error)
    *error = why;
  return false;
}

std::string KeyText(const PiplProperty &p) {
  return "'" + FourCCText(p.key) + "'";
}

// A length byte and that many characters.
bool DecodePString(const PiplProperty &p, std::string *out,
                   std::string *error) {
  if (p.data.empty())
    return Fail(error, "property " + KeyText(p) + " is empty");
  size_t length = p.data[0];
  if (length + 1 > p.data.size())
    return Fail(error, "property " + KeyText(p) + " string of " +
                           std::to_string(length) + " characters in " +
                           std::to_string(p.data.size()) + " bytes");
  out->assign(reinterpret_cast<const char *>(p.data.data()) + 1, length);
  return true;
}

// A terminated name: the terminator must lie inside the data, since a
// host passes the name to the loader as a C string.
bool DecodeEntry(const PiplProperty &p, std::string *out, std::string *error) {
  // Empty data may have no buffer at all: not even memchr may see it.
  const uint8_t *end = p.data.empty()
                           ? nullptr
                           : static_cast<const uint8_t *>(
                                 std::memchr(p.data.data(), 0, p.data.size()));
  if (end == nullptr)
    return Fail(error,
                "code descriptor " + KeyText(p) + " has no terminated name");
  if (end == p.data.data())
    return Fail(error, "code descriptor " + KeyText(p) + " names no entry");
  out->assign(reinterpret_cast<const char *>(p.data.data()),
              size_t(end - p.data.data()));
  return true;
}

bool DecodeInt32(const PiplProperty &p, int32_t *out, std::string *error) {
  if (p.data.size() < 4)
    return Fail(error, "property " + KeyText(p) + " has " +
                           std::to_string(p.data.size()) + " bytes, needs 4");
  *out = int32_t(ReadLE32(p.data.data()));
  return true;
}

bool DecodeProperty(const PiplProperty &p, PiplInfo *info, std::string *error) {
  if (p.vendor != kVendor8BIM)
    return true; // another vendor's property: kept, not interpreted
  int32_t value = 0;
  switch (p.key) {
  case FourCC('k', 'i', 'n', 'd'):
    if (!DecodeInt32(p, &value, error))
      return false;
    info->hasKind = true;
    info->kind = uint32_t(value);
    return true;
  case FourCC('v', 'e', 'r', 's'):
    if (!DecodeInt32(p, &value, error))
      return false;
    info->hasInterfaceVersion = true;
    info->interfaceVersion = value;
    return true;
  case FourCC('p', 'r', 't', 'y'):
    if (!DecodeInt32(p, &value, error))
      return false;
    info->hasPriority = true;
    info->priority = value;
    return true;
  case FourCC('c', 'a', 't', 'g'):
    info->hasCategory = true;
    return DecodePString(p, &info->category, error);
  case FourCC('n', 'a', 'm', 'e'):
    info->hasName = true;
    return DecodePString(p, &info->name, error);
  case FourCC('w', 'x', '8', '6'):
    // The first descriptor of an architecture is the one a host uses.
    return !info->entryX86.empty() || DecodeEntry(p, &info->entryX86, error);
  case FourCC('8', '6', '6', '4'):
    return !info->entryX64.empty() || DecodeEntry(p, &info->entryX64, error);
  case FourCC('m', 'o', 'd', 'e'):
    if (p.data.size() < 2)
      return Fail(error, "property 'mode' has fewer than 2 bytes");
    info->hasModes = true;
    info->modes = uint16_t((p.data[0] << 8) | p.data[1]);
    return true;
  case FourCC('e', 'n', 'b', 'l'): {
    const void *nul =
        p.data.empty() ? nullptr : std::memchr(p.data.data(), 0, p.data.size());
    size_t length =
        nul ? size_t(static_cast<const uint8_t *>(nul) - p.data.data())
            : p.data.size();
    info->hasEnable = true;
    info->enable.assign(reinterpret_cast<const char *>(p.data.data()), length);
    return true;
  }
  case FourCC('h', 's', 't', 'm'): {
    // Version, class, event, resource id, then a terminated scope.
    const size_t kScopeAt = 14;
    const void *nul =
        p.data.size() > kScopeAt
            ? std::memchr(p.data.data() + kScopeAt, 0, p.data.size() - kScopeAt)
            : nullptr;
    if (nul == nullptr)
      return Fail(error, "property 'hstm' of " + std::to_string(p.data.size()) +
                             " bytes has no terminated scope after 14");
    info->hasTerms = true;
    info->termsVersion = int32_t(ReadLE32(p.data.data()));
    info->termsClass = ReadLE32(p.data.data() + 4);
    info->termsEvent = ReadLE32(p.data.data() + 8);
    info->terminologyId = int16_t(p.data[12] | (p.data[13] << 8));
    info->termsScope.assign(
        reinterpret_cast<const char *>(p.data.data()) + kScopeAt,
        static_cast<const uint8_t *>(nul) - p.data.data() - kScopeAt);
    return true;
  }
  case FourCC('f', 'i', 'c', 'i'): {
    if (p.data.size() % 4 != 0)
      return Fail(error, "property 'fici' length " +
                             std::to_string(p.data.size()) +
                             " is not a whole number of 4-byte records");
    size_t count = p.data.size() / 4;
    if (count > size_t(kFilterCaseCount))
      count = kFilterCaseCount;
    info->ficiCount = int(count);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t *r = &p.data[i * 4];
      info->fici[i] = FilterCaseInfo{r[0], r[1], r[2], r[3]};
    }
    return true;
  }
  default:
    return true;
  }
}

std::string Quoted(const std::string &s) { return "\"" + EscapeText(s) + "\""; }

const char *const kFilterCaseNames[kFilterCaseCount] = {
    "flat image, no selection",
    "flat image, selection",
    "floating selection",
    "editable transparency, no selection",
    "editable transparency, selection",
    "preserved transparency, no selection",
    "preserved transparency, selection",
};

std::string ModeList(uint16_t modes) {
  std::string out;
  for (int m = 0; m < 16; ++m) {
    if (modes & (0x8000 >> m)) {
      if (!out.empty())
        out += ", ";
      out += ImageModeName(m);
    }
  }
  return out.empty() ? "none" : out;
}

std::string Hex(uint32_t value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, unsigned(value));
  return buffer;
}

} // namespace

bool ParsePipl(const uint8_t *bytes, size_t size, PiplInfo *info,
               std::string *error, PiplWalk walk) {
  *info = PiplInfo();
  if (bytes == nullptr || size < kHeaderSize)
    return Fail(error, "property list of " + std::to_string(size) +
                           " bytes is shorter than its 10-byte header");
  info->leadingWord = uint16_t(bytes[0] | (bytes[1] << 8));
  info->version = int32_t(ReadLE32(bytes + 2));
  int32_t count = int32_t(ReadLE32(bytes + 6));
  if (info->version != 0)
    return Fail(error, "property list version " +
                           std::to_string(info->version) + ", expected 0");
  size_t room = (size - kHeaderSize) / kPropertyHeaderSize;
  if (count < 0 || size_t(count) > room)
    return Fail(error, "property list declares " + std::to_string(count) +
                           " properties, room for at most " +
                           std::to_string(room));
  size_t at = kHeaderSize;
  for (int32_t i = 0; i < count; ++i) {
    if (size - at < kPropertyHeaderSize)
      return Fail(error, "property " + std::to_string(i) +
                             " header runs past the end of the list");
    PiplProperty p;
    p.vendor = ReadLE32(bytes + at);
    p.key = ReadLE32(bytes + at + 4);
    p.id = int32_t(ReadLE32(bytes + at + 8));
    uint32_t length = ReadLE32(bytes + at + 12);
    at += kPropertyHeaderSize;
    if (length > size - at)
      return Fail(error, "property " + std::to_string(i) + " " + KeyText(p) +
                             " declares " + std::to_string(length) +
                             " bytes, " + std::to_string(size - at) +
                             " remain");
    p.data.assign(bytes + at, bytes + at + length);
    // Data is padded to 4 bytes; the last property's padding may be cut.
    size_t padded = walk == PiplWalk::kLoose
                        ? size_t(length)
                        : (size_t(length) + 3) & ~size_t(3);
    at += padded < size - at ? padded : size - at;
    if (!DecodeProperty(p, info, error))
      return false;
    info->properties.push_back(std::move(p));
  }
  return true;
}

const std::string *CodeEntryFor(const PiplInfo &info, CodeArch arch) {
  const std::string &entry =
      arch == CodeArch::kX64 ? info.entryX64 : info.entryX86;
  return entry.empty() ? nullptr : &entry;
}

bool PiplSupportsMode(const PiplInfo &info, int imageMode) {
  return info.hasModes && imageMode >= 0 && imageMode < 16 &&
         (info.modes & (0x8000 >> imageMode)) != 0;
}

const FilterCaseInfo *FilterCaseFor(const PiplInfo &info, int filterCase) {
  if (filterCase < 1 || filterCase > info.ficiCount)
    return nullptr;
  return &info.fici[filterCase - 1];
}

std::string DescribePipl(const PiplInfo &info, const std::string &indent) {
  std::string out;
  auto line = [&](const std::string &text) { out += indent + text + "\n"; };
  line("properties: " + std::to_string(info.properties.size()) +
       (info.leadingWord != 1
            ? " (leading word " + std::to_string(info.leadingWord) + ")"
            : ""));
  line("kind: " + (info.hasKind ? FourCCText(info.kind) +
                                      (info.kind == FourCC('8', 'B', 'F', 'M')
                                           ? " (filter)"
                                           : " (not a filter)")
                                : std::string("(none)")));
  if (info.hasInterfaceVersion)
    line("version: " + std::to_string(uint32_t(info.interfaceVersion) >> 16) +
         "." + std::to_string(info.interfaceVersion & 0xFFFF));
  if (info.hasPriority)
    line("priority: " + std::to_string(info.priority));
  line("category: " +
       (info.hasCategory ? Quoted(info.category) : std::string("(none)")));
  line("name: " + (info.hasName ? Quoted(info.name) : std::string("(none)")));
  line("entry x86: " +
       (info.entryX86.empty() ? std::string("(none)") : info.entryX86));
  line("entry x64: " +
       (info.entryX64.empty() ? std::string("(none)") : info.entryX64));
  line("modes: " + (info.hasModes
                        ? Hex(info.modes, 4) + " " + ModeList(info.modes)
                        : std::string("(none)")));
  line("enable: " +
       (info.hasEnable ? Quoted(info.enable) : std::string("(none)")));
  if (info.hasTerms)
    line("terms: version " + std::to_string(info.termsVersion) + ", class '" +
         FourCCText(info.termsClass) + "', event '" +
         FourCCText(info.termsEvent) + "', terminology " +
         std::to_string(info.terminologyId) + ", scope " +
         Quoted(info.termsScope));
  else
    line("terms: (none)");
  if (info.ficiCount == 0)
    line("filter cases: (none)");
  for (int i = 0; i < info.ficiCount; ++i) {
    const FilterCaseInfo &c = info.fici[i];
    line("filter case " + std::to_string(i + 1) + " (" + kFilterCaseNames[i] +
         "): input " + std::to_string(c.inputHandling) + ", output " +
         std::to_string(c.outputHandling) + ", flags " + Hex(c.flags1, 2) +
         " " + Hex(c.flags2, 2));
  }
  for (const PiplProperty &p : info.properties) {
    if (p.vendor != kVendor8BIM)
      line("other: vendor '" + FourCCText(p.vendor) + "' key '" +
           FourCCText(p.key) + "', " + std::to_string(p.data.size()) +
           " bytes");
  }
  return out;
}

std::string FourCCText(uint32_t code) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    unsigned char c = static_cast<unsigned char>(code >> shift);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += char(c);
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", unsigned(c));
      out += buffer;
    }
  }
  return out;
}

const char *ImageModeName(int imageMode) {
  static const char *const names[] = {
      "Bitmap",    "Grayscale", "Indexed",      "RGB",     "CMYK",
      "HSL",       "HSB",       "Multichannel", "Duotone", "Lab",
      "Gray16",    "RGB48",     "Lab48",        "CMYK64",  "DeepMultichannel",
      "Duotone16",
  };
  if (imageMode < 0 || imageMode >= 16)
    return "unknown";
  return names[imageMode];
}
