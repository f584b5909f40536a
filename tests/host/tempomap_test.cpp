// The test host's tempo map: tempi at their beats, and beats and seconds
// converted both ways across steps and ramps.
#include "tempomap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace {

using hostcore::TempoMap;

// 60 BPM, a ramp from beat 2 towards 180 BPM at beat 10 (15 BPM more a beat)
// cut at beat 6 (120 BPM) by a step to 100, and 150 from beat 8.
TempoMap steppedRamp()
{
    TempoMap map(60.0);
    map.rampTo(2.0, 10.0, 180.0);
    map.changeAt(6.0, 100.0);
    map.changeAt(8.0, 140.0);
    map.changeAt(8.0, 150.0); // replaces the one before
    return map;
}

TEST(TempoMap, StepsAndRampsAtTheirBeats)
{
    const TempoMap map = steppedRamp();
    EXPECT_EQ(map.tempoAt(0.0), 60.0);
    EXPECT_EQ(map.tempoAt(2.0), 60.0);
    EXPECT_DOUBLE_EQ(map.tempoAt(4.0), 90.0);
    EXPECT_DOUBLE_EQ(map.tempoAt(5.5), 112.5);
    EXPECT_EQ(map.tempoAt(6.0), 100.0);
    EXPECT_EQ(map.tempoAt(8.0), 150.0);
    EXPECT_EQ(map.tempoAt(1e6), 150.0);
    // 2 beats at 60 BPM, the ramp from 60 to 120 (60/15 ln 2 seconds), 2 beats
    // at 100 and 1 at 150.
    EXPECT_NEAR(map.secondsBetween(0.0, 9.0), 2.0 + 4.0 * std::log(2.0) + 1.2 + 0.4, 1e-12);
}

class TempoMapRoundTrip : public ::testing::TestWithParam<std::pair<double, double>> {};

// Forward and back, across the ramp and the steps, and landing on a step
// exactly from either side: the beat reached is in the tempo that starts there.
TEST_P(TempoMapRoundTrip, BeatAfterUndoesSecondsBetween)
{
    const auto [from, to] = GetParam();
    const TempoMap map = steppedRamp();
    const double seconds = map.secondsBetween(from, to);
    EXPECT_NEAR(map.secondsBetween(to, from), -seconds, 1e-12);
    const double reached = map.beatAfter(from, seconds);
    EXPECT_NEAR(reached, to, 1e-9);
    EXPECT_NEAR(map.tempoAt(reached), map.tempoAt(to), 1e-6) << "at beat " << reached;
}

INSTANTIATE_TEST_SUITE_P(Beats, TempoMapRoundTrip,
                         ::testing::Values(std::pair{0.0, 9.0}, std::pair{9.0, 0.0},
                                           std::pair{3.0, 7.0}, std::pair{7.0, 3.0},
                                           std::pair{1.0, 6.0}, std::pair{9.0, 6.0},
                                           std::pair{0.0, 8.0}, std::pair{12.5, 8.0},
                                           std::pair{4.0, 4.0}));

} // namespace
