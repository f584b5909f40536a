#include "drumpattern.h"

#include <array>
#include <cmath>

namespace pl3demo {

namespace {

constexpr int kStepsPerBar = 16;

// Steps of one bar, 'x' for a hit.
constexpr const char* kKick = "x.....x.x.......";
constexpr const char* kSnare = "....x.......x...";
constexpr const char* kHat = "x.x.x.x.x.x.x.o.";
constexpr const char* kShaker = ".x.x.x.x.x.x.x.x";
constexpr const char* kFill = "............xxxx";

// Roots of the four-bar line (A, F, C, G) and the eighth-note figure over
// each: semitones above the root.
constexpr std::array<double, 4> kRoots = {55.0, 43.654, 65.406, 48.999};
constexpr std::array<int, 8> kFigure = {0, 0, 12, 0, 7, 0, 12, 10};

double semitones(double frequency, int steps)
{
    return frequency * std::pow(2.0, steps / 12.0);
}

class StepClock {
public:
    explicit StepClock(double samplesPerBeat) : step_(samplesPerBeat / 4.0) {}
    std::size_t frame(int bar, int step) const
    {
        return static_cast<std::size_t>(std::llround((bar * kStepsPerBar + step) * step_));
    }
    std::size_t length(int steps) const { return static_cast<std::size_t>(steps * step_); }

private:
    double step_;
};

void drums(DrumKit& kit, const StepClock& clock, int bar)
{
    const bool fillBar = bar % 4 == 3;
    for (int s = 0; s < kStepsPerBar; ++s) {
        const std::size_t at = clock.frame(bar, s);
        if (kKick[s] == 'x') kit.kick(at, 0.9f);
        if (kSnare[s] == 'x' && !(fillBar && s == 12)) kit.snare(at, 0.55f);
        if (fillBar && kFill[s] == 'x') kit.snare(at, 0.25f + 0.1f * (s - 12));
        if (kHat[s] != '.') kit.hat(at, s % 4 == 0 ? 0.28f : 0.18f, kHat[s] == 'o');
        if (kShaker[s] == 'x') kit.shaker(at, 0.12f);
    }
}

void bassLine(DrumKit& kit, const StepClock& clock, int bar)
{
    const double root = kRoots[bar % kRoots.size()];
    for (std::size_t eighth = 0; eighth < kFigure.size(); ++eighth)
        kit.bass(clock.frame(bar, static_cast<int>(2 * eighth)), clock.length(2) * 9 / 10,
                 semitones(root, kFigure[eighth]), 0.32f);
}

} // namespace

void playPattern(DrumKit& kit, int bars, double samplesPerBeat)
{
    const StepClock clock(samplesPerBeat);
    for (int bar = 0; bar < bars; ++bar) {
        drums(kit, clock, bar);
        bassLine(kit, clock, bar);
    }
}

} // namespace pl3demo
