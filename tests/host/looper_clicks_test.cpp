// No clicks: a sine through a stutter loop switched on and off, at every speed
// and direction and through a restart at transport start, never steps between
// two output frames much further than the sine itself does.
#include "looperrig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

using looperrig::LooperRig;

namespace {

constexpr size_t kFrames = 400000;
constexpr size_t kTransportStop = 300000;
constexpr size_t kTransportStart = 310000;
constexpr VstInt32 kLoop4 = 3;
constexpr VstInt32 kPitch4 = 11;
constexpr VstInt32 kRev4 = 15;

struct ClickCase {
    float pitch; // 0: half speed, 0.5: as recorded, 1: double speed
    bool backward;
};

void PrintTo(const ClickCase& c, std::ostream* os)
{
    *os << "pitch " << c.pitch << (c.backward ? " backward" : " forward");
}

// 441 Hz at half scale: the largest step between two frames is 0.0314.
void fillWithSine(LooperRig& rig)
{
    const double step = 2.0 * M_PI * 441.0 / 44100.0;
    for (size_t f = 0; f < rig.input.frames(); ++f)
        for (int c = 0; c < 2; ++c)
            rig.input.at(c, f) = float(0.5 * std::sin(step * double(f)));
}

float largestStep(const hostcore::PlanarBuffer& audio, size_t from, size_t to)
{
    float largest = 0.0f;
    for (int c = 0; c < 2; ++c)
        for (size_t f = from + 1; f < to; ++f)
            largest = std::max(largest, std::fabs(audio.at(c, f) - audio.at(c, f - 1)));
    return largest;
}

class LoopClicks : public ::testing::TestWithParam<ClickCase> {};

// Loop4 ("1/4 beat", 5,512 frames, no whole number of the sine's periods):
// captured on a beat, off, captured at once a little after a beat, off, on
// again; then the transport stops and starts from the top with it still on.
TEST_P(LoopClicks, NoStepIsMoreThanThreeTimesTheSines)
{
    LooperRig rig(kFrames);
    fillWithSine(rig);
    rig.plugin->setParameter(kPitch4, GetParam().pitch);
    rig.plugin->setParameter(kRev4, GetParam().backward ? 1.0f : 0.0f);
    auto& transport = rig.host.transport();
    transport.play();
    float on = 1.0f;
    for (const size_t at : {30000, 100000, 178400, 230000, 260000}) {
        rig.renderTo(at);
        rig.plugin->setParameter(kLoop4, on);
        on = 1.0f - on;
    }
    rig.renderTo(kTransportStop);
    transport.stop();
    rig.renderTo(kTransportStart);
    transport.locateFrames(0);
    transport.play();
    rig.renderTo(kFrames);

    const float sine = largestStep(rig.input, 0, kFrames);
    const float played = std::max(largestStep(rig.output, 0, kTransportStop),
                                  largestStep(rig.output, kTransportStart - 1, kFrames));
    std::cout << "largest step " << played << ", the sine's " << sine << " (" << played / sine
              << " times)\n";
    EXPECT_LE(played, 3.0f * sine);
    EXPECT_FALSE(rig.passesThrough(kTransportStart + 10000)) << "the loop restarted";
}

INSTANTIATE_TEST_SUITE_P(SpeedsAndDirections, LoopClicks,
                         ::testing::Values(ClickCase{0.0f, false}, ClickCase{0.5f, false},
                                           ClickCase{1.0f, false}, ClickCase{0.0f, true},
                                           ClickCase{0.5f, true}, ClickCase{1.0f, true}));

} // namespace
