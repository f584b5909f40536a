// Loop capture, playback, change and stop through the real library, frame by
// frame, on inputs whose frames are all distinct.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using looperrig::kFadeFrames;
using looperrig::LooperRig;

namespace {

constexpr size_t kBeat = 22050; // 44,100 Hz at 120 BPM
constexpr size_t kBar = 4 * kBeat;

// Switches a loop on at `at` and renders to `end`, all at 120 BPM from position 0.
LooperRig& rollWithLoop(LooperRig& rig, VstInt32 loopIndex, size_t at, size_t end)
{
    rig.host.transport().play();
    rig.renderTo(at);
    rig.plugin->setParameter(loopIndex, 1.0f);
    rig.renderTo(end);
    return rig;
}

TEST(LooperCapture, OneBarCapturesAtTheNextBeatAndRepeatsTheBarBefore)
{
    LooperRig rig(400000);
    const size_t switchOn = 100000;
    const size_t capture = 5 * kBeat; // the first multiple of 22,050 after 100,000
    rollWithLoop(rig, 0, switchOn, 400000);
    for (size_t f = 0; f < capture; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(capture, 400000,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
}

TEST(LooperCapture, SwitchedOnOneFrameBeforeABoundaryCapturesOnIt)
{
    LooperRig rig(300000);
    const size_t capture = 6 * kBeat;
    rollWithLoop(rig, 0, capture - 1, 300000);
    EXPECT_TRUE(rig.passesThrough(capture - 1));
    rig.expectSources(capture, capture + kBar + kFadeFrames,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
}

TEST(LooperCapture, SwitchedOnOnABoundaryCapturesThere)
{
    LooperRig rig(300000);
    const size_t capture = 6 * kBeat;
    rollWithLoop(rig, 0, capture, 300000);
    rig.expectSources(capture, capture + kFadeFrames + 1,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture)); });
}

TEST(LooperCapture, SubBeatLoopStartsAtOnceWithinItsLength)
{
    // Loop4's default length is "1/4 beat": 5,512 frames.
    LooperRig rig(200000);
    const size_t beatStart = 3 * kBeat;
    const size_t switchOn = beatStart + 1000;
    const size_t quarter = 5512;
    rollWithLoop(rig, 3, switchOn, 200000);
    // The part since the beat boundary plays on as it comes in, then repeats.
    for (size_t f = switchOn; f < beatStart + quarter; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(beatStart + quarter, 200000, [&](size_t f) {
        return int64_t(beatStart + (f - beatStart - quarter) % quarter);
    });
}

TEST(LooperCapture, SubBeatLoopSwitchedOnPastItsLengthWaitsForTheNextBeat)
{
    LooperRig rig(200000);
    const size_t beatStart = 3 * kBeat;
    const size_t quarter = 5512;
    rollWithLoop(rig, 3, beatStart + quarter, 200000);
    const size_t next = beatStart + kBeat;
    for (size_t f = beatStart; f < next + quarter; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(next + quarter, 200000,
                      [&](size_t f) { return int64_t(next + (f - next - quarter) % quarter); });
}

TEST(LooperCapture, OneBeatAt130BpmStartsAtOnceAt120WaitsForTheBeat)
{
    // 130 BPM: 20,353.85 frames per beat, so a "1 beat" loop of 20,353 frames is
    // shorter than a beat and starts on the first frame after the switch.
    {
        const double spb = 60.0 * 44100.0 / 130.0;
        LooperRig rig(200000, 44100.0, 130.0);
        const size_t switchOn = 50000;
        rollWithLoop(rig, 1, switchOn, 200000);
        // Beat k starts on the first frame at or after k beats.
        const auto beatStart = size_t(std::ceil(std::floor(switchOn / spb) * spb));
        ASSERT_GT(spb, 20353.0);
        for (size_t f = 0; f < beatStart + 20353; ++f)
            ASSERT_TRUE(rig.passesThrough(f)) << f;
        rig.expectSources(beatStart + 20353, 200000, [&](size_t f) {
            return int64_t(beatStart + (f - beatStart - 20353) % 20353);
        });
    }
    {
        LooperRig rig(200000);
        const size_t switchOn = 50000;
        rollWithLoop(rig, 1, switchOn, 200000);
        const size_t capture = 3 * kBeat;
        for (size_t f = 0; f < capture; ++f)
            ASSERT_TRUE(rig.passesThrough(f)) << f;
        rig.expectSources(capture, 200000, [&](size_t f) {
            return int64_t(capture - kBeat + (f - capture) % kBeat);
        });
    }
}

TEST(LooperCapture, TheGridKeepsToTheHostsBeatsWhenABeatIsNoWholeNumberOfFrames)
{
    // 400 beats at 130 BPM end on frame 8,141,538.46: a grid of whole 20,353-frame
    // beats would have drifted 339 frames ahead of the song by then.
    const double spb = 60.0 * 44100.0 / 130.0;
    LooperRig rig(60000, 44100.0, 130.0);
    const int64_t start = 8121185; // just past beat 399
    rig.host.transport().locateFrames(start);
    rollWithLoop(rig, 2, 16000, 60000); // "3/4 beat", switched on too late in beat 399
    const auto beat400 = int64_t(std::ceil(400.0 * spb));
    const auto capture = size_t(beat400 - start);
    const size_t threeQuarters = 15265; // trunc(0.75 × 20,353.85)
    // The loop plays the beat's start as it comes in, then repeats it.
    for (size_t f = 0; f < capture + threeQuarters; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(capture + threeQuarters, 60000, [&](size_t f) {
        return int64_t(capture + (f - capture - threeQuarters) % threeQuarters);
    });
}

TEST(LooperPlayback, HalfSpeedRepeatsEveryFrameTwice)
{
    LooperRig rig(450000);
    rig.plugin->setParameter(8, 0.0f); // pitch1: one octave down
    rollWithLoop(rig, 0, 100000, 450000);
    const size_t capture = 5 * kBeat;
    rig.expectSources(capture, capture + 2 * kBar + kFadeFrames, [&](size_t f) {
        return int64_t(capture - kBar + (f - capture) % (2 * kBar) / 2); // wraps after 2 bars
    });
}

TEST(LooperPlayback, DoubleSpeedSkipsEverySecondFrame)
{
    LooperRig rig(300000);
    rig.plugin->setParameter(8, 1.0f);
    rollWithLoop(rig, 0, 100000, 300000);
    const size_t capture = 5 * kBeat;
    rig.expectSources(capture, 300000, [&](size_t f) {
        return int64_t(capture - kBar + (2 * (f - capture)) % kBar);
    });
}

TEST(LooperPlayback, BackwardReadsTheStartThenRunsDownFromTheEnd)
{
    LooperRig rig(350000);
    rig.plugin->setParameter(12, 1.0f); // rev1
    rollWithLoop(rig, 0, 100000, 350000);
    const size_t capture = 5 * kBeat;
    const int64_t first = int64_t(capture - kBar);
    rig.expectSources(capture, 350000, [&](size_t f) {
        if (f == capture) return first;
        const size_t k = (f - capture - 1) % kBar; // 0 .. 88,199 per pass
        return first + int64_t(kBar - 1 - k);
    });
}

TEST(LooperPlayback, SwitchingOffStopsAtTheNextBeatBoundary)
{
    LooperRig rig(400000);
    rollWithLoop(rig, 0, 100000, 200000);
    const size_t capture = 5 * kBeat;
    rig.plugin->setParameter(0, 0.0f);
    rig.renderTo(400000);
    const size_t stop = 10 * kBeat; // first boundary after 200,000
    rig.expectSources(200000, stop,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
    for (size_t f = stop + kFadeFrames; f < 400000; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
}

TEST(LooperPlayback, LongerLoopSwitchedOnLaterContinuesIntoRecordedMaterial)
{
    // Loop2 ("1 beat") captures; Loop1 ("1 bar") switched on later grows the loop
    // at the next boundary into what was appended behind the capture.
    LooperRig rig(400000);
    rollWithLoop(rig, 1, 100000, 150000);
    const size_t capture = 5 * kBeat;
    rig.expectSources(capture, 150000,
                      [&](size_t f) { return int64_t(capture - kBeat + (f - capture) % kBeat); });
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(400000);
    const size_t change = 7 * kBeat; // first boundary after 150,000
    // The phase counter says two beats have passed since the capture: the bar
    // continues at its third beat.
    rig.expectSources(change, change + 2 * kBeat + kFadeFrames,
                      [&](size_t f) { return int64_t(capture - kBeat + (f - capture) % kBar); });
}

TEST(LooperTransport, StoppedHostPassesThroughBitExactAndTheRingStandsStill)
{
    LooperRig rig(400000);
    rig.host.transport().play();
    rig.renderTo(100000);
    rig.host.transport().stop();
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(150000);
    for (size_t f = 100000; f < 150000; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    // Rolling again from position 100,000 with input frame 150,000: the capture at
    // position 110,250 holds what came in while playing, not while stopped.
    rig.plugin->setParameter(0, 0.0f);
    rig.host.transport().play();
    rig.renderTo(150000 + 5000);
    rig.plugin->setParameter(0, 1.0f);
    rig.renderTo(400000);
    const size_t capture = 150000 + (5 * kBeat - 100000);
    rig.expectSources(capture, capture + kBar, [&](size_t f) {
        const size_t ringFrame = 5 * kBeat - kBar + (f - capture); // position on the grid
        return int64_t(ringFrame < 100000 ? ringFrame : ringFrame + 50000);
    });
}

TEST(LooperTransport, TransportStartWithALoopOnRecordsAfresh)
{
    LooperRig rig(500000);
    rollWithLoop(rig, 0, 100000, 200000);
    rig.host.transport().stop();
    rig.renderTo(250000);
    rig.host.transport().locateFrames(0);
    rig.host.transport().play();
    rig.renderTo(500000);
    const size_t restart = 250000;
    for (size_t f = restart; f < restart + kBar; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(restart + kBar, 500000,
                      [&](size_t f) { return int64_t(restart + (f - restart - kBar) % kBar); });
}

TEST(LooperTransport, NoTimeInformationIsPurePassThrough)
{
    LooperRig rig(200000);
    rig.host.setTimeInfoAvailable(false);
    rollWithLoop(rig, 0, 10000, 200000);
    for (size_t f = 0; f < 200000; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
}

TEST(LooperTransport, BrokenTimeInformationPassesThroughAndHoldsState)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::function<void(VstTimeInfo&)> breakages[] = {
        [](VstTimeInfo& t) { t.sampleRate = 0.0; },
        [&](VstTimeInfo& t) { t.sampleRate = nan; },
        [](VstTimeInfo& t) { t.sampleRate = -44100.0; },
        [](VstTimeInfo& t) { t.tempo = 0.0; },
        [&](VstTimeInfo& t) { t.tempo = inf; },
        [](VstTimeInfo& t) { t.tempo = -120.0; },
        [&](VstTimeInfo& t) { t.ppqPos = nan; },
        [&](VstTimeInfo& t) { t.ppqPos = -inf; },
        [](VstTimeInfo& t) { t.ppqPos = 1.0e300; },
        [](VstTimeInfo& t) { t.tempo = 1.0e9; }, // less than a frame per beat
    };
    for (const auto& breakage : breakages) {
        LooperRig rig(300000);
        rig.host.transport().play();
        rig.renderTo(100000);
        rig.plugin->setParameter(0, 1.0f);
        rig.host.setTimeInfoEdit(breakage);
        rig.renderTo(150000);
        for (size_t f = 100000; f < 150000; ++f)
            ASSERT_TRUE(rig.passesThrough(f)) << f;
        // Nothing advanced: the ring holds frames up to 99,999, and the grid goes on
        // from position 100,000 with input frame 150,000.
        rig.host.setTimeInfoEdit({});
        rig.host.transport().locateFrames(100000);
        rig.renderTo(300000);
        const size_t capture = 150000 + (5 * kBeat - 100000);
        EXPECT_EQ(rig.source(capture + kFadeFrames), int64_t(5 * kBeat - kBar + kFadeFrames));
        EXPECT_EQ(rig.source(capture + kBar - 1), int64_t(150000 + (5 * kBeat - 100000) - 1));
    }
}

TEST(LooperTransport, NoValidTempoMeans120)
{
    LooperRig rig(100000, 48000.0, 120.0);
    rig.host.transport().setValidFlags(kVstPpqPosValid);
    rig.host.setTimeInfoEdit([](VstTimeInfo& t) { t.tempo = 90.0; }); // not flagged valid
    rollWithLoop(rig, 1, 30000, 100000); // "1 beat": 24,000 frames at 120 BPM, 48 kHz
    const size_t capture = 48000;
    EXPECT_TRUE(rig.passesThrough(capture - 1));
    rig.expectSources(capture, capture + 24000 + kFadeFrames,
                      [&](size_t f) { return int64_t(capture - 24000 + (f - capture) % 24000); });
}

TEST(LooperTransport, NoValidPositionPutsABoundaryOnEveryBlockStart)
{
    LooperRig rig(100000);
    rig.host.transport().setValidFlags(kVstTempoValid);
    rollWithLoop(rig, 0, 1000, 100000);
    // The block starting at input frame 1,000 starts on position 0: the capture
    // takes the bar before it, of which the ring holds only 1,000 frames.
    EXPECT_TRUE(rig.passesThrough(999));
    EXPECT_EQ(rig.output.at(0, 1000 + kFadeFrames), 0.0f);
    EXPECT_EQ(rig.source(1000 + kBar - 1000), 0);
    EXPECT_EQ(rig.source(1000 + kBar - 1), 999);
}

TEST(LooperRender, InPlaceProcessingEqualsSeparateBuffers)
{
    LooperRig separate(300000);
    LooperRig inPlace(300000);
    inPlace.output = inPlace.input;
    separate.plugin->setParameter(12, 1.0f);
    inPlace.plugin->setParameter(12, 1.0f);
    for (LooperRig* rig : {&separate, &inPlace})
        rig->host.transport().play();
    auto step = [](LooperRig& rig, size_t end, bool sameArrays) {
        while (rig.done < end) {
            const auto frames = VstInt32(std::min<size_t>(rig.blockSize, end - rig.done));
            float** out = rig.output.pointersAt(rig.done);
            rig.plugin->process(sameArrays ? out : rig.input.pointersAt(rig.done), out, frames);
            rig.done += size_t(frames);
        }
    };
    step(separate, 60000, false);
    step(inPlace, 60000, true);
    separate.plugin->setParameter(0, 1.0f);
    inPlace.plugin->setParameter(0, 1.0f);
    step(separate, 300000, false);
    step(inPlace, 300000, true);
    for (size_t f = 0; f < 300000; ++f)
        ASSERT_EQ(separate.output.at(0, f), inPlace.output.at(0, f)) << f;
}

// A session reopened with Loop1 saved on as a "1 beat" loop: every value
// arrives before the host has said its tempo, some before the plug-in is even
// opened and resumed, in either order; then stopped blocks, then the start.
LooperRig& restoredSession(LooperRig& rig, size_t stopped)
{
    rig.renderTo(stopped);
    rig.host.transport().play();
    rig.renderTo(rig.input.frames());
    return rig;
}

void restoreLoopOne(hostcore::LoadedPlugin& plugin, bool loopFirst)
{
    if (loopFirst) plugin.setParameter(0, 1.0f);
    plugin.setParameter(4, 0.2222223f);
    if (!loopFirst) plugin.setParameter(0, 1.0f);
}

TEST(LooperSession, ALoopRestoredOnRecordsFromTheStartWithItsLength)
{
    for (const bool beforeOpen : {true, false})
        for (const bool loopFirst : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << "before open " << beforeOpen << ", loop first " << loopFirst);
            const auto restore = [&](hostcore::LoadedPlugin& p) { restoreLoopOne(p, loopFirst); };
            LooperRig rig(200000, 44100.0, 120.0, 512,
                          beforeOpen ? std::function<void(hostcore::LoadedPlugin&)>(restore)
                                     : nullptr);
            if (!beforeOpen) {
                restore(*rig.plugin);
                rig.plugin->mainsChanged(true);
            }
            const size_t start = 20000;
            restoredSession(rig, start);
            // The recording pass is the input itself, then the beat from the start repeats.
            for (size_t f = 0; f < start + kBeat; ++f)
                ASSERT_TRUE(rig.passesThrough(f)) << f;
            rig.expectSources(start + kBeat, 200000,
                              [&](size_t f) { return int64_t(start + (f - start) % kBeat); });
        }
}

TEST(LooperSession, WithoutAStartNoticeTheRestoredLoopCapturesABeatOnTheBeat)
{
    LooperRig rig(200000, 44100.0, 120.0, 512,
                  [](hostcore::LoadedPlugin& p) { restoreLoopOne(p, true); });
    rig.host.transport().setReportsChanges(false);
    rig.host.transport().locateFrames(int64_t(3 * kBeat / 2));
    rig.host.transport().play();
    rig.renderTo(200000);
    // The capture on position 2 beats takes the beat before it, of which the ring
    // holds the half since the start; that beat repeats.
    const size_t capture = kBeat / 2;
    for (size_t pass = 0; pass < 3; ++pass) {
        const size_t passStart = capture + pass * kBeat;
        rig.expectSources(passStart + kBeat / 2, passStart + kBeat,
                          [&](size_t f) { return int64_t(f - passStart - kBeat / 2); });
    }
}

TEST(LooperRender, BlockSizesDoNotMatter)
{
    LooperRig reference(300000, 44100.0, 120.0, 512);
    rollWithLoop(reference, 0, 100000, 300000);
    for (VstInt32 block : {1, 64, 100, 1024, 4096}) {
        LooperRig rig(300000, 44100.0, 120.0, block);
        rollWithLoop(rig, 0, 100000, 300000);
        for (size_t f = 0; f < 300000; ++f)
            ASSERT_EQ(rig.output.at(0, f), reference.output.at(0, f)) << block << " " << f;
    }
}

TEST(LooperRender, ArdourRoundedPositionsKeepTheGrid)
{
    LooperRig rig(400000, 44100.0, 120.0, 333);
    rig.host.transport().setPpqTicksPerBeat(1920);
    rollWithLoop(rig, 0, 100000, 400000);
    const size_t capture = 5 * kBeat;
    rig.expectSources(capture, 400000,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
}

TEST(LooperRender, PositionsBeyondThirteenHoursWorkLikeOnesNearTheStart)
{
    LooperRig rig(300000);
    const int64_t farAway = int64_t(kBeat) * 100000; // 2,205,000,000 frames, 13.9 h
    rig.host.transport().locateFrames(farAway);
    rollWithLoop(rig, 0, 100000, 300000);
    const size_t capture = 5 * kBeat;
    rig.expectSources(capture, 300000,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
}

TEST(LooperRender, NegativePositionsPlayThroughPreRoll)
{
    // The host counts in from a bar and 1,000 frames before the song start.
    LooperRig rig(300000);
    const double countIn = double(kBar + 1000) / double(kBeat);
    rig.host.setTimeInfoEdit([countIn](VstTimeInfo& t) { t.ppqPos -= countIn; });
    rollWithLoop(rig, 0, 100000, 300000);
    const size_t capture = 22050 + kBar + 1000; // position 22,050
    for (size_t f = 0; f < capture; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(capture, 300000,
                      [&](size_t f) { return int64_t(capture - kBar + (f - capture) % kBar); });
}

} // namespace
