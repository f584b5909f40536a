// Loads third-party VST 2.4 modules (Debian's dpf-plugins-vst, installed by
// scripts/install-deps) through the test host, so the host is shown to work
// with a plug-in it was not written alongside. A missing file is a failure:
// without it these tests would prove nothing.
#include "audiobuffer.h"
#include "hosterror.h"
#include "loadedplugin.h"
#include "render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace {

using hostcore::Host;
using hostcore::HostError;
using hostcore::HostFailure;
using hostcore::LoadedPlugin;
using hostcore::PlanarBuffer;

// A stereo three-band EQ: at its defaults (every gain 0 dB) it passes the input.
const std::string kEq = "/usr/lib/vst/3BandEQ-vst.so";
// Mono in, stereo out, no editor and no X11 or GL libraries at all.
const std::string kBitcrush = "/usr/lib/vst/MaBitcrush-vst.so";

constexpr double kRate = 48000.0;
constexpr VstInt32 kBlock = 512;

void requireInstalled(const std::string& path)
{
    ASSERT_TRUE(std::filesystem::exists(path))
        << path << " is missing: scripts/install-deps installs dpf-plugins-vst";
}

PlanarBuffer sine(int channels, std::size_t frames, double frequency, float amplitude)
{
    PlanarBuffer buffer(channels, frames);
    for (int c = 0; c < channels; ++c)
        for (std::size_t i = 0; i < frames; ++i)
            buffer.at(c, i) =
                amplitude *
                static_cast<float>(std::sin(2.0 * std::numbers::pi * frequency * i / kRate));
    return buffer;
}

bool allFinite(const PlanarBuffer& buffer)
{
    for (int c = 0; c < buffer.channels(); ++c)
        for (std::size_t i = 0; i < buffer.frames(); ++i)
            if (!std::isfinite(buffer.at(c, i))) return false;
    return true;
}

double rms(const PlanarBuffer& buffer, int channel, std::size_t from)
{
    double sum = 0.0;
    for (std::size_t i = from; i < buffer.frames(); ++i)
        sum += double(buffer.at(channel, i)) * buffer.at(channel, i);
    return std::sqrt(sum / double(buffer.frames() - from));
}

HostFailure loadFailure(const std::string& path, Host& host)
{
    try {
        LoadedPlugin plugin(path, host);
    } catch (const HostError& error) {
        EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos) << "one line";
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        return error.failure();
    }
    ADD_FAILURE() << path << " loaded";
    return HostFailure::BadArgument;
}

class ThirdPartyEq : public ::testing::Test {
protected:
    void SetUp() override { requireInstalled(kEq); }
    Host host;
};

TEST_F(ThirdPartyEq, RecordAndIdentityReadThroughTheHost)
{
    LoadedPlugin plugin(kEq, host);
    const AEffect& effect = plugin.effect();
    EXPECT_EQ(effect.magic, kEffectMagic);
    EXPECT_EQ(effect.numInputs, 2);
    EXPECT_EQ(effect.numOutputs, 2);
    EXPECT_EQ(effect.resvd1, reinterpret_cast<VstIntPtr>(&host)) << "callbacks route here";
    EXPECT_EQ(host.nullRecordCallCount(audioMasterVersion), 1u)
        << "the entry asks the version before any record exists";

    const auto name = plugin.effectName();
    EXPECT_EQ(name.text, "3 Band EQ");
    EXPECT_TRUE(name.terminated);
    EXPECT_GE(name.touched, name.text.size() + 1);
    EXPECT_EQ(plugin.vendorString().text, "DISTRHO");
    EXPECT_EQ(plugin.vstVersion(), 2400);
    EXPECT_EQ(plugin.plugCategory(), kPlugCategEffect);
}

TEST_F(ThirdPartyEq, ParameterNamesArriveByIndex)
{
    LoadedPlugin plugin(kEq, host);
    plugin.open(); // this framework creates its instance, and the value texts, on effOpen
    const std::vector<std::string> names = {"Low",    "Mid",          "High",
                                            "Master", "Low-Mid Freq", "Mid-High Freq"};
    ASSERT_EQ(plugin.effect().numParams, static_cast<VstInt32>(names.size()));
    for (VstInt32 i = 0; i < plugin.effect().numParams; ++i) {
        const auto reply = plugin.parameterName(i);
        EXPECT_EQ(reply.text, names[i]);
        EXPECT_TRUE(reply.terminated);
        EXPECT_TRUE(plugin.parameterDisplay(i).terminated);
        EXPECT_TRUE(plugin.parameterLabel(i).terminated);
    }
    EXPECT_EQ(plugin.parameterLabel(0).text, "dB");
    EXPECT_EQ(plugin.parameterLabel(4).text, "Hz");
}

TEST_F(ThirdPartyEq, ScanRunsTheScannersSequenceAndCloses)
{
    LoadedPlugin plugin(kEq, host);
    const auto report = plugin.scan();
    EXPECT_TRUE(plugin.closed());
    EXPECT_EQ(report.vstVersion, 2400);
    EXPECT_EQ(report.effectName, "3 Band EQ");
    EXPECT_EQ(report.vendor, "DISTRHO");
    EXPECT_EQ(report.category, kPlugCategEffect);
    EXPECT_EQ(report.canDo.size(), LoadedPlugin::kScanCanDos.size());
    try {
        plugin.effectName();
        FAIL() << "the record was used after effClose";
    } catch (const HostError& error) {
        EXPECT_EQ(error.failure(), HostFailure::Closed);
    }
}

TEST_F(ThirdPartyEq, UnitySettingsPassTheInputThrough)
{
    LoadedPlugin plugin(kEq, host);
    plugin.startSession(kRate, kBlock);
    EXPECT_EQ(host.sampleRate(), kRate);
    EXPECT_EQ(host.blockSize(), kBlock);

    PlanarBuffer input = sine(2, 48000, 440.0, 0.5f);
    PlanarBuffer output(2, input.frames(), 9.0f);
    host.transport().play();
    const VstInt32 blocks[] = {0, kBlock, 100, 37, kBlock};
    hostcore::render(plugin, input, output, blocks);

    EXPECT_EQ(host.transport().position(), 48000) << "every block moved the transport";
    ASSERT_TRUE(allFinite(output));
    for (int c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < input.frames(); ++i)
            ASSERT_NEAR(output.at(c, i), input.at(c, i), 1e-3) << "channel " << c << " frame " << i;
}

TEST_F(ThirdPartyEq, ParametersSetThroughTheRecordChangeTheSound)
{
    LoadedPlugin plugin(kEq, host);
    plugin.startSession(kRate, kBlock);
    for (VstInt32 band = 0; band < 3; ++band) {
        plugin.setParameter(band, 0.0f); // each band at its minimum gain
        EXPECT_EQ(plugin.getParameter(band), 0.0f);
    }
    PlanarBuffer input = sine(2, 24000, 1000.0, 0.5f);
    PlanarBuffer output(2, input.frames());
    hostcore::render(plugin, input, output, kBlock);
    ASSERT_TRUE(allFinite(output));
    const double ratio = rms(output, 0, 4800) / rms(input, 0, 4800);
    EXPECT_GT(ratio, 0.0);
    EXPECT_LT(ratio, 0.2) << "all bands turned down must be far quieter than the input";
}

TEST(ThirdPartyBitcrush, MonoInStereoOutProcessesFiniteSound)
{
    requireInstalled(kBitcrush);
    Host host;
    LoadedPlugin plugin(kBitcrush, host);
    const AEffect& effect = plugin.effect();
    ASSERT_EQ(effect.magic, kEffectMagic);
    EXPECT_EQ(effect.numInputs, 1);
    EXPECT_EQ(effect.numOutputs, 2);
    EXPECT_EQ(effect.flags & effFlagsHasEditor, 0);
    ASSERT_GT(effect.numParams, 0);
    for (VstInt32 i = 0; i < effect.numParams; ++i)
        EXPECT_FALSE(plugin.parameterName(i).text.empty()) << "parameter " << i;
    EXPECT_EQ(plugin.vendorString().text, "DISTRHO");

    plugin.startSession(44100.0, 256);
    PlanarBuffer input = sine(1, 44100, 220.0, 0.8f);
    PlanarBuffer output(2, input.frames());
    hostcore::render(plugin, input, output, 256);
    ASSERT_TRUE(allFinite(output));
    EXPECT_GT(rms(output, 0, 0), 0.1);
    EXPECT_GT(rms(output, 1, 0), 0.1);
}

TEST(ThirdPartyBitcrush, RenderRefusesBuffersWithTooFewChannels)
{
    requireInstalled(kBitcrush);
    Host host;
    LoadedPlugin plugin(kBitcrush, host);
    plugin.startSession(44100.0, 256);
    PlanarBuffer input(1, 256);
    PlanarBuffer mono(1, 256);
    EXPECT_THROW(hostcore::render(plugin, input, mono, 256), HostError);
    PlanarBuffer stereo(2, 256);
    const VstInt32 none[] = {0};
    EXPECT_THROW(hostcore::render(plugin, input, stereo, none), HostError);
}

TEST(ThirdPartyLoading, VersionZeroHostGetsNoEffect)
{
    requireInstalled(kEq);
    Host host;
    host.setVersion(0);
    EXPECT_EQ(loadFailure(kEq, host), HostFailure::NullEffect);
    EXPECT_EQ(host.callCount(audioMasterVersion), 1u);
    EXPECT_EQ(host.nullRecordCallCount(audioMasterVersion), 1u);
}

TEST(ThirdPartyLoading, MissingFileIsReportedAsOpenFailure)
{
    Host host;
    EXPECT_EQ(loadFailure("/nonexistent/NoSuchPlugin.so", host), HostFailure::OpenFailed);
}

TEST(ThirdPartyLoading, LibraryWithoutEntryIsReported)
{
    Host host;
    EXPECT_EQ(loadFailure("libm.so.6", host), HostFailure::NoEntryPoint);
}

TEST(ThirdPartyLoading, TwoInstancesKeepTheirOwnHosts)
{
    requireInstalled(kEq);
    Host first;
    Host second;
    LoadedPlugin a(kEq, first);
    LoadedPlugin b(kEq, second);
    EXPECT_NE(&a.effect(), &b.effect());
    EXPECT_EQ(a.effect().resvd1, reinterpret_cast<VstIntPtr>(&first));
    EXPECT_EQ(b.effect().resvd1, reinterpret_cast<VstIntPtr>(&second));
    EXPECT_EQ(first.callCount(audioMasterVersion), 1u);
    EXPECT_EQ(second.callCount(audioMasterVersion), 1u);
}

} // namespace
