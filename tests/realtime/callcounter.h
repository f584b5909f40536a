// Hooks that this test binary puts in front of the C library's functions that
// allocate, block or enter the kernel. Each forwards to the real function and,
// on a thread inside a Counting scope, counts the call. The plug-in the binary
// loads reaches these functions through the hooks, as every library does.
//
// AddressSanitizer and ThreadSanitizer hook the same functions themselves: the
// binary is built only without them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace callcounter {

enum Call : int {
    kMalloc,
    kCalloc,
    kRealloc,
    kFree,
    kWrite,
    kWritev,
    kRead,
    kOpen,
    kOpenat,
    kClose,
    kMmap,
    kMunmap,
    kNanosleep,
    kClockNanosleep,
    kUsleep,
    kMutexLock,
    kCallKinds
};

using Counts = std::array<uint64_t, kCallKinds>;

const char* nameOf(Call call);
// The calls counted since the last reset, on every thread that counted.
Counts counts();
void reset();
// "write 3, malloc 1": the calls counted, by name; empty when there were none.
std::string describe(const Counts& counts);

// While it lives, the calls of the thread that made it are counted.
class Counting {
public:
    Counting();
    ~Counting();
    Counting(const Counting&) = delete;
    Counting& operator=(const Counting&) = delete;
};

// While it lives, every thread that the thread which made it starts fails to
// start, as when the system has no more threads to give (EAGAIN).
class RefusingThreads {
public:
    RefusingThreads();
    ~RefusingThreads();
    RefusingThreads(const RefusingThreads&) = delete;
    RefusingThreads& operator=(const RefusingThreads&) = delete;
};

} // namespace callcounter
