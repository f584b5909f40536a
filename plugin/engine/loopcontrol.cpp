// Loop switching and settings (parameter side), and the capture and change
// operations the render runs at capture points and beat boundaries (audio side).
//
// The four loops act as a stack: the loop switched on last among those still on
// is currentLoop. The parameter side only writes loop fields and raises the
// pending flags; the audio side consumes the flags on the beat grid.
#include "loopmath.h"
#include "morvessine3.h"

#include <algorithm>
#include <cstring>

using namespace parameters;

int Morvessine3::loopsOn() const
{
    return int(std::count_if(std::begin(loops), std::end(loops),
                             [](const Loop& loop) { return bool(loop.on); }));
}

Loop* Morvessine3::highestOrderLoop()
{
    Loop* highest = nullptr;
    for (Loop& loop : loops)
        if (loop.on && (!highest || loop.order > highest->order)) highest = &loop;
    return highest;
}

void Morvessine3::handleLoop(int loop, float value)
{
    if (isOn(value))
        switchLoopOn(loops[loop]);
    else
        switchLoopOff(loops[loop]);
}

// The speed takes effect at once; the length and direction wait for the next
// capture or beat boundary.
void Morvessine3::switchLoopOn(Loop& loop)
{
    if (loop.on) return;
    const int alreadyOn = loopsOn();
    loop.on = true;
    loop.order = alreadyOn + 1;
    currentLoop = &loop;
    armLoopKeeper(samplesPerBeat);
    playIncrement = loop.speed;
    if (alreadyOn > 0)
        changePending.raise();
    else
        loopRequest.post(LoopRequest::Kind::Capture);
}

void Morvessine3::switchLoopOff(Loop& loop)
{
    if (!loop.on) return;
    const int32_t removedOrder = loop.order;
    loop.on = false;
    loop.order = 0;
    for (Loop& other : loops)
        if (other.on && other.order > removedOrder) other.order = other.order - 1;

    if (loopsOn() == 0) {
        // currentLoop keeps naming this loop: its settings play out until the stop.
        loopRequest.post(LoopRequest::Kind::Stop);
        return;
    }
    if (currentLoop == &loop) {
        currentLoop = highestOrderLoop();
        changePending.raise();
    }
}

void Morvessine3::setSyncValue(int loop, float value)
{
    if (const std::optional<int> step = loopmath::lengthStepOf(value)) loops[loop].step = *step;
}

int32_t Morvessine3::loopSize(const Loop& loop, double beat) const
{
    return loopmath::framesOf(loopmath::kStepBeats[loop.step], beat, loopBufferSize);
}

// The length itself is taken on the audio side at the next capture point or
// beat boundary; a loop playing now changes there if its size did.
void Morvessine3::handleValue(int loop, float value)
{
    Loop& target = loops[loop];
    target.value = value;
    const double beat = samplesPerBeat;
    const int32_t oldSize = loopSize(target, beat);
    setSyncValue(loop, value);
    if (currentLoop == &target && loopSize(target, beat) != oldSize) changePending.raise();
}

void Morvessine3::handlePitch(int loop, float value)
{
    Loop& target = loops[loop];
    target.pitch = value;
    target.speed = loopmath::speedOf(value);
    if (currentLoop == &target) changePending.raise();
}

void Morvessine3::handleReverse(int loop, float value)
{
    Loop& target = loops[loop];
    const bool reverse = isOn(value);
    if (target.reverse == reverse) return;
    target.reverse = reverse;
    if (currentLoop == &target) changePending.raise();
}

void Morvessine3::handleFx(int loop, float value)
{
    Loop& target = loops[loop];
    const bool fxOn = isOn(value);
    if (target.fxOn == fxOn) return;
    target.fxOn = fxOn;
    if (currentLoop == &target) changePending.raise();
}

void Morvessine3::handleFxId(int loop, float value)
{
    loops[loop].fxSelect = value;
    loops[loop].fxId = loopmath::fxIdOf(value);
}

// A new beat length, from a new tempo or sample rate. Every loop's size follows
// by itself; the loop playing now takes its new length at the next beat
// boundary, growing into or cutting the recorded material as a Value change
// does. The frames played since the capture are kept as the same stretch of
// beats, so a loop that grows continues where the beat points to.
void Morvessine3::adjustLoopSize(double oldBeat, double newBeat)
{
    phaseCounter *= newBeat / oldBeat;
    if (!loopPlaying) return;
    if (const Loop* loop = currentLoop; loop && loopSize(*loop, newBeat) != loopEnd)
        changePending.raise();
}

// Audio side: the length of the loop that governs playback, at the beat now.
void Morvessine3::refreshLoopLength()
{
    if (const Loop* loop = currentLoop) currentLoopLength = loopSize(*loop, samplesPerBeat);
}

// --- Capture points (audio thread) ------------------------------------------

namespace {
// A bar is 700 KB at 44.1 kHz: copied in one block it took a tenth of a 64-frame
// block's time, from memory no cache held any more. Each block copies 16 KB of
// it instead, or eight frames for each of its own if that is more, so a stretch
// is in the loop buffer once an eighth of its length has played.
constexpr int32_t kCopySliceFrames = 1 << 11;
constexpr int32_t kCopiedPerBlockFrame = 8;
} // namespace

// Takes the count ring frames that precede ring index end as the start of the
// loop buffer. They stay where they are until the ring comes round to them, so
// they are copied over the next blocks and read from the ring meanwhile. A
// stretch of more than seven eighths of the ring, which the ring would reach
// before its copy is through, is copied at once.
void Morvessine3::copyFromRing(int32_t end, int32_t count)
{
    finishCopy();
    count = std::min(count, std::min(captureSize, loopBufferSize));
    int32_t start = end - count;
    if (start < 0) start += captureSize;
    copyStart = start;
    copiedFrames = 0;
    copyFrames = count;
    if (count > captureSize - captureSize / kCopiedPerBlockFrame) finishCopy();
}

// Copies up to frames more frames of the stretch, in two pieces where it wraps
// around the ring's end.
void Morvessine3::copyPending(int32_t frames)
{
    const LoopBuffers& b = *buffers.load(std::memory_order_relaxed);
    frames = std::min(frames, copyFrames - copiedFrames);
    int32_t from = copyStart + copiedFrames;
    if (from >= captureSize) from -= captureSize;
    auto copy = [&](int32_t ringIndex, int32_t loopIndex, int32_t length) {
        std::memcpy(b.loopLeft + loopIndex, b.captureLeft + ringIndex,
                    size_t(length) * sizeof(float));
        std::memcpy(b.loopRight + loopIndex, b.captureRight + ringIndex,
                    size_t(length) * sizeof(float));
    };
    const int32_t beforeEnd = std::min(frames, captureSize - from);
    copy(from, copiedFrames, beforeEnd);
    if (beforeEnd < frames) copy(0, copiedFrames + beforeEnd, frames - beforeEnd);
    copiedFrames += frames;
}

void Morvessine3::continueCopy(VstInt32 blockFrames)
{
    if (copiedFrames >= copyFrames) return;
    const int64_t slice =
        std::max<int64_t>(kCopySliceFrames, int64_t(kCopiedPerBlockFrame) * blockFrames);
    copyPending(int32_t(std::min<int64_t>(slice, copyFrames - copiedFrames)));
}

// The loop buffer as it would be had the whole stretch been copied at its
// capture: a new capture or a fresh recording starts from there.
void Morvessine3::finishCopy()
{
    if (copiedFrames < copyFrames) copyPending(copyFrames - copiedFrames);
    copiedFrames = copyFrames = 0;
}

// The loop as playback hears it now; inputs: the block being rendered, if the
// reader is to play it where the loop has no material.
LoopReader Morvessine3::loopReader(float** inputs) const
{
    const LoopBuffers& b = *buffers.load(std::memory_order_relaxed);
    return {inputs ? inputs[0] : nullptr,
            inputs ? inputs[1] : nullptr,
            b.loopLeft,
            b.loopRight,
            b.captureLeft,
            b.captureRight,
            captureSize,
            copyStart,
            copiedFrames,
            copyFrames,
            loopBufferSize,
            loopWritePos};
}

// The loop playing now, read on for a fade's length from where it is, before a
// stop leaves it or a capture overwrites it.
void Morvessine3::holdTail(int32_t frames)
{
    fade.holdContinuation(loopReader(nullptr), false, playPos,
                          (reversePlay ? -1.0 : 1.0) * playIncrement, frames);
    const Loop* loop = currentLoop;
    fade.effect = (loop && loop->fxOn) ? int32_t(loop->fxId) : -1;
}

// The play position is about to move: the loop goes on from where it was
// while the new place fades in.
void Morvessine3::fadeFromHere(int32_t frames)
{
    const double step = (reversePlay ? -1.0 : 1.0) * playIncrement;
    if (fade.running())
        fade.holdContinuation(loopReader(nullptr), false, playPos, step, frames);
    else
        fade.startLoop(playPos, step, frames);
}

// A loop starting from pass-through fades in over the input. When a stop left
// a loop on this very frame, that loop is what was heard and its tail stays.
void Morvessine3::startLiveFade()
{
    if (fade.justBegun()) return;
    const int32_t frames = Crossfade::lengthFor(currentLoopLength);
    if (fade.running())
        fade.holdContinuation(loopReader(nullptr), true, 0.0, 0.0, frames);
    else
        fade.startLive(frames);
}

// A capture at a beat boundary takes at least one beat, so that a longer loop
// switched on later has the material before the boundary to grow into.
void Morvessine3::copyLoop()
{
    const int32_t length = currentLoopLength;
    const double beat = samplesPerBeat;
    int32_t frames = length;
    if (minOneBeat && beat > double(length)) frames = loopmath::framesOf(1.0, beat, loopBufferSize);
    frames = std::min(frames, std::min(captureSize, loopBufferSize));

    copyFromRing(captureWritePos - 1, frames);
    loopStart = 0;
    playPos = 0.0;
    phaseCounter = 0.0;
    loopEnd = length;
    if (Loop* loop = currentLoop) reversePlay = loop->reverse;
    loopWritePos = frames;
    loopRecording = true;
    startLiveFade();
}

// A loop shorter than a beat plays from the last beat boundary on: what already
// passed is copied, the rest is recorded while it plays.
void Morvessine3::copyLoop2(int32_t count)
{
    if (loopPlaying)
        holdTail(Crossfade::lengthFor(currentLoopLength));
    else
        startLiveFade();
    copyFromRing(captureWritePos - 1, count);
    loopStart = 0;
    loopEnd = currentLoopLength;
    playPos = count;
    phaseCounter = count;
    if (Loop* loop = currentLoop) reversePlay = loop->reverse;
    loopWritePos = count;
    loopRecording = true;
}

// A loop that grows continues where the time since the capture points to; one
// that shrinks keeps its position and wraps on the next frame if it lies past
// the new end.
void Morvessine3::changeLoop()
{
    const int32_t length = currentLoopLength;
    if (loopEnd < length) {
        const auto elapsed = int64_t(phaseCounter);
        const double next = double(elapsed % length);
        if (loopPlaying && next != playPos) fadeFromHere(Crossfade::lengthFor(length));
        playPos = next;
    }
    loopEnd = length;
    if (Loop* loop = currentLoop) {
        playIncrement = loop->speed;
        reversePlay = loop->reverse;
    } else {
        playIncrement = 1.0;
    }
}
