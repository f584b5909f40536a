// The timeline placed on the input's frames: each event gets the frame of
// the render it is due at, parameters their indices. The session asks it,
// before every block, for the events due at that block's first frame. Beats
// become frames through the song's tempo map, the one the transport follows.
#pragma once

#include "parametertable.h"
#include "tempomap.h"
#include "timeline.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pl3render {

struct ScheduledEvent {
    TimelineEvent::Kind kind;
    int parameter; // index; parameters only
    float value;
    std::int64_t frame; // from the input's first frame; events before it are due at 0
};

class EventSchedule {
public:
    // `events` in position order; `startBeat` is the song position of the
    // input's first frame. Throws RenderError for a parameter the table lacks.
    EventSchedule(const std::vector<TimelineEvent>& events, const ParameterTable& parameters,
                  const hostcore::TempoMap& tempo, double sampleRate, double startBeat);

    std::size_t size() const { return events_.size(); }
    const std::vector<ScheduledEvent>& events() const { return events_; }

    // The transport rolls from the first frame unless the first transport
    // event on the timeline is a play.
    bool rollsFromStart() const;

    // Block sizes covering `frames` on the grid of `blockSize`, the last block
    // cut; with `splitAtEvents` a block also ends where an event is due, so
    // the event lands on its own frame.
    std::vector<std::int32_t> blockPlan(std::size_t frames, std::int32_t blockSize,
                                        bool splitAtEvents) const;

    // The events not yet taken that are due at or before `frame`: a change
    // applies before the first block that starts at or after its position.
    std::span<const ScheduledEvent> takeDue(std::int64_t frame);
    std::size_t taken() const { return next_; }

private:
    std::vector<ScheduledEvent> events_;
    std::size_t next_ = 0;
};

// The song's tempo map: `tempo` from the start, then a step at each tempo
// event (of several at one position the last given).
hostcore::TempoMap tempoMapOf(const std::vector<TimelineEvent>& events, double tempo);

// The frame of a song position counted from the song start, as the transport
// locates to it.
std::int64_t songFrameOfBeat(double beat, const hostcore::TempoMap& tempo, double sampleRate);
// The frame of a song position, counted from the song position `startBeat`.
std::int64_t frameOfBeat(double beat, double startBeat, const hostcore::TempoMap& tempo,
                         double sampleRate);

} // namespace pl3render
