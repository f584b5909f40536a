// The audio path: transport sync, the capture ring, the beat grid and loop
// playback with the current loop's effect.
//
// Audio thread, real-time: nothing here allocates, locks or blocks.
#include "morvessine3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr VstInt32 kTimeInfoRequest = kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                                      kVstCyclePosValid | kVstTimeSigValid |
                                      kVstTransportChanged | kVstTransportPlaying |
                                      kVstTransportCycleActive;
static_assert(kTimeInfoRequest == 15879);

bool isPositiveFinite(double x)
{
    return std::isfinite(x) && x > 0.0;
}

// Positions beyond this many frames cannot be told apart from their neighbours
// in double precision any more; a host reporting one is not to be followed.
constexpr double kMaxPositionFrames = 9.0e15;

void copyThrough(float** inputs, float** outputs, VstInt32 frames)
{
    for (int channel = 0; channel < 2; ++channel)
        if (inputs[channel] != outputs[channel])
            std::memmove(outputs[channel], inputs[channel], size_t(frames) * sizeof(float));
}
} // namespace

// --- Transport --------------------------------------------------------------

bool Morvessine3::processVstTimeInfo()
{
    const VstTimeInfo* info = getTimeInfo(kTimeInfoRequest);
    if (!info)
        return false;
    const bool playing = (info->flags & kVstTransportPlaying) != 0;
    const double tempo = (info->flags & kVstTempoValid) ? info->tempo : 120.0;
    const double position = (info->flags & kVstPpqPosValid) ? info->ppqPos : 0.0;
    const double beat = 60.0 * info->sampleRate / tempo;

    // A record no beat grid can be built from is treated like no record at all:
    // the block passes through and nothing advances.
    if (!isPositiveFinite(info->sampleRate) || !isPositiveFinite(tempo) ||
        !std::isfinite(position) || !(beat >= 1.0) ||
        !(std::fabs(position * beat) < kMaxPositionFrames) || !(4.0 * beat < kMaxPositionFrames))
        return false;

    if ((info->flags & kVstTransportChanged) || !playing)
        gridRunning = false;
    if ((info->flags & kVstTransportChanged) && playing != hostPlaying && playing)
        sequencerPlay();
    hostPlaying = playing;
    samplesPerBeat = beat;
    ppqPosition = position;
    if (sizesPending) {
        adjustLoopSize();
        sizesPending = false;
    }
    return true;
}

void Morvessine3::sequencerPlay()
{
    if (loopsOn() == 0)
        return;
    phaseCounter = 0.0;
    playPos = 0.0;
    loopWritePos = 0;
    loopRecording = true;
    loopStart = 0;
    loopEnd = currentLoopLength;
    if (Loop* loop = currentLoop) {
        playIncrement = loop->speed;
        reversePlay = loop->reverse;
    }
    capturePending = false;
    stopPending = false;
    changePending = false;
    loopPlaying = true;
}

// --- Render -----------------------------------------------------------------

void Morvessine3::processStupidHost(float** inputs, float** outputs, VstInt32 frames)
{
    copyThrough(inputs, outputs, frames);
}

void Morvessine3::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1])
        return;
    if (frames < 0)
        frames = 0;
    const LoopBuffers* owned = buffers.load(std::memory_order_acquire);
    if (!owned || !processVstTimeInfo()) {
        gridRunning = false;
        processStupidHost(inputs, outputs, frames);
        return;
    }
    if (hostPlaying)
        renderFrames(*owned, inputs, outputs, frames);
    else
        copyThrough(inputs, outputs, frames);
    if (sharedBlock)
        scope.processOscilloscope(*sharedBlock, outputs, frames);
}

// Wraps the play position at the ends of the play range, folds the phase counter
// into one bar, and answers the frame to read. Backward play over an empty range
// would ask for frame -1, so the answer is kept inside the buffer.
int32_t Morvessine3::wrapAndReadIndex(int64_t barLength)
{
    if (!reversePlay) {
        playDirection = 1;
        if (playPos >= loopEnd) {
            passToggle = !passToggle;
            playPos = loopStart;
        } else if (playPos < loopStart) {
            // A change from backward to forward play can land just before the start.
            playPos = loopStart;
        }
        if (phaseCounter > double(barLength))
            phaseCounter -= double(barLength);
    } else {
        playDirection = -1;
        if (playPos < loopStart) {
            passToggle = !passToggle;
            playPos = loopEnd - 1;
        }
        if (phaseCounter < 0.0)
            phaseCounter += double(barLength - 1);
    }
    return std::clamp(int32_t(playPos), 0, loopBufferSize - 1);
}

// Hosts round their musical position (Ardour to 1/1920 beat, others by the
// division ppq = frames / samplesPerBeat itself), so the frame a block starts on
// can miss where the previous block ended by a few frames, and a beat boundary in
// such a gap would be skipped. While the transport rolls on, a position within
// one tick of the expected one is taken to be the expected one.
int64_t Morvessine3::blockStartFrame(double beat) const
{
    const double reported = ppqPosition * beat;
    const double tolerance = beat / 1920.0 + 1.0;
    if (gridRunning && std::fabs(reported - double(nextBlockStart)) <= tolerance)
        return nextBlockStart;
    return std::llround(reported);
}

void Morvessine3::renderFrames(const LoopBuffers& b, float** inputs, float** outputs,
                               VstInt32 frames)
{
    const double beat = samplesPerBeat;
    const auto barLength = int64_t(4.0 * beat);
    const int64_t recordLimit = 2 * barLength;
    const int64_t blockStart = blockStartFrame(beat);
    const auto beatLength = int64_t(beat);
    nextBlockStart = blockStart + frames;
    gridRunning = true;

    for (VstInt32 i = 0; i < frames; ++i) {
        const float inLeft = inputs[0][i];
        const float inRight = inputs[1][i];

        const int32_t written = captureWritePos < captureSize ? captureWritePos : 0;
        b.captureLeft[written] = inLeft;
        b.captureRight[written] = inRight;
        captureWritePos = written + 1;

        const int64_t pos = blockStart + i;
        const int64_t phase = pos % beatLength;
        if (capturePending && beat > double(currentLoopLength) && phase >= 0 &&
            phase < currentLoopLength) {
            copyLoop2(int32_t(phase));
            loopPlaying = true;
            capturePending = false;
            stopPending = false;
        }
        if (phase == 0) {
            if (stopPending) {
                loopPlaying = false;
                stopPending = false;
            }
            if (capturePending) {
                copyLoop();
                loopPlaying = true;
                capturePending = false;
            }
            if (changePending) {
                changeLoop();
                changePending = false;
            }
        }

        if (!loopPlaying) {
            outputs[0][i] = inLeft;
            outputs[1][i] = inRight;
            continue;
        }

        if (loopRecording) {
            if (loopWritePos >= recordLimit)
                loopRecording = false;
            if (loopWritePos < loopBufferSize) {
                b.loopLeft[loopWritePos] = inLeft;
                b.loopRight[loopWritePos] = inRight;
                ++loopWritePos;
            }
            if (loopWritePos >= loopBufferSize)
                loopRecording = false;
        }

        const int32_t index = wrapAndReadIndex(barLength);
        float left = b.loopLeft[index];
        float right = b.loopRight[index];

        double increment = playIncrement;
        if (const Loop* loop = currentLoop; loop && loop->fxOn) {
            switch (loop->fxId) {
            case 0:
                bitReducer(holdIndex, increment, b.loopLeft, b.loopRight, index, left, right);
                if (increment != double(playIncrement))
                    playIncrement = increment;
                break;
            case 1:
                autopan(passToggle, left, right);
                break;
            case 2:
                hipass(hipassState, hipassCoefficient, left, right);
                break;
            case 3:
                phazer(phaser, left, right);
                break;
            default:
                break;
            }
        }
        outputs[0][i] = left;
        outputs[1][i] = right;

        const double step = playDirection * increment;
        playPos += step;
        phaseCounter += step;
    }
}
