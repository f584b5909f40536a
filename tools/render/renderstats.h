// What a render did, and the one line that tells the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pl3render {

struct RenderStats {
    std::size_t frames = 0;
    double sampleRate = 0.0;
    std::int32_t blockSize = 0;
    std::size_t blocks = 0;        // process calls over the input
    std::size_t prerollBlocks = 0; // process calls with the transport stopped before it
    std::size_t eventsApplied = 0;
    std::size_t events = 0;
    double secondsTaken = 0.0;
};

std::string formatSummary(const RenderStats& stats, const std::string& output);

} // namespace pl3render
