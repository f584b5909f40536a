#include "sharedmemory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void reportMappingFailure()
{
    std::puts("PravoLindel3VST > failed to map plugin shared memory ");
    std::fflush(stdout);
}

// A failed ftruncate counts as a failed mapping: mapping an object shorter than
// the block would not fail, but the first access past its end would kill the
// host with SIGBUS.
SharedBlock* mapAndClear(int fd)
{
    void* memory = MAP_FAILED;
    if (fd >= 0 && ftruncate(fd, sharedBlockSize) == 0)
        memory = mmap(nullptr, sharedBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        reportMappingFailure();
        return nullptr;
    }
    std::memset(memory, 0, sharedBlockSize);
    return static_cast<SharedBlock*>(memory);
}

enum class Claim { Taken, Busy, Unavailable };

// The name still leads to the object open as fd: no one removed it, or put another one there,
// since it was opened.
bool nameLeadsTo(const std::string& name, int fd)
{
    struct stat named {};
    struct stat open {};
    const std::string path = "/dev/shm" + name;
    return stat(path.c_str(), &named) == 0 && fstat(fd, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// shm_open opens below /dev/shm without following links. An object that is not
// this user's private one, or that a live process holds, is left alone.
Claim claim(int32_t instanceNumber, int& lockFd)
{
    const int fd = shm_open(sharedBlockName(instanceNumber).c_str(), O_CREAT | O_RDWR, 0600);
    if (fd < 0) return (errno == EACCES || errno == ELOOP) ? Claim::Busy : Claim::Unavailable;
    struct stat status {};
    const bool isPrivate = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                           status.st_uid == geteuid() && (status.st_mode & 077) == 0;
    // An engine that ends removes its object while it still holds the lock: a claim that
    // opened it just before must not take over a name that leads nowhere.
    if (!isPrivate || flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        !nameLeadsTo(sharedBlockName(instanceNumber), fd)) {
        close(fd);
        return Claim::Busy;
    }
    lockFd = fd;
    return Claim::Taken;
}

constexpr int kMaxClaims = 1024;
} // namespace

SharedBlock* createSharedBlock(int32_t instanceNumber)
{
    const int fd = shm_open(sharedBlockName(instanceNumber).c_str(), O_CREAT | O_RDWR, 0600);
    SharedBlock* block = mapAndClear(fd);
    if (fd >= 0) close(fd);
    return block;
}

SharedBlockLease leaseSharedBlock(std::atomic<int32_t>& counter)
{
    SharedBlockLease lease;
    for (int attempt = 0; attempt < kMaxClaims; ++attempt) {
        lease.instanceNumber = counter.fetch_add(1);
        switch (claim(lease.instanceNumber, lease.lockFd)) {
        case Claim::Busy:
            continue;
        case Claim::Taken:
            lease.block = mapAndClear(lease.lockFd);
            return lease;
        case Claim::Unavailable:
            reportMappingFailure();
            return lease;
        }
    }
    reportMappingFailure();
    return lease;
}

// The object goes with its engine: a host that scans or opens many instances would otherwise
// leave one behind for every one of them. Its UI keeps the mapping it has.
void releaseSharedBlock(SharedBlockLease& lease)
{
    unmapSharedBlock(lease.block);
    lease.block = nullptr;
    if (lease.lockFd >= 0) {
        const std::string name = sharedBlockName(lease.instanceNumber);
        if (nameLeadsTo(name, lease.lockFd)) shm_unlink(name.c_str());
        close(lease.lockFd);
    }
    lease.lockFd = -1;
}

void unmapSharedBlock(SharedBlock* block)
{
    if (block != nullptr) munmap(block, sharedBlockSize);
}

void writeSharedParameter(SharedBlock* block, int32_t index, float value, const char* text)
{
    if (block == nullptr || index < 0 || index >= sharedParameterCount) return;
    SharedParameterEntry& entry = block->parameters[index];
    std::atomic_ref<float>(entry.value).store(value, std::memory_order_relaxed);
    if (text == nullptr) return;
    // The text field is 8-byte aligned: two words carry it.
    uint64_t words[sharedTextSize / sizeof(uint64_t)] = {};
    std::memcpy(words, text, strnlen(text, sharedTextSize - 1));
    auto* field = reinterpret_cast<uint64_t*>(entry.text);
    for (size_t w = 0; w < std::size(words); ++w)
        std::atomic_ref<uint64_t>(field[w]).store(words[w], std::memory_order_relaxed);
}

namespace {
// Extremes of the mid signal over [from, to), folded into minimum and maximum.
// Four independent lanes keep the compares out of one long dependency chain.
void foldExtremes(const float* left, const float* right, int32_t from, int32_t to, float& minimum,
                  float& maximum)
{
    float lo[4] = {minimum, minimum, minimum, minimum};
    float hi[4] = {maximum, maximum, maximum, maximum};
    int32_t f = from;
    for (; f + 4 <= to; f += 4)
        for (int lane = 0; lane < 4; ++lane) {
            const float m = (left[f + lane] + right[f + lane]) * 0.5f;
            hi[lane] = m > hi[lane] ? m : hi[lane];
            lo[lane] = m < lo[lane] ? m : lo[lane];
        }
    for (; f < to; ++f) {
        const float m = (left[f] + right[f]) * 0.5f;
        hi[0] = m > hi[0] ? m : hi[0];
        lo[0] = m < lo[0] ? m : lo[0];
    }
    minimum = std::min(std::min(lo[0], lo[1]), std::min(lo[2], lo[3]));
    maximum = std::max(std::max(hi[0], hi[1]), std::max(hi[2], hi[3]));
}
} // namespace

// Works through the frames a window at a time with the running extremes in
// locals: the per-frame cost is one add, one multiply and two compares.
void ScopeFeed::processOscilloscope(SharedBlock& block, const float* const* outputs, int32_t frames)
{
    if (frames <= 0) return;
    float minimum = runningMinimum;
    float maximum = runningMaximum;
    int32_t k = 0;
    while (k < frames) {
        // A point is appended only when the frame after a full window arrives.
        if (scopeFrameCount >= scopeWindow) {
            addValues(block, minimum, maximum);
            minimum = 0.0f;
            maximum = 0.0f;
            scopeFrameCount = 0;
        }
        const int32_t end = std::min(frames, k + (scopeWindow - scopeFrameCount));
        foldExtremes(outputs[0], outputs[1], k, end, minimum, maximum);
        scopeFrameCount += end - k;
        k = end;
    }
    runningMinimum = minimum;
    runningMaximum = maximum;
}

void ScopeFeed::addValues(SharedBlock& block, float min, float max)
{
    if (scopePointCount < scopePointCapacity) {
        block.scopeMinima[scopePointCount] = min;
        block.scopeMaxima[scopePointCount] = max;
        ++scopePointCount;
    } else {
        constexpr std::size_t keptBytes = (scopePointCapacity - 1) * sizeof(float);
        std::memmove(&block.scopeMinima[0], &block.scopeMinima[1], keptBytes);
        std::memmove(&block.scopeMaxima[0], &block.scopeMaxima[1], keptBytes);
        block.scopeMinima[scopePointCapacity - 1] = min;
        block.scopeMaxima[scopePointCapacity - 1] = max;
    }
    block.scopePointCount = scopePointCount;
}
