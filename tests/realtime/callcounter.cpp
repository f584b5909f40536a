// The hooks and their counters. Built with -fno-builtin, so that the compiler
// neither turns a hook into a call to itself nor one call into another.
#include "callcounter.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

namespace callcounter {

namespace {

// Static storage, so reading the flags never allocates or calls anything.
thread_local bool countingThisThread = false;
thread_local bool refusingThreads = false;
std::array<std::atomic<uint64_t>, kCallKinds> tally{};

constexpr const char* kNames[kCallKinds] = {
    "malloc",    "calloc",          "realloc", "free",
    "write",     "writev",          "read",    "open",
    "openat",    "close",           "mmap",    "munmap",
    "nanosleep", "clock_nanosleep", "usleep",  "pthread_mutex_lock",
};

void note(Call call)
{
    // Relaxed: the counts are read after the counting threads are done.
    if (countingThisThread) tally[size_t(call)].fetch_add(1, std::memory_order_relaxed);
}

struct RealFunctions {
    void* (*malloc)(size_t);
    void* (*calloc)(size_t, size_t);
    void* (*realloc)(void*, size_t);
    void (*free)(void*);
    ssize_t (*write)(int, const void*, size_t);
    ssize_t (*writev)(int, const iovec*, int);
    ssize_t (*read)(int, void*, size_t);
    int (*open)(const char*, int, ...);
    int (*openat)(int, const char*, int, ...);
    int (*close)(int);
    void* (*mmap)(void*, size_t, int, int, int, off_t);
    int (*munmap)(void*, size_t);
    int (*nanosleep)(const timespec*, timespec*);
    int (*clock_nanosleep)(clockid_t, int, const timespec*, timespec*);
    int (*usleep)(useconds_t);
    int (*pthread_mutex_lock)(pthread_mutex_t*);
    int (*pthread_create)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
};
RealFunctions real{};

// The first allocation comes while the program starts, on its only thread, and
// resolves every function; dlsym itself allocates meanwhile, from a buffer of
// this file's own that is never given back.
bool resolving = false;
std::atomic<bool> resolved{false};
alignas(std::max_align_t) unsigned char bootstrap[64 * 1024];
size_t bootstrapUsed = 0;

void* bootstrapAllocate(size_t size)
{
    const size_t rounded =
        (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    if (rounded > sizeof(bootstrap) - bootstrapUsed) return nullptr;
    void* memory = bootstrap + bootstrapUsed;
    bootstrapUsed += rounded;
    return memory;
}

bool fromBootstrap(const void* memory)
{
    return memory >= bootstrap && memory < bootstrap + sizeof(bootstrap);
}

template <typename Function> void find(Function& function, const char* name)
{
    function = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void resolve()
{
    // Acquire: pairs with the release below, for a thread that comes later.
    if (resolved.load(std::memory_order_acquire)) return;
    resolving = true;
    find(real.malloc, "malloc");
    find(real.calloc, "calloc");
    find(real.realloc, "realloc");
    find(real.free, "free");
    find(real.write, "write");
    find(real.writev, "writev");
    find(real.read, "read");
    find(real.open, "open");
    find(real.openat, "openat");
    find(real.close, "close");
    find(real.mmap, "mmap");
    find(real.munmap, "munmap");
    find(real.nanosleep, "nanosleep");
    find(real.clock_nanosleep, "clock_nanosleep");
    find(real.usleep, "usleep");
    find(real.pthread_mutex_lock, "pthread_mutex_lock");
    find(real.pthread_create, "pthread_create");
    resolving = false;
    resolved.store(true, std::memory_order_release);
}

// Only ever true on the program's first thread, before any other starts.
bool resolvingNow()
{
    // Acquire: as in resolve.
    return !resolved.load(std::memory_order_acquire) && resolving;
}

// The mode argument of open and openat is there only for a file being made.
bool takesMode(int flags)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

} // namespace

const char* nameOf(Call call)
{
    return kNames[size_t(call)];
}

Counts counts()
{
    Counts all{};
    for (size_t k = 0; k < all.size(); ++k)
        all[k] = tally[k].load(std::memory_order_relaxed); // relaxed: as in note
    return all;
}

void reset()
{
    for (auto& count : tally)
        count.store(0, std::memory_order_relaxed); // relaxed: as in note
}

std::string describe(const Counts& counted)
{
    std::string text;
    for (size_t k = 0; k < counted.size(); ++k) {
        if (counted[k] == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::string(kNames[k]) + " " + std::to_string(counted[k]);
    }
    return text;
}

Counting::Counting()
{
    countingThisThread = true;
}
Counting::~Counting()
{
    countingThisThread = false;
}

RefusingThreads::RefusingThreads()
{
    refusingThreads = true;
}
RefusingThreads::~RefusingThreads()
{
    refusingThreads = false;
}

} // namespace callcounter

// The hooks, declared noexcept or not just as the C library declares them.
// Visible to the libraries the binary loads.
#define PL3_HOOK extern "C" __attribute__((visibility("default")))

using namespace callcounter;

PL3_HOOK void* malloc(size_t size) noexcept
{
    if (resolvingNow()) return bootstrapAllocate(size);
    resolve();
    note(kMalloc);
    return real.malloc(size);
}

PL3_HOOK void* calloc(size_t count, size_t size) noexcept
{
    // Static storage starts out zeroed and the bootstrap never reuses any.
    if (resolvingNow())
        return count == 0 || size <= SIZE_MAX / count ? bootstrapAllocate(count * size) : nullptr;
    resolve();
    note(kCalloc);
    return real.calloc(count, size);
}

PL3_HOOK void* realloc(void* memory, size_t size) noexcept
{
    resolve();
    note(kRealloc);
    if (!fromBootstrap(memory)) return real.realloc(memory, size);
    void* moved = real.malloc(size);
    const size_t available =
        size_t(bootstrap + sizeof(bootstrap) - static_cast<unsigned char*>(memory));
    if (moved) __builtin_memcpy(moved, memory, size < available ? size : available);
    return moved;
}

PL3_HOOK void free(void* memory) noexcept
{
    if (fromBootstrap(memory)) return;
    resolve();
    note(kFree);
    real.free(memory);
}

PL3_HOOK ssize_t write(int fd, const void* bytes, size_t count)
{
    resolve();
    note(kWrite);
    return real.write(fd, bytes, count);
}

PL3_HOOK ssize_t writev(int fd, const iovec* pieces, int count)
{
    resolve();
    note(kWritev);
    return real.writev(fd, pieces, count);
}

PL3_HOOK ssize_t read(int fd, void* bytes, size_t count)
{
    resolve();
    note(kRead);
    return real.read(fd, bytes, count);
}

PL3_HOOK int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (takesMode(flags)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    resolve();
    note(kOpen);
    return real.open(path, flags, mode);
}

PL3_HOOK int openat(int directory, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (takesMode(flags)) {
        va_list arguments;
        va_start(arguments, flags);
        mode = va_arg(arguments, mode_t);
        va_end(arguments);
    }
    resolve();
    note(kOpenat);
    return real.openat(directory, path, flags, mode);
}

PL3_HOOK int close(int fd)
{
    resolve();
    note(kClose);
    return real.close(fd);
}

PL3_HOOK void* mmap(void* address, size_t length, int protection, int flags, int fd,
                    off_t offset) noexcept
{
    resolve();
    note(kMmap);
    return real.mmap(address, length, protection, flags, fd, offset);
}

PL3_HOOK int munmap(void* address, size_t length) noexcept
{
    resolve();
    note(kMunmap);
    return real.munmap(address, length);
}

PL3_HOOK int nanosleep(const timespec* duration, timespec* remaining)
{
    resolve();
    note(kNanosleep);
    return real.nanosleep(duration, remaining);
}

PL3_HOOK int clock_nanosleep(clockid_t clock, int flags, const timespec* duration,
                             timespec* remaining)
{
    resolve();
    note(kClockNanosleep);
    return real.clock_nanosleep(clock, flags, duration, remaining);
}

PL3_HOOK int usleep(useconds_t microseconds)
{
    resolve();
    note(kUsleep);
    return real.usleep(microseconds);
}

PL3_HOOK int pthread_mutex_lock(pthread_mutex_t* mutex) noexcept
{
    resolve();
    note(kMutexLock);
    return real.pthread_mutex_lock(mutex);
}

PL3_HOOK int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                            void* (*start)(void*), void* argument) noexcept
{
    if (refusingThreads) return EAGAIN;
    resolve();
    return real.pthread_create(thread, attributes, start, argument);
}
