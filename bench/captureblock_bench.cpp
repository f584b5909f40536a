// The worst single block: the one holding the capture point of a "1 bar" loop
// at 60 BPM and 48,000 Hz, where the engine copies a whole bar (192,000
// frames) out of the ring, measured against the block's real-time duration.
#include "benchmarks.h"
#include "cases.h"
#include "session.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace pl3bench {

namespace {

constexpr float kOneBar = 0.0f;

double worstOf(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// Each repetition is a fresh engine, so the loop buffer's pages are as new as
// they are at a user's first capture.
void captureBlock(benchmark::State& state)
{
    Session session(kCaptureSettings);
    session.play();
    // A bar of real input, then half a beat more: the capture point comes some
    // blocks after the switch, as when a user switches in the middle of a beat.
    session.processFrames(session.barFrames() + session.beatFrames() / 2);
    session.plugin().setParameter(kValue1, kOneBar);
    for (auto _ : state) {
        const auto took = session.switchLoopOnAndTimeCapture();
        if (!took) {
            state.SkipWithError("the loop never started playing");
            break;
        }
        // The capture block itself crossfades from the input into the loop.
        session.processBlock();
        if (!session.lastBlockRepeats(static_cast<std::size_t>(session.barFrames()))) {
            state.SkipWithError("the block after the capture does not repeat the bar before it");
            break;
        }
        const double wall = std::chrono::duration<double>(took->wall).count();
        const double cpu = std::chrono::duration<double>(took->cpu).count();
        state.SetIterationTime(wall);
        state.counters[kBlockFraction] = wall / kCaptureSettings.blockSeconds();
        state.counters[kBlockCpuFraction] = cpu / kCaptureSettings.blockSeconds();
    }
}

} // namespace

void registerCaptureBlockBenchmark()
{
    benchmark::RegisterBenchmark(kCaptureBlockName, captureBlock)
        ->Iterations(1)
        ->Repetitions(kCaptureRepetitions)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->ComputeStatistics(kWorstStatistic, worstOf)
        ->ReportAggregatesOnly(true);
}

} // namespace pl3bench
