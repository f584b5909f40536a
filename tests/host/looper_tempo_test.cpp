// Loop lengths follow the host's tempo and sample rate: a capture takes the
// length of the tempo it happens at, a loop playing across a change takes the
// new length on the beat, and a tempo that moves every block keeps the grid on
// the host's beats.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using looperrig::kFadeFrames;
using looperrig::LooperRig;

namespace {

constexpr size_t kBeat = 22050;     // 44,100 Hz at 120 BPM
constexpr size_t kSlowBeat = 29400; // 44,100 Hz at 90 BPM
constexpr size_t kChange = 8 * kBeat;

// Rolls at 120 BPM; the tempo becomes 90 BPM on beat 8, inside a block of 256
// frames, which still says 120 as the host's blocks do. Loop2 ("1 beat") is
// switched on at `switchOn`, before or after the change, and rendered to `end`.
LooperRig& slowDownAtBeatEight(LooperRig& rig, size_t switchOn, size_t end)
{
    rig.host.transport().scheduleTempo(8.0, 90.0);
    rig.host.transport().play();
    rig.renderTo(switchOn);
    rig.plugin->setParameter(1, 1.0f);
    rig.renderTo(end);
    return rig;
}

TEST(LooperTempo, ACaptureAfterASlowerTempoTakesItsBeat)
{
    LooperRig rig(400000, 44100.0, 120.0, 256);
    slowDownAtBeatEight(rig, kChange + 10000, 400000);
    const size_t capture = kChange + kSlowBeat; // beat 9
    for (size_t f = 0; f < capture; ++f)
        ASSERT_TRUE(rig.passesThrough(f)) << f;
    rig.expectSources(capture, 400000, [&](size_t f) {
        return int64_t(capture - kSlowBeat + (f - capture) % kSlowBeat);
    });
}

TEST(LooperTempo, ALoopPlayingAcrossTheChangeTakesTheNewBeatOnTheBeat)
{
    LooperRig rig(400000, 44100.0, 120.0, 256);
    slowDownAtBeatEight(rig, 100000, 400000);
    // Captured on beat 5 from the beat before it. The block that holds beat 8
    // still says 120 BPM, so the old length plays on to beat 9; from there the
    // loop is a 90 BPM beat long, grown into what followed the capture, and
    // starts on every beat.
    // The host's position in the block after the change, made a whole frame,
    // may put the beat one frame later.
    const auto first = int64_t(4 * kBeat);
    const size_t beatNine = kChange + kSlowBeat;
    const size_t settled = beatNine + 2 * kFadeFrames;
    const int64_t late = int64_t(settled - beatNine) - (rig.source(settled) - first);
    EXPECT_LE(std::abs(late), 1);
    rig.expectSources(beatNine + late, 400000,
                      [&](size_t f) { return first + int64_t((f - beatNine - late) % kSlowBeat); });
}

// Switches Loop1 ("1 bar") on and off at the given input frames while the tempo
// falls from 120 to 90 BPM over 16 beats, a new tempo every block as the host
// ramps it; returns the song position in beats of every input frame.
std::vector<double> rampWithSwitches(LooperRig& rig, const std::vector<size_t>& switches)
{
    auto& transport = rig.host.transport();
    transport.scheduleTempoRamp(0.0, 16.0, 90.0);
    transport.play();
    float on = 1.0f;
    for (const size_t at : switches) {
        rig.renderTo(at);
        rig.plugin->setParameter(0, on);
        on = 1.0f - on;
    }
    rig.renderTo(rig.input.frames());
    std::vector<double> beats(rig.input.frames());
    for (size_t f = 0; f < beats.size(); ++f)
        beats[f] = transport.beatsAt(int64_t(f));
    return beats;
}

// The frame lies on a beat of the host's: a block's start is the host's
// position rounded to a whole frame, and a beat begins on the first frame at or
// after it, so within two frames.
bool onABeat(const std::vector<double>& beats, size_t frame)
{
    const double twoFrames = 2.0 * (beats[frame] - beats[frame - 1]);
    return std::fabs(beats[frame] - std::round(beats[frame])) <= twoFrames;
}

TEST(LooperTempo, ARampKeepsCapturesAndStopsOnTheHostsBeats)
{
    const std::vector<size_t> switches = {50000, 150000, 210000, 330000};
    LooperRig rig(420000, 44100.0, 120.0, 256);
    const std::vector<double> beats = rampWithSwitches(rig, switches);
    for (size_t k = 0; k < switches.size(); k += 2) {
        size_t capture = switches[k];
        while (rig.passesThrough(capture))
            ++capture;
        EXPECT_TRUE(onABeat(beats, capture)) << "capture at beat " << beats[capture];
        EXPECT_LT(beats[capture] - beats[switches[k]], 1.0);

        size_t back = switches[k + 1];
        while (!(rig.passesThrough(back) && rig.passesThrough(back + 1000)))
            ++back;
        const size_t stop = back - kFadeFrames;
        EXPECT_TRUE(onABeat(beats, stop)) << "stop at beat " << beats[stop];
        EXPECT_LT(beats[stop] - beats[switches[k + 1]], 1.0);
    }
}

// A new sample rate, with or without a suspend around it, or only in the time
// information: a "1 beat" loop at 120 BPM is then half a second of the new rate.
TEST(LooperTempo, ANewSampleRateGivesItsBeat)
{
    enum class Way { SuspendedAndSet, SetWhilePlaying, TimeInformationOnly };
    for (const Way way : {Way::SuspendedAndSet, Way::SetWhilePlaying, Way::TimeInformationOnly}) {
        SCOPED_TRACE(int(way));
        LooperRig rig(300000);
        rig.host.transport().play();
        rig.renderTo(4 * kBeat);
        if (way == Way::SuspendedAndSet) rig.plugin->mainsChanged(false);
        if (way != Way::TimeInformationOnly) rig.plugin->setSampleRate(48000.0f);
        rig.host.setSampleRate(48000.0);
        if (way == Way::SuspendedAndSet) rig.plugin->mainsChanged(true);
        rig.renderTo(100000);
        rig.plugin->setParameter(1, 1.0f);
        rig.renderTo(300000);
        const size_t capture = 4 * kBeat + 24000; // beat 5
        rig.expectSources(capture, 300000, [&](size_t f) {
            return int64_t(capture - 24000 + (f - capture) % 24000);
        });
    }
}

} // namespace
