#include "renderstats.h"

#include <algorithm>
#include <cstdio>

namespace pl3render {

namespace {

// Below this a render is too quick to give a meaningful speed.
constexpr double kShortestTiming = 1e-6;

std::string printed(const char* format, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string blocksText(const RenderStats& stats)
{
    std::string text =
        std::to_string(stats.blocks) + " blocks of " + std::to_string(stats.blockSize);
    if (stats.prerollBlocks)
        text += " after " + std::to_string(stats.prerollBlocks) + " pre-roll blocks";
    return text;
}

} // namespace

std::string formatSummary(const RenderStats& stats, const std::string& output)
{
    const double seconds = stats.sampleRate > 0 ? stats.frames / stats.sampleRate : 0.0;
    const double taken = std::max(stats.secondsTaken, kShortestTiming);
    return "pravolindel3-render: wrote " + output + ": " + std::to_string(stats.frames) +
           " frames (" + printed("%.2f", seconds) + " s at " + printed("%.0f", stats.sampleRate) +
           " Hz) in " + blocksText(stats) + ", " + std::to_string(stats.eventsApplied) + " of " +
           std::to_string(stats.events) + " events applied, " +
           printed("%.2f", stats.secondsTaken) + " s taken, " + printed("%.1f", seconds / taken) +
           "x realtime";
}

} // namespace pl3render
