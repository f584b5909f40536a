// A short crossfade over each place where the output jumps from one stretch of
// audio to another: a capture, a wrap of the play position, a stop, a loop that
// grows at a beat boundary, a restart at transport start.
//
// The fade begins on the frame where the jump happens. For its length the
// material being left goes on (the tail) while the new material fades in;
// from then on the new material plays alone, so the timing of the loop does
// not move. Audio thread only.
#pragma once

#include <algorithm>
#include <cstdint>

struct Crossfade {
    // 64 frames, as hosts use for their own punch recordings; at most an eighth
    // of the loop, so a very short stutter keeps its edge.
    static constexpr int32_t kMaxFrames = 64;
    static constexpr int32_t kLoopShare = 8;

    // What goes on while the new material fades in.
    enum class Tail : uint8_t {
        Live, // the input, when a loop starts from pass-through
        Loop, // the loop buffer read on from where the jump left it
        Held, // frames taken from the loop before a capture or a stop replaced it
    };

    int32_t length = 0; // frames of the fade; none is running once done reaches it
    int32_t done = 0;
    Tail tail = Tail::Live;
    double position = 0.0; // Loop and Held: where the tail reads (Held: the first frame)
    double step = 0.0;     // its signed increment per frame
    int32_t effect = -1;   // Held: the effect of the loop that was left
    float heldLeft[kMaxFrames] = {};
    float heldRight[kMaxFrames] = {};

    static int32_t lengthFor(int32_t loopFrames)
    {
        return std::clamp(loopFrames / kLoopShare, 0, kMaxFrames);
    }
    bool running() const { return done < length; }
    int32_t remaining() const { return length - done; }

    void start(Tail from, int32_t frames)
    {
        tail = from;
        length = frames;
        done = 0;
    }
    void startLoop(double from, double increment, int32_t frames)
    {
        start(Tail::Loop, frames);
        position = from;
        step = increment;
    }
    void stop() { length = done = 0; }

    // The new material's share of the frame being faded: it rises in equal
    // steps and is never 0 or 1 inside the fade.
    float gain() const { return float(done + 1) / float(length + 1); }

    // Mixes the tail's frame into the new material's frame and moves on.
    void mix(float tailLeft, float tailRight, float& left, float& right)
    {
        const float g = gain();
        left = tailLeft + (left - tailLeft) * g;
        right = tailRight + (right - tailRight) * g;
        position += step;
        ++done;
    }
};
