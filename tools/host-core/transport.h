// A host's transport as a plug-in sees it: a song position in 64-bit frames,
// a tempo map, play/stop, and per processing block the time information record
// a real host would hand out for that block.
//
// Frames and beats. Musical time runs along the tempo map from an anchor: the
// position of a frame is the map's beat (frame - anchor frame) / sampleRate
// seconds after the anchor's beat. The anchor starts at frame 0, beat 0. A
// locate moves it to the located frame, whose beats are counted from the song
// start through the map at the current sample rate; a change of sample rate
// or of the map moves it to the current frame and keeps that frame's beats,
// so ppqPos never jumps but at a locate. A tempo change therefore takes effect
// at its exact beat, in the middle of a block if it falls there, and the
// records show it as Ardour 7.3 does: each block's ppqPos is the exact
// position of its first frame (rounded to ticks if asked) and its tempo the
// one in force at that frame. The block that holds a change still reports the
// old tempo and the next the new one; blocks are not split at a change, no
// kVstTransportChanged is set and samplePos runs on. Along a ramp the tempo of
// every block is the ramp's at its first frame.
//
// Owned by the thread that drives processing: the host callback reads
// current() while that thread is inside the plug-in's process entry.
#pragma once

#include "hosterror.h" // bad settings are refused with HostError(BadArgument)
#include "tempomap.h"
#include "vst24.h"

#include <cstdint>

namespace hostcore {

class Transport {
public:
    static constexpr VstInt32 kDefaultValidFlags =
        kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    // Ardour keeps musical time in ticks of 1/1920 beat.
    static constexpr int kArdourTicksPerBeat = 1920;

    explicit Transport(double sampleRate = 44100.0, double tempo = 120.0);

    // Sample rate and tempo map changes keep the musical position continuous:
    // the beats counted so far stay, the new rate or map applies from the
    // current frame on (a change placed at or before the current position
    // changes the tempo from here, as setTempo does).
    void setSampleRate(double sampleRate);
    // One tempo for the whole song: drops every change scheduled before.
    void setTempo(double beatsPerMinute);
    void setTempoMap(const TempoMap& map);
    // Adds a step (TempoMap::changeAt) or a ramp (TempoMap::rampTo) to the map.
    void scheduleTempo(double beat, double beatsPerMinute);
    void scheduleTempoRamp(double fromBeat, double toBeat, double beatsPerMinute);
    const TempoMap& tempoMap() const { return tempoMap_; }

    // Which kVst...Valid bits the records carry. The fields are filled either
    // way, so only the flags tell a plug-in which of them to trust.
    void setValidFlags(VstInt32 flags);
    // 0 reports the exact position; N rounds ppqPos to the nearest 1/N beat.
    void setPpqTicksPerBeat(int ticksPerBeat);
    // A host that never sets kVstTransportChanged.
    void setReportsChanges(bool reports);

    // Locating while rolling is a discontinuity and flags a change; while
    // stopped only the position moves (the next play flags the change).
    void locateFrames(std::int64_t frame);
    void locateBeats(double beats);
    void play();
    void stop();

    bool playing() const { return playing_; }
    std::int64_t position() const { return position_; }
    double sampleRate() const { return sampleRate_; }
    // The tempo in force at position(), and the frames a beat lasts there.
    double tempo() const;
    double samplesPerBeat() const { return 60.0 * sampleRate_ / tempo(); }
    // Exact musical position of a frame, before any tick rounding.
    double beatsAt(std::int64_t frame) const;
    // The (fractional) frame at which the musical position is `beats`: the
    // inverse of beatsAt.
    double frameAt(double beats) const;

    // One processing block of `frames` frames starting at position(): makes
    // and returns its record, then moves the position on if rolling.
    const VstTimeInfo& nextBlock(VstInt32 frames);
    // The record of the block in progress (before any block: the position now).
    const VstTimeInfo& current() const { return current_; }

private:
    void reanchor();
    double reportedPpq(double beats) const;
    VstTimeInfo recordAt(std::int64_t frame, VstInt32 flags) const;

    double sampleRate_;
    TempoMap tempoMap_;
    VstInt32 validFlags_ = kDefaultValidFlags;
    int ticksPerBeat_ = 0;
    bool reportsChanges_ = true;
    bool playing_ = false;
    bool changePending_ = false;
    std::int64_t position_ = 0;
    // Musical time is counted from the last locate or change of rate or map.
    std::int64_t anchorFrame_ = 0;
    double anchorBeats_ = 0.0;
    VstTimeInfo current_{};
};

} // namespace hostcore
