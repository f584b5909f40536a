// The test host's transport: the time information a real Linux host hands out
// per block, and the host callback's answer to audioMasterGetTime.
#include "host.h"
#include "transport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

using hostcore::Host;
using hostcore::Transport;

constexpr VstInt32 kTransportBits = kVstTransportChanged | kVstTransportPlaying;

VstInt32 transportBits(const VstTimeInfo& info)
{
    return info.flags & kTransportBits;
}

TEST(TransportFlags, PreRollBlocksStayStoppedAtZero)
{
    Transport transport(44100.0, 120.0);
    for (int block = 0; block < 200; ++block) {
        const VstTimeInfo& info = transport.nextBlock(441);
        EXPECT_EQ(transportBits(info), 0) << "block " << block;
        EXPECT_EQ(info.samplePos, 0.0);
        EXPECT_EQ(info.ppqPos, 0.0);
    }
    EXPECT_EQ(transport.position(), 0);
}

TEST(TransportFlags, FirstRollingBlockFlagsChangeThenOnlyPlaying)
{
    Transport transport;
    transport.nextBlock(256);
    transport.play();
    EXPECT_EQ(transportBits(transport.nextBlock(256)), kVstTransportChanged | kVstTransportPlaying);
    for (int block = 0; block < 10; ++block)
        EXPECT_EQ(transportBits(transport.nextBlock(256)), kVstTransportPlaying);
}

TEST(TransportFlags, StopGivesOneChangedBlockWithoutPlaying)
{
    Transport transport;
    transport.play();
    transport.nextBlock(128);
    transport.nextBlock(128);
    transport.stop();
    EXPECT_EQ(transportBits(transport.nextBlock(128)), kVstTransportChanged);
    EXPECT_EQ(transportBits(transport.nextBlock(128)), 0);
    EXPECT_EQ(transport.position(), 256) << "a stopped transport keeps its position";
}

TEST(TransportFlags, RepeatedPlayOrStopFlagsNothingNew)
{
    Transport transport;
    transport.stop();
    EXPECT_EQ(transportBits(transport.nextBlock(64)), 0);
    transport.play();
    transport.nextBlock(64);
    transport.play();
    EXPECT_EQ(transportBits(transport.nextBlock(64)), kVstTransportPlaying);
}

TEST(TransportFlags, LocateFlagsChangeOnlyWhileRolling)
{
    Transport transport;
    transport.locateFrames(1000);
    EXPECT_EQ(transportBits(transport.nextBlock(64)), 0);
    transport.play();
    transport.nextBlock(64);
    transport.locateFrames(5000);
    const VstTimeInfo& jumped = transport.nextBlock(64);
    EXPECT_EQ(transportBits(jumped), kVstTransportChanged | kVstTransportPlaying);
    EXPECT_EQ(jumped.samplePos, 5000.0);
}

TEST(TransportFlags, HostWithoutChangeReportsOnlyPlays)
{
    Transport transport;
    transport.setReportsChanges(false);
    transport.play();
    EXPECT_EQ(transportBits(transport.nextBlock(64)), kVstTransportPlaying);
    transport.stop();
    EXPECT_EQ(transportBits(transport.nextBlock(64)), 0);
}

TEST(TransportPosition, RollingBlocksAdvanceByTheirSizes)
{
    Transport transport(44100.0, 120.0);
    transport.play();
    const VstInt32 sizes[] = {512, 0, 100, 1024, 7};
    std::int64_t expected = 0;
    for (VstInt32 size : sizes) {
        const VstTimeInfo& info = transport.nextBlock(size);
        EXPECT_EQ(info.samplePos, static_cast<double>(expected));
        EXPECT_DOUBLE_EQ(info.ppqPos, static_cast<double>(expected) / 22050.0);
        expected += size;
    }
    EXPECT_EQ(transport.position(), expected);
}

TEST(TransportPosition, RecordCarriesRateTempoAndBar)
{
    Transport transport(48000.0, 90.0);
    EXPECT_DOUBLE_EQ(transport.samplesPerBeat(), 32000.0);
    transport.locateBeats(9.5);
    EXPECT_EQ(transport.position(), 304000);
    const VstTimeInfo& info = transport.nextBlock(64);
    EXPECT_EQ(info.sampleRate, 48000.0);
    EXPECT_EQ(info.tempo, 90.0);
    EXPECT_DOUBLE_EQ(info.ppqPos, 9.5);
    EXPECT_EQ(info.barStartPos, 8.0);
    EXPECT_EQ(info.timeSigNumerator, 4);
    EXPECT_EQ(info.timeSigDenominator, 4);
}

TEST(TransportPosition, FramesBeyondThirtyTwoBitsStayExact)
{
    Transport transport(44100.0, 120.0);
    const std::int64_t start = (std::int64_t{1} << 32) - 100;
    transport.locateFrames(start);
    transport.play();
    EXPECT_EQ(transport.nextBlock(128).samplePos, static_cast<double>(start));
    const VstTimeInfo& past = transport.nextBlock(128);
    EXPECT_EQ(past.samplePos, static_cast<double>(start + 128));
    EXPECT_GT(past.samplePos, 4294967296.0);
    EXPECT_DOUBLE_EQ(past.ppqPos, static_cast<double>(start + 128) / 22050.0);
    EXPECT_EQ(transport.position(), start + 256);
}

TEST(TransportPosition, TempoChangeKeepsBeatsContinuous)
{
    Transport transport(44100.0, 120.0);
    transport.play();
    transport.nextBlock(22050); // one beat at 120 BPM
    transport.setTempo(60.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(44100).ppqPos, 1.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(64).ppqPos, 2.0); // one more beat at 60 BPM
}

TEST(TransportPosition, SampleRateChangeKeepsBeatsContinuous)
{
    Transport transport(44100.0, 120.0);
    transport.play();
    transport.nextBlock(44100); // two beats
    transport.setSampleRate(96000.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(48000).ppqPos, 2.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(64).ppqPos, 3.0);
}

TEST(TransportPpq, ArdourRoundingStaysOnTicksWithinHalfATick)
{
    Transport transport(44100.0, 120.0);
    transport.setPpqTicksPerBeat(Transport::kArdourTicksPerBeat);
    transport.play();
    const double tick = 1.0 / Transport::kArdourTicksPerBeat;
    bool anyInexact = false;
    for (int block = 0; block < 500; ++block) {
        const std::int64_t frame = transport.position();
        const VstTimeInfo& info = transport.nextBlock(441);
        const double ticks = info.ppqPos / tick;
        EXPECT_NEAR(ticks, std::round(ticks), 1e-6) << "frame " << frame;
        const double exact = transport.beatsAt(frame);
        EXPECT_LE(std::abs(info.ppqPos - exact), tick / 2 + 1e-12) << "frame " << frame;
        anyInexact = anyInexact || info.ppqPos != exact;
    }
    EXPECT_TRUE(anyInexact) << "441-frame blocks at 22050 frames per beat fall between ticks";
}

TEST(TransportPpq, RoundedPositionMissesTheFrameByAFewFrames)
{
    Transport transport(44100.0, 120.0);
    transport.setPpqTicksPerBeat(Transport::kArdourTicksPerBeat);
    transport.locateFrames(1000); // 87.07 ticks
    const VstTimeInfo& info = transport.nextBlock(64);
    const double frameFromPpq = std::trunc(info.ppqPos * transport.samplesPerBeat());
    EXPECT_NE(frameFromPpq, 1000.0);
    EXPECT_LE(std::abs(frameFromPpq - 1000.0), transport.samplesPerBeat() / 1920.0);
    EXPECT_EQ(info.samplePos, 1000.0) << "samplePos stays exact";
}

TEST(TransportValidity, DefaultRecordsCarryPositionTempoBarsAndSignature)
{
    Transport transport;
    const VstInt32 flags = transport.nextBlock(64).flags;
    EXPECT_TRUE(flags & kVstPpqPosValid);
    EXPECT_TRUE(flags & kVstTempoValid);
    EXPECT_TRUE(flags & kVstBarsValid);
    EXPECT_TRUE(flags & kVstTimeSigValid);
}

TEST(TransportValidity, DroppedFlagsLeaveOnlyTheChosenOnesAndTransportBits)
{
    Transport transport(44100.0, 90.0);
    transport.setValidFlags(kVstTempoValid);
    transport.play();
    const VstTimeInfo& info = transport.nextBlock(64);
    EXPECT_EQ(info.flags, kVstTempoValid | kVstTransportChanged | kVstTransportPlaying);

    transport.setValidFlags(0);
    const VstTimeInfo& bare = transport.nextBlock(64);
    EXPECT_EQ(bare.flags, kVstTransportPlaying);
    EXPECT_EQ(bare.tempo, 90.0) << "fields stay filled; only the flags say not to use them";
}

TEST(TransportValidity, BadSettingsAreRefused)
{
    Transport transport;
    EXPECT_THROW(transport.setTempo(0.0), hostcore::HostError);
    EXPECT_THROW(transport.setSampleRate(-1.0), hostcore::HostError);
    EXPECT_THROW(transport.locateFrames(-1), hostcore::HostError);
    EXPECT_THROW(transport.nextBlock(-1), hostcore::HostError);
    EXPECT_THROW(Transport(44100.0, std::nan("")), hostcore::HostError);
}

class HostTimeInfo : public ::testing::Test {
protected:
    HostTimeInfo() { host.attach(effect); }

    const VstTimeInfo* ask(VstIntPtr mask)
    {
        return reinterpret_cast<const VstTimeInfo*>(
            Host::callback(&effect, audioMasterGetTime, 0, mask, nullptr, 0.0f));
    }

    static constexpr VstIntPtr kEngineMask = 0x3E07;
    Host host;
    AEffect effect{};
};

TEST_F(HostTimeInfo, AnswersTheTransportsCurrentRecord)
{
    host.setSampleRate(48000.0);
    host.transport().setTempo(90.0);
    host.transport().locateFrames(96000);
    host.transport().play();
    host.transport().nextBlock(512);
    const VstTimeInfo* info = ask(kEngineMask);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->samplePos, 96000.0);
    EXPECT_EQ(info->sampleRate, 48000.0);
    EXPECT_EQ(info->tempo, 90.0);
    EXPECT_DOUBLE_EQ(info->ppqPos, 3.0);
    EXPECT_EQ(info->flags, host.transport().current().flags);
    EXPECT_EQ(host.lastTimeRequestMask(), kEngineMask);
    EXPECT_EQ(host.callCount(audioMasterGetTime), 1u);
}

TEST_F(HostTimeInfo, AnswersNullWhenToldThereIsNone)
{
    host.setTimeInfoAvailable(false);
    EXPECT_EQ(ask(kEngineMask), nullptr);
    EXPECT_EQ(host.lastTimeRequestMask(), kEngineMask) << "the request is still seen";
    host.setTimeInfoAvailable(true);
    EXPECT_NE(ask(kEngineMask), nullptr);
}

TEST_F(HostTimeInfo, TempoOnlyWhenRequestedWithholdsItFromOtherMasks)
{
    host.setTempoOnlyWhenRequested(true);
    host.transport().setTempo(140.0);
    host.transport().nextBlock(64);

    const VstTimeInfo* without = ask(kVstPpqPosValid);
    ASSERT_NE(without, nullptr);
    EXPECT_EQ(without->tempo, 0.0);
    EXPECT_FALSE(without->flags & kVstTempoValid);
    EXPECT_TRUE(without->flags & kVstPpqPosValid);

    const VstTimeInfo* with = ask(kVstPpqPosValid | kVstTempoValid);
    ASSERT_NE(with, nullptr);
    EXPECT_EQ(with->tempo, 140.0);
    EXPECT_TRUE(with->flags & kVstTempoValid);
}

TEST_F(HostTimeInfo, TempoIsFilledForEveryMaskByDefault)
{
    host.transport().setTempo(140.0);
    host.transport().nextBlock(64);
    const VstTimeInfo* info = ask(0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->tempo, 140.0);
    EXPECT_TRUE(info->flags & kVstTempoValid);
}

} // namespace
