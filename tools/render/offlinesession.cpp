#include "offlinesession.h"

#include "hosterror.h"
#include "interruptcleanup.h"
#include "render.h"
#include "rendererror.h"

#include <algorithm>
#include <cmath>

namespace pl3render {

namespace {

std::unique_ptr<hostcore::LoadedPlugin> load(const std::string& path, hostcore::Host& host)
{
    try {
        return std::make_unique<hostcore::LoadedPlugin>(path, host);
    } catch (const hostcore::HostError& error) {
        throw RenderError(std::string("plug-in: ") + error.what());
    }
}

// A plug-in that writes nothing leaves the host's buffer as it was: that is
// no text, not the host's fill pattern.
std::string writtenText(const hostcore::TextReply& reply)
{
    return reply.terminated ? reply.text : reply.text.substr(0, reply.touched);
}

} // namespace

OfflineSession::OfflineSession(const std::string& pluginPath, double sampleRate,
                               const SessionSettings& settings)
    : settings_(settings), sampleRate_(sampleRate),
      startFrame_(songFrameOfBeat(settings.startBeat, settings.tempo, sampleRate)),
      plugin_(load(pluginPath, host_))
{
    if (plugin_->effect().numOutputs < 1)
        throw RenderError("plug-in: " + pluginPath + " has no outputs");
    plugin_->startSession(sampleRate, settings_.blockSize);
    configureTransport();
}

std::vector<std::string> OfflineSession::parameterNames()
{
    std::vector<std::string> names;
    for (VstInt32 i = 0; i < plugin_->effect().numParams; ++i)
        names.push_back(writtenText(plugin_->parameterName(i)));
    return names;
}

PluginDescription OfflineSession::describe()
{
    PluginDescription description;
    description.effectName = writtenText(plugin_->effectName());
    description.vendor = writtenText(plugin_->vendorString());
    description.product = writtenText(plugin_->productString());
    description.inputs = plugin_->effect().numInputs;
    description.outputs = plugin_->effect().numOutputs;
    for (VstInt32 i = 0; i < plugin_->effect().numParams; ++i)
        description.parameters.push_back(
            {writtenText(plugin_->parameterName(i)), plugin_->getParameter(i),
             writtenText(plugin_->parameterDisplay(i)), writtenText(plugin_->parameterLabel(i))});
    return description;
}

void OfflineSession::configureTransport()
{
    hostcore::Transport& transport = host_.transport();
    transport.setTempoMap(settings_.tempo);
    VstInt32 flags = hostcore::Transport::kDefaultValidFlags;
    if (!settings_.tempoValid) flags &= ~kVstTempoValid;
    if (!settings_.ppqValid) flags &= ~kVstPpqPosValid;
    transport.setValidFlags(flags);
    transport.locateFrames(startFrame_);
    host_.setTimeInfoAvailable(settings_.timeInfo);
}

std::size_t OfflineSession::prerollFrames() const
{
    return static_cast<std::size_t>(std::llround(settings_.prerollSeconds * sampleRate_));
}

void OfflineSession::preroll(ProgressLine& progress, RenderStats& stats)
{
    const AEffect& effect = plugin_->effect();
    const auto blockSize = static_cast<std::size_t>(settings_.blockSize);
    hostcore::PlanarBuffer silence(effect.numInputs, blockSize);
    hostcore::PlanarBuffer dropped(effect.numOutputs, blockSize);
    for (std::size_t done = 0; done < prerollFrames();) {
        stopIfInterrupted();
        const auto frames = std::min(blockSize, prerollFrames() - done);
        plugin_->process(silence.pointersAt(0), dropped.pointersAt(0),
                         static_cast<VstInt32>(frames));
        done += frames;
        ++stats.prerollBlocks;
        progress.update(done);
    }
}

void OfflineSession::apply(const ScheduledEvent& event, std::size_t blockStart)
{
    hostcore::Transport& transport = host_.transport();
    switch (event.kind) {
    case TimelineEvent::Kind::Parameter:
        plugin_->setParameter(event.parameter, event.value);
        break;
    case TimelineEvent::Kind::Play:
        // Playing from the place on the render clock, as a host plays from
        // where the user located; a play while rolling changes nothing.
        if (!transport.playing()) {
            transport.locateFrames(startFrame_ + static_cast<std::int64_t>(blockStart));
            transport.play();
        }
        break;
    case TimelineEvent::Kind::Stop:
        transport.stop();
        break;
    case TimelineEvent::Kind::Tempo:
        // Nothing to do on the way: the transport follows the whole tempo map
        // from the start, since where every later frame falls in the song
        // depends on the tempi before it.
        break;
    }
}

hostcore::PlanarBuffer OfflineSession::pluginInputs(const hostcore::PlanarBuffer& file) const
{
    hostcore::PlanarBuffer inputs(plugin_->effect().numInputs, file.frames());
    for (int c = 0; c < inputs.channels(); ++c)
        std::copy_n(file.channel(c % file.channels()), file.frames(), inputs.channel(c));
    return inputs;
}

hostcore::PlanarBuffer OfflineSession::render(const hostcore::PlanarBuffer& input,
                                              EventSchedule& schedule, ProgressLine& progress,
                                              RenderStats& stats)
{
    stats.sampleRate = sampleRate_;
    stats.blockSize = settings_.blockSize;
    stats.frames = input.frames();
    stats.events = schedule.size();
    preroll(progress, stats);

    hostcore::PlanarBuffer inputs = pluginInputs(input);
    hostcore::PlanarBuffer outputs(plugin_->effect().numOutputs, input.frames());
    if (schedule.rollsFromStart()) host_.transport().play();
    const auto plan = schedule.blockPlan(input.frames(), settings_.blockSize, settings_.exact);
    const std::size_t before = prerollFrames();
    if (!plan.empty())
        hostcore::render(*plugin_, inputs, outputs, plan, [&](std::size_t frame, VstInt32) {
            stopIfInterrupted();
            for (const ScheduledEvent& event : schedule.takeDue(static_cast<std::int64_t>(frame)))
                apply(event, frame);
            ++stats.blocks;
            progress.update(before + frame);
        });
    stats.eventsApplied = schedule.taken();
    return outputs;
}

} // namespace pl3render
