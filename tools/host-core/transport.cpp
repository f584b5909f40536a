#include "transport.h"

#include "hosterror.h"

#include <cmath>
#include <string>

namespace hostcore {

namespace {

constexpr double kBeatsPerBar = 4.0;

void requirePositiveRate(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
        throw HostError(HostFailure::BadArgument, "transport sample rate must be positive, not " +
                                                      std::to_string(sampleRate));
}

} // namespace

Transport::Transport(double sampleRate, double tempo) : sampleRate_(sampleRate), tempoMap_(tempo)
{
    requirePositiveRate(sampleRate);
    current_ = recordAt(position_, validFlags_);
}

void Transport::setSampleRate(double sampleRate)
{
    requirePositiveRate(sampleRate);
    reanchor();
    sampleRate_ = sampleRate;
}

void Transport::setTempo(double beatsPerMinute)
{
    setTempoMap(TempoMap(beatsPerMinute));
}

void Transport::setTempoMap(const TempoMap& map)
{
    reanchor();
    tempoMap_ = map;
}

void Transport::scheduleTempo(double beat, double beatsPerMinute)
{
    reanchor();
    tempoMap_.changeAt(beat, beatsPerMinute);
}

void Transport::scheduleTempoRamp(double fromBeat, double toBeat, double beatsPerMinute)
{
    reanchor();
    tempoMap_.rampTo(fromBeat, toBeat, beatsPerMinute);
}

void Transport::setValidFlags(VstInt32 flags)
{
    validFlags_ = flags;
}

void Transport::setPpqTicksPerBeat(int ticksPerBeat)
{
    if (ticksPerBeat < 0)
        throw HostError(HostFailure::BadArgument, "ticks per beat must not be negative");
    ticksPerBeat_ = ticksPerBeat;
}

void Transport::setReportsChanges(bool reports)
{
    reportsChanges_ = reports;
}

void Transport::locateFrames(std::int64_t frame)
{
    if (frame < 0)
        throw HostError(HostFailure::BadArgument,
                        "cannot locate to negative frame " + std::to_string(frame));
    position_ = frame;
    anchorFrame_ = frame;
    anchorBeats_ = tempoMap_.beatAfter(0.0, static_cast<double>(frame) / sampleRate_);
    if (playing_) changePending_ = true;
}

void Transport::locateBeats(double beats)
{
    locateFrames(std::llround(tempoMap_.secondsBetween(0.0, beats) * sampleRate_));
}

void Transport::play()
{
    if (!playing_) changePending_ = true;
    playing_ = true;
}

void Transport::stop()
{
    if (playing_) changePending_ = true;
    playing_ = false;
}

double Transport::tempo() const
{
    return tempoMap_.tempoAt(beatsAt(position_));
}

double Transport::beatsAt(std::int64_t frame) const
{
    return tempoMap_.beatAfter(anchorBeats_,
                               static_cast<double>(frame - anchorFrame_) / sampleRate_);
}

double Transport::frameAt(double beats) const
{
    return static_cast<double>(anchorFrame_) +
           tempoMap_.secondsBetween(anchorBeats_, beats) * sampleRate_;
}

const VstTimeInfo& Transport::nextBlock(VstInt32 frames)
{
    if (frames < 0)
        throw HostError(HostFailure::BadArgument, "block of " + std::to_string(frames) + " frames");
    VstInt32 flags = validFlags_;
    if (playing_) flags |= kVstTransportPlaying;
    if (changePending_ && reportsChanges_) flags |= kVstTransportChanged;
    changePending_ = false;
    current_ = recordAt(position_, flags);
    if (playing_) position_ += frames;
    return current_;
}

void Transport::reanchor()
{
    anchorBeats_ = beatsAt(position_);
    anchorFrame_ = position_;
}

double Transport::reportedPpq(double beats) const
{
    if (ticksPerBeat_ == 0) return beats;
    return std::round(beats * ticksPerBeat_) / ticksPerBeat_;
}

VstTimeInfo Transport::recordAt(std::int64_t frame, VstInt32 flags) const
{
    const double beats = beatsAt(frame);
    VstTimeInfo info{};
    info.samplePos = static_cast<double>(frame);
    info.sampleRate = sampleRate_;
    info.ppqPos = reportedPpq(beats);
    info.tempo = tempoMap_.tempoAt(beats);
    info.barStartPos = std::floor(info.ppqPos / kBeatsPerBar) * kBeatsPerBar;
    info.timeSigNumerator = static_cast<VstInt32>(kBeatsPerBar);
    info.timeSigDenominator = 4;
    info.flags = flags;
    return info;
}

} // namespace hostcore
