#include "drumkit.h"

#include <cmath>
#include <numbers>

namespace pl3demo {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// One-pole low-pass, used to shape the noise and the bass.
class OnePole {
public:
    explicit OnePole(double coefficient) : a_(static_cast<float>(coefficient)) {}
    float operator()(float x) { return y_ += a_ * (x - y_); }

private:
    float a_;
    float y_ = 0.0f;
};

double lowpassCoefficient(double cutoff, double rate)
{
    return 1.0 - std::exp(-kTwoPi * cutoff / rate);
}

} // namespace

DrumKit::DrumKit(hostcore::PlanarBuffer& mix, double sampleRate) : mix_(mix), rate_(sampleRate) {}

void DrumKit::kick(std::size_t at, float gain)
{
    double phase = 0.0;
    for (std::size_t i = 0; i < framesOf(0.45); ++i) {
        const double t = i / rate_;
        // The pitch falls from about 150 Hz to 48 Hz: the thump after the click.
        phase += kTwoPi * (48.0 + 100.0 * std::exp(-t * 28.0)) / rate_;
        const double click = i < framesOf(0.003) ? 0.3 * noise() : 0.0;
        add(at + i, gain * static_cast<float>((std::sin(phase) + click) * std::exp(-t * 7.0)),
            0.0f);
    }
}

void DrumKit::snare(std::size_t at, float gain)
{
    OnePole body(lowpassCoefficient(5000.0, rate_));
    float previous = 0.0f;
    for (std::size_t i = 0; i < framesOf(0.28); ++i) {
        const double t = i / rate_;
        const float filtered = body(noise());
        const float bright = filtered - previous; // a first difference lifts the highs
        previous = filtered;
        const double tone = 0.5 * std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 25.0);
        const double rattle = 2.2 * bright * std::exp(-t * 15.0);
        add(at + i, gain * static_cast<float>(tone + rattle), -0.1f);
    }
}

void DrumKit::hat(std::size_t at, float gain, bool open)
{
    const double decay = open ? 9.0 : 55.0;
    float previous = 0.0f;
    for (std::size_t i = 0; i < framesOf(open ? 0.35 : 0.09); ++i) {
        const float n = noise();
        const float high = n - previous;
        previous = n;
        add(at + i, gain * high * static_cast<float>(std::exp(-double(i) / rate_ * decay)), 0.45f);
    }
}

void DrumKit::shaker(std::size_t at, float gain)
{
    OnePole band(lowpassCoefficient(7000.0, rate_));
    float previous = 0.0f;
    for (std::size_t i = 0; i < framesOf(0.05); ++i) {
        const double t = i / rate_;
        const float shaped = band(noise());
        const float high = shaped - previous;
        previous = shaped;
        // A soft attack makes it a shake rather than a tick.
        const double envelope = (1.0 - std::exp(-t * 400.0)) * std::exp(-t * 70.0);
        add(at + i, gain * high * static_cast<float>(envelope), -0.6f);
    }
}

void DrumKit::bass(std::size_t at, std::size_t length, double frequency, float gain)
{
    OnePole tone(lowpassCoefficient(900.0, rate_));
    const std::size_t release = framesOf(0.01);
    for (std::size_t i = 0; i < length; ++i) {
        const double cycles = frequency * i / rate_;
        const double saw = 2.0 * (cycles - std::floor(cycles)) - 1.0;
        const double fadeOut = i + release > length ? double(length - i) / release : 1.0;
        const double envelope = std::min(1.0, i / (0.004 * rate_)) * fadeOut *
                                (0.6 + 0.4 * std::exp(-double(i) / rate_ * 8.0));
        add(at + i, gain * tone(static_cast<float>(saw * envelope)), 0.0f);
    }
}

void DrumKit::add(std::size_t frame, float sample, float pan)
{
    if (frame >= mix_.frames()) return;
    const double angle = (pan + 1.0) * std::numbers::pi / 4.0;
    mix_.at(0, frame) += sample * static_cast<float>(std::cos(angle));
    mix_.at(1, frame) += sample * static_cast<float>(std::sin(angle));
}

std::size_t DrumKit::framesOf(double seconds) const
{
    return static_cast<std::size_t>(seconds * rate_);
}

float DrumKit::noise()
{
    noiseState_ = noiseState_ * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<std::int32_t>(noiseState_)) / 2147483648.0f;
}

} // namespace pl3demo
