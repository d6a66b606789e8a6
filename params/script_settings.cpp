#include "params/script_settings.h"

#include <cmath>

#include "params/script_terms.h"

#define TAVORIN_SETTING_ROW(name, key, termType, type, unit, index, low, high, \
                            scale)                                             \
  {uint32_t(key),  uint32_t(termType),                                         \
   uint32_t(type), uint32_t(unit),                                             \
   index,          low,                                                        \
   high,           scale},
const ScriptSetting kScriptSettings[kScriptSettingCount] = {
    TAVORIN_SCRIPT_SETTINGS(TAVORIN_SETTING_ROW)};
#undef TAVORIN_SETTING_ROW
#define TAVORIN_COUNT_ROW(...) +1
static_assert(0 TAVORIN_SCRIPT_SETTINGS(TAVORIN_COUNT_ROW) ==
                      kScriptSettingCount &&
                  TAVORIN_SCRIPT_SETTING_COUNT == kScriptSettingCount,
              "a descriptor and the terminology carry every setting");
#undef TAVORIN_COUNT_ROW

namespace {

// A host that keeps handing keys would hold the run forever.
constexpr int32_t kMostKeys = 4096;

const ScriptSetting *FindSetting(DescriptorKeyID key) {
  for (int32_t i = 0; i < kScriptSettingCount; ++i)
    if (kScriptSettings[i].key == key) return &kScriptSettings[i];
  return nullptr;
}

// A recorded number in dialog units, as a typed one is taken: the nearest
// end when out of range, else truncated toward zero, except that a value
// within rounding of a whole unit (0.3 pixels is 2.9999... tenths) is
// that unit.
bool UnitsFromNumber(double number, const ScriptSetting &s, int32_t *units) {
  if (std::isnan(number)) return false;
  const double scaled = number * s.scale;
  if (scaled <= s.low) {
    *units = s.low;
  } else if (scaled >= s.high) {
    *units = s.high;
  } else {
    const double nearest = std::nearbyint(scaled);
    *units = int32_t(std::fabs(scaled - nearest) < 1e-6 ? nearest
                                                        : std::trunc(scaled));
  }
  return true;
}

bool ReadSetting(const ReadDescriptorProcs *procs, PIReadDescriptor reader,
                 const ScriptSetting &s, int32_t *units) {
  // Coerced values (a positive code) are values all the same.
  if (s.type == kTypeInteger) {
    int32_t value = 0;
    if (procs->getIntegerProc(reader, &value) < 0) return false;
    *units = ClampInt(value, s.low, s.high);
    return true;
  }
  uint32_t unit = 0;
  double number = 0;
  if (procs->getUnitFloatProc(reader, &unit, &number) < 0 || unit != s.unit)
    return false;
  return UnitsFromNumber(number, s, units);
}

}  // namespace

PIDescriptorParameters *UsableScripting(const FilterRecord *record) {
  PIDescriptorParameters *p =
      static_cast<PIDescriptorParameters *>(record->descriptorParameters);
  if (!p || p->descriptorParametersVersion != 0) return nullptr;
  const ReadDescriptorProcs *r = p->readDescriptorProcs;
  const WriteDescriptorProcs *w = p->writeDescriptorProcs;
  if (!r || !w || r->readDescriptorProcsVersion != 0 ||
      w->writeDescriptorProcsVersion != 0 ||
      r->numReadDescriptorProcs < kReadDescriptorProcCount ||
      w->numWriteDescriptorProcs < kWriteDescriptorProcCount)
    return nullptr;
  if (!r->openReadDescriptorProc || !r->closeReadDescriptorProc ||
      !r->getKeyProc || !r->getIntegerProc || !r->getUnitFloatProc ||
      !w->openWriteDescriptorProc || !w->closeWriteDescriptorProc ||
      !w->putIntegerProc || !w->putUnitFloatProc)
    return nullptr;
  return p;
}

int32_t ReadScriptSettings(const ReadDescriptorProcs *procs, Handle descriptor,
                           FilterParams *params) {
  // The host marks the keys it gave; the list is a copy for it to mark.
  DescriptorKeyID keys[kScriptSettingCount + 1] = {};
  for (int32_t i = 0; i < kScriptSettingCount; ++i)
    keys[i] = kScriptSettings[i].key;
  PIReadDescriptor reader = procs->openReadDescriptorProc(descriptor, keys);
  if (!reader) return -1;
  int32_t taken = 0;
  DescriptorKeyID key = 0;
  uint32_t type = 0;
  int32_t flags = 0;
  for (int32_t n = 0;
       n < kMostKeys && procs->getKeyProc(reader, &key, &type, &flags); ++n) {
    const ScriptSetting *s = FindSetting(key);
    int32_t units = 0;
    if (!s || type != s->type || !ReadSetting(procs, reader, *s, &units))
      continue;
    *ParamField(params, s->index) = units;
    ++taken;
  }
  // What closing reports (a missing key, a coercion, a value that could
  // not be read) costs only those values: the others stand.
  procs->closeReadDescriptorProc(reader);
  return taken;
}

int32_t WriteScriptSettings(const WriteDescriptorProcs *procs,
                            const FilterParams *params, Handle *descriptor) {
  PIWriteDescriptor writer = procs->openWriteDescriptorProc();
  if (!writer) return kErrNoMemory;
  int32_t result = 0;
  FilterParams copy = *params;
  for (int32_t i = 0; i < kScriptSettingCount; ++i) {
    const ScriptSetting &s = kScriptSettings[i];
    const int32_t units = *ParamField(&copy, s.index);
    OSErr put;
    if (s.type == kTypeInteger) {
      put = procs->putIntegerProc(writer, s.key, units);
    } else {
      const double number = double(units) / s.scale;
      put = procs->putUnitFloatProc(writer, s.key, s.unit, &number);
    }
    if (put != 0 && result == 0) result = put;
  }
  const OSErr closed = procs->closeWriteDescriptorProc(writer, descriptor);
  return result != 0 ? result : closed;
}
