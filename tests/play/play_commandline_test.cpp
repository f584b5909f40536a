// What the program says when it cannot play: one line, the status that tells a wrong command
// line (2) from a failure (1), and nothing left behind.
#include "playprogram.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace playtest;

void expectOneLineAndNothingLeft(const ProgramRun& run, const ScratchFolder& folder,
                                 const std::vector<std::string>& before)
{
    const auto lines = run.errLines();
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_EQ(lines[0].rfind("pravolindel3-play: ", 0), 0u) << lines[0];
    EXPECT_TRUE(toolLines(run.out).empty()) << run.out;
    EXPECT_EQ(folder.entries(), before);
}

TEST(PlayCommandLine, BadOptionsAreOneLineAndStatus2)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},           {"stray"},
        {"--tempo"},           {"--tempo", "fast"},
        {"--tempo", "10"},     {"--rate", "44100.5"},
        {"--rate=1000"},       {"--block", "0"},
        {"--block", "100000"}, {"--seconds", "0"},
        {"--seconds", "-1"},   {"--geometry", "100x100"},
        {"--geometry", "+10"}, {"--geometry", "+-5+3"},
        {"--audio", ""},       {"--no-editor", "--seconds", "1", "--help-me"},
    };
    for (const auto& arguments : bad) {
        SCOPED_TRACE(arguments.front());
        ScratchFolder folder;
        const ProgramRun run = runPlay(arguments, folder.path());
        EXPECT_EQ(run.exitCode, 2);
        expectOneLineAndNothingLeft(run, folder, {});
        EXPECT_NE(run.err.find("(see --help)"), std::string::npos) << run.err;
    }
}

TEST(PlayCommandLine, HelpNamesEveryOption)
{
    ScratchFolder folder;
    const ProgramRun run = runPlay({"--help"}, folder.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    for (const char* option :
         {"--plugin PATH", "--input FILE", "--output FILE", "--tempo BPM", "--rate HZ",
          "--block FRAMES", "--seconds S", "--geometry +X+Y", "--events FILE", "--audio DEVICE",
          "--no-editor", "--help", "pravolindel3-play.wav"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    EXPECT_TRUE(folder.entries().empty());
}

TEST(PlayCommandLine, AMissingInputFileIsOneLineAndStatus1)
{
    ScratchFolder folder;
    const ProgramRun run =
        runPlay({"--no-editor", "--audio", "none", "--input", "absent.wav"}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    expectOneLineAndNothingLeft(run, folder, {});
    EXPECT_NE(run.err.find("absent.wav"), std::string::npos) << run.err;
}

TEST(PlayCommandLine, AnOutputThatCannotBeWrittenIsOneLineAndStatus1)
{
    for (const char* output : {"out.mp3", "no-such-folder/out.wav"}) {
        SCOPED_TRACE(output);
        ScratchFolder folder;
        const ProgramRun run =
            runPlay({"--no-editor", "--audio", "none", "--output", output}, folder.path());
        EXPECT_EQ(run.exitCode, 1);
        expectOneLineAndNothingLeft(run, folder, {});
        EXPECT_NE(run.err.find(output), std::string::npos) << run.err;
    }
}

TEST(PlayCommandLine, APluginThatCannotBeLoadedIsOneLineAndStatus1)
{
    ScratchFolder folder;
    const ProgramRun run = runPlay(
        {"--no-editor", "--audio", "none", "--plugin", folder.file("none.so")}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    expectOneLineAndNothingLeft(run, folder, {});
    EXPECT_NE(run.err.find("none.so"), std::string::npos) << run.err;
}

TEST(PlayCommandLine, WithoutAnXDisplayTheEditorCannotOpen)
{
    // A display number nobody serves.
    const std::string display = ":4747";
    ASSERT_NE(access("/tmp/.X11-unix/X4747", F_OK), 0);
    ScratchFolder folder;
    const ProgramRun run =
        runPlay({"--audio", "none", "--seconds", "1"}, folder.path(), {"DISPLAY=" + display});
    EXPECT_EQ(run.exitCode, 1);
    expectOneLineAndNothingLeft(run, folder, {});
    EXPECT_EQ(run.err, "pravolindel3-play: cannot open the X display \"" + display + "\"\n");
}

} // namespace
