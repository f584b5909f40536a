#include "rendertool.h"

#include "audiofile.h"
#include "offlinesession.h"
#include "parametertable.h"
#include "pluginpath.h"
#include "temporaryfile.h"

#include <chrono>

namespace pl3render {

namespace {

SessionSettings sessionSettings(const CommandLine& c, const hostcore::TempoMap& tempo)
{
    SessionSettings settings;
    settings.blockSize = c.blockSize;
    settings.tempo = tempo;
    settings.startBeat = c.startBeat;
    settings.prerollSeconds = c.prerollSeconds;
    settings.exact = c.exact;
    settings.tempoValid = c.tempoValid;
    settings.ppqValid = c.ppqValid;
    settings.timeInfo = c.timeInfo;
    return settings;
}

void writeTimelineFile(const std::string& path, const std::vector<TimelineEvent>& events)
{
    TemporaryFile file(path);
    file.writeText(formatTimeline(events));
    file.commit();
}

std::string pluginPath(const CommandLine& c)
{
    return c.plugin.empty() ? defaultPluginPath() : c.plugin;
}

// Any rate will do: names and values do not depend on it.
void listParameters(const std::string& path, std::FILE* out)
{
    OfflineSession session(path, 44100.0, SessionSettings{});
    std::fputs(formatDescription(session.describe()).c_str(), out);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

std::vector<TimelineEvent> gatherTimeline(const CommandLine& commandLine)
{
    std::vector<TimelineEvent> events;
    for (const std::string& path : commandLine.timelineFiles) {
        std::vector<TimelineEvent> fromFile = readTimelineFile(path);
        events.insert(events.end(), fromFile.begin(), fromFile.end());
    }
    events.insert(events.end(), commandLine.events.begin(), commandLine.events.end());
    sortByPosition(events);
    return events;
}

void runRenderTool(const CommandLine& c, std::FILE* out, std::FILE* terminal)
{
    const auto started = std::chrono::steady_clock::now();
    if (c.listParameters) listParameters(pluginPath(c), out);
    const std::vector<TimelineEvent> events = gatherTimeline(c);
    if (!c.writeTimeline.empty()) writeTimelineFile(c.writeTimeline, events);
    if (!c.renders()) return;

    // Everything that can fail before the long part fails before any output
    // file exists.
    const int format = outputFormatFor(c.output);
    const AudioData audio = readAudioFile(c.input);
    const hostcore::TempoMap tempo = tempoMapOf(events, c.tempo);
    OfflineSession session(pluginPath(c), audio.sampleRate, sessionSettings(c, tempo));
    const ParameterTable parameters(session.parameterNames());
    EventSchedule schedule(events, parameters, tempo, audio.sampleRate, c.startBeat);
    TemporaryFile output(c.output);

    ProgressLine progress(terminal, !c.quiet && ProgressLine::onTerminal(terminal),
                          session.prerollFrames() + audio.samples.frames(), audio.sampleRate);
    RenderStats stats;
    const hostcore::PlanarBuffer rendered =
        session.render(audio.samples, schedule, progress, stats);
    writeAudioFile(output.releaseDescriptor(), c.output, rendered, audio.sampleRate, format);
    output.commit();
    progress.finish();

    stats.secondsTaken = secondsSince(started);
    if (!c.quiet) std::fprintf(out, "%s\n", formatSummary(stats, c.output).c_str());
}

} // namespace pl3render
