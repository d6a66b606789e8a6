// The process's memory as the system reports it, for the long runs that
// must not grow.
#pragma once

#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>

#include <cstdint>

struct ProcessMemory {
  uint64_t privateBytes = 0;  // committed for this process alone
  uint64_t workingSet = 0;
  uint64_t peakPrivateBytes = 0;
  uint64_t peakWorkingSet = 0;
};

inline ProcessMemory SampleProcessMemory() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  ProcessMemory m;
  if (!GetProcessMemoryInfo(
          GetCurrentProcess(),
          reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
          sizeof counters))
    return m;
  // The commit charge: what Windows reports as private bytes, and what
  // Wine fills in (it leaves PrivateUsage 0).
  m.privateBytes = counters.PagefileUsage;
  m.workingSet = counters.WorkingSetSize;
  m.peakPrivateBytes = counters.PeakPagefileUsage;
  m.peakWorkingSet = counters.PeakWorkingSetSize;
  return m;
}

inline double Mebibytes(uint64_t bytes) { return double(bytes) / 1048576.0; }
