#include "host/handle_book.h"

#include <cstdlib>
#include <cstring>

namespace {

std::string Describe(const HandleEntry &e) {
  return "handle #" + std::to_string(e.serial) + " (" + std::to_string(e.size) +
         " bytes)";
}

void AddLiveBytes(HandleBook *book, int64_t bytes) {
  book->liveBytes += bytes;
  if (book->liveBytes > book->peakLiveBytes)
    book->peakLiveBytes = book->liveBytes;
}

bool FailsNow(int32_t failAt, int32_t callNumber) {
  return failAt == kAlways || (failAt > 0 && failAt == callNumber);
}

HandleEntry *Find(HandleBook *book, Handle h) {
  auto it = book->entries.find(h);
  return it == book->entries.end() ? nullptr : &it->second;
}

// A handle the module passes in that is not a live handle of ours.
HandleEntry *FindLive(HandleBook *book, Handle h, const char *operation) {
  HandleEntry *e = Find(book, h);
  if (e == nullptr) {
    book->failures.push_back(std::string(operation) +
                             " of a handle the host never made");
    return nullptr;
  }
  if (!e->live) {
    book->failures.push_back(std::string(operation) + " of disposed " +
                             Describe(*e));
    return nullptr;
  }
  return e;
}

// A block with its guard bytes around it; returns the data's address.
char *AllocateGuarded(int32_t size, int fill) {
  char *block =
      static_cast<char *>(std::malloc(size_t(size) + 2 * kGuardBytes));
  if (block == nullptr)
    return nullptr;
  std::memset(block, kGuardByte, kGuardBytes);
  std::memset(block + kGuardBytes, fill, size_t(size));
  std::memset(block + kGuardBytes + size, kGuardByte, kGuardBytes);
  return block + kGuardBytes;
}

void FreeGuarded(char *data) {
  if (data)
    std::free(data - kGuardBytes);
}

bool GuardIntact(const char *guard) {
  for (int32_t i = 0; i < kGuardBytes; ++i)
    if (uint8_t(guard[i]) != kGuardByte)
      return false;
  return true;
}

// Reports, once per handle, a write before the block's start or past its
// end.
void CheckGuards(HandleBook *book, HandleEntry *e, const char *when) {
  const char *data = *e->master;
  if (data == nullptr || e->guardReported)
    return;
  const bool before = GuardIntact(data - kGuardBytes);
  const bool after = GuardIntact(data + e->size);
  if (before && after)
    return;
  e->guardReported = true;
  const char *where = after    ? "before its start"
                      : before ? "past its end"
                               : "past both ends";
  book->failures.push_back(Describe(*e) + ": written " + where +
                           " (found at " + when + ")");
}

} // namespace

HandleBook::~HandleBook() {
  for (auto &item : entries)
    if (item.second.master)
      FreeGuarded(*item.second.master);
}

Handle BookNewHandle(HandleBook *book, int32_t size, bool counted) {
  if (counted) {
    ++book->counts.news;
    if (FailsNow(book->newFailAt, book->counts.news)) {
      ++book->counts.newFailures;
      return nullptr;
    }
  }
  if (size < 0)
    return nullptr;
  char *data = AllocateGuarded(size, book->newFill);
  if (data == nullptr)
    return nullptr;
  HandleEntry entry;
  entry.serial = int32_t(book->entries.size()) + 1;
  entry.size = size;
  entry.master = std::make_unique<char *>(data);
  Handle h = entry.master.get();
  book->entries.emplace(h, std::move(entry));
  AddLiveBytes(book, size);
  return h;
}

void BookDisposeHandle(HandleBook *book, Handle h, bool counted) {
  if (counted)
    ++book->counts.disposes;
  if (h == nullptr)
    return;
  HandleEntry *e = FindLive(book, h, "dispose");
  if (e == nullptr)
    return;
  // A lock left on a handle the host disposes was reported after the run.
  if (counted && e->lockCount != 0)
    book->failures.push_back("dispose of " + Describe(*e) + " still locked " +
                             std::to_string(e->lockCount) + " time(s)");
  CheckGuards(book, e, "dispose");
  FreeGuarded(*e->master);
  *e->master = nullptr;
  AddLiveBytes(book, -int64_t(e->size));
  e->live = false;
  e->lockCount = 0;
}

int32_t BookGetSize(HandleBook *book, Handle h) {
  ++book->counts.getSizes;
  HandleEntry *e = FindLive(book, h, "get size");
  return e ? e->size : 0;
}

OSErr BookSetSize(HandleBook *book, Handle h, int32_t size) {
  ++book->counts.setSizes;
  HandleEntry *e = FindLive(book, h, "set size");
  if (e == nullptr)
    return kErrNilHandle;
  if (size < 0)
    return kErrNoMemory;
  // A locked block cannot move: it may shrink in place, not grow.
  if (e->lockCount > 0 && size > e->size)
    return kErrNoMemory;
  CheckGuards(book, e, "set size");
  if (e->lockCount == 0) {
    char *data = AllocateGuarded(size, book->newFill);
    if (data == nullptr)
      return kErrNoMemory;
    std::memcpy(data, *e->master, size_t(size < e->size ? size : e->size));
    FreeGuarded(*e->master);
    *e->master = data;
  } else {
    // Shrunk in place: the new end gets its guard.
    std::memset(*e->master + size, kGuardByte, kGuardBytes);
  }
  AddLiveBytes(book, int64_t(size) - e->size);
  e->size = size;
  return 0;
}

char *BookLockHandle(HandleBook *book, Handle h, bool counted) {
  if (counted) {
    ++book->counts.locks;
    if (FailsNow(book->lockFailAt, book->counts.locks)) {
      ++book->counts.lockFailures;
      return nullptr;
    }
  }
  HandleEntry *e = FindLive(book, h, "lock");
  if (e == nullptr)
    return nullptr;
  ++e->lockCount;
  return *e->master;
}

void BookUnlockHandle(HandleBook *book, Handle h) {
  ++book->counts.unlocks;
  HandleEntry *e = FindLive(book, h, "unlock");
  if (e == nullptr)
    return;
  CheckGuards(book, e, "unlock");
  if (e->lockCount == 0) {
    book->failures.push_back("unlock of " + Describe(*e) +
                             " that is not locked");
    return;
  }
  --e->lockCount;
}

bool BookOwns(const HandleBook &book, Handle h) {
  auto it = book.entries.find(h);
  return it != book.entries.end() && it->second.live;
}

void CheckHandlesAfterInvocation(HandleBook *book, Handle keep) {
  for (auto &item : book->entries) {
    HandleEntry &e = item.second;
    if (!e.live)
      continue;
    CheckGuards(book, &e, "the end of the invocation");
    if (e.lockCount != 0 && !e.lockReported) {
      book->failures.push_back(Describe(e) + " left locked " +
                               std::to_string(e.lockCount) + " time(s)");
      e.lockReported = true;
    }
    if (item.first != keep && !e.leakReported) {
      book->failures.push_back(Describe(e) + " leaked");
      e.leakReported = true;
    }
  }
}

int32_t LiveHandleCount(const HandleBook &book) {
  int32_t n = 0;
  for (const auto &item : book.entries)
    n += item.second.live ? 1 : 0;
  return n;
}
