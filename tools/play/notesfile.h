// The notes file of --midi-file: timed MIDI notes for rehearsals and tests, one per line,
//   <beat> on|off <note> [velocity]
// with '#' starting a comment and blank lines left out. Beats count from the song start (beat
// 0 is frame 0) at the session's tempo; notes go out on channel 1, in beat order, notes on the
// same beat in the order of the file.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace pl3play {

// A note-on or note-off as MIDI sends it.
struct NoteEvent {
    std::uint8_t status = 0;
    std::uint8_t note = 0;
    std::uint8_t velocity = 0;
};

struct TimedNote {
    double beat = 0.0;
    NoteEvent event;
};

struct ScheduledNote {
    std::int64_t frame = 0;
    NoteEvent event;
};

struct NotesFile {
    static constexpr std::uint8_t kNoteOn = 0x90;
    static constexpr std::uint8_t kNoteOff = 0x80;
    static constexpr int kDefaultOnVelocity = 100;
    static constexpr int kDefaultOffVelocity = 64;
    static constexpr double kMaxBeat = 1e7;
};

// The notes of `text`, sorted by beat. `name` is the file named in diagnostics. Throws
// pl3render::UsageError naming the file and the line for the first malformed line.
std::vector<TimedNote> parseNotes(std::istream& text, const std::string& name);
// Throws pl3render::RenderError if the file cannot be read, else as parseNotes.
std::vector<TimedNote> readNotesFile(const std::string& path);

// The first frame whose song position reaches `beat`: the frame on which the host's beat grid
// puts it.
std::int64_t frameOfBeat(double beat, double tempo, int sampleRate);
std::vector<ScheduledNote> scheduleNotes(const std::vector<TimedNote>& notes, double tempo,
                                         int sampleRate);

} // namespace pl3play
