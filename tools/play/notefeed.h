// The notes of each block, as the audio thread hands them to the plug-in before processing
// it: those of the notes file whose frame falls in the block, at that frame, and those that
// came in from the live port since the block before.
//
// A live note is placed as far into its block as it arrived into the time of the block
// before: the audio thread renders each block at the end of the block before it, so the
// notes keep their spacing and all come one block late, where placing them at the block's
// first frame would gather them on a block grid. A note that arrived before the block
// before started (the first block, or after a stall) goes at the first frame.
#pragma once

#include "loadedplugin.h"
#include "notering.h"
#include "notesfile.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pl3play {

class NoteFeed {
public:
    // More notes than this in one block wait for the next, at its first frame.
    static constexpr std::size_t kNotesPerBlock = 256;

    // `scheduled` in frame order; `live` may be null.
    NoteFeed(std::vector<ScheduledNote> scheduled, NoteRing* live, int sampleRate,
             std::int32_t blockFrames);

    // Audio thread, real-time: the notes of the block from song frame `firstFrame`, rendered
    // from `now` (monotonic nanoseconds) on, in frame order. Valid until the next call.
    std::span<const hostcore::MidiMessage> forBlock(std::int64_t firstFrame, std::int64_t now);

private:
    std::size_t takeScheduled(std::int64_t firstFrame);
    std::size_t takeLive(std::int64_t now);
    std::int32_t offsetOfArrival(std::int64_t arrival) const;

    std::vector<ScheduledNote> scheduled_;
    std::size_t nextScheduled_ = 0;
    NoteRing* live_;
    int sampleRate_;
    std::int32_t blockFrames_;
    std::int64_t previousBlockAt_ = -1; // none yet
    std::vector<hostcore::MidiMessage> fromFile_;
    std::vector<hostcore::MidiMessage> fromPort_;
    std::vector<hostcore::MidiMessage> merged_;
};

} // namespace pl3play
