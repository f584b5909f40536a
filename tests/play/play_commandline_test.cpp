// What the program says when it cannot play: one line, the status that tells a wrong command
// line (2) from a failure (1), and nothing left behind.
#include "midiinput.h"
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
          "--no-editor", "--midi-port", "--midi-file FILE", "--help", "pravolindel3-play.wav"})
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

// A malformed notes file is a wrong command line: one line naming the file and the line.
TEST(PlayCommandLine, AMalformedNotesFileIsOneLineNamingItsLineAndStatus2)
{
    ScratchFolder folder;
    folder.writeText("notes.txt", "# loop 1\n4.5 on 36\n6 of 36\n");
    const ProgramRun run =
        runPlay({"--no-editor", "--audio", "none", "--midi-file", "notes.txt"}, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    expectOneLineAndNothingLeft(run, folder, {"notes.txt"});
    EXPECT_EQ(run.err,
              "pravolindel3-play: notes file 'notes.txt' line 3: 'of' is neither on nor off\n");
}

TEST(PlayCommandLine, AMissingNotesFileIsOneLineAndStatus1)
{
    ScratchFolder folder;
    const ProgramRun run =
        runPlay({"--no-editor", "--audio", "none", "--midi-file", "absent.txt"}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    expectOneLineAndNothingLeft(run, folder, {});
    EXPECT_NE(run.err.find("absent.txt"), std::string::npos) << run.err;
}

// Where there is a sequencer the port opens; this checks the answer where there is none.
TEST(PlayCommandLine, AMidiPortWithoutASequencerIsOneLine)
{
    if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has a sequencer";
    ScratchFolder folder;
    const ProgramRun run =
        runPlay({"--no-editor", "--audio", "none", "--seconds", "1", "--midi-port"}, folder.path());
    EXPECT_EQ(run.exitCode, pl3play::kMidiInputBuiltIn ? 1 : 2);
    expectOneLineAndNothingLeft(run, folder, {});
    EXPECT_NE(run.err.find("--midi-port"), std::string::npos) << run.err;
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
