#include "notering.h"

#include <algorithm>
#include <bit>

namespace pl3play {

NoteRing::NoteRing(std::size_t minimumNotes)
    : capacity_(std::bit_ceil(std::max<std::size_t>(minimumNotes, 1))), notes_(capacity_)
{
}

bool NoteRing::push(const LiveNote& note)
{
    const std::size_t pushed = pushed_.load(std::memory_order_relaxed); // only this side writes it
    if (pushed - taken_.load(std::memory_order_acquire) == capacity_) return false;
    notes_[pushed & (capacity_ - 1)] = note;
    pushed_.store(pushed + 1, std::memory_order_release);
    return true;
}

bool NoteRing::peek(LiveNote& note) const
{
    const std::size_t taken = taken_.load(std::memory_order_relaxed); // only this side writes it
    if (pushed_.load(std::memory_order_acquire) == taken) return false;
    note = notes_[taken & (capacity_ - 1)];
    return true;
}

// Only after a peek that found a note.
void NoteRing::take()
{
    taken_.store(taken_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

} // namespace pl3play
