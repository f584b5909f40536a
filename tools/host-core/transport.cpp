#include "transport.h"

#include "hosterror.h"

#include <cmath>
#include <string>

namespace hostcore {

namespace {

constexpr double kBeatsPerBar = 4.0;

void requirePositive(double value, const char* what)
{
    if (!(value > 0.0) || !std::isfinite(value))
        throw HostError(HostFailure::BadArgument, std::string("transport ") + what +
                                                      " must be positive, not " +
                                                      std::to_string(value));
}

} // namespace

Transport::Transport(double sampleRate, double tempo) : sampleRate_(sampleRate), tempo_(tempo)
{
    requirePositive(sampleRate, "sample rate");
    requirePositive(tempo, "tempo");
    current_ = recordAt(position_, validFlags_);
}

void Transport::setSampleRate(double sampleRate)
{
    requirePositive(sampleRate, "sample rate");
    reanchor();
    sampleRate_ = sampleRate;
}

void Transport::setTempo(double beatsPerMinute)
{
    requirePositive(beatsPerMinute, "tempo");
    reanchor();
    tempo_ = beatsPerMinute;
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
    anchorBeats_ = static_cast<double>(frame) / samplesPerBeat();
    if (playing_) changePending_ = true;
}

void Transport::locateBeats(double beats)
{
    locateFrames(std::llround(beats * samplesPerBeat()));
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

double Transport::beatsAt(std::int64_t frame) const
{
    return anchorBeats_ + static_cast<double>(frame - anchorFrame_) / samplesPerBeat();
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

double Transport::reportedPpq(std::int64_t frame) const
{
    const double beats = beatsAt(frame);
    if (ticksPerBeat_ == 0) return beats;
    return std::round(beats * ticksPerBeat_) / ticksPerBeat_;
}

VstTimeInfo Transport::recordAt(std::int64_t frame, VstInt32 flags) const
{
    VstTimeInfo info{};
    info.samplePos = static_cast<double>(frame);
    info.sampleRate = sampleRate_;
    info.ppqPos = reportedPpq(frame);
    info.tempo = tempo_;
    info.barStartPos = std::floor(info.ppqPos / kBeatsPerBar) * kBeatsPerBar;
    info.timeSigNumerator = static_cast<VstInt32>(kBeatsPerBar);
    info.timeSigDenominator = 4;
    info.flags = flags;
    return info;
}

} // namespace hostcore
