#include "notesfile.h"

#include "numbers.h"
#include "rendererror.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace pl3play {

namespace {

constexpr int kMaxDataByte = 127;

class LineError {
public:
    explicit LineError(std::string message) : message(std::move(message)) {}
    std::string message;
};

std::string withoutComment(const std::string& line)
{
    return line.substr(0, line.find('#'));
}

std::vector<std::string> fieldsOf(const std::string& text)
{
    std::istringstream stream(text);
    std::vector<std::string> fields;
    for (std::string field; stream >> field;)
        fields.push_back(field);
    return fields;
}

double beatIn(const std::string& text)
{
    const auto beat = pl3render::parseDouble(text);
    if (!beat || !(*beat >= 0.0) || *beat > NotesFile::kMaxBeat)
        throw LineError("the beat is a number from 0 to " +
                        pl3render::formatNumber(NotesFile::kMaxBeat) + ", not '" + text + "'");
    return *beat;
}

std::uint8_t dataByteIn(const char* what, const std::string& text)
{
    const auto value = pl3render::parseInteger(text);
    if (!value || *value < 0 || *value > kMaxDataByte)
        throw LineError(std::string("the ") + what + " is a whole number from 0 to " +
                        std::to_string(kMaxDataByte) + ", not '" + text + "'");
    return static_cast<std::uint8_t>(*value);
}

std::uint8_t statusIn(const std::string& text)
{
    if (text == "on") return NotesFile::kNoteOn;
    if (text == "off") return NotesFile::kNoteOff;
    throw LineError("'" + text + "' is neither on nor off");
}

// Empty for a line with nothing but a comment or blanks.
std::optional<TimedNote> noteIn(const std::string& line)
{
    const std::vector<std::string> fields = fieldsOf(withoutComment(line));
    if (fields.empty()) return std::nullopt;
    if (fields.size() < 3 || fields.size() > 4)
        throw LineError("expected '<beat> on|off <note> [velocity]', not '" +
                        std::string(pl3render::trim(line)) + "'");
    TimedNote note;
    note.beat = beatIn(fields[0]);
    note.event.status = statusIn(fields[1]);
    note.event.note = dataByteIn("note", fields[2]);
    const bool on = note.event.status == NotesFile::kNoteOn;
    note.event.velocity = fields.size() == 4
                              ? dataByteIn("velocity", fields[3])
                              : static_cast<std::uint8_t>(on ? NotesFile::kDefaultOnVelocity
                                                             : NotesFile::kDefaultOffVelocity);
    return note;
}

} // namespace

std::vector<TimedNote> parseNotes(std::istream& text, const std::string& name)
{
    std::vector<TimedNote> notes;
    int number = 0;
    for (std::string line; std::getline(text, line);) {
        ++number;
        try {
            if (const auto note = noteIn(line)) notes.push_back(*note);
        } catch (const LineError& error) {
            throw pl3render::UsageError("notes file '" + name + "' line " + std::to_string(number) +
                                        ": " + error.message);
        }
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const TimedNote& a, const TimedNote& b) { return a.beat < b.beat; });
    return notes;
}

std::vector<TimedNote> readNotesFile(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        throw pl3render::RenderError("cannot read notes file '" + path +
                                     "': " + std::strerror(errno));
    return parseNotes(file, path);
}

// A product that should be whole can come out a hair above it; the slack keeps such a beat
// on its own frame rather than the next.
std::int64_t frameOfBeat(double beat, double tempo, int sampleRate)
{
    constexpr double kSlack = 1e-6;
    return static_cast<std::int64_t>(std::ceil(beat * 60.0 * sampleRate / tempo - kSlack));
}

std::vector<ScheduledNote> scheduleNotes(const std::vector<TimedNote>& notes, double tempo,
                                         int sampleRate)
{
    std::vector<ScheduledNote> scheduled;
    for (const TimedNote& note : notes)
        scheduled.push_back({frameOfBeat(note.beat, tempo, sampleRate), note.event});
    return scheduled;
}

} // namespace pl3play
