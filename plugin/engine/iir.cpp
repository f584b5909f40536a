#include "iir.h"

#include <cmath>

double funTab1[funTab1Size];

// Decimal constants below are double numbers widened to extended precision, as the filters
// have always computed them.
namespace {

// Bends a cut-off in 0..1 toward the top of the range with four quarter-sine steps; the
// product is formed in extended precision, the sine in double.
long double warpCutoff(long double x)
{
    constexpr long double quarterTurn = 1.5707963265;
    for (int step = 0; step < 4; ++step)
        x = std::sin(static_cast<double>(x * quarterTurn));
    return x;
}

long double limitToUnit(long double v)
{
    if (v < -1.0L) return -1.0L;
    if (v > 1.0L) return 1.0L;
    return v;
}

// Cut-off limits of the resonant low-pass, with their warps precomputed: the warps of the
// single-precision numbers nearest 0.01 and 0.7.
constexpr long double lp3poleLowestCutoff = 0.01;
constexpr long double lp3poleHighestCutoff = 0.7;
constexpr long double lp3poleLowestWarp = 0.06081920854346652;
constexpr long double lp3poleHighestWarp = 0.999999914219074193;
// Below this cut-off the feedback amount tapers from 0.9 of its value at c = 0 to all of it.
constexpr long double lp3poleLowRegion = 0.05;

// Table positions of the two limits: the fractions of 0.01 * 64 and 0.7 * 64 as products in
// single precision give them.
constexpr int lp3poleLowestIndex = 0;
constexpr double lp3poleLowestFraction = 0.6399999856948853;
constexpr int lp3poleHighestIndex = 44;
constexpr double lp3poleHighestFraction = 0.7999992370605469;

// Feedback amount h of the ladder before the low-region scaling, from resonance r, warped
// cut-off w and the feedback ratio k / n.
long double lp3poleFeedback(long double r, long double w, long double k, double n)
{
    const long double q = k / n;
    const long double resonance = r < 0.0L ? 0.0L : (r > 1.0L ? 1.0L : r);
    return (resonance * (0.965 - q * 0.975) + w * (q * 0.42 + 0.023)) * 1.01;
}

// Five one-pole steps with the feedback 1 - h, shared by both ways of computing the cut-off.
long double lp3poleLadder(tbiquad& state, long double c, long double h, long double x)
{
    const long double stepGain = 1.0L - c * h;
    const long double g1 = state.s1 + c * (x - h * state.s1 - state.s0);
    const long double g2 = g1 * stepGain;
    const long double g3 = g2 * stepGain;
    const long double g4 = g3 * stepGain;
    state.s2 = -h * g4;
    const long double g5 = g4 * stepGain;
    state.s1 = g5;
    state.s0 = state.s0 + c * (g1 + g2 + g3 + g4 + g5);
    return state.s0;
}

double interpolateFunTab1(int index, double fraction)
{
    return funTab1[index] + (funTab1[index + 1] - funTab1[index]) * fraction;
}

} // namespace

void initFunTab1()
{
    // A function-local static is initialised exactly once even when several engines start at
    // the same time; later calls find the table filled.
    static const bool filled = [] {
        for (int i = 0; i < funTab1Size; ++i)
            funTab1[i] = static_cast<double>(warpCutoff(i / 64.0L));
        return true;
    }();
    static_cast<void>(filled);
}

void IIR_resetIIR(tbiquad& state)
{
    state = tbiquad{};
}

long double IIR_doIIRhigh(tbiquad& state, long double a, long double x)
{
    state.s0 += a * (x - state.s0);
    const long double h1 = x - state.s0;
    state.s1 += a * (h1 - state.s1);
    const long double h2 = h1 - state.s1;
    state.s2 += a * (h2 - state.s2);
    return limitToUnit(h2 - state.s2);
}

void IIR_resetFIR(tbiquadFIR& state)
{
    state.s = 0.0L;
}

long double IIR_FIRlp(tbiquadFIR& state, long double a, long double x)
{
    state.s += a * (x - state.s);
    return state.s;
}

long double IIR_doIIRCycle2(tbiquad& state, long double f, long double d, long double x)
{
    state.s0 = x - state.s1 * (1.0L - d) - state.s2;
    state.s1 += f * state.s0;
    state.s2 += f * state.s1;
    return limitToUnit(state.s1);
}

long double IIR_IIRlp3pole(tbiquad& state, long double c, long double r, long double x,
                           long double k, double n)
{
    long double w;
    bool low;
    if (c < lp3poleLowestCutoff) {
        c = lp3poleLowestCutoff;
        w = lp3poleLowestWarp;
        low = true;
    } else if (c > lp3poleHighestCutoff) {
        c = lp3poleHighestCutoff;
        w = lp3poleHighestWarp;
        low = false;
    } else {
        w = warpCutoff(c);
        low = c < lp3poleLowRegion;
    }
    long double h = lp3poleFeedback(r, w, k, n);
    if (low) h = h * (c / lp3poleLowRegion * 0.1 + 0.9);
    return lp3poleLadder(state, c, 1.0L - h, x);
}

long double IIR_IIRlp3poleTable(tbiquad& state, long double c, long double r, long double x,
                                long double k, double n)
{
    long double w;
    bool low;
    if (c < lp3poleLowestCutoff) {
        c = lp3poleLowestCutoff;
        w = interpolateFunTab1(lp3poleLowestIndex, lp3poleLowestFraction);
        low = true;
    } else if (c > lp3poleHighestCutoff) {
        c = lp3poleHighestCutoff;
        w = interpolateFunTab1(lp3poleHighestIndex, lp3poleHighestFraction);
        low = false;
    } else {
        const double position = static_cast<double>(c * 64.0L);
        const int index = static_cast<int>(position);
        w = interpolateFunTab1(index, position - index);
        low = c < lp3poleLowRegion;
    }
    long double h = lp3poleFeedback(r, w, k, n);
    // c / 0.05 * 0.1 + 0.9 written without the division.
    if (low) h = h * (c + c + 0.9);
    return lp3poleLadder(state, c, 1.0L - h, x);
}
