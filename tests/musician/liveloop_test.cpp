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
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// pravolindel3-play over `input` in real time, its editor shown at a known place.
struct LivePlay {
    playtest::ScratchFolder folder;
    std::unique_ptr<playtest::PlayProcess> play;
    int x = 0;
    int y = 0;

    explicit LivePlay(const playtest::Audio& input, const std::vector<std::string>& extra = {})
    {
        playtest::writeWav(folder.file("in.wav"), input);
        std::vector<std::string> arguments{"--input", "in.wav", "--output", "out.wav",
                                           "--events", "events.txt", "--audio", "none",
                                           "--tempo", "120", "--block", std::to_string(kBlock),
                                           "--geometry", "+100+200"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        play = std::make_unique<playtest::PlayProcess>(arguments, folder.path());
    }

    // False, with the reason added to the test's failure, when no editor appears.
    bool editorShown()
    {
        const auto line = play->waitForLine("pravolindel3-play: editor window", 10s);
        if (!line) {
            ADD_FAILURE() << play->err();
            return false;
        }
        unsigned long window = 0;
        if (std::sscanf(line->c_str(), "pravolindel3-play: editor window %lx at %d,%d", &window,
                        &x, &y) != 3) {
            ADD_FAILURE() << *line;
            return false;
        }
        playtest::XClient client;
        return playtest::waitFor(
            [&] {
                return client.holdsWindowOfSize(window,
                                                {layout::kEditorWidth, layout::kEditorHeight});
            },
            5s);
    }
};

TEST(LiveLooping, LoopOneHeldReleasedAndLatchedLandsOnTheBeat)
{
    if (!playtest::displayNamed()) GTEST_FAIL() << "run under Xvfb (scripts/test)";
    const auto input = playtest::distinctFrames(2, size_t(30 * kRate), kRate);
    LivePlay live(input);
    ASSERT_TRUE(live.editorShown());
    const int x = live.x;
    const int y = live.y;
    auto& play = *live.play;
    const auto& folder = live.folder;
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

// A note held from beat 12 to beat 28 lights loop 1's button in the editor while it is held,
// as the mouse does, and the host hears of no automation for it.
TEST(LiveLooping, ANoteHeldLightsLoopOnesButtonWhileItIsHeld)
{
    if (!playtest::displayNamed()) GTEST_FAIL() << "run under Xvfb (scripts/test)";
#ifdef PL3_SANITIZED
    // Its waits count wall-clock time, which the live host and its UI fall behind under the
    // sanitizers; the notes' thread safety is the threaded render test's, with notes playing.
    GTEST_SKIP() << "timed against the wall clock: release builds only";
#endif
    LivePlay live(playtest::distinctFrames(2, size_t(20 * kRate), kRate),
                  {"--midi-file", "notes.txt"});
    live.folder.writeText("notes.txt", "12 on 36\n28 off 36\n");
    ASSERT_TRUE(live.editorShown());
    const auto centre = layout::loopButton(0);
    const musician::Rect button{live.x + centre.x - 8, live.y + centre.y - 8, 16, 16};
    const musician::Shot unlit = musician::settledShotOf(button);
    const auto shows = [&](bool lit) {
        return playtest::waitFor(
            [&] { return (musician::settledShotOf(button).differingPixels(unlit) > 0) == lit; },
            30s);
    };
    EXPECT_TRUE(shows(true)) << "the button never lit";
    musician::Shot::ofScreen({live.x, live.y, layout::kEditorWidth, layout::kEditorHeight})
        .save("note-36-held");
    EXPECT_TRUE(shows(false)) << "the button stayed lit";
    live.play->signal(SIGINT);
    ASSERT_EQ(live.play->waitForExit(10s), 0) << live.play->err();
    EXPECT_TRUE(automationsIn(live.folder.readText("events.txt")).empty());
}

} // namespace
