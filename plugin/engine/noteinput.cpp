#include "noteinput.h"

#include <algorithm>

namespace notes {

namespace {
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;

// Hosts count a MIDI event's size with or without its type and size fields;
// anything smaller cannot hold the message.
constexpr VstInt32 kMinMidiEventSize = VstInt32(sizeof(VstMidiEvent) - 2 * sizeof(VstInt32));
} // namespace

std::optional<Note> noteOf(const VstEvent* event)
{
    if (!event || event->type != kVstMidiType || event->byteSize < kMinMidiEventSize ||
        event->deltaFrames < 0)
        return std::nullopt;
    const auto& midi = *reinterpret_cast<const VstMidiEvent*>(event);
    const auto status = uint8_t(uint8_t(midi.midiData[0]) & 0xf0);
    const auto note = uint8_t(midi.midiData[1]);
    const auto velocity = uint8_t(midi.midiData[2]);
    if (status != kNoteOn && status != kNoteOff) return std::nullopt;
    const bool pressed = status == kNoteOn && velocity > 0;

    if (note >= kFirstHoldNote && note < kFirstHoldNote + kNumButtons)
        return Note{event->deltaFrames, kButtonParameters[note - kFirstHoldNote],
                    pressed ? Action::Press : Action::Release};
    if (pressed && note >= kFirstToggleNote && note < kFirstToggleNote + kNumButtons)
        return Note{event->deltaFrames, kButtonParameters[note - kFirstToggleNote],
                    Action::Toggle};
    return std::nullopt;
}

void NoteQueue::add(const VstEvents* events)
{
    if (!events) return;
    // The host allocates as many pointers as it says, past the two declared.
    VstEvent* const* entries = events->events;
    const int32_t listed = std::min(events->numEvents, kCapacity);
    for (int32_t i = 0; i < listed && count < kCapacity; ++i)
        if (const std::optional<Note> note = noteOf(entries[i])) insert(*note);
}

// Hosts send a list in frame order, so a note almost always goes at the end.
void NoteQueue::insert(const Note& note)
{
    int32_t at = count;
    for (; at > 0 && notes[at - 1].frame > note.frame; --at)
        notes[at] = notes[at - 1];
    notes[at] = note;
    ++count;
}

void NoteQueue::startBlock(int32_t frames)
{
    while (count > 0 && notes[count - 1].frame >= frames)
        --count;
}

const Note* NoteQueue::takeBefore(int32_t end)
{
    if (taken >= count || notes[taken].frame >= end) return nullptr;
    return &notes[taken++];
}

int32_t NoteQueue::nextFrame(int32_t otherwise) const
{
    return taken < count ? notes[taken].frame : otherwise;
}

} // namespace notes
