// The host's handle accounts: each misuse a module can commit is reported
// (and a correct sequence is not), overruns of a block's ends included, and
// failure injection hits exactly the calls it names.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/handle_book.h"

namespace {

struct Scenario {
  const char *what;
  std::function<void(HandleBook *, Handle *keep)> steps;
  std::vector<std::string> failures; // expected substrings, in order
};

TEST(HostHandleBook, ReportsEachMisuseOnce) {
  const Scenario scenarios[] = {
      {"balanced use",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 16);
         char *p = BookLockHandle(b, h);
         EXPECT_EQ(p, *h) << "a locked handle's data is *h";
         BookUnlockHandle(b, h);
         BookDisposeHandle(b, h);
       },
       {}},
      {"the kept parameters handle",
       [](HandleBook *b, Handle *keep) { *keep = BookNewHandle(b, 16); },
       {}},
      {"a leak",
       [](HandleBook *b, Handle *) { BookNewHandle(b, 16); },
       {"handle #1 (16 bytes) leaked"}},
      {"a lock left on the kept handle",
       [](HandleBook *b, Handle *keep) {
         *keep = BookNewHandle(b, 8);
         BookLockHandle(b, *keep);
         BookLockHandle(b, *keep);
         BookUnlockHandle(b, *keep);
       },
       {"left locked 1 time(s)"}},
      {"an unlock too many",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 8);
         BookUnlockHandle(b, h);
         BookDisposeHandle(b, h);
       },
       {"unlock of handle #1 (8 bytes) that is not locked"}},
      {"disposed while locked",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 8);
         BookLockHandle(b, h);
         BookDisposeHandle(b, h);
       },
       {"dispose of handle #1 (8 bytes) still locked"}},
      {"used after dispose",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 8);
         BookDisposeHandle(b, h);
         EXPECT_EQ(BookLockHandle(b, h), nullptr);
         BookDisposeHandle(b, h);
       },
       {"lock of disposed handle #1", "dispose of disposed handle #1"}},
      {"every byte of the block written, none beyond",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 28);
         std::memset(BookLockHandle(b, h), 0, 28);
         BookUnlockHandle(b, h);
         BookDisposeHandle(b, h);
       },
       {}},
      {"a write one byte past the end, seen at unlock",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 28);
         BookLockHandle(b, h)[28] = 0;
         BookUnlockHandle(b, h);
         BookDisposeHandle(b, h);
       },
       {"handle #1 (28 bytes): written past its end (found at unlock)"}},
      {"a write before the start, seen at dispose",
       [](HandleBook *b, Handle *) {
         Handle h = BookNewHandle(b, 8);
         (*h)[-1] = 0;
         BookDisposeHandle(b, h);
       },
       {"written before its start (found at dispose)"}},
      {"an overrun of the kept handle, seen after the invocation",
       [](HandleBook *b, Handle *keep) {
         *keep = BookNewHandle(b, 4);
         std::memset(**keep + 4, 0, 8);
       },
       {"handle #1 (4 bytes): written past its end (found at the end"}},
      {"a handle the host never made",
       [](HandleBook *b, Handle *) {
         char *data = nullptr;
         BookUnlockHandle(b, &data);
       },
       {"unlock of a handle the host never made"}},
  };
  for (const Scenario &s : scenarios) {
    HandleBook book;
    Handle keep = nullptr;
    s.steps(&book, &keep);
    CheckHandlesAfterInvocation(&book, keep);
    CheckHandlesAfterInvocation(&book, keep); // each fault is reported once
    ASSERT_EQ(book.failures.size(), s.failures.size()) << s.what;
    for (size_t i = 0; i < s.failures.size(); ++i)
      EXPECT_NE(book.failures[i].find(s.failures[i]), std::string::npos)
          << s.what << ": " << book.failures[i];
  }
}

TEST(HostHandleBook, InjectedFailuresHitTheNamedCalls) {
  struct Case {
    const char *what;
    int32_t newFailAt, lockFailAt;
    std::vector<bool> newSucceeds, lockSucceeds; // per call, in order
  };
  const Case cases[] = {
      {"second new", 2, 0, {true, false, true}, {true, true}},
      {"every new", kAlways, 0, {false, false, false}, {}},
      {"first lock", 0, 1, {true, true, true}, {false, true, true}},
      {"every lock", 0, kAlways, {true, true, true}, {false, false}},
  };
  for (const Case &c : cases) {
    HandleBook book;
    book.newFailAt = c.newFailAt;
    book.lockFailAt = c.lockFailAt;
    std::vector<Handle> made;
    for (size_t i = 0; i < c.newSucceeds.size(); ++i) {
      Handle h = BookNewHandle(&book, 4);
      EXPECT_EQ(h != nullptr, c.newSucceeds[i]) << c.what << " new " << i;
      if (h)
        made.push_back(h);
    }
    for (size_t i = 0; i < c.lockSucceeds.size(); ++i) {
      char *p = BookLockHandle(&book, made.at(0));
      EXPECT_EQ(p != nullptr, c.lockSucceeds[i]) << c.what << " lock " << i;
      if (p)
        BookUnlockHandle(&book, made[0]);
    }
    // The host's own handles are not subject to the module's failures.
    EXPECT_NE(BookNewHandle(&book, 4, false), nullptr) << c.what;
    EXPECT_TRUE(book.failures.empty()) << c.what;
  }
}

TEST(HostHandleBook, ResizingMovesOnlyUnlockedData) {
  HandleBook book;
  Handle h = BookNewHandle(&book, 4);
  std::memcpy(*h, "abcd", 4);
  char *locked = BookLockHandle(&book, h);
  EXPECT_EQ(BookSetSize(&book, h, 1000), kErrNoMemory);
  EXPECT_EQ(*h, locked);
  EXPECT_EQ(BookSetSize(&book, h, 2), 0) << "shrinking in place";
  BookUnlockHandle(&book, h);
  EXPECT_EQ(BookSetSize(&book, h, 1000), 0);
  EXPECT_EQ(BookGetSize(&book, h), 1000);
  EXPECT_EQ(std::string(*h, 2), "ab");
  BookDisposeHandle(&book, h);
  EXPECT_TRUE(book.failures.empty());
}

} // namespace
