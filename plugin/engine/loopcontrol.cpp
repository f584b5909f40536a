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
    currentLoopLength = loop.size;
    currentLoop = &loop;
    playIncrement = loop.speed;
    if (alreadyOn > 0)
        changePending = true;
    else
        capturePending = true;
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
        capturePending = false;
        stopPending = true;
        return;
    }
    if (currentLoop == &loop) {
        Loop* next = highestOrderLoop();
        currentLoop = next;
        currentLoopLength = next->size;
        changePending = true;
    }
}

void Morvessine3::setSyncValue(int loop, float value)
{
    if (const std::optional<int> step = loopmath::lengthStepOf(value))
        loops[loop].size =
            loopmath::framesOf(loopmath::kStepBeats[*step], samplesPerBeat, loopBufferSize);
}

void Morvessine3::handleValue(int loop, float value)
{
    Loop& target = loops[loop];
    target.value = value;
    const int32_t oldSize = target.size;
    setSyncValue(loop, value);
    if (currentLoop == &target) {
        currentLoopLength = target.size;
        if (target.size != oldSize) changePending = true;
    }
}

void Morvessine3::handlePitch(int loop, float value)
{
    Loop& target = loops[loop];
    target.pitch = value;
    target.speed = loopmath::speedOf(value);
    if (currentLoop == &target) changePending = true;
}

void Morvessine3::handleReverse(int loop, float value)
{
    Loop& target = loops[loop];
    const bool reverse = isOn(value);
    if (target.reverse == reverse) return;
    target.reverse = reverse;
    if (currentLoop == &target) changePending = true;
}

void Morvessine3::handleFx(int loop, float value)
{
    Loop& target = loops[loop];
    const bool fxOn = isOn(value);
    if (target.fxOn == fxOn) return;
    target.fxOn = fxOn;
    if (currentLoop == &target) changePending = true;
}

void Morvessine3::handleFxId(int loop, float value)
{
    loops[loop].fxSelect = value;
    loops[loop].fxId = loopmath::fxIdOf(value);
}

void Morvessine3::adjustLoopSize()
{
    for (int k = 0; k < kNumLoops; ++k)
        setSyncValue(k, loops[k].value);
    updateDisplay();
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

// A capture at a beat boundary takes at least one beat, so that a longer loop
// switched on later has the material before the boundary to grow into.
void Morvessine3::copyLoop()
{
    if (loopPlaying) return;
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
}

// A loop shorter than a beat plays from the last beat boundary on: what already
// passed is copied, the rest is recorded while it plays.
void Morvessine3::copyLoop2(int32_t count)
{
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
        playPos = double(elapsed % length);
    }
    loopEnd = length;
    if (Loop* loop = currentLoop) {
        playIncrement = loop->speed;
        reversePlay = loop->reverse;
    } else {
        playIncrement = 1.0;
    }
}
