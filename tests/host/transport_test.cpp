// The test host's transport: the time information a real Linux host hands out
// per block, and the host callback's answer to audioMasterGetTime.
#include "host.h"
#include "transport.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    transport.scheduleTempo(4.0, 60.0);
    transport.play();
    transport.nextBlock(44100); // two beats
    transport.setSampleRate(96000.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(48000).ppqPos, 2.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(48000).ppqPos, 3.0);
    // The scheduled change stays on its beat, now counted at the new rate.
    const VstTimeInfo& changed = transport.nextBlock(96000);
    EXPECT_DOUBLE_EQ(changed.ppqPos, 4.0);
    EXPECT_EQ(changed.tempo, 60.0);
    EXPECT_DOUBLE_EQ(transport.nextBlock(64).ppqPos, 5.0);
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

// Ardour 7.3 measured, 120 to 90 BPM at beat 8, 256-frame blocks: a plug-in
// that takes its frame from ppqPos times the block's frames per beat sees it
// jump from 176,388 to 235,444, which (unrounded) only a change on its exact
// beat gives; one applied from the next block start would give 235,525.
TEST(TransportTempoMap, ChangeInsideABlockShowsFromTheNextOneAsMeasured)
{
    Transport transport(44100.0, 120.0);
    transport.scheduleTempo(8.0, 90.0);
    transport.locateFrames(176388);
    transport.play();
    const VstTimeInfo holding = transport.nextBlock(256);
    const VstTimeInfo after = transport.nextBlock(256);
    EXPECT_EQ(holding.tempo, 120.0);
    EXPECT_EQ(std::llround(holding.ppqPos * 22050.0), 176388);
    EXPECT_EQ(after.tempo, 90.0);
    EXPECT_EQ(std::llround(after.ppqPos * 29400.0), 235444);
    EXPECT_EQ(after.samplePos, 176644.0);
    EXPECT_EQ(transportBits(after), kVstTransportPlaying) << "a tempo change flags nothing";
    EXPECT_EQ(transport.nextBlock(256).tempo, 90.0);
}

struct TempoChangeCase {
    const char* name;
    double changeBeat; // against the block that starts on beat 8
};

void PrintTo(const TempoChangeCase& c, std::ostream* os)
{
    *os << c.name;
}

class TempoChangeAtABeat : public ::testing::TestWithParam<TempoChangeCase> {};

// 120 to 90 BPM near beat 8 (frame 176,400) with 441-frame blocks, one of
// which starts on beat 8, positions rounded to Ardour's ticks. Before the
// change a beat is 22,050 frames, after it 29,400.
TEST_P(TempoChangeAtABeat, BlocksReportTheTempoAtTheirFirstFrameAndAContinuousPosition)
{
    const double tick = 1.0 / Transport::kArdourTicksPerBeat;
    const double change = GetParam().changeBeat;
    const auto exactBeats = [&](double frame) {
        const double changeFrame = change * 22050.0;
        return frame < changeFrame ? frame / 22050.0 : change + (frame - changeFrame) / 29400.0;
    };
    Transport transport(44100.0, 120.0);
    transport.setPpqTicksPerBeat(Transport::kArdourTicksPerBeat);
    transport.scheduleTempo(change, 90.0);
    transport.locateFrames(176400 - 2 * 441);
    transport.play();
    for (int block = 0; block < 5; ++block) {
        const double frame = static_cast<double>(transport.position());
        const VstTimeInfo& info = transport.nextBlock(441);
        EXPECT_EQ(info.tempo, frame < change * 22050.0 ? 120.0 : 90.0) << "frame " << frame;
        EXPECT_NEAR(info.ppqPos, std::round(exactBeats(frame) / tick) * tick, 1e-12)
            << "frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(
    NearBeat8, TempoChangeAtABeat,
    ::testing::Values(TempoChangeCase{"OnTheBeat", 8.0},
                      TempoChangeCase{"OneTickBefore", 8.0 - 1.0 / Transport::kArdourTicksPerBeat},
                      TempoChangeCase{"OneTickAfter", 8.0 + 1.0 / Transport::kArdourTicksPerBeat}),
    [](const auto& info) { return info.param.name; });

// Frames become beats by way of seconds, so a change's frame is reached with
// rounding either way; a block that starts on it still sees the new tempo.
TEST(TransportTempoMap, ABlockStartingOnTheChangesFrameReportsTheNewTempo)
{
    for (const double rate : {44100.0, 48000.0})
        for (const double from : {90.0, 120.0, 135.0})
            for (int beat = 1; beat <= 16; ++beat) {
                const double frame = beat * 60.0 * rate / from;
                if (frame != std::floor(frame)) continue;
                Transport transport(rate, from);
                transport.scheduleTempo(beat, 140.0);
                transport.locateFrames(static_cast<std::int64_t>(frame) - 441);
                transport.play();
                EXPECT_EQ(transport.nextBlock(441).tempo, from);
                EXPECT_EQ(transport.nextBlock(441).tempo, 140.0)
                    << rate << " Hz, " << from << " BPM, beat " << beat;
            }
}

// 60 to 120 BPM in a straight line over beats 1 to 5 (15 BPM more a beat)
// lasts 4 ln 2 seconds. Every block reports the ramp's tempo at its first
// frame, and its average tempo, from how far ppqPos moved, lies between that
// and the next block's: the position runs on without a jump.
TEST(TransportTempoMap, RampChangesTheTempoEveryBlockAndKeepsThePositionContinuous)
{
    constexpr double kRate = 44100.0;
    Transport transport(kRate, 60.0);
    transport.scheduleTempoRamp(1.0, 5.0, 120.0);
    EXPECT_NEAR(transport.frameAt(5.0), kRate * (1.0 + 4.0 * std::log(2.0)), 1e-6);
    transport.play();
    VstTimeInfo previous = transport.nextBlock(1000);
    while (previous.ppqPos < 6.0) {
        const VstTimeInfo info = transport.nextBlock(1000);
        const double expected = std::clamp(60.0 + 15.0 * (info.ppqPos - 1.0), 60.0, 120.0);
        EXPECT_NEAR(info.tempo, expected, 1e-9) << "beat " << info.ppqPos;
        const double average = (info.ppqPos - previous.ppqPos) * 60.0 * kRate / 1000.0;
        EXPECT_GE(average, previous.tempo - 1e-9) << "beat " << previous.ppqPos;
        EXPECT_LE(average, info.tempo + 1e-9) << "beat " << previous.ppqPos;
        previous = info;
    }
    EXPECT_EQ(previous.tempo, 120.0);
}

TEST(TransportTempoMap, LocatingCountsBeatsThroughTheMap)
{
    Transport transport(44100.0, 120.0);
    transport.scheduleTempo(4.0, 60.0);
    transport.locateBeats(6.0); // 4 beats of 22,050 frames, 2 of 44,100
    EXPECT_EQ(transport.position(), 176400);
    EXPECT_EQ(transport.tempo(), 60.0);
    transport.locateFrames(22050);
    const VstTimeInfo& early = transport.nextBlock(64);
    EXPECT_DOUBLE_EQ(early.ppqPos, 1.0);
    EXPECT_EQ(early.tempo, 120.0);
    transport.setTempo(90.0);
    transport.locateFrames(176400);
    EXPECT_DOUBLE_EQ(transport.nextBlock(64).ppqPos, 6.0) << "setTempo drops the change";
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
    EXPECT_THROW(transport.scheduleTempo(-1.0, 90.0), hostcore::HostError);
    EXPECT_THROW(transport.scheduleTempo(4.0, 0.0), hostcore::HostError);
    EXPECT_THROW(transport.scheduleTempo(4.0, INFINITY), hostcore::HostError);
    EXPECT_THROW(transport.scheduleTempoRamp(4.0, 4.0, 90.0), hostcore::HostError);
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
