// The program without its editor: what it writes is what the plug-in put out, frame for frame
// from song frame 0, for as long as it was asked to play, in real time.
#include "audiobuffer.h"
#include "drumkit.h"
#include "drumpattern.h"
#include "playaudio.h"
#include "playprogram.h"
#include "soundoutput.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace playtest;

constexpr int kRate = 44100;
constexpr int kBlock = 256;

// Loops off, PravoLindel3 passes its input through untouched.
std::vector<std::string> headless(const std::string& seconds)
{
    return {"--no-editor", "--audio", "none", "--seconds", seconds};
}

std::vector<std::string> with(std::vector<std::string> arguments,
                              const std::vector<std::string>& more)
{
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

// Whole blocks, the fewest that reach `seconds`.
void expectWholeBlocksReaching(std::size_t frames, double seconds, int rate, int block)
{
    EXPECT_EQ(frames % static_cast<std::size_t>(block), 0u) << frames;
    EXPECT_GE(static_cast<double>(frames), seconds * rate);
    EXPECT_LT(static_cast<double>(frames), seconds * rate + block);
}

TEST(PlayOutput, TwoSecondsOfALoopingInputComeOutFrameForFrameFromFrameZero)
{
    ScratchFolder folder;
    // Shorter than the run and no whole number of blocks: the song wraps inside a block.
    const Audio input = distinctFrames(2, 33075, kRate);
    writeWav(folder.file("distinct.wav"), input);

    const ProgramRun run = runPlay(
        with(headless("2"), {"--input", "distinct.wav", "--output", "out.wav"}), folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = readAudio(folder.file("out.wav"));
    ASSERT_EQ(output.channels.size(), 2u);
    EXPECT_EQ(output.sampleRate, kRate);
    EXPECT_EQ(output.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    expectWholeBlocksReaching(output.frames(), 2.0, kRate, kBlock);
    EXPECT_EQ(firstFrameNotLooped(output, input), output.frames());

    const std::string summary =
        "pravolindel3-play: wrote " + std::to_string(output.frames()) + " frames (";
    const auto lines = toolLines(run.out);
    ASSERT_EQ(lines.size(), 1u) << run.out;
    EXPECT_EQ(lines[0].rfind(summary, 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(" s) to out.wav"), std::string::npos) << lines[0];
    EXPECT_EQ(run.err, "");
    // The temporary file has been renamed, not left beside it.
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"distinct.wav", "out.wav"}));
}

TEST(PlayOutput, ATwoSecondRunTakesTwoSecondsOfWallTime)
{
    ScratchFolder folder;
    const ProgramRun run = runPlay(with(headless("2"), {"--block", "512"}), folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = readAudio(folder.file("pravolindel3-play.wav"));
    expectWholeBlocksReaching(output.frames(), 2.0, kRate, 512);
    const double songSeconds = static_cast<double>(output.frames()) / kRate;
    EXPECT_GE(run.seconds, songSeconds);
    // Start-up (the groove, loading the plug-in) and the end take a fraction of a second.
    EXPECT_LT(run.seconds, songSeconds + 1.5);
}

TEST(PlayOutput, AMonoFileFeedsBothChannelsAtItsOwnRate)
{
    ScratchFolder folder;
    const Audio input = distinctFrames(1, 10000, 48000);
    writeWav(folder.file("mono.wav"), input);
    const ProgramRun run =
        runPlay(with(headless("0.5"), {"--input", "mono.wav", "--block", "100"}), folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = readAudio(folder.file("pravolindel3-play.wav"));
    ASSERT_EQ(output.channels.size(), 2u);
    EXPECT_EQ(output.sampleRate, 48000);
    expectWholeBlocksReaching(output.frames(), 0.5, 48000, 100);
    EXPECT_EQ(firstFrameNotLooped(output, input), output.frames());
}

TEST(PlayOutput, ARateOtherThanTheInputFilesIsRefused)
{
    ScratchFolder folder;
    writeWav(folder.file("in.wav"), distinctFrames(2, 4800, 48000));
    const ProgramRun run =
        runPlay(with(headless("0.5"), {"--input", "in.wav", "--rate", "44100"}), folder.path());
    EXPECT_EQ(run.exitCode, 2);
    ASSERT_EQ(run.errLines().size(), 1u) << run.err;
    EXPECT_NE(run.err.find("44100"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("48000"), std::string::npos) << run.err;
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
}

// The groove the program makes, against the demo's own synthesiser at the same tempo and
// rate: the same signal, up to its level.
TEST(PlayOutput, WithoutAnInputTheDemoGroovePlaysAtTheTempoAndRateGiven)
{
    ScratchFolder folder;
    const ProgramRun run =
        runPlay(with(headless("0.5"), {"--tempo", "90", "--rate", "22050"}), folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio output = readAudio(folder.file("pravolindel3-play.wav"));
    ASSERT_EQ(output.channels.size(), 2u);
    EXPECT_EQ(output.sampleRate, 22050);
    hostcore::PlanarBuffer groove(2, output.frames());
    pl3demo::DrumKit kit(groove, 22050);
    pl3demo::playPattern(kit, 1, 60.0 * 22050 / 90.0);

    double cross = 0.0;
    double energy = 0.0;
    for (int c = 0; c < 2; ++c)
        for (std::size_t f = 0; f < output.frames(); ++f) {
            cross += double(output.channels[c][f]) * groove.at(c, f);
            energy += double(groove.at(c, f)) * groove.at(c, f);
        }
    ASSERT_GT(energy, 0.0);
    const double gain = cross / energy;
    EXPECT_GT(gain, 0.0);
    double worst = 0.0;
    for (int c = 0; c < 2; ++c)
        for (std::size_t f = 0; f < output.frames(); ++f)
            worst = std::max(worst, std::fabs(output.channels[c][f] - gain * groove.at(c, f)));
    EXPECT_LT(worst, 1e-5);
}

TEST(PlayOutput, SoundOutputThatCannotOpenIsOneLineAndTheFileIsStillWritten)
{
    if (!pl3play::kSoundOutputBuiltIn) GTEST_SKIP() << "built without ALSA";
    ScratchFolder folder;
    const ProgramRun run =
        runPlay({"--no-editor", "--seconds", "0.3", "--audio", "pl3-no-such-pcm"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto lines = run.errLines();
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_EQ(lines[0].rfind("pravolindel3-play: no sound output (pl3-no-such-pcm: ", 0), 0u)
        << lines[0];
    EXPECT_NE(lines[0].find("); writing the file only"), std::string::npos) << lines[0];
    expectWholeBlocksReaching(readAudio(folder.file("pravolindel3-play.wav")).frames(), 0.3, kRate,
                              kBlock);
}

// ALSA's null device takes everything at once, so the clock still paces the session.
TEST(PlayOutput, TheAlsaNullDevicePlaysInRealTime)
{
    ScratchFolder folder;
    const ProgramRun run =
        runPlay({"--no-editor", "--seconds", "1", "--audio", "null"}, folder.path());
    if (!pl3play::kSoundOutputBuiltIn) {
        EXPECT_EQ(run.exitCode, 2);
        return;
    }
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_GE(run.seconds, 1.0);
    expectWholeBlocksReaching(readAudio(folder.file("pravolindel3-play.wav")).frames(), 1.0, kRate,
                              kBlock);
}

} // namespace
