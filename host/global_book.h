// The module's global memory as the host sees it. A module without a
// usable handle suite keeps its handles in the platform's global memory,
// where the host's handle book cannot see them; so the host routes the
// module's imports of GlobalAlloc, GlobalFree, GlobalLock and GlobalUnlock
// through a book of its own and checks it after each invocation as it
// checks its handles: blocks leaked, locks left, blocks used after they
// were freed. It can also make the N-th allocation fail. It counts the
// module's message boxes too: a positive result tells a host that the
// module has shown its message, and one that came without is a fault.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/session.h"

struct GlobalBlock {
  int32_t serial = 0;
  size_t size = 0;
  int32_t lockCount = 0;
  bool live = true;
  bool reported = false;
};

struct GlobalBookCounts {
  int32_t allocs = 0, allocFailures = 0, frees = 0, locks = 0, unlocks = 0;
  int32_t messageBoxes = 0;
};

struct GlobalBook {
  std::map<void *, GlobalBlock> blocks; // by the handle GlobalAlloc gave
  GlobalBookCounts counts;
  int32_t allocFailAt = 0; // 0 never, N the N-th GlobalAlloc, kAlways
  size_t liveBytes = 0;     // in blocks not yet freed
  size_t peakLiveBytes = 0;
  int32_t messageBoxesChecked = 0; // counted before the last invocation
  std::vector<std::string> failures;
};

// Routes a loaded module's imports through the book; once per load.
bool WatchModuleGlobalMemory(void *library, std::string *error);

// Starts a fresh book with the session's failure settings, and has the
// session check it at the end of each invocation. The check counts as
// kept the parameters handle and the block its first word refers to (an
// emulated handle holds the address of its data).
void AttachGlobalBook(HostSession *session);

const GlobalBook &CurrentGlobalBook();
int32_t LiveGlobalBlocks();

std::string DescribeGlobalBook();
