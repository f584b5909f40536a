// One plug-in in one offline host session: loaded from its .so, started the
// way a real host starts it, then fed the input block by block under the
// simulated transport while the timeline's events are applied between blocks
// (on the same thread, as a host applies automation).
#pragma once

#include "audiobuffer.h"
#include "eventschedule.h"
#include "host.h"
#include "loadedplugin.h"
#include "plugindescription.h"
#include "progressline.h"
#include "renderstats.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pl3render {

struct SessionSettings {
    std::int32_t blockSize = 512;
    hostcore::TempoMap tempo{120.0};
    double startBeat = 0.0;
    double prerollSeconds = 0.0;
    bool exact = false;
    bool tempoValid = true;
    bool ppqValid = true;
    bool timeInfo = true;
};

class OfflineSession {
public:
    // Loads the plug-in and runs the host's start-up sequence at `sampleRate`.
    // Throws RenderError if the plug-in cannot be loaded or has no outputs.
    OfflineSession(const std::string& pluginPath, double sampleRate,
                   const SessionSettings& settings);

    // The names the plug-in reports, index by index.
    std::vector<std::string> parameterNames();
    PluginDescription describe();
    std::size_t prerollFrames() const;

    // Renders `input` (one or two channels, spread over the plug-in's inputs)
    // and returns the plug-in's outputs; `stats` gets the counts.
    hostcore::PlanarBuffer render(const hostcore::PlanarBuffer& input, EventSchedule& schedule,
                                  ProgressLine& progress, RenderStats& stats);

private:
    void configureTransport();
    void preroll(ProgressLine& progress, RenderStats& stats);
    void apply(const ScheduledEvent& event, std::size_t blockStart);
    hostcore::PlanarBuffer pluginInputs(const hostcore::PlanarBuffer& file) const;

    SessionSettings settings_;
    double sampleRate_;
    std::int64_t startFrame_;
    hostcore::Host host_;
    std::unique_ptr<hostcore::LoadedPlugin> plugin_;
};

} // namespace pl3render
