#include "notefeed.h"

#include <algorithm>

namespace pl3play {

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

hostcore::MidiMessage messageAt(std::int64_t offset, const NoteEvent& event)
{
    return {static_cast<VstInt32>(offset), event.status, event.note, event.velocity};
}

} // namespace

NoteFeed::NoteFeed(std::vector<ScheduledNote> scheduled, NoteRing* live, int sampleRate,
                   std::int32_t blockFrames)
    : scheduled_(std::move(scheduled)), live_(live), sampleRate_(sampleRate),
      blockFrames_(blockFrames), fromFile_(kNotesPerBlock), fromPort_(kNotesPerBlock),
      merged_(2 * kNotesPerBlock)
{
}

std::span<const hostcore::MidiMessage> NoteFeed::forBlock(std::int64_t firstFrame, std::int64_t now)
{
    const std::size_t fileNotes = takeScheduled(firstFrame);
    const std::size_t portNotes = takeLive(now);
    previousBlockAt_ = now;
    const auto byOffset = [](const hostcore::MidiMessage& a, const hostcore::MidiMessage& b) {
        return a.deltaFrames < b.deltaFrames;
    };
    const auto end = std::merge(fromFile_.begin(), fromFile_.begin() + fileNotes, fromPort_.begin(),
                                fromPort_.begin() + portNotes, merged_.begin(), byOffset);
    return {merged_.data(), static_cast<std::size_t>(end - merged_.begin())};
}

// A note held back from an earlier block goes at the first frame.
std::size_t NoteFeed::takeScheduled(std::int64_t firstFrame)
{
    const std::int64_t end = firstFrame + blockFrames_;
    std::size_t count = 0;
    for (; nextScheduled_ < scheduled_.size() && count < kNotesPerBlock; ++nextScheduled_) {
        const ScheduledNote& note = scheduled_[nextScheduled_];
        if (note.frame >= end) break;
        fromFile_[count++] =
            messageAt(std::max<std::int64_t>(note.frame - firstFrame, 0), note.event);
    }
    return count;
}

// Notes that arrive while the block is made belong to the next one.
std::size_t NoteFeed::takeLive(std::int64_t now)
{
    std::size_t count = 0;
    LiveNote note;
    while (live_ && count < kNotesPerBlock && live_->peek(note) && note.arrival < now) {
        fromPort_[count++] = messageAt(offsetOfArrival(note.arrival), note.event);
        live_->take();
    }
    return count;
}

std::int32_t NoteFeed::offsetOfArrival(std::int64_t arrival) const
{
    if (previousBlockAt_ < 0 || arrival < previousBlockAt_) return 0;
    const std::int64_t frames = (arrival - previousBlockAt_) * sampleRate_ / kNanosecondsPerSecond;
    return static_cast<std::int32_t>(std::min<std::int64_t>(frames, blockFrames_ - 1));
}

} // namespace pl3play
