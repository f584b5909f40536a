// processReplacing of the loaded plug-in in its steady states, against a plain
// copy of the same blocks: 512-frame blocks at 44,100 Hz and 120 BPM.
#include "benchmarks.h"
#include "cases.h"
#include "session.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace pl3bench {

namespace {

constexpr std::int64_t kCaptureRingFrames = 0x800000;

// Frames per second of elapsed time, inverted: seconds per frame.
benchmark::Counter timePerFrame(VstInt32 blockFrames)
{
    return benchmark::Counter(blockFrames, benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
}

void applyLoopSettings(hostcore::LoadedPlugin& plugin, const LoopSettings& loop)
{
    plugin.setParameter(kPitch1, loop.pitch);
    plugin.setParameter(kRev1, loop.reverse ? kSwitchOn : 0.0f);
    plugin.setParameter(kFx1, loop.fxOn ? kSwitchOn : 0.0f);
    plugin.setParameter(kFxSel1, loop.fxSelect);
}

// Brings a fresh engine into the case's state; false if the loop never
// started playing.
bool prepare(Session& session, const ThroughputCase& which)
{
    if (which.kind == CaseKind::Stopped) return true;
    session.play();
    // One full turn of the capture ring first: a fresh engine gets the ring's
    // pages from the kernel as it first fills it (a page fault per 1,024 frames
    // and channel for its first 190 s), and the steady state is what is measured.
    session.processFrames(kCaptureRingFrames);
    if (which.kind == CaseKind::Playing) return true;
    applyLoopSettings(session.plugin(), which.loop);
    return session.switchLoopOnAndTimeCapture().has_value();
}

void processCase(benchmark::State& state, const ThroughputCase& which)
{
    Session session(kThroughputSettings);
    if (!prepare(session, which)) {
        state.SkipWithError("the loop never started playing");
        return;
    }
    for (auto _ : state)
        session.processBlock();
    // A case that drifted out of its state measured something else.
    const bool looping = which.kind == CaseKind::Looping;
    if (session.lastBlockPassedThrough() == looping)
        state.SkipWithError(looping ? "the loop stopped playing"
                                    : "the input was not passed through");
    state.counters[kTimePerFrame] = timePerFrame(kThroughputSettings.blockFrames);
}

void copyBaseline(benchmark::State& state)
{
    BlockRing ring(kThroughputSettings.blockFrames);
    const std::size_t bytes =
        static_cast<std::size_t>(kThroughputSettings.blockFrames) * sizeof(float);
    std::size_t block = 0;
    for (auto _ : state) {
        float** inputs = ring.inputs(block);
        float** outputs = ring.outputs(block);
        std::memcpy(outputs[0], inputs[0], bytes);
        std::memcpy(outputs[1], inputs[1], bytes);
        benchmark::ClobberMemory();
        block = block + 1 == ring.blocks() ? 0 : block + 1;
    }
    state.counters[kTimePerFrame] = timePerFrame(kThroughputSettings.blockFrames);
}

} // namespace

void registerThroughputBenchmarks()
{
    benchmark::RegisterBenchmark(kCopyBaselineName, copyBaseline)->UseRealTime();
    for (const ThroughputCase& which : kThroughputCases)
        benchmark::RegisterBenchmark(which.name, processCase, which)->UseRealTime();
}

} // namespace pl3bench
