#include "sharedblock.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

SharedBlock* createSharedBlock(int32_t instanceNumber)
{
    const std::string name = sharedBlockName(instanceNumber);
    // A failed shm_open shows up as a failed mapping and is reported there. A failed ftruncate
    // is treated the same way: mapping an object shorter than the block would not fail, but the
    // first access past its end would kill the host with SIGBUS.
    const int fd = shm_open(name.c_str(), O_CREAT | O_RDWR, 0600);
    void* memory = MAP_FAILED;
    if (ftruncate(fd, sharedBlockSize) == 0)
        memory = mmap(nullptr, sharedBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (fd >= 0) close(fd);
    if (memory == MAP_FAILED) {
        std::puts("PravoLindel3VST > failed to map plugin shared memory ");
        return nullptr;
    }
    std::memset(memory, 0, sharedBlockSize);
    return static_cast<SharedBlock*>(memory);
}

void unmapSharedBlock(SharedBlock* block)
{
    if (block != nullptr) munmap(block, sharedBlockSize);
}

char* writeSharedParameter(SharedBlock* block, int32_t index, float value)
{
    if (block == nullptr || index < 0 || index >= sharedParameterCount) return nullptr;
    SharedParameterEntry& entry = block->parameters[index];
    entry.value = value;
    return entry.text;
}

void ScopeFeed::processOscilloscope(SharedBlock& block, const float* const* outputs, int32_t frames)
{
    if (frames <= 0) return;
    const float* left = outputs[0];
    const float* right = outputs[1];
    for (int32_t k = 0; k < frames; ++k) {
        // A point is appended only when the frame after a full window arrives.
        if (scopeFrameCount >= scopeWindow) {
            addValues(block, runningMinimum, runningMaximum);
            runningMinimum = 0.0f;
            runningMaximum = 0.0f;
            scopeFrameCount = 0;
        }
        const float m = (left[k] + right[k]) * 0.5f;
        if (m > runningMaximum) runningMaximum = m;
        if (m < runningMinimum) runningMinimum = m;
        ++scopeFrameCount;
    }
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
