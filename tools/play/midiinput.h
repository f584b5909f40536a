// Live MIDI input through an ALSA sequencer port, built in when the build found the library
// (PL3_PLAY_ALSA). The port is this program's own, for a controller or a patchbay to connect
// to; a reader thread of its own hands every note-on and note-off, of any channel, to a
// NoteRing with the time it came in.
#pragma once

#include "notering.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pl3play {

#ifdef PL3_PLAY_ALSA
inline constexpr bool kMidiInputBuiltIn = true;
#else
inline constexpr bool kMidiInputBuiltIn = false;
#endif

class MidiInput {
public:
    static constexpr const char* kClientName = "pravolindel3-play";
    static constexpr const char* kPortName = "midi in";

    // Stops the reader and removes the port.
    virtual ~MidiInput() = default;
    // "client:port", as aconnect takes it.
    virtual std::string address() const = 0;
    // Notes left out because the ring was full.
    virtual std::uint64_t droppedNotes() const = 0;
};

// Creates the port and starts reading into `ring`, which must outlive the input. Throws
// pl3render::RenderError with ALSA's reason if there is no sequencer to open. Defined only
// where MIDI input is built in: call it under `if constexpr (kMidiInputBuiltIn)`.
std::unique_ptr<MidiInput> openMidiInput(NoteRing& ring);

} // namespace pl3play
