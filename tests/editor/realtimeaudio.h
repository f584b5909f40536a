// What the tests that render in real time on a thread of their own share: the
// class hosts give their audio threads, and an input that differs block by block.
#pragma once

#include "audiobuffer.h"

#include <cmath>
#include <cstdint>
#include <pthread.h>
#include <sched.h>

namespace realtimeaudio {

// What hosts do for their audio threads where the system lets them (JACK, and
// Ardour on its own engine): the first-in first-out real-time class.
inline bool raiseToRealTimePriority()
{
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter) == 0;
}

// Block number `block` of a sine at half scale, the same on both channels.
inline void fillSine(hostcore::PlanarBuffer& input, uint32_t block)
{
    const auto frames = uint32_t(input.frames());
    for (uint32_t i = 0; i < frames; ++i)
        input.at(0, i) = input.at(1, i) = std::sin(float(block * frames + i) * 0.01f) * 0.5f;
}

} // namespace realtimeaudio
