// MIDI notes that play the editor's twelve buttons, on any channel: the notes
// from kFirstHoldNote hold a button while they are held, the twelve above them
// toggle it at each press.
//
// Audio thread, real-time: hosts send the events of a block through
// processEvents just before its processReplacing. Nothing here allocates,
// locks or blocks.
#pragma once

#include "parameters.h"
#include "vst24.h"

#include <cstdint>
#include <iterator>
#include <optional>

namespace notes {

// The buttons in note order: Loop1..4, FX1..4, rev1..4.
inline constexpr int kButtonParameters[] = {
    parameters::indexOf(parameters::kLoop, 0), parameters::indexOf(parameters::kLoop, 1),
    parameters::indexOf(parameters::kLoop, 2), parameters::indexOf(parameters::kLoop, 3),
    parameters::indexOf(parameters::kFx, 0),   parameters::indexOf(parameters::kFx, 1),
    parameters::indexOf(parameters::kFx, 2),   parameters::indexOf(parameters::kFx, 3),
    parameters::indexOf(parameters::kRev, 0),  parameters::indexOf(parameters::kRev, 1),
    parameters::indexOf(parameters::kRev, 2),  parameters::indexOf(parameters::kRev, 3),
};
inline constexpr int kNumButtons = int(std::size(kButtonParameters));
inline constexpr int kFirstHoldNote = 36;
inline constexpr int kFirstToggleNote = kFirstHoldNote + kNumButtons;

enum class Action : uint8_t { Press, Release, Toggle };

struct Note {
    int32_t frame; // in the block it belongs to
    int32_t parameter;
    Action action;
};

// The button action of one event of a host's list; nothing for anything but a
// note on a button, or for an event that is malformed.
std::optional<Note> noteOf(const VstEvent* event);

// The notes of the coming block in frame order, those of one frame in the
// order they came.
class NoteQueue {
public:
    // A note on every frame of a 512-frame block; a host's list is read up to
    // this many entries, and notes past it in a block are dropped.
    static constexpr int32_t kCapacity = 512;

    // Adds the notes of a host's list to those of the coming block.
    void add(const VstEvents* events);
    // The block has `frames` frames: notes at or past its end are dropped.
    void startBlock(int32_t frames);
    // The next note before frame `end`, taken; null if there is none.
    const Note* takeBefore(int32_t end);
    // The frame of the next note, or `otherwise` if none is left.
    int32_t nextFrame(int32_t otherwise) const;
    void clear() { count = taken = 0; }

private:
    void insert(const Note& note);

    Note notes[kCapacity];
    int32_t count = 0;
    int32_t taken = 0;
};

} // namespace notes
