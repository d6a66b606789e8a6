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

} // namespace

HandleBook::~HandleBook() {
  for (auto &item : entries)
    if (item.second.master)
      std::free(*item.second.master);
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
  char *data = static_cast<char *>(std::malloc(size_t(size) + 1));
  if (data == nullptr)
    return nullptr;
  std::memset(data, book->newFill, size_t(size) + 1);
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
  std::free(*e->master);
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
  if (e->lockCount == 0) {
    char *data = static_cast<char *>(std::malloc(size_t(size) + 1));
    if (data == nullptr)
      return kErrNoMemory;
    std::memset(data, book->newFill, size_t(size) + 1);
    std::memcpy(data, *e->master, size_t(size < e->size ? size : e->size));
    std::free(*e->master);
    *e->master = data;
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
