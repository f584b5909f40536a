#include "timeline.h"

#include "numbers.h"
#include "rendererror.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace pl3render {

namespace {

constexpr std::string_view kShape =
    "expected NAME=VALUE@BEAT, tempo=BPM@BEAT, play@BEAT or stop@BEAT";

[[noreturn]] void reject(const std::string& origin, std::string_view text, const std::string& why)
{
    throw RenderError(origin + ": '" + std::string(text) + "': " + why);
}

// Quotes are allowed around a name with a space, as a shell user would write it.
std::string_view unquoted(std::string_view name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return trim(name.substr(1, name.size() - 2));
    return name;
}

double parsePosition(std::string_view position, std::string_view text, const std::string& origin)
{
    if (position.empty()) reject(origin, text, "no position after '@'");
    const auto beat = parseDouble(position);
    if (!beat) reject(origin, text, "position '" + std::string(position) + "' is not a number");
    if (*beat < 0.0)
        reject(origin, text, "position " + std::string(position) + " is before the song start");
    return *beat;
}

float parseValue(std::string_view value, std::string_view text, const std::string& origin)
{
    if (value.empty()) reject(origin, text, "no value after '='");
    const auto parsed = parseFloat(value);
    if (!parsed) reject(origin, text, "value '" + std::string(value) + "' is not a number");
    if (*parsed < 0.0f || *parsed > 1.0f)
        reject(origin, text, "value " + std::string(value) + " is outside 0..1");
    return *parsed;
}

double parseTempo(std::string_view tempo, std::string_view text, const std::string& origin)
{
    if (tempo.empty()) reject(origin, text, "no tempo after '='");
    const auto parsed = parseDouble(tempo);
    if (!parsed) reject(origin, text, "tempo '" + std::string(tempo) + "' is not a number");
    if (*parsed <= 0.0 || *parsed > kMaxTempo)
        reject(origin, text,
               "tempo " + std::string(tempo) + " must be above 0 and at most " +
                   formatNumber(kMaxTempo) + " BPM");
    return *parsed;
}

TimelineEvent parseAction(std::string_view action, std::string_view text, const std::string& origin)
{
    TimelineEvent event;
    const auto equals = action.find('=');
    if (equals == std::string_view::npos) {
        if (action == "play")
            event.kind = TimelineEvent::Kind::Play;
        else if (action == "stop")
            event.kind = TimelineEvent::Kind::Stop;
        else
            reject(origin, text, std::string(kShape));
        return event;
    }
    const std::string_view written = trim(action.substr(0, equals));
    const std::string_view setting = trim(action.substr(equals + 1));
    // A plug-in parameter called tempo is still reachable in quotes.
    if (written == "tempo") {
        event.kind = TimelineEvent::Kind::Tempo;
        event.tempo = parseTempo(setting, text, origin);
        return event;
    }
    const std::string_view name = unquoted(written);
    if (name.empty()) reject(origin, text, "no parameter before '='");
    event.parameter = std::string(name);
    event.value = parseValue(setting, text, origin);
    return event;
}

std::string_view withoutComment(std::string_view line)
{
    return line.substr(0, line.find('#'));
}

std::string_view commentOf(std::string_view line)
{
    const auto hash = line.find('#');
    return hash == std::string_view::npos ? std::string_view() : trim(line.substr(hash + 1));
}

} // namespace

TimelineEvent parseEvent(std::string_view text, const std::string& origin)
{
    text = trim(text);
    const auto at = text.rfind('@');
    if (at == std::string_view::npos) reject(origin, text, "no position: " + std::string(kShape));
    TimelineEvent event = parseAction(trim(text.substr(0, at)), text, origin);
    event.beat = parsePosition(trim(text.substr(at + 1)), text, origin);
    event.origin = origin;
    return event;
}

std::vector<TimelineEvent> parseTimeline(std::string_view fileText, const std::string& name)
{
    std::vector<TimelineEvent> events;
    std::size_t lineNumber = 0;
    while (!fileText.empty()) {
        const auto newline = fileText.find('\n');
        const std::string_view line = fileText.substr(0, newline);
        fileText.remove_prefix(newline == std::string_view::npos ? fileText.size() : newline + 1);
        ++lineNumber;
        const std::string_view content = trim(withoutComment(line));
        if (content.empty()) continue;
        events.push_back(parseEvent(content, name + ":" + std::to_string(lineNumber)));
        events.back().note = std::string(commentOf(line));
    }
    return events;
}

std::vector<TimelineEvent> readTimelineFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw RenderError("cannot read timeline '" + path + "': " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw RenderError("cannot read timeline '" + path + "'");
    return parseTimeline(text.str(), path);
}

std::string formatEvent(const TimelineEvent& event)
{
    std::string text;
    switch (event.kind) {
    case TimelineEvent::Kind::Play:
        text = "play";
        break;
    case TimelineEvent::Kind::Stop:
        text = "stop";
        break;
    case TimelineEvent::Kind::Tempo:
        text = "tempo=" + formatNumber(event.tempo);
        break;
    case TimelineEvent::Kind::Parameter:
        text = event.parameter;
        text += '=';
        text += formatNumber(event.value);
        break;
    }
    text += '@';
    text += formatNumber(event.beat);
    return text;
}

std::string formatTimeline(const std::vector<TimelineEvent>& events)
{
    std::string text =
        "# pravolindel3-render timeline: NAME=VALUE@BEAT, tempo=BPM@BEAT, play@BEAT, "
        "stop@BEAT\n";
    for (const TimelineEvent& event : events) {
        text += formatEvent(event);
        if (!event.note.empty()) text += "  # " + event.note;
        text += '\n';
    }
    return text;
}

void sortByPosition(std::vector<TimelineEvent>& events)
{
    std::stable_sort(
        events.begin(), events.end(),
        [](const TimelineEvent& a, const TimelineEvent& b) { return a.beat < b.beat; });
}

} // namespace pl3render
