// The C runtime holds a pipe's output in a buffer, and the emulated
// 32-bit run has ended in an abort that lost it all: the log then showed
// no test at all. Unbuffered, every line reaches the log as it is made.
#include <cstdio>

namespace {

[[maybe_unused]] const int kUnbufferedOutput =
    (std::setvbuf(stdout, nullptr, _IONBF, 0),
     std::setvbuf(stderr, nullptr, _IONBF, 0), 0);

}  // namespace
