// A host's transport as a plug-in sees it: a song position in 64-bit frames,
// a tempo, play/stop, and per processing block the time information record a
// real host would hand out for that block.
//
// Owned by the thread that drives processing: the host callback reads
// current() while that thread is inside the plug-in's process entry.
#pragma once

#include "hosterror.h" // bad settings are refused with HostError(BadArgument)
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

    // Tempo and sample rate changes keep the musical position continuous: the
    // beats counted so far stay, the new rate applies from the current frame.
    void setSampleRate(double sampleRate);
    void setTempo(double beatsPerMinute);

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
    double tempo() const { return tempo_; }
    double samplesPerBeat() const { return 60.0 * sampleRate_ / tempo_; }
    // Exact musical position of a frame, before any tick rounding.
    double beatsAt(std::int64_t frame) const;

    // One processing block of `frames` frames starting at position(): makes
    // and returns its record, then moves the position on if rolling.
    const VstTimeInfo& nextBlock(VstInt32 frames);
    // The record of the block in progress (before any block: the position now).
    const VstTimeInfo& current() const { return current_; }

private:
    void reanchor();
    double reportedPpq(std::int64_t frame) const;
    VstTimeInfo recordAt(std::int64_t frame, VstInt32 flags) const;

    double sampleRate_;
    double tempo_;
    VstInt32 validFlags_ = kDefaultValidFlags;
    int ticksPerBeat_ = 0;
    bool reportsChanges_ = true;
    bool playing_ = false;
    bool changePending_ = false;
    std::int64_t position_ = 0;
    // Musical time is counted from the last tempo, rate or locate change.
    std::int64_t anchorFrame_ = 0;
    double anchorBeats_ = 0.0;
    VstTimeInfo current_{};
};

} // namespace hostcore
