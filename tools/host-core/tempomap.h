// A song's tempo as a function of its musical position: one tempo from the
// start, then steps and linear ramps placed at positions in beats. It converts
// between beats and seconds only; a frame is seconds times the caller's sample
// rate, so one map serves any rate and a rate change needs no new map.
//
// A value type with no shared state; not safe against concurrent edits.
#pragma once

#include "hosterror.h" // bad tempi and positions are refused with HostError(BadArgument)

#include <vector>

namespace hostcore {

class TempoMap {
public:
    explicit TempoMap(double beatsPerMinute = 120.0);

    // From `beat` on the tempo is `beatsPerMinute`. A later step or ramp
    // takes over at its own beat; one placed at the same beat as an earlier
    // one replaces it.
    void changeAt(double beat, double beatsPerMinute);
    // From `fromBeat` the tempo runs in a straight line over the beats, from
    // the tempo in force there to `beatsPerMinute` at `toBeat`, and stays
    // there. A change placed inside the ramp cuts it short at its own beat.
    void rampTo(double fromBeat, double toBeat, double beatsPerMinute);

    // The tempo in force at `beat`: a step counts from its own beat on.
    double tempoAt(double beat) const;
    // Seconds from beat `from` to beat `to`, negative when `to` comes first.
    double secondsBetween(double from, double to) const;
    // The beat `seconds` after beat `from` (before it for negative seconds):
    // the inverse of secondsBetween. Landing exactly on a change is landing
    // in the tempo that starts there.
    double beatAfter(double from, double seconds) const;

private:
    // A point of the map: its own beat, the target tempo, and where a ramp
    // towards it ends (its own beat for a step).
    struct Change {
        double beat;
        double beatsPerMinute;
        double reachedAt;
    };
    // Between two breakpoints the tempo is a straight line over the beats:
    // `beatsPerMinute` at `beat`, `slope` BPM more per beat after it.
    struct Segment {
        double beat;
        double beatsPerMinute;
        double slope;
    };

    void place(const Change& change);
    void rebuildSegments();
    std::size_t segmentAt(double beat) const;
    double tempoIn(std::size_t segment, double beat) const;
    double segmentEnd(std::size_t segment) const;
    double secondsForward(double from, double to) const;
    double beatForward(double from, double seconds) const;
    double beatBackward(double from, double seconds) const;

    double startTempo_;
    std::vector<Change> changes_;   // in position order, at most one per beat
    std::vector<Segment> segments_; // the first one reaches back without end
};

} // namespace hostcore
