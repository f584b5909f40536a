// The program with plug-ins as a host first sees them: what --list-parameters
// reads, from PravoLindel3 and from a third-party module (Debian's
// dpf-plugins-vst, installed by scripts/install-deps), and a render through
// that module's own channel layout. Also --help, which documents it all.
#include "loadedplugin.h"
#include "renderprogram.h"
#include "testaudio.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

using rendertest::ProgramRun;

const std::string kEq = "/usr/lib/vst/3BandEQ-vst.so";
// Mono in, stereo out.
const std::string kBitcrush = "/usr/lib/vst/MaBitcrush-vst.so";

// The listing's lines, from its heading on: a plug-in may print its own
// diagnostics to stdout before it.
std::vector<std::string> listing(const std::string& text, const std::string& heading)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (!result.empty() || line.rfind(heading, 0) == 0) result.push_back(line);
    return result;
}

// The row the listing should have for parameter `index`, from the plug-in.
void expectRow(const std::string& row, hostcore::LoadedPlugin& plugin, int index)
{
    std::istringstream fields(row);
    int listed = -1;
    fields >> listed;
    EXPECT_EQ(listed, index) << row;
    const std::string name = plugin.parameterName(index).text;
    EXPECT_NE(row.find("  " + name + "  "), std::string::npos) << row;
}

TEST(ListParameters, PravoLindel3AsAHostReadsIt)
{
    const ProgramRun run = rendertest::runRender({"--list-parameters"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    const auto rows = listing(run.out, "PravoLindel3 (");
    ASSERT_EQ(rows.size(), 2u + 24u) << run.out;
    EXPECT_EQ(rows[0],
              "PravoLindel3 (Quillatone, PravoLindel3 VST): 2 inputs, 2 outputs, 24 parameters");
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(PL3_PLUGIN_PATH, host);
    for (int i = 0; i < 24; ++i)
        expectRow(rows[2 + i], plugin, i);
    EXPECT_EQ(rows[2 + 5], "      5  Value2   0.22222222   1 beat");
    EXPECT_EQ(rows[2 + 16], "     16  FX1      0            Off");
    EXPECT_EQ(rows[2 + 21], "     21  FX2 sel  0.25         Autopan") << "the effect's name";
}

TEST(ListParameters, AThirdPartyPluginWithLabels)
{
    ASSERT_TRUE(std::filesystem::exists(kEq)) << kEq << " is missing: run scripts/install-deps";
    const ProgramRun run = rendertest::runRender({"--plugin", kEq, "--list-parameters"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(kEq, host);
    const auto rows = listing(run.out, "3 Band EQ (");
    ASSERT_EQ(rows.size(), 2u + plugin.effect().numParams) << run.out;
    for (int i = 0; i < plugin.effect().numParams; ++i) {
        expectRow(rows[2 + i], plugin, i);
        const std::string label = plugin.parameterLabel(i).text;
        EXPECT_EQ(rows[2 + i].substr(rows[2 + i].size() - label.size()), label) << rows[2 + i];
    }
}

TEST(ThirdPartyRender, MonoInStereoOutPluginByItsParameterNames)
{
    ASSERT_TRUE(std::filesystem::exists(kBitcrush))
        << kBitcrush << " is missing: run scripts/install-deps";
    const rendertest::ScratchFolder folder;
    rendertest::writeAudio(folder.file("in.wav"), rendertest::noise(2, 48000, 48000, 3),
                           SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    hostcore::Host host;
    hostcore::LoadedPlugin plugin(kBitcrush, host);
    const std::string first = plugin.parameterName(0).text;
    const ProgramRun run = rendertest::runRender(
        {"--plugin", kBitcrush, folder.file("in.wav"), folder.file("out.wav"), first + "=0.5@1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("1 of 1 events applied"), std::string::npos) << run.out;
    const rendertest::TestAudio output = rendertest::readAudio(folder.file("out.wav"));
    EXPECT_EQ(output.channels.size(), static_cast<std::size_t>(plugin.effect().numOutputs));
    EXPECT_EQ(output.frames(), 48000u);
    EXPECT_EQ(output.sampleRate, 48000.0);
}

TEST(Help, DocumentsEveryOptionWithExamples)
{
    const ProgramRun run = rendertest::runRender({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(run.out.rfind("Usage: pravolindel3-render [OPTIONS] INPUT OUTPUT [EVENT...]", 0), 0u);
    for (const char* option :
         {"--plugin",        "--list-parameters", "--tempo",          "--start",        "--block",
          "--preroll",       "--no-tempo",        "--no-ppq",         "--no-time-info", "--at",
          "--timeline",      "--exact",           "--write-timeline", "--quiet",        "--help",
          "NAME=VALUE@BEAT", "play@BEAT",         "stop@BEAT",        "Examples:",      "130"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    EXPECT_NE(run.out.find("  tempo=BPM@BEAT "), std::string::npos) << "among the events";
}

} // namespace
