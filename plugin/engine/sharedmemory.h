// The engine's side of the shared memory block: creating and leasing it, writing
// parameter entries and feeding the oscilloscope trace. The layout itself is
// the one both programs share (sharedblock.h).
#pragma once

#include "sharedblock.h"

#include <atomic>
#include <cstdint>

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
