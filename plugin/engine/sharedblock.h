// The shared memory block between the plug-in and its UI process: one definition for both.
//
// Layout (native byte order, no padding): 24 parameter entries of 32 bytes, then the
// oscilloscope minima and maxima, oldest point first, then the number of valid points. The block
// is written and read without synchronisation; a torn read only spoils one refresh.
//
// Plain C++ with no engine or plug-in dependency, so that the UI program can include it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Full name: the prefix followed by the engine's instance number in decimal ("/prvldata.mmap0").
constexpr const char* sharedBlockNamePrefix = "/prvldata.mmap";
constexpr std::size_t sharedBlockSize = 2820;
constexpr int sharedParameterCount = 24;
constexpr int sharedTextSize = 16;
constexpr int scopePointCapacity = 256;

struct SharedParameterEntry {
    float value; // as last passed to the engine's setParameter; its default until then
    char unused[12];
    char text[sharedTextSize]; // display text, NUL-terminated
};

struct SharedBlock {
    SharedParameterEntry parameters[sharedParameterCount];
    float scopeMinima[scopePointCapacity];
    float scopeMaxima[scopePointCapacity];
    int32_t scopePointCount; // 0..256; written by the engine, never read back by it
};

static_assert(sizeof(float) == 4, "the block stores IEEE single-precision floats");
static_assert(sizeof(SharedParameterEntry) == 32, "parameter entries are 32 bytes apart");
static_assert(offsetof(SharedParameterEntry, value) == 0, "value at 32 k");
static_assert(offsetof(SharedParameterEntry, text) == 16, "text at 32 k + 16");
static_assert(offsetof(SharedBlock, parameters) == 0, "parameters start the block");
static_assert(offsetof(SharedBlock, scopeMinima) == 768, "minima at 768");
static_assert(offsetof(SharedBlock, scopeMaxima) == 1792, "maxima at 1792");
static_assert(offsetof(SharedBlock, scopePointCount) == 2816, "point count at 2816");
static_assert(sizeof(SharedBlock) == sharedBlockSize, "the block is 2820 bytes");

inline std::string sharedBlockName(int32_t instanceNumber)
{
    return sharedBlockNamePrefix + std::to_string(instanceNumber);
}

// ---- Engine side ----------------------------------------------------------------------------

// Host UI thread, at engine construction. Creates the object (or reopens one left by an earlier
// process), sizes and maps it, and clears all of it. On failure prints one diagnostic line and
// returns null; the engine then runs without the block.
SharedBlock* createSharedBlock(int32_t instanceNumber);

// Null is ignored.
void unmapSharedBlock(SharedBlock* block);

// An engine's instance number and its block. The number is the first one from
// the process-wide counter whose shared memory object this process can lock
// (flock, exclusive, not waiting): another live process holding that lock, or
// another user owning the object, moves on to the next number, so no two live
// engines of this user share a number, a block, a FIFO or an executable. The
// lock is held until release; a process with nothing else running still counts
// from 0.
struct SharedBlockLease {
    int32_t instanceNumber = -1;
    SharedBlock* block = nullptr; // null when the block could not be mapped
    int lockFd = -1;
};

// Host UI thread, at engine construction. A block that cannot be had is
// reported with one line; the engine then runs without it.
SharedBlockLease leaseSharedBlock(std::atomic<int32_t>& counter);
// Unmaps the block and gives the number back.
void releaseSharedBlock(SharedBlockLease& lease);

// Host or poll thread, and both at once: stores the value of parameter index
// and, when text is not null, its display text (at most 15 characters), each
// with relaxed atomic stores, so that two writers in this process never race;
// a reader in another process may still see a text half rewritten. Nothing is
// written when block is null or index is outside 0..23.
void writeSharedParameter(SharedBlock* block, int32_t index, float value, const char* text);

// Folds the engine's output into one min/max point per scopeWindow frames and appends the points
// to the block's scrolling trace. One per engine: the running extremes belong to its own output.
// Audio thread, real-time: no allocation, no lock, no blocking call.
struct ScopeFeed {
    int32_t scopeWindow = 176;
    int32_t scopeFrameCount = 0;
    int32_t scopePointCount = 0;
    float runningMinimum = 0.0f;
    float runningMaximum = 0.0f;

    // outputs: the two channels just rendered. Nothing happens for frames <= 0.
    void processOscilloscope(SharedBlock& block, const float* const* outputs, int32_t frames);
    // Appends one point; once the trace is full the oldest point is dropped.
    void addValues(SharedBlock& block, float min, float max);
};
