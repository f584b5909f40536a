// The timeline: parameter changes and transport events at positions in beats.
//
// One event is written NAME=VALUE@BEAT (a parameter by the name the plug-in
// reports, or by its index), tempo=BPM@BEAT, play@BEAT or stop@BEAT. A
// timeline file holds one event per line; '#' starts a comment, blank lines are skipped, and a
// comment after an event is kept with it as its note (a plot labels the event with it). Parsing
// needs no plug-in: names are resolved later (ParameterTable).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pl3render {

// Beyond this a tempo is a typing mistake: a beat would last a few dozen
// frames.
constexpr double kMaxTempo = 1000.0;

struct TimelineEvent {
    enum class Kind { Parameter, Play, Stop, Tempo };

    Kind kind = Kind::Parameter;
    std::string parameter; // as written: a name or a decimal index
    float value = 0.0f;    // 0..1, parameters only
    double tempo = 0.0;    // beats per minute from `beat` on, tempo changes only
    double beat = 0.0;     // from the song start
    std::string origin;    // where it was written, for messages: "event 2", "x.timeline:7"
    std::string note;      // the comment on its line in a file

    // Where an event came from and what was said about it is not what it is.
    bool operator==(const TimelineEvent& other) const
    {
        return kind == other.kind && parameter == other.parameter && value == other.value &&
               tempo == other.tempo && beat == other.beat;
    }
};

// Throws RenderError "ORIGIN: 'TEXT': why" for anything that is not an event.
TimelineEvent parseEvent(std::string_view text, const std::string& origin);

// `name` labels the lines in messages ("NAME:LINE").
std::vector<TimelineEvent> parseTimeline(std::string_view fileText, const std::string& name);
// Reads and parses a timeline file; a file that cannot be read is a RenderError.
std::vector<TimelineEvent> readTimelineFile(const std::string& path);

// The event alone, without its note.
std::string formatEvent(const TimelineEvent& event);
// A whole file that parseTimeline reads back as the same events, notes too.
std::string formatTimeline(const std::vector<TimelineEvent>& events);

// Events apply in position order; those at one position in the order given.
void sortByPosition(std::vector<TimelineEvent>& events);

} // namespace pl3render
