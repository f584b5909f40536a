// The knob film strip: a column of square pictures of one knob, turned a little further
// clockwise in each, from the minimum at the top to the maximum at the bottom.
#pragma once

#include <QImage>

namespace pl3artwork {

// The side the knob is designed at; every measure of the drawing is in these pixels.
inline constexpr int kKnobFrameSize = 200;
inline constexpr int kKnobFrameCount = 64;

// One frame of side frameSize: position 0 is the minimum (pointer at seven o'clock, value arc
// empty), 1 the maximum (pointer at five o'clock, arc full).
QImage renderKnobFrame(double position, int frameSize = kKnobFrameSize);

// kKnobFrameCount frames of side frameSize stacked downwards, frame i at position
// i / (kKnobFrameCount - 1).
QImage renderKnobStrip(int frameSize = kKnobFrameSize);

} // namespace pl3artwork
