// The host's handle memory with its accounts: every handle the module
// makes, locks, unlocks and disposes is booked, so that a leak, a lock
// left behind, an unlock too many, or a handle used after it was disposed
// is reported as a failure with what happened to which handle.
//
// A handle is a pointer to a master pointer that holds the data's
// address, as modules that read *h directly expect. Guard bytes lie on
// both sides of every block; a module that writes past either end is
// reported when it unlocks or disposes the handle (or at the end of the
// invocation). Master pointers are
// kept until the book is destroyed, so a disposed handle is recognised
// instead of being mistaken for a new one at the same address.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "params/host_records.h"

struct HandleEntry {
  int32_t serial = 0; // 1 for the first handle made
  int32_t size = 0;
  int32_t lockCount = 0;
  bool live = true;
  bool leakReported = false;
  bool lockReported = false;
  bool guardReported = false;
  std::unique_ptr<char *> master; // *master is the data (null when gone)
};

struct HandleCounts {
  int32_t news = 0, newFailures = 0, disposes = 0, locks = 0, lockFailures = 0,
          unlocks = 0, getSizes = 0, setSizes = 0, recoverSpaces = 0,
          disposeRegulars = 0;
};

// Guard bytes on each side of a block, and their value.
constexpr int32_t kGuardBytes = 16;
constexpr uint8_t kGuardByte = 0xFD;

// Failure injection: 0 never, N > 0 the N-th call only, kAlways every call.
constexpr int32_t kAlways = -1;

struct HandleBook {
  std::map<Handle, HandleEntry> entries;
  HandleCounts counts;
  int32_t newFailAt = 0;
  int32_t lockFailAt = 0;
  int newFill = 0xA5; // new memory is not zeroed, as in real hosts
  // Bytes in live handles now, and the most at any time: what a module
  // asks of the host's memory.
  int64_t liveBytes = 0;
  int64_t peakLiveBytes = 0;
  std::vector<std::string> failures;
  HandleBook() = default;
  HandleBook(const HandleBook &) = delete;
  HandleBook &operator=(const HandleBook &) = delete;
  ~HandleBook();
};

// The suite's operations, counted and checked. The host's own handles
// (a loaded parameter block) use counted = false: no failure injection,
// not in the module's counts.
Handle BookNewHandle(HandleBook *book, int32_t size, bool counted = true);
void BookDisposeHandle(HandleBook *book, Handle h, bool counted = true);
int32_t BookGetSize(HandleBook *book, Handle h);
OSErr BookSetSize(HandleBook *book, Handle h, int32_t size);
char *BookLockHandle(HandleBook *book, Handle h, bool counted = true);
void BookUnlockHandle(HandleBook *book, Handle h);

// Whether h is a live handle of this book.
bool BookOwns(const HandleBook &book, Handle h);

// After an invocation: every live handle other than keep (the parameters
// handle the host holds for the module) is a leak, every lock still held
// (keep's included) is unbalanced. Each is reported once per handle.
void CheckHandlesAfterInvocation(HandleBook *book, Handle keep);

int32_t LiveHandleCount(const HandleBook &book);
