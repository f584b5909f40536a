// Real renders through PravoLindel3.so: the audio that comes out, computed
// from the audio that went in and the looper's beat grid at 120 BPM and
// 44,100 Hz (22,050 frames a beat, 88,200 a bar).
#include "numbers.h"
#include "renderprogram.h"
#include "testaudio.h"
#include "timeline.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using rendertest::firstDifference;
using rendertest::loopedChannel;
using rendertest::loopJumps;
using rendertest::ProgramRun;
using rendertest::readAudio;
using rendertest::ScratchFolder;
using rendertest::TestAudio;

constexpr std::size_t kBeat = 22050;
constexpr std::size_t kBar = 4 * kBeat;
constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;

// The position of a frame, written so that it reads back as that frame.
std::string at(std::size_t frame)
{
    std::string text = "@";
    return text += pl3render::formatNumber(static_cast<double>(frame) / kBeat);
}

class RenderedAudio : public ::testing::Test {
protected:
    ScratchFolder folder;
    TestAudio input;

    void makeInput(int channels, std::size_t frames, int format = kFloatWav,
                   const std::string& name = "in.wav", double rate = 44100.0)
    {
        rendertest::writeAudio(folder.file(name), rendertest::noise(channels, frames, rate, 2024),
                               format);
        // What the file holds is the reference: integer formats round.
        input = readAudio(folder.file(name));
    }

    // Renders in.wav to out.wav with `extra` arguments; expects success.
    TestAudio render(const std::vector<std::string>& extra, const std::string& in = "in.wav",
                     const std::string& out = "out.wav")
    {
        std::vector<std::string> arguments{folder.file(in), folder.file(out)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        last = rendertest::runRender(arguments);
        EXPECT_EQ(last.exitCode, 0) << last.err;
        EXPECT_TRUE(last.err.empty()) << "no progress off a terminal: " << last.err;
        return readAudio(folder.file(out));
    }

    // The 1-bar loop captured at `capture`, on every channel of the input.
    void expectLoopFrom(const TestAudio& output, std::size_t capture, std::size_t length = kBar)
    {
        ASSERT_EQ(output.channels.size(), 2u);
        ASSERT_EQ(output.frames(), input.frames());
        for (std::size_t c = 0; c < 2; ++c) {
            const auto& in = input.channels[c % input.channels.size()];
            const auto& out = output.channels[c];
            EXPECT_EQ(firstDifference(out, in), capture) << "channel " << c;
            EXPECT_EQ(firstDifference(out, loopedChannel(in, capture, length),
                                      loopJumps(capture, length, out.size())),
                      out.size())
                << "channel " << c;
        }
    }

    // Where the output first leaves the input, alike on both channels.
    std::size_t firstChange(const TestAudio& output) const
    {
        const std::size_t left = firstDifference(output.channels.at(0), input.channels.at(0));
        EXPECT_EQ(firstDifference(output.channels.at(1), input.channels.at(1)), left);
        return left;
    }

    ProgramRun last;
};

TEST_F(RenderedAudio, NoEventsPassTheInputThroughBitExactly)
{
    makeInput(2, 3 * kBar + 123);
    const TestAudio output = render({});
    EXPECT_EQ(output.format, kFloatWav);
    EXPECT_EQ(output.sampleRate, 44100.0);
    ASSERT_EQ(output.channels.size(), 2u);
    EXPECT_EQ(output.channels, input.channels);
}

TEST_F(RenderedAudio, SummaryLineCountsFramesBlocksAndEvents)
{
    makeInput(2, 2 * kBar);
    render({"Loop1=1@2", "Loop1=0@1000"});
    const auto lines = last.toolLines();
    ASSERT_EQ(lines.size(), 1u) << last.out;
    EXPECT_EQ(lines[0].rfind("pravolindel3-render: wrote " + folder.file("out.wav") +
                                 ": 176400 frames (4.00 s at 44100 Hz) in 345 blocks of 512, 1 "
                                 "of 2 events applied, ",
                             0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].size() - 10), "x realtime") << lines[0];
}

TEST_F(RenderedAudio, QuietPrintsNothing)
{
    makeInput(2, 1000);
    render({"--quiet"});
    EXPECT_TRUE(last.toolLines().empty()) << last.out;
}

TEST_F(RenderedAudio, LoopSwitchedOnMidBeatRepeatsTheBarBeforeTheNextBeat)
{
    makeInput(2, 5 * kBeat + 2 * kBar + 777);
    // Beat 4.5 is frame 99,225; the change lands before the block at 99,328
    // and the capture waits for the beat boundary at 110,250.
    expectLoopFrom(render({"Loop1=1@4.5"}), 5 * kBeat);
}

TEST_F(RenderedAudio, ChangesApplyBeforeTheFirstBlockStartingAtOrAfterThem)
{
    makeInput(2, 6 * kBeat + kBar + 100);
    // Frame 110,080 starts a 512-frame block, so a change there is in time for
    // the boundary at 110,250; one frame later it waits for the next block,
    // which starts past that boundary, and so for beat 6.
    expectLoopFrom(render({"Loop1=1" + at(215 * 512)}), 5 * kBeat);
    expectLoopFrom(render({"Loop1=1" + at(215 * 512 + 1)}), 6 * kBeat);
}

TEST_F(RenderedAudio, ExactSplitsTheBlockSoTheChangeLandsOnItsFrame)
{
    makeInput(2, 6 * kBeat + kBar + 100);
    expectLoopFrom(render({"--exact", "Loop1=1" + at(5 * kBeat - 100)}), 5 * kBeat);
    expectLoopFrom(render({"Loop1=1" + at(5 * kBeat - 100)}), 6 * kBeat);
}

TEST_F(RenderedAudio, BlockSizeDecidesWhereAChangeLands)
{
    makeInput(2, 6 * kBeat + kBar + 100);
    // 110,150 is a block start for 50-frame blocks, none for 512.
    expectLoopFrom(render({"--block", "50", "Loop1=1" + at(5 * kBeat - 100)}), 5 * kBeat);
    ASSERT_EQ(last.toolLines().size(), 1u) << last.out;
    EXPECT_NE(last.toolLines()[0].find(" blocks of 50,"), std::string::npos);
}

TEST_F(RenderedAudio, TimelineFileDrivesTheRender)
{
    makeInput(2, 5 * kBeat + 2 * kBar);
    folder.writeText("set.timeline", "# the loop of the test above, from a file\n\nLoop1=1@4.5\n");
    expectLoopFrom(render({"--timeline", folder.file("set.timeline")}), 5 * kBeat);
}

TEST_F(RenderedAudio, PrerollLeavesTheResultAsItWas)
{
    makeInput(2, 5 * kBeat + kBar + 10);
    expectLoopFrom(render({"--preroll", "2", "Loop1=1@4.5"}), 5 * kBeat);
    ASSERT_EQ(last.toolLines().size(), 1u) << last.out;
    EXPECT_NE(last.toolLines()[0].find(" after 173 pre-roll blocks,"), std::string::npos);
}

TEST_F(RenderedAudio, StartPositionPlacesTheBeatGrid)
{
    makeInput(2, 4 * kBeat);
    // The input starts at song beat 2: the capture at beat 5 is input frame
    // 66,150, and the bar before it reaches back before the input, where the
    // looper has heard only silence.
    const TestAudio output = render({"--start", "2", "Loop1=1@4.5"});
    const std::size_t capture = 3 * kBeat;
    for (std::size_t c = 0; c < 2; ++c) {
        std::vector<float> expected(input.channels[c].begin(), input.channels[c].begin() + capture);
        expected.resize(capture + kBeat, 0.0f);
        expected.insert(expected.end(), input.channels[c].begin(),
                        input.channels[c].begin() + (input.frames() - expected.size()));
        EXPECT_EQ(firstDifference(output.channels[c], expected, {capture}), input.frames()) << c;
    }
}

// 120 BPM, then 90 from beat 4 (frame 88,200): a beat lasts 29,400 frames
// from there, so beat 5 is frame 117,600, off the 120 BPM grid. A loop
// switched on at beat 4.99 captures on it: the looper sees the new tempo and
// position. One switched on at 5.01 lands after it, by the new tempo, and waits
// for beat 6 at frame 147,000.
TEST_F(RenderedAudio, TempoEventMovesTheBeatGridAndTheEventsAfterIt)
{
    makeInput(2, 147000 + kBar);
    EXPECT_EQ(firstChange(render({"--exact", "tempo=90@4", "Loop1=1@4.99"})), 117600u);
    EXPECT_EQ(firstChange(render({"--exact", "tempo=90@4", "Loop1=1@5.01"})), 147000u);
}

struct TimeInfoCase {
    const char* name;
    std::vector<std::string> flags;
    std::size_t capture;    // frame where the loop starts
    std::size_t loopLength; // 0: no loop at all
};

void PrintTo(const TimeInfoCase& c, std::ostream* os)
{
    *os << c.name;
}

class TimeInformation : public RenderedAudio, public ::testing::WithParamInterface<TimeInfoCase> {};

// At 60 BPM a beat is 44,100 frames: beat 4.5 is frame 198,450, applied before
// the block at 198,656, and a bar is 176,400 frames. Without a position every
// block starts on a beat, so the capture is at once; without a tempo the
// looper takes 120 BPM, and a bar of 88,200 frames.
TEST_P(TimeInformation, FlagsLeftOutChangeWhatTheLooperKnows)
{
    makeInput(2, 198656 + 2 * 176400 + 50);
    std::vector<std::string> arguments{"--tempo", "60", "Loop1=1@4.5"};
    arguments.insert(arguments.end(), GetParam().flags.begin(), GetParam().flags.end());
    const TestAudio output = render(arguments);
    if (GetParam().loopLength == 0)
        EXPECT_EQ(output.channels, input.channels);
    else
        expectLoopFrom(output, GetParam().capture, GetParam().loopLength);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, TimeInformation,
    ::testing::Values(TimeInfoCase{"All", {}, 5 * 44100, 176400},
                      TimeInfoCase{"NoPpq", {"--no-ppq"}, 198656, 176400},
                      TimeInfoCase{"NoPpqNoTempo", {"--no-ppq", "--no-tempo"}, 198656, 88200},
                      TimeInfoCase{"NoTimeInfo", {"--no-time-info"}, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST_F(RenderedAudio, MonoInputFeedsBothInputs)
{
    makeInput(1, 5 * kBeat + kBar + 5, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const TestAudio plain = render({});
    ASSERT_EQ(plain.channels.size(), 2u);
    EXPECT_EQ(plain.channels[0], input.channels[0]);
    EXPECT_EQ(plain.channels[1], input.channels[0]);
    expectLoopFrom(render({"Loop1=1@4.5"}), 5 * kBeat);
}

TEST_F(RenderedAudio, StopPassesTheInputAndPlayRecordsTheLoopAfresh)
{
    makeInput(2, 18 * kBeat);
    // Looping from beat 5; from the stop at beat 8 the input passes through;
    // the play at beat 10 restarts the loop and records it from there: one
    // bar of input, then that bar again.
    const TestAudio output = render({"--exact", "Loop1=1@4.5", "stop@8", "play@10"});
    for (std::size_t c = 0; c < 2; ++c) {
        const auto& in = input.channels[c];
        std::vector<float> expected = loopedChannel(in, 10 * kBeat + kBar, kBar);
        const std::vector<float> firstLoop = loopedChannel(in, 5 * kBeat, kBar);
        std::copy(firstLoop.begin(), firstLoop.begin() + 8 * kBeat, expected.begin());
        std::vector<std::size_t> fades = loopJumps(5 * kBeat, kBar, 8 * kBeat);
        for (const std::size_t jump : loopJumps(10 * kBeat + kBar, kBar, input.frames()))
            fades.push_back(jump);
        EXPECT_EQ(firstDifference(output.channels[c], expected, fades), input.frames()) << c;
    }
}

struct FormatCase {
    const char* extension;
    int inputFormat;
    int outputMajor;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.extension;
}

class FileFormats : public RenderedAudio, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FileFormats, RoundTripKeepsSamplesRateAndFormat)
{
    const std::string in = std::string("in.") + GetParam().extension;
    const std::string out = std::string("out.") + GetParam().extension;
    makeInput(2, 3 * 48000 + 17, GetParam().inputFormat, in, 48000.0);
    const TestAudio output = render({}, in, out);
    EXPECT_EQ(output.format & SF_FORMAT_TYPEMASK, GetParam().outputMajor);
    EXPECT_EQ(output.sampleRate, 48000.0);
    EXPECT_EQ(output.channels, input.channels);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, FileFormats,
    ::testing::Values(FormatCase{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, SF_FORMAT_WAV},
                      FormatCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_FLAC},
                      FormatCase{"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_AIFF},
                      FormatCase{"aif", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, SF_FORMAT_AIFF}),
    [](const auto& info) { return std::string(info.param.extension); });

TEST_F(RenderedAudio, FlacInWavOutAndBackAgain)
{
    makeInput(2, 5 * kBeat + kBar, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "in.flac");
    render({"Loop1=1@4.5"}, "in.flac", "mid.wav");
    expectLoopFrom(render({}, "mid.wav", "out.flac"), 5 * kBeat);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.flac", "mid.wav", "out.flac"}));
}

TEST_F(RenderedAudio, WrittenTimelineReadsBackAsTheSameEvents)
{
    folder.writeText("set.timeline", "# out of order, every spelling\n"
                                     "Loop1=0@12\n"
                                     "\"FX1 sel\"=0.25@3   # quoted\n"
                                     "FX2_sel=0.5@3\n"
                                     "\n"
                                     "7=0.6666667@2.75\n"
                                     "stop@16\n"
                                     "play@0.1\n"
                                     "Loop1=1@4.5\n");
    const ProgramRun run =
        rendertest::runRender({"--timeline", folder.file("set.timeline"), "--at", "pitch1=0.75@3",
                               "--write-timeline", folder.file("written.timeline")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.toolLines().empty() && run.err.empty()) << run.out << run.err;

    auto expected = pl3render::parseTimeline(folder.readText("set.timeline"), "set");
    expected.push_back(pl3render::parseEvent("pitch1=0.75@3", "event 1"));
    pl3render::sortByPosition(expected);
    const auto written = pl3render::parseTimeline(folder.readText("written.timeline"), "written");
    EXPECT_EQ(written, expected);

    const ProgramRun again = rendertest::runRender(
        {"--timeline", folder.file("written.timeline"), "--write-timeline", folder.file("again")});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(folder.readText("again"), folder.readText("written.timeline"));
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"again", "set.timeline", "written.timeline"}));
}

TEST_F(RenderedAudio, DefaultPluginIsTheOneBesideTheProgram)
{
    makeInput(2, 1000);
    render({"--plugin", PL3_PLUGIN_PATH});
    const std::filesystem::path program(PL3_RENDER_PATH);
    EXPECT_TRUE(std::filesystem::exists(program.parent_path() / "PravoLindel3.so"));
    EXPECT_EQ(render({}).channels, input.channels);
}

class Interruption : public ::testing::TestWithParam<int> {};

// A pre-roll of days keeps the program busy until the signal comes; the
// output file exists under its temporary name from the start of the render.
TEST_P(Interruption, ClosesTheRenderRemovesTheTemporaryFileAndExits130)
{
    const ScratchFolder folder;
    const ScratchFolder captured;
    rendertest::writeAudio(folder.file("in.wav"), rendertest::noise(2, 1000, 44100, 1), kFloatWav);
    const pid_t pid = rendertest::startRender(
        {"--preroll", "1000000", folder.file("in.wav"), folder.file("out.wav")},
        captured.file("err"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (folder.entries().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto during = folder.entries();
    kill(pid, GetParam());
    const int status = rendertest::waitForExit(pid);

    ASSERT_EQ(during.size(), 2u) << "the temporary file never appeared";
    EXPECT_EQ(during[0].rfind(".out.wav.", 0), 0u) << during[0];
    EXPECT_EQ(status, 130);
    EXPECT_EQ(captured.readText("err"), "pravolindel3-render: interrupted\n");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav"}));
}

INSTANTIATE_TEST_SUITE_P(Signals, Interruption, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return info.param == SIGINT ? "Int" : "Term"; });

} // namespace
