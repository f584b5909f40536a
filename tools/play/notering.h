// A single-producer, single-consumer queue of notes from a live MIDI port, lock-free and
// allocated once. The port's reader thread pushes each note with the time it arrived; the
// audio thread looks at the oldest and takes it once it places it in a block. Each index is
// written by one side only, so two atomics are all the sides share.
#pragma once

#include "notesfile.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pl3play {

struct LiveNote {
    std::int64_t arrival = 0; // nanoseconds on the monotonic clock
    NoteEvent event;
};

class NoteRing {
public:
    // Room for at least `minimumNotes` notes (a power of two).
    explicit NoteRing(std::size_t minimumNotes);

    std::size_t capacity() const { return capacity_; }

    // Producer: false, and the note left out, when the ring is full.
    bool push(const LiveNote& note);
    // Consumer, real-time: the oldest note, if there is one, stays in the ring until taken.
    bool peek(LiveNote& note) const;
    void take();

private:
    std::size_t capacity_;
    std::vector<LiveNote> notes_;
    // Notes ever pushed and ever taken. Each side releases its own index after touching its
    // slot and acquires the other's before, so a slot is never read before it is written nor
    // overwritten before it is read.
    alignas(64) std::atomic<std::size_t> pushed_{0};
    alignas(64) std::atomic<std::size_t> taken_{0};
};

} // namespace pl3play
