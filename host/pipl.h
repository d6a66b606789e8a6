// Reader of a module's property list (the "PIPL" resource): the bytes a
// host reads before it runs anything, to learn what the module is, where
// its entry lies for each architecture, and when it may be offered.
// Portable and defensive: every length is checked against the buffer, so
// a malformed list is refused with a reason instead of read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PiplProperty {
  uint32_t vendor = 0;
  uint32_t key = 0;
  int32_t id = 0;
  std::vector<uint8_t> data; // unpadded
};

// One record per filter case, in the order of the record's filterCase
// numbers 1 to 7.
struct FilterCaseInfo {
  uint8_t inputHandling = 0;
  uint8_t outputHandling = 0;
  uint8_t flags1 = 0;
  uint8_t flags2 = 0;
};

constexpr int kFilterCaseCount = 7;

struct PiplInfo {
  uint16_t leadingWord = 0;
  int32_t version = 0;
  std::vector<PiplProperty> properties;

  // Decoded from the properties of vendor '8BIM'; has* tells presence.
  bool hasKind = false;
  uint32_t kind = 0;
  bool hasInterfaceVersion = false;
  int32_t interfaceVersion = 0;
  bool hasPriority = false;
  int32_t priority = 0;
  bool hasCategory = false;
  std::string category;
  bool hasName = false;
  std::string name;
  std::string entryX86; // empty when the list has no 32-bit descriptor
  std::string entryX64; // empty when the list has no 64-bit descriptor
  bool hasModes = false;
  uint16_t modes = 0; // first data byte high: bit (0x8000 >> mode)
  bool hasEnable = false;
  std::string enable;
  // 'hstm': the scripting terms and the terminology resource they name.
  bool hasTerms = false;
  int32_t termsVersion = 0;
  uint32_t termsClass = 0, termsEvent = 0;
  int16_t terminologyId = 0;
  std::string termsScope;
  int ficiCount = 0;
  FilterCaseInfo fici[kFilterCaseCount];
};

enum class CodeArch { kX86, kX64 };

// How a host steps from one property to the next: by the declared length
// rounded up to 4, as the interface says, or by the length alone, as some
// hosts do (they lose their way after a length that is no multiple of 4).
enum class PiplWalk { kRounded, kLoose };

// Fills info from the resource bytes; false with a reason in error when
// the list is malformed.
bool ParsePipl(const uint8_t *bytes, size_t size, PiplInfo *info,
               std::string *error, PiplWalk walk = PiplWalk::kRounded);

// The entry name for arch, or null when the list has no descriptor for it.
const std::string *CodeEntryFor(const PiplInfo &info, CodeArch arch);

// Whether the list's mode flags admit imageMode (false without flags).
bool PiplSupportsMode(const PiplInfo &info, int imageMode);

// A filter case's record; null when the list has none for it (1 to 7).
const FilterCaseInfo *FilterCaseFor(const PiplInfo &info, int filterCase);

// Multi-line description, every line indented by indent.
std::string DescribePipl(const PiplInfo &info, const std::string &indent);

// '8BIM' as text; bytes outside printable ASCII as \xNN.
std::string FourCCText(uint32_t code);

const char *ImageModeName(int imageMode);
