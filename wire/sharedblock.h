// The shared memory block between the plug-in and its UI process: one definition for both.
//
// Layout (native byte order, no padding): 24 parameter entries of 32 bytes, then the
// oscilloscope minima and maxima, oldest point first, then the number of valid points. The block
// is written and read without synchronisation; a torn read only spoils one refresh.
//
// Plain C++ with no engine or plug-in dependency, so that the UI program can include it.
#pragma once

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
