// Resident memory across the first effMainsChanged(1): resume maps the two
// stereo buffers (128 MiB), which must cost nothing resident until written.
#include "benchmarks.h"
#include "cases.h"
#include "loadedplugin.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace pl3bench {

namespace {

constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// From /proc/self/statm ("size resident ..." in pages), read without touching
// the heap so that reading it moves nothing itself. 0 if it cannot be read.
long residentBytes()
{
    const int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[128] = {};
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    long size = 0;
    long resident = 0;
    if (length <= 0 || std::sscanf(text, "%ld %ld", &size, &resident) != 2) return 0;
    return resident * sysconf(_SC_PAGESIZE);
}

void resumeMemory(benchmark::State& state)
{
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    plugin.open();
    plugin.setSampleRate(44100.0f);
    plugin.setBlockSize(512);
    plugin.setBypass(false);
    for (auto _ : state) {
        const long before = residentBytes();
        const auto start = std::chrono::steady_clock::now();
        plugin.mainsChanged(true);
        const auto took = std::chrono::steady_clock::now() - start;
        const long after = residentBytes();
        if (before == 0 || after == 0) {
            state.SkipWithError("/proc/self/statm cannot be read");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        state.counters[kRssDeltaMiB] = static_cast<double>(after - before) / kBytesPerMiB;
    }
}

} // namespace

void registerResumeMemoryBenchmark()
{
    benchmark::RegisterBenchmark(kResumeMemoryName, resumeMemory)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
}

} // namespace pl3bench
