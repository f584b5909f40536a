// Loop 1's button played live in pravolindel3-play: the transport runs in real time over an
// input whose frames all differ, the pointer holds the button, lets go, then right-clicks it,
// and the recorded output shows, frame for frame, each change landing on the beat grid.
#include "editorlayout.h"
#include "hands.h"
#include "loopmath.h"
#include "playaudio.h"
#include "playeditor.h"
#include "playprogram.h"
#include "screenshot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using musician::MouseButton;

namespace {

constexpr int kRate = 44100;
constexpr double kTempo = 120.0;
constexpr int kBlock = 256;
constexpr double kSamplesPerBeat = 60.0 * kRate / kTempo;

struct Automation {
    int index;
    float value;
    long long frame;
};

std::vector<Automation> automationsIn(const std::string& events)
{
    std::vector<Automation> found;
    for (const auto& line : playtest::linesOf(events)) {
        Automation a{};
        if (std::sscanf(line.c_str(), "automate %d %f frame %lld", &a.index, &a.value, &a.frame) ==
            3)
            found.push_back(a);
    }
    return found;
}

long long nextBeatFrom(long long frame)
{
    const auto beat = static_cast<long long>(kSamplesPerBeat);
    return (frame + beat - 1) / beat * beat;
}

// The engine reads a change from another thread at a block start: the block after the one in
// progress when the host heard of it at the latest. The change lands on the first beat from
// there.
bool landsOnTheNextBeat(long long frame, long long heardAt)
{
    return frame == nextBeatFrom(heardAt) || frame == nextBeatFrom(heardAt + kBlock);
}

bool sameFrame(const playtest::Audio& output, long long f, const playtest::Audio& input,
               long long source)
{
    for (size_t c = 0; c < output.channels.size(); ++c)
        if (output.channels[c][size_t(f)] != input.channels[c][size_t(source)]) return false;
    return true;
}

// From `from` on, the first frame that is not the input passing through.
long long firstChangeFrom(const playtest::Audio& output, const playtest::Audio& input,
                          long long from)
{
    long long f = from;
    while (f < static_cast<long long>(output.frames()) && sameFrame(output, f, input, f))
        ++f;
    return f;
}

// The looper crossfades over this many frames from each capture, wrap and stop.
constexpr long long kFadeFrames = 64;

// From a capture at `start` on, the first frame that is not the loop of `length` frames before
// it repeating; the crossfades into each pass are mixes and count as the loop.
long long loopEndsAt(const playtest::Audio& output, const playtest::Audio& input, long long start,
                     long long length)
{
    long long f = start;
    while (f < static_cast<long long>(output.frames()) &&
           ((f - start) % length < kFadeFrames ||
            sameFrame(output, f, input, start - length + (f - start) % length)))
        ++f;
    return f;
}

TEST(LiveLooping, LoopOneHeldReleasedAndLatchedLandsOnTheBeat)
{
    if (!playtest::displayNamed()) GTEST_FAIL() << "run under Xvfb (scripts/test)";
    playtest::ScratchFolder folder;
    const auto input = playtest::distinctFrames(2, size_t(30 * kRate), kRate);
    playtest::writeWav(folder.file("in.wav"), input);
    playtest::PlayProcess play({"--input", "in.wav", "--output", "out.wav", "--events",
                                "events.txt", "--audio", "none", "--tempo", "120", "--block",
                                std::to_string(kBlock), "--geometry", "+100+200"},
                               folder.path());
    const auto line = play.waitForLine("pravolindel3-play: editor window", 10s);
    ASSERT_TRUE(line) << play.err();
    unsigned long window = 0;
    int x = 0;
    int y = 0;
    ASSERT_EQ(std::sscanf(line->c_str(), "pravolindel3-play: editor window %lx at %d,%d", &window,
                          &x, &y),
              3);
    playtest::XClient client;
    ASSERT_TRUE(playtest::waitFor(
        [&] {
            return client.holdsWindowOfSize(window, {layout::kEditorWidth, layout::kEditorHeight});
        },
        5s));
    const auto button = layout::loopButton(0);

    // More than a bar has gone by before the press, so the loop holds only the song.
    std::this_thread::sleep_for(2500ms);
    musician::moveTo(x + button.x, y + button.y);
    musician::press(MouseButton::Left);
    std::this_thread::sleep_for(2500ms);
    musician::Shot::ofScreen({x, y, layout::kEditorWidth, layout::kEditorHeight})
        .save("live-loop-1-held");
    musician::release(MouseButton::Left);
    std::this_thread::sleep_for(2000ms);
    musician::press(MouseButton::Right);
    musician::release(MouseButton::Right);
    std::this_thread::sleep_for(3000ms);
    musician::Shot::ofScreen({x, y, layout::kEditorWidth, layout::kEditorHeight})
        .save("live-loop-1-latched");
    play.signal(SIGINT);
    ASSERT_EQ(play.waitForExit(10s), 0) << play.err();

    const auto automations = automationsIn(folder.readText("events.txt"));
    ASSERT_EQ(automations.size(), 3u) << folder.readText("events.txt");
    for (const auto& a : automations)
        EXPECT_EQ(a.index, 0) << "only loop 1's switch moved";
    EXPECT_EQ(automations[0].value, 1.0f);
    EXPECT_EQ(automations[1].value, 0.0f);
    EXPECT_EQ(automations[2].value, 1.0f);

    const auto output = playtest::readAudio(folder.file("out.wav"));
    ASSERT_GT(output.frames(), size_t(9 * kRate));
    // Loop 1 at its default size, "1 bar".
    const auto length = static_cast<long long>(loopmath::kStepBeats[0] * kSamplesPerBeat);

    const long long captured = firstChangeFrom(output, input, 0);
    EXPECT_TRUE(landsOnTheNextBeat(captured, automations[0].frame))
        << "captured at " << captured << " after the press at " << automations[0].frame;
    const long long stopped = loopEndsAt(output, input, captured, length);
    EXPECT_GT(stopped - captured, length) << "the loop did not come round again";
    EXPECT_TRUE(landsOnTheNextBeat(stopped, automations[1].frame))
        << "stopped at " << stopped << " after the release at " << automations[1].frame;
    const long long latched = firstChangeFrom(output, input, stopped + kFadeFrames);
    EXPECT_TRUE(landsOnTheNextBeat(latched, automations[2].frame))
        << "latched at " << latched << " after the click at " << automations[2].frame;
    EXPECT_EQ(loopEndsAt(output, input, latched, length), static_cast<long long>(output.frames()))
        << "the latched loop did not play to the end";
}

} // namespace
