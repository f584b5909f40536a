#include "tempomap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace hostcore {

namespace {

constexpr double kSecondsPerMinute = 60.0;
constexpr double kNoEnd = std::numeric_limits<double>::infinity();
// Times closer than this are one instant: far below a frame at any rate, far
// above the rounding in the seconds of a day-long song. A block that starts on
// a change's frame then starts in the new tempo, whichever way the seconds
// and beats on the way there were rounded.
constexpr double kSameInstant = 1e-9;

void requireTempo(double beatsPerMinute)
{
    if (!(beatsPerMinute > 0.0) || !std::isfinite(beatsPerMinute))
        throw HostError(HostFailure::BadArgument,
                        "tempo must be positive, not " + std::to_string(beatsPerMinute));
}

void requirePosition(double beat)
{
    if (!(beat >= 0.0) || !std::isfinite(beat))
        throw HostError(HostFailure::BadArgument,
                        "a tempo change needs a position in the song, not beat " +
                            std::to_string(beat));
}

// Where the tempo is `tempo` and grows by `slope` BPM per beat, the time
// taken by `beats` is 60/slope * ln(1 + slope * beats / tempo). log1p and
// expm1 keep gentle ramps as exact as steady tempi.
double secondsAlong(double tempo, double slope, double beats)
{
    if (slope == 0.0) return kSecondsPerMinute * beats / tempo;
    return kSecondsPerMinute / slope * std::log1p(slope * beats / tempo);
}

// The inverse of secondsAlong: the beats covered in `seconds` (negative
// seconds go back).
double beatsAlong(double tempo, double slope, double seconds)
{
    if (slope == 0.0) return seconds * tempo / kSecondsPerMinute;
    return tempo / slope * std::expm1(slope * seconds / kSecondsPerMinute);
}

} // namespace

TempoMap::TempoMap(double beatsPerMinute) : startTempo_(beatsPerMinute)
{
    requireTempo(beatsPerMinute);
    rebuildSegments();
}

void TempoMap::changeAt(double beat, double beatsPerMinute)
{
    requirePosition(beat);
    requireTempo(beatsPerMinute);
    place({beat, beatsPerMinute, beat});
}

void TempoMap::rampTo(double fromBeat, double toBeat, double beatsPerMinute)
{
    requirePosition(fromBeat);
    requireTempo(beatsPerMinute);
    if (!(toBeat > fromBeat) || !std::isfinite(toBeat))
        throw HostError(HostFailure::BadArgument,
                        "a tempo ramp from beat " + std::to_string(fromBeat) +
                            " must end after it, not at beat " + std::to_string(toBeat));
    place({fromBeat, beatsPerMinute, toBeat});
}

double TempoMap::tempoAt(double beat) const
{
    return tempoIn(segmentAt(beat), beat);
}

double TempoMap::secondsBetween(double from, double to) const
{
    return to < from ? -secondsForward(to, from) : secondsForward(from, to);
}

double TempoMap::beatAfter(double from, double seconds) const
{
    return seconds < 0.0 ? beatBackward(from, seconds) : beatForward(from, seconds);
}

void TempoMap::place(const Change& change)
{
    const auto at =
        std::lower_bound(changes_.begin(), changes_.end(), change.beat,
                         [](const Change& placed, double beat) { return placed.beat < beat; });
    if (at != changes_.end() && at->beat == change.beat)
        *at = change;
    else
        changes_.insert(at, change);
    rebuildSegments();
}

// Each ramp starts from whatever tempo the map has reached at its beat, so
// the segments are built in position order from the ones before.
void TempoMap::rebuildSegments()
{
    segments_.assign(1, Segment{-kNoEnd, startTempo_, 0.0});
    for (std::size_t i = 0; i < changes_.size(); ++i) {
        const Change& change = changes_[i];
        const double next = i + 1 < changes_.size() ? changes_[i + 1].beat : kNoEnd;
        if (change.reachedAt == change.beat) {
            segments_.push_back({change.beat, change.beatsPerMinute, 0.0});
            continue;
        }
        const double from = tempoAt(change.beat);
        const double slope = (change.beatsPerMinute - from) / (change.reachedAt - change.beat);
        segments_.push_back({change.beat, from, slope});
        if (change.reachedAt < next)
            segments_.push_back({change.reachedAt, change.beatsPerMinute, 0.0});
    }
}

std::size_t TempoMap::segmentAt(double beat) const
{
    // The first segment has no start, so every beat finds one.
    const auto after = std::upper_bound(
        segments_.begin() + 1, segments_.end(), beat,
        [](double position, const Segment& segment) { return position < segment.beat; });
    return static_cast<std::size_t>(after - segments_.begin()) - 1;
}

// A step's beat belongs to the segment it starts, but a walk back through
// the map arrives there from the segment before, at that one's last tempo.
double TempoMap::tempoIn(std::size_t segment, double beat) const
{
    const Segment& line = segments_[segment];
    if (line.slope == 0.0) return line.beatsPerMinute;
    return line.beatsPerMinute + line.slope * (beat - line.beat);
}

double TempoMap::segmentEnd(std::size_t segment) const
{
    return segment + 1 < segments_.size() ? segments_[segment + 1].beat : kNoEnd;
}

double TempoMap::secondsForward(double from, double to) const
{
    double seconds = 0.0;
    for (std::size_t i = segmentAt(from);; ++i) {
        const double end = std::min(to, segmentEnd(i));
        seconds += secondsAlong(tempoIn(i, from), segments_[i].slope, end - from);
        if (!(end < to)) return seconds; // a position that is no number ends it too
        from = end;
    }
}

double TempoMap::beatForward(double from, double seconds) const
{
    for (std::size_t i = segmentAt(from);; ++i) {
        const double tempo = tempoIn(i, from);
        const double span = secondsAlong(tempo, segments_[i].slope, segmentEnd(i) - from);
        if (seconds < span - kSameInstant)
            return from + beatsAlong(tempo, segments_[i].slope, seconds);
        seconds = std::max(0.0, seconds - span);
        from = segmentEnd(i);
    }
}

double TempoMap::beatBackward(double from, double seconds) const
{
    // The first segment reaches back without end, so the walk stops there.
    for (std::size_t i = segmentAt(from);; --i) {
        const Segment& segment = segments_[i];
        const double span =
            secondsAlong(segment.beatsPerMinute, segment.slope, from - segment.beat);
        if (-seconds < span - kSameInstant)
            return from + beatsAlong(tempoIn(i, from), segment.slope, seconds);
        if (-seconds <= span + kSameInstant) return segment.beat;
        seconds += span;
        from = segment.beat;
    }
}

} // namespace hostcore
