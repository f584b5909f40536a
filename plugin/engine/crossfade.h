// A short crossfade over each place where the output jumps from one stretch of
// audio to another: a capture, a wrap of the play position, a stop, a loop that
// grows at a beat boundary, a restart at transport start.
//
// The fade begins on the frame where the jump happens. For its length the
// material being left goes on (the tail) while the new material fades in;
// from then on the new material plays alone, so the timing of the loop does
// not move. Audio thread only.
#pragma once

#include "vst24.h"

#include <algorithm>
#include <cstdint>

// The loop's material as playback hears it, and the block's input.
struct LoopReader {
    const float* inLeft;
    const float* inRight;
    const float* loopLeft;
    const float* loopRight;
    const float* ringLeft;
    const float* ringRight;
    int32_t ringSize;
    // Loop frames [copiedFrames, copyFrames) of a capture are still in the ring,
    // at copyStart + frame.
    int32_t copyStart;
    int32_t copiedFrames;
    int32_t copyFrames;
    int32_t loopBufferSize;
    int32_t writePos; // the loop frames below it hold material

    [[gnu::always_inline]] void live(VstInt32 i, float& left, float& right) const
    {
        left = inLeft[i];
        right = inRight[i];
    }

    [[gnu::always_inline]] void frameAt(int32_t index, float& left, float& right) const
    {
        if (index >= copiedFrames && index < copyFrames) {
            int32_t ringIndex = copyStart + index;
            if (ringIndex >= ringSize) ringIndex -= ringSize;
            left = ringLeft[ringIndex];
            right = ringRight[ringIndex];
            return;
        }
        left = loopLeft[index];
        right = loopRight[index];
    }

    // The loop frame for output frame i. A frame the recording has not reached
    // yet has no material: a loop that starts from the beat on, or from the
    // transport start, and plays faster or backwards than the input arrives
    // lets the input itself be heard until the recording catches up.
    [[gnu::always_inline]] void read(int32_t index, VstInt32 i, float& left, float& right) const
    {
        if (index >= writePos)
            live(i, left, right);
        else
            frameAt(index, left, right);
    }

    [[gnu::always_inline]] int32_t indexOf(double position) const
    {
        return std::clamp(int32_t(position), 0, loopBufferSize - 1);
    }
};

struct Crossfade {
    // 64 frames, as hosts use for their own punch recordings; at most an eighth
    // of the loop, so a very short stutter keeps its edge.
    static constexpr int32_t kMaxFrames = 64;
    static constexpr int32_t kLoopShare = 8;

    // What goes on while the new material fades in.
    enum class Tail : uint8_t {
        Live, // the input, when a loop starts from pass-through
        Loop, // the loop read on from where the jump left it
        Held, // frames worked out when the jump happened
    };

    int32_t length = 0; // frames of the fade; none is running once done reaches it
    int32_t done = 0;
    Tail tail = Tail::Live;
    double position = 0.0; // Loop: where the tail reads next; Held: where it started
    double step = 0.0;     // its signed increment per frame
    int32_t effect = -1;   // Held after a stop: the effect of the loop that was left
    float heldLeft[kMaxFrames] = {};
    float heldRight[kMaxFrames] = {};
    float heldLive[kMaxFrames] = {}; // the share of the input heard with each held frame

    static int32_t lengthFor(int32_t loopFrames)
    {
        return std::clamp(loopFrames / kLoopShare, 0, kMaxFrames);
    }
    bool running() const { return done < length; }
    int32_t remaining() const { return length - done; }
    // Nothing of this fade has been heard: it began on the frame being made.
    bool justBegun() const { return running() && done == 0; }

    void startLive(int32_t frames) { start(Tail::Live, frames, 0.0, 0.0); }
    void startLoop(double from, double increment, int32_t frames)
    {
        start(Tail::Loop, frames, from, increment);
    }
    void stop() { length = done = 0; }

    // The tail's frame for output frame i.
    void tailFrame(const LoopReader& reader, VstInt32 i, float& left, float& right) const
    {
        float live;
        tailParts(reader, 0, left, right, live);
        if (live == 0.0f) return;
        float inLeft;
        float inRight;
        reader.live(i, inLeft, inRight);
        left += live * inLeft;
        right += live * inRight;
    }

    // Mixes the tail's frame into the new material's frame and moves on. The new
    // material's share rises in equal steps and is never 0 or 1 inside the fade.
    void mix(float tailLeft, float tailRight, float& left, float& right)
    {
        const float g = gainAt(0);
        left = tailLeft + (left - tailLeft) * g;
        right = tailRight + (right - tailRight) * g;
        if (tail == Tail::Loop) position += step;
        ++done;
    }

    // A jump while a fade still runs: what the output would have gone on with,
    // `frames` frames of the main material (the loop read on from `from` by
    // `increment`, or the input) with the running fade mixed in, becomes the
    // tail of the new fade, so the old one ends without a step. The input's
    // share is kept apart and taken when its frame is heard, so the tail is the
    // same whatever the block size.
    void holdContinuation(const LoopReader& reader, bool mainIsLive, double from, double increment,
                          int32_t frames)
    {
        float left[kMaxFrames];
        float right[kMaxFrames];
        float live[kMaxFrames];
        for (int32_t k = 0; k < frames; ++k) {
            if (mainIsLive) {
                left[k] = right[k] = 0.0f;
                live[k] = 1.0f;
            } else {
                loopParts(reader, reader.indexOf(from + k * increment), left[k], right[k], live[k]);
            }
            if (k >= remaining()) continue;
            float tailLeft;
            float tailRight;
            float tailLive;
            tailParts(reader, k, tailLeft, tailRight, tailLive);
            const float g = gainAt(k);
            left[k] = tailLeft + (left[k] - tailLeft) * g;
            right[k] = tailRight + (right[k] - tailRight) * g;
            live[k] = tailLive + (live[k] - tailLive) * g;
        }
        std::copy(left, left + frames, heldLeft);
        std::copy(right, right + frames, heldRight);
        std::copy(live, live + frames, heldLive);
        start(Tail::Held, frames, from, increment);
    }

private:
    // A loop frame as a part known now and the input's share: a frame the
    // recording has not reached is the input heard at that time.
    static void loopParts(const LoopReader& reader, int32_t index, float& left, float& right,
                          float& live)
    {
        if (index >= reader.writePos) {
            left = right = 0.0f;
            live = 1.0f;
            return;
        }
        reader.frameAt(index, left, right);
        live = 0.0f;
    }

    // The tail's frame k frames after the one being made, in those two parts.
    void tailParts(const LoopReader& reader, int32_t k, float& left, float& right,
                   float& live) const
    {
        switch (tail) {
        case Tail::Live:
            left = right = 0.0f;
            live = 1.0f;
            break;
        case Tail::Loop:
            loopParts(reader, reader.indexOf(position + k * step), left, right, live);
            break;
        case Tail::Held:
        default:
            left = heldLeft[done + k];
            right = heldRight[done + k];
            live = heldLive[done + k];
            break;
        }
    }

    float gainAt(int32_t k) const { return float(done + k + 1) / float(length + 1); }

    void start(Tail from, int32_t frames, double at, double increment)
    {
        tail = from;
        length = frames;
        done = 0;
        position = at;
        step = increment;
    }
};
