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

// Rolls at 120 BPM up to beat 8, where the tempo becomes 90 BPM; Loop2 ("1 beat")
// is switched on at `switchOn` (before or after the change), rendered to `end`.
LooperRig& slowDownAtBeatEight(LooperRig& rig, size_t switchOn, size_t end)
{
    rig.host.transport().play();
    const auto stepTo = [&](size_t frame, auto&& action) {
        rig.renderTo(frame);
        action();
    };
    if (switchOn < kChange) stepTo(switchOn, [&] { rig.plugin->setParameter(1, 1.0f); });
    stepTo(kChange, [&] { rig.host.transport().setTempo(90.0); });
    if (switchOn >= kChange) stepTo(switchOn, [&] { rig.plugin->setParameter(1, 1.0f); });
    rig.renderTo(end);
    return rig;
}

TEST(LooperTempo, ACaptureAfterASlowerTempoTakesItsBeat)
{
    LooperRig rig(400000);
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
    LooperRig rig(400000);
    slowDownAtBeatEight(rig, 100000, 400000);
    // Captured on beat 5 from the beat before it; from the change on the loop is a
    // 90 BPM beat long and starts on every beat, grown into what followed it.
    const size_t first = 4 * kBeat;
    rig.expectSources(kChange, 400000,
                      [&](size_t f) { return int64_t(first + (f - kChange) % kSlowBeat); });
}

// Switches Loop1 ("1 bar") on and off at the given input frames while the tempo
// falls from 120 to 90 BPM over 16 beats, a new tempo every block as the host
// ramps it; returns the song position in beats of every input frame.
std::vector<double> rampWithSwitches(LooperRig& rig, const std::vector<size_t>& switches)
{
    const size_t frames = rig.input.frames();
    std::vector<double> beats(frames);
    size_t next = 0;
    rig.host.transport().play();
    while (rig.done < frames) {
        if (next < switches.size() && rig.done == switches[next])
            rig.plugin->setParameter(0, next++ % 2 == 0 ? 1.0f : 0.0f);
        auto& transport = rig.host.transport();
        const double beat = transport.beatsAt(transport.position());
        transport.setTempo(120.0 - 30.0 * std::min(beat, 16.0) / 16.0);
        size_t end = std::min(frames, rig.done + size_t(rig.blockSize));
        if (next < switches.size()) end = std::min(end, switches[next]);
        for (size_t f = rig.done; f < end; ++f)
            beats[f] = transport.beatsAt(int64_t(transport.position() + (f - rig.done)));
        rig.processBlock(VstInt32(end - rig.done));
    }
    return beats;
}

// The frame lies on a beat of the host's, to the frame: the block starts of a
// ramp are whole frames where the host's beats are not.
bool onABeat(const std::vector<double>& beats, size_t frame)
{
    const double oneFrame = beats[frame] - beats[frame - 1];
    return std::fabs(beats[frame] - std::round(beats[frame])) <= oneFrame;
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
