// Filter kit: recursive filters on caller-owned state records.
//
// Everything runs in x87 extended precision (long double, 80 bits on x86-64) so that the
// slowly moving one-pole states keep their low bits at small coefficients. The functions
// allocate nothing and take no lock: safe on the audio thread.
#pragma once

// Six extended-precision state slots. The functions below use s0, s1 and s2; s3..s5 exist
// for the record's full size and are only cleared.
struct tbiquad {
    long double s0;
    long double s1;
    long double s2;
    long double s3;
    long double s4;
    long double s5;
};

// One extended-precision state slot, for the one-pole low-pass.
struct tbiquadFIR {
    long double s;
};

// Warped cut-off for IIR_IIRlp3poleTable: entry i is the warp of i / 64 (entry 0 is 0).
// Valid once initFunTab1 has run.
constexpr int funTab1Size = 65;
extern double funTab1[funTab1Size];

// Fills funTab1. Any thread, any number of times: the table is computed once.
void initFunTab1();

void IIR_resetIIR(tbiquad& state);

// Three one-pole high-pass sections in series; coefficient a in 0..1, output limited to -1..1.
long double IIR_doIIRhigh(tbiquad& state, long double a, long double x);

void IIR_resetFIR(tbiquadFIR& state);

// One-pole low-pass: s moves toward x by the fraction a.
long double IIR_FIRlp(tbiquadFIR& state, long double a, long double x);

// State-variable band-pass (s0 high-pass, s1 band-pass, s2 low-pass); frequency coefficient f,
// damping d; output limited to -1..1.
long double IIR_doIIRCycle2(tbiquad& state, long double f, long double d, long double x);

// Resonant low-pass. Cut-off c is used in 0.01..0.7 (clamped), resonance r in 0..1 (clamped);
// k / n scales the feedback term.
long double IIR_IIRlp3pole(tbiquad& state, long double c, long double r, long double x,
                           long double k, double n);

// IIR_IIRlp3pole with the warped cut-off interpolated from funTab1 instead of four sines.
long double IIR_IIRlp3poleTable(tbiquad& state, long double c, long double r, long double x,
                                long double k, double n);
