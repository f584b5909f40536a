// Every way a render can fail, run against the real program: a non-zero exit,
// exactly one line on stderr with the program's prefix, and no output file,
// finished or temporary, left behind.
#include "renderprogram.h"
#include "testaudio.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sndfile.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using rendertest::ProgramRun;
using rendertest::ScratchFolder;

constexpr int kStereoWav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// A shared library that is certainly no plug-in: the one libsndfile lives in.
std::string libraryWithoutEntry()
{
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&sf_open), &info);
    return info.dli_fname ? info.dli_fname : "";
}

struct ErrorCase {
    std::string name;
    // Prepares the folder and gives the arguments.
    std::function<std::vector<std::string>(const ScratchFolder&)> arguments;
    std::string expected; // part of the one line
    int exitCode;
};

void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

void writeInput(const ScratchFolder& folder, int channels = 2)
{
    rendertest::writeAudio(folder.file("in.wav"), rendertest::noise(channels, 4410, 44100, 7),
                           kStereoWav);
}

std::vector<std::string> withInput(const ScratchFolder& folder, std::vector<std::string> extra)
{
    writeInput(folder);
    std::vector<std::string> arguments{folder.file("in.wav"), folder.file("out.wav")};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

const std::vector<ErrorCase>& errorCases()
{
    static const std::vector<ErrorCase> cases = {
        {"MissingInput",
         [](const ScratchFolder& f) {
             return std::vector<std::string>{f.file("none.wav"), f.file("out.wav")};
         },
         "cannot open input '", 1},
        {"UnreadableInput",
         [](const ScratchFolder& f) {
             f.writeText("in.wav", "RIFF but not really a wave file at all");
             return std::vector<std::string>{f.file("in.wav"), f.file("out.wav")};
         },
         "cannot open input '", 1},
        {"InputIsAFolder",
         [](const ScratchFolder& f) {
             return std::vector<std::string>{f.path(), f.file("out.wav")};
         },
         "cannot open input '", 1},
        {"ThreeChannels",
         [](const ScratchFolder& f) {
             writeInput(f, 3);
             return std::vector<std::string>{f.file("in.wav"), f.file("out.wav")};
         },
         "has 3 channels: only mono and stereo files can be rendered", 1},
        {"UnknownParameterName",
         [](const ScratchFolder& f) {
             return withInput(f, {"Loop1=1@1", "Loop9=1@2"});
         },
         "event 2: 'Loop9=1@2': the plug-in has no parameter 'Loop9'", 1},
        {"ParameterIndexOutOfRange",
         [](const ScratchFolder& f) { return withInput(f, {"24=1@2"}); },
         "event 1: '24=1@2': the plug-in has no parameter '24'", 1},
        {"MalformedEvent",
         [](const ScratchFolder& f) {
             return withInput(f, {"--at", "Loop1=1@4", "Loop1=2@4"});
         },
         "event 2: 'Loop1=2@4': value 2 is outside 0..1", 2},
        {"MalformedTimelineLine",
         [](const ScratchFolder& f) {
             f.writeText("set.timeline", "# two good lines, one bad\nLoop1=1@4\n\nLoop1 0@8\n");
             return withInput(f, {"--timeline", f.file("set.timeline")});
         },
         "set.timeline:4: 'Loop1 0@8': expected NAME=VALUE@BEAT, tempo=BPM@BEAT, play@BEAT or "
         "stop@BEAT",
         1},
        {"BadTempoInTimelineFile",
         [](const ScratchFolder& f) {
             f.writeText("set.timeline", "Loop1=1@4\ntempo=2000@8\n");
             return withInput(f, {"--timeline", f.file("set.timeline")});
         },
         "set.timeline:2: 'tempo=2000@8': tempo 2000 must be above 0 and at most 1000 BPM", 1},
        {"UnknownNameInTimelineFile",
         [](const ScratchFolder& f) {
             f.writeText("set.timeline", "Loop1=1@4\nLoop_1=0@8\n");
             return withInput(f, {"--timeline", f.file("set.timeline")});
         },
         "set.timeline:2: 'Loop_1=0@8': the plug-in has no parameter 'Loop_1'", 1},
        {"MissingTimelineFile",
         [](const ScratchFolder& f) {
             return withInput(f, {"--timeline", f.file("none.timeline")});
         },
         "cannot read timeline '", 1},
        {"PluginNotThere",
         [](const ScratchFolder& f) {
             return withInput(f, {"--plugin", f.file("none.so")});
         },
         "plug-in: cannot load ", 1},
        {"PluginNotALibrary",
         [](const ScratchFolder& f) {
             f.writeText("fake.so", "not an ELF file");
             return withInput(f, {"--plugin", f.file("fake.so")});
         },
         "plug-in: cannot load ", 1},
        {"LibraryWithoutEntry",
         [](const ScratchFolder& f) {
             return withInput(f, {"--plugin", libraryWithoutEntry()});
         },
         "exports neither VSTPluginMain nor main", 1},
        {"UnknownOutputFormat",
         [](const ScratchFolder& f) {
             writeInput(f);
             return std::vector<std::string>{f.file("in.wav"), f.file("out.mp3")};
         },
         "cannot tell the output format from '", 1},
        {"OutputFolderMissing",
         [](const ScratchFolder& f) {
             writeInput(f);
             return std::vector<std::string>{f.file("in.wav"), f.file("no/such/out.wav")};
         },
         "cannot create output '", 1},
        {"NoArguments", [](const ScratchFolder&) { return std::vector<std::string>{}; },
         "no input file given (see --help)", 2},
        {"UnknownOption", [](const ScratchFolder& f) { return withInput(f, {"--loud"}); },
         "unknown option '--loud' (see --help)", 2},
    };
    return cases;
}

class RenderFailure : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RenderFailure, OneLineNonZeroExitNoFileLeft)
{
    const ScratchFolder folder;
    const std::vector<std::string> arguments = GetParam().arguments(folder);
    const std::vector<std::string> before = folder.entries();
    const ProgramRun run = rendertest::runRender(arguments);

    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    const auto lines = run.errLines();
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_EQ(lines[0].rfind("pravolindel3-render: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(GetParam().expected), std::string::npos) << lines[0];
    EXPECT_TRUE(run.toolLines().empty()) << "no summary: " << run.out;
    EXPECT_EQ(folder.entries(), before) << "no output and no temporary file";
}

INSTANTIATE_TEST_SUITE_P(EveryCase, RenderFailure, ::testing::ValuesIn(errorCases()),
                         [](const auto& info) { return info.param.name; });

TEST(RenderFailureKeeps, AnOutputFileThatWasAlreadyThere)
{
    const ScratchFolder folder;
    writeInput(folder);
    folder.writeText("out.wav", "an earlier render");
    const ProgramRun run =
        rendertest::runRender({folder.file("in.wav"), folder.file("out.wav"), "Loop0=1@1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(folder.readText("out.wav"), "an earlier render");
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

} // namespace
