// The settings as a host's descriptor carries them: the table built from
// script_terms.h, and their reading and writing through the host's
// descriptor procedures. Portable: the procedures are the host's
// function pointers, so the fuzz target reads through our host's.
#pragma once

#include <cstdint>

#include "params/filter_params.h"
#include "params/host_records.h"

struct ScriptSetting {
  DescriptorKeyID key;
  uint32_t termType;  // declared in the terminology
  uint32_t type;      // recorded and read
  uint32_t unit;      // of a unit float
  int32_t index;      // ParamIndex
  int32_t low, high;  // the dialog's range, in its units
  int32_t scale;      // dialog units per recorded 1.0
};

constexpr int32_t kScriptSettingCount = kParamCount;
extern const ScriptSetting kScriptSettings[kScriptSettingCount];

// Whether the record offers scripting the module can use: the record,
// version 0, both tables of version 0 with every procedure it calls.
// Null otherwise, which is treated like a host without scripting.
PIDescriptorParameters *UsableScripting(const FilterRecord *record);

// Reads every known key of the descriptor into params: values clamped to
// their ranges, unknown keys, wrong types and unreadable values skipped.
// Returns the count of values taken, or -1 when it cannot be opened.
int32_t ReadScriptSettings(const ReadDescriptorProcs *procs, Handle descriptor,
                           FilterParams *params);

// A new descriptor with every setting; 0 or the host's error.
int32_t WriteScriptSettings(const WriteDescriptorProcs *procs,
                            const FilterParams *params, Handle *descriptor);
