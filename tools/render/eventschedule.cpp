#include "eventschedule.h"

#include "rendererror.h"

#include <algorithm>
#include <cmath>

namespace pl3render {

namespace {

ScheduledEvent place(const TimelineEvent& event, const ParameterTable& parameters,
                     const hostcore::TempoMap& tempo, double sampleRate, double startBeat)
{
    int parameter = -1;
    if (event.kind == TimelineEvent::Kind::Parameter) {
        try {
            parameter = parameters.resolve(event.parameter);
        } catch (const RenderError& error) {
            throw RenderError(event.origin + ": '" + formatEvent(event) + "': " + error.what());
        }
    }
    const std::int64_t frame =
        std::max<std::int64_t>(0, frameOfBeat(event.beat, startBeat, tempo, sampleRate));
    return {event.kind, parameter, event.value, frame};
}

} // namespace

hostcore::TempoMap tempoMapOf(const std::vector<TimelineEvent>& events, double tempo)
{
    hostcore::TempoMap map(tempo);
    for (const TimelineEvent& event : events)
        if (event.kind == TimelineEvent::Kind::Tempo) map.changeAt(event.beat, event.tempo);
    return map;
}

std::int64_t songFrameOfBeat(double beat, const hostcore::TempoMap& tempo, double sampleRate)
{
    return std::llround(tempo.secondsBetween(0.0, beat) * sampleRate);
}

std::int64_t frameOfBeat(double beat, double startBeat, const hostcore::TempoMap& tempo,
                         double sampleRate)
{
    // Both positions are rounded the way the transport locates to a beat, so
    // an event at the start position is due on the first frame exactly.
    return songFrameOfBeat(beat, tempo, sampleRate) - songFrameOfBeat(startBeat, tempo, sampleRate);
}

EventSchedule::EventSchedule(const std::vector<TimelineEvent>& events,
                             const ParameterTable& parameters, const hostcore::TempoMap& tempo,
                             double sampleRate, double startBeat)
{
    events_.reserve(events.size());
    for (const TimelineEvent& event : events)
        events_.push_back(place(event, parameters, tempo, sampleRate, startBeat));
}

bool EventSchedule::rollsFromStart() const
{
    const auto transport = std::find_if(events_.begin(), events_.end(), [](const auto& event) {
        return event.kind != TimelineEvent::Kind::Parameter;
    });
    return transport == events_.end() || transport->kind != TimelineEvent::Kind::Play;
}

std::vector<std::int32_t> EventSchedule::blockPlan(std::size_t frames, std::int32_t blockSize,
                                                   bool splitAtEvents) const
{
    // Blocks keep the host's regular grid; an exact plan only adds the event
    // frames to it, as a host splitting its cycle for automation does.
    const auto size = static_cast<std::size_t>(blockSize);
    std::vector<std::int32_t> sizes;
    auto event = events_.begin();
    for (std::size_t frame = 0; frame < frames;) {
        std::size_t end = std::min(frames, (frame / size + 1) * size);
        if (splitAtEvents) {
            while (event != events_.end() && static_cast<std::size_t>(event->frame) <= frame)
                ++event;
            if (event != events_.end()) end = std::min(end, static_cast<std::size_t>(event->frame));
        }
        sizes.push_back(static_cast<std::int32_t>(end - frame));
        frame = end;
    }
    return sizes;
}

std::span<const ScheduledEvent> EventSchedule::takeDue(std::int64_t frame)
{
    const std::size_t first = next_;
    while (next_ < events_.size() && events_[next_].frame <= frame)
        ++next_;
    return std::span<const ScheduledEvent>(events_).subspan(first, next_ - first);
}

} // namespace pl3render
