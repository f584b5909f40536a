// The audio path: transport sync, the capture ring, the beat grid and loop
// playback with the current loop's effect.
//
// Audio thread, real-time: nothing here allocates, locks or blocks.
#include "morvessine3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr VstInt32 kTimeInfoRequest = kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                                      kVstCyclePosValid | kVstTimeSigValid | kVstTransportChanged |
                                      kVstTransportPlaying | kVstTransportCycleActive;
static_assert(kTimeInfoRequest == 15879);

bool isPositiveFinite(double x)
{
    return std::isfinite(x) && x > 0.0;
}

// Positions beyond this many frames cannot be told apart from their neighbours
// in double precision any more; a host reporting one is not to be followed.
constexpr double kMaxPositionFrames = 9.0e15;

void copyThrough(float** inputs, float** outputs, VstInt32 frames)
{
    for (int channel = 0; channel < 2; ++channel)
        if (inputs[channel] != outputs[channel])
            std::memmove(outputs[channel], inputs[channel], size_t(frames) * sizeof(float));
}

// Beat k begins on the first frame at or after k beats, so the boundaries keep
// to the host's beats when a beat is no whole number of frames; with a whole
// number they are its multiples. Positions before the song start have negative
// beats.
struct BeatGrid {
    double samplesPerBeat;

    int64_t boundary(int64_t beat) const
    {
        return int64_t(std::ceil(double(beat) * samplesPerBeat));
    }
    int64_t beatAt(int64_t pos) const
    {
        auto beat = int64_t(std::floor(double(pos) / samplesPerBeat));
        while (boundary(beat + 1) <= pos)
            ++beat;
        while (boundary(beat) > pos)
            --beat;
        return beat;
    }
};
} // namespace

// --- Transport --------------------------------------------------------------

bool Morvessine3::processVstTimeInfo()
{
    const VstTimeInfo* info = getTimeInfo(kTimeInfoRequest);
    if (!info) return false;
    const bool playing = (info->flags & kVstTransportPlaying) != 0;
    const double tempo = (info->flags & kVstTempoValid) ? info->tempo : 120.0;
    const double position = (info->flags & kVstPpqPosValid) ? info->ppqPos : 0.0;
    const double beat = 60.0 * info->sampleRate / tempo;

    // A record no beat grid can be built from is treated like no record at all:
    // the block passes through and nothing advances.
    if (!isPositiveFinite(info->sampleRate) || !isPositiveFinite(tempo) ||
        !std::isfinite(position) || !(beat >= 1.0) ||
        !(std::fabs(position * beat) < kMaxPositionFrames) || !(4.0 * beat < kMaxPositionFrames))
        return false;

    if ((info->flags & kVstTransportChanged) || !playing) gridRunning = false;
    const double previousBeat = samplesPerBeat;
    samplesPerBeat = beat;
    ppqPosition = position;
    if (sizesPending) {
        // Hosts showing values derived from the tempo refresh them once it is known.
        updateDisplay();
        sizesPending = false;
    } else if (beat != previousBeat) {
        adjustLoopSize(previousBeat, beat);
    }
    if ((info->flags & kVstTransportChanged) && playing != hostPlaying && playing) sequencerPlay();
    hostPlaying = playing;
    return true;
}

// Called with the tempo of the block already stored, so a session restored
// before the host ever said its tempo starts with the right length.
void Morvessine3::sequencerPlay()
{
    if (loopsOn() == 0) return;
    finishCopy();
    refreshLoopLength();
    phaseCounter = 0.0;
    playPos = 0.0;
    loopWritePos = 0;
    loopRecording = true;
    loopStart = 0;
    loopEnd = currentLoopLength;
    if (Loop* loop = currentLoop) {
        playIncrement = loop->speed;
        reversePlay = loop->reverse;
    }
    loopRequest.take(loopRequest.peek());
    changePending.lower();
    loopPlaying = true;
    startLiveFade();
}

// --- Render -----------------------------------------------------------------

void Morvessine3::processStupidHost(float** inputs, float** outputs, VstInt32 frames)
{
    copyThrough(inputs, outputs, frames);
}

void Morvessine3::processReplacing(float** inputs, float** outputs, VstInt32 frames)
{
    if (frames < 0) frames = 0;
    pendingNotes.startBlock(frames);
    renderBlock(inputs, outputs, frames);
    // The notes sent for this block are done with, played or not.
    pendingNotes.clear();
}

// Without a beat grid to place them on, the notes switch the buttons at the
// block's start, in their order.
void Morvessine3::renderBlock(float** inputs, float** outputs, VstInt32 frames)
{
    if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
    audioThread.store(pthread_self(), std::memory_order_relaxed);
    const LoopBuffers* owned = buffers.load(std::memory_order_acquire);
    if (!owned || !processVstTimeInfo()) {
        gridRunning = false;
        playNotesBefore(frames);
        processStupidHost(inputs, outputs, frames);
        return;
    }
    if (hostPlaying) {
        renderFrames(*owned, inputs, outputs, frames);
    } else {
        playNotesBefore(frames);
        copyThrough(inputs, outputs, frames);
    }
    if (sharedBlock) scope.processOscilloscope(*sharedBlock, outputs, frames);
}

// A note changes its button as the host or the editor would, but it is the
// musician's playing, not an edit to record: the host is not told.
void Morvessine3::playNotesBefore(VstInt32 end)
{
    while (const notes::Note* note = pendingNotes.takeBefore(end))
        playNote(*note);
}

void Morvessine3::playNote(const notes::Note& note)
{
    switch (note.action) {
    case notes::Action::Press:
        setParameter(note.parameter, 1.0f);
        break;
    case notes::Action::Release:
        setParameter(note.parameter, 0.0f);
        break;
    case notes::Action::Toggle:
        setParameter(note.parameter, parameters::isOn(getParameter(note.parameter)) ? 0.0f : 1.0f);
        break;
    }
}

// Hosts round their musical position (Ardour to 1/1920 beat, others by the
// division ppq = frames / samplesPerBeat itself), so the frame a block starts on
// can miss where the previous block ended by a few frames, and a beat boundary in
// such a gap would be skipped. While the transport rolls on, a position within
// one tick of the expected one is taken to be the expected one.
//
// A new tempo rescales the frame positions the host reports, not its beats.
// While the reported beats go on from where the last block ended, the block
// starts where they say on the new grid, past the boundaries already passed and
// not past the next one. Following the host's beats rather than counting on
// from the last block keeps a ramp, whose tempo also changes within a block,
// from drifting off them.
Morvessine3::BlockStart Morvessine3::blockStartFrame(double beat) const
{
    const double reported = ppqPosition * beat;
    const double tolerance = beat / 1920.0 + 1.0;
    if (gridRunning && beat == gridBeat &&
        std::fabs(reported - double(nextBlockStart)) <= tolerance)
        return {nextBlockStart, nextBlockBeats, 0.0};
    if (gridRunning && beat != gridBeat) {
        // The last block was counted at the tempo of its start; the change may
        // lie anywhere in it.
        const double counted = double(lastBlockFrames) * std::fabs(1.0 - beat / gridBeat);
        const double expected = nextBlockBeats * beat;
        if (std::fabs(reported - expected) <= tolerance + counted) {
            const int64_t passed = BeatGrid{gridBeat}.beatAt(nextBlockStart - 1);
            const BeatGrid grid{beat};
            const int64_t first = grid.boundary(passed) + 1;
            const int64_t last = std::max(first, grid.boundary(passed + 1));
            return {std::clamp<int64_t>(std::llround(reported), first, last), ppqPosition,
                    ppqPosition - nextBlockBeats};
        }
    }
    return {std::llround(reported), ppqPosition, 0.0};
}

void Morvessine3::writeRing(const LoopBuffers& b, float** inputs, VstInt32 from, VstInt32 count)
{
    while (count > 0) {
        if (captureWritePos >= captureSize) captureWritePos = 0;
        const int32_t run = std::min(count, captureSize - captureWritePos);
        std::memcpy(b.captureLeft + captureWritePos, inputs[0] + from, size_t(run) * sizeof(float));
        std::memcpy(b.captureRight + captureWritePos, inputs[1] + from,
                    size_t(run) * sizeof(float));
        captureWritePos += run;
        from += run;
        count -= run;
    }
}

// The capture points and beat-boundary work of the frame at host position pos,
// whose input has just been written to the ring; phase is its distance from the
// beat boundary at or before it.
void Morvessine3::processGridEvents(int64_t phase, double beat)
{
    // The request is looked at before the loop it names, so the length read
    // is the one of the loop switched on with it, or a newer one.
    LoopRequest::Seen request = loopRequest.peek();
    refreshLoopLength();
    if (request.kind() == LoopRequest::Kind::Capture && beat > double(currentLoopLength) &&
        phase < currentLoopLength && loopRequest.take(request)) {
        copyLoop2(int32_t(phase));
        loopPlaying = true;
    }
    if (phase != 0) return;
    request = loopRequest.peek();
    if (loopRequest.take(request)) {
        if (loopPlaying) holdTail(Crossfade::lengthFor(loopEnd));
        loopPlaying = false;
        if (request.kind() == LoopRequest::Kind::Capture) {
            refreshLoopLength();
            copyLoop();
            loopPlaying = true;
        }
    }
    if (changePending.take()) changeLoop();
}

// The grid is only looked at on the frames where something can happen: the
// block's first frame, every beat boundary and every note's frame, where the
// note is played first. The loop fields and pending flags the parameter side
// changes are read there too, so a change made in the middle of a block is
// heard from the next event on.
void Morvessine3::renderFrames(const LoopBuffers& b, float** inputs, float** outputs,
                               VstInt32 frames)
{
    const double beat = samplesPerBeat;
    const auto barLength = int64_t(4.0 * beat);
    const BlockStart start = blockStartFrame(beat);
    const int64_t blockStart = start.frame;
    const BeatGrid grid{beat};
    nextBlockStart = blockStart + frames;
    lastBlockFrames = frames;
    nextBlockBeats = start.beats + double(frames) / beat;
    // The tempo changed somewhere in the last block, which was counted at the
    // tempo of its start: what the host's beats say of the time since the
    // capture puts the phase right, so a loop that grows lands on the beat.
    if (loopPlaying && start.lateBeats != 0.0)
        phaseCounter += start.lateBeats * beat * (reversePlay ? -1.0 : 1.0) * playIncrement;
    gridBeat = beat;
    gridRunning = true;

    VstInt32 i = 0;
    while (i < frames) {
        const int64_t pos = blockStart + i;
        const int64_t beatIndex = grid.beatAt(pos);
        const int64_t phase = pos - grid.boundary(beatIndex);
        const int64_t toNext = grid.boundary(beatIndex + 1) - pos;
        writeRing(b, inputs, i, 1);
        playNotesBefore(i + 1);
        processGridEvents(phase, beat);
        const auto runEnd =
            VstInt32(std::min<int64_t>(pendingNotes.nextFrame(frames), i + toNext));
        writeRing(b, inputs, i + 1, runEnd - i - 1);
        if (loopPlaying)
            playLoop(b, inputs, outputs, i, runEnd, barLength);
        else
            passThrough(inputs, outputs, i, runEnd);
        i = runEnd;
    }
    continueCopy(frames);
    ringFront = captureWritePos;
    if (loopPlaying || loopRequest.peek().kind() == LoopRequest::Kind::Capture) armLoopKeeper(beat);
}

// The input, after the fade out of a loop that stopped on the run's first frame.
void Morvessine3::passThrough(float** inputs, float** outputs, VstInt32 from, VstInt32 to)
{
    if (fade.running()) from = fadeOutOfLoop(inputs, outputs, from, to);
    for (int channel = 0; channel < 2; ++channel)
        if (inputs[channel] != outputs[channel])
            std::memmove(outputs[channel] + from, inputs[channel] + from,
                         size_t(to - from) * sizeof(float));
}

// The loop that was left goes on under the input for the fade's length, with
// its effect; returns the first frame after the fade.
VstInt32 Morvessine3::fadeOutOfLoop(float** inputs, float** outputs, VstInt32 from, VstInt32 to)
{
    if (fade.tail != Crossfade::Tail::Held) {
        fade.stop();
        return from;
    }
    const auto end = VstInt32(std::min<int64_t>(to, int64_t(from) + fade.remaining()));
    for (VstInt32 i = from; i < end; ++i) {
        float tailLeft = fade.heldLeft[fade.done];
        float tailRight = fade.heldRight[fade.done];
        tailEffect(int32_t(fade.position + fade.done * fade.step), tailLeft, tailRight);
        float left = inputs[0][i];
        float right = inputs[1][i];
        fade.mix(tailLeft, tailRight, left, right);
        outputs[0][i] = left;
        outputs[1][i] = right;
    }
    return end;
}

// The effect of the loop that was left, on its tail; its state carries on.
void Morvessine3::tailEffect(int32_t index, float& left, float& right)
{
    switch (fade.effect) {
    case 0: {
        float heldLeft;
        float heldRight;
        loopReader(nullptr).frameAt(holdIndex, heldLeft, heldRight);
        double increment = playIncrement;
        bitReducer(holdIndex, increment, heldLeft, heldRight, std::max(index, 0), left, right);
        break;
    }
    case 1:
        autopan(passToggle, left, right);
        break;
    case 2:
        hipass(hipassState, hipassCoefficient, left, right);
        break;
    case 3:
        phazer(phaser, left, right);
        break;
    default:
        break;
    }
}

namespace {

// The playback state of one run, in locals so that the compiler keeps it in
// registers: the buffers' stores cannot alias it.
struct PlaybackRun {
    LoopReader reader;
    float* outLeft;
    float* outRight;
    float* loopLeft; // where the recording appends
    float* loopRight;
    int64_t recordLimit;
    double bar;
    int32_t start;
    int32_t end;
    double position;
    double phase;
    double increment;
    bool recording;
    bool toggle;
    Crossfade* fade;
    int32_t fadeLeft; // frames of the fade still to mix, the one test every frame makes

    // A wrap: the loop goes on past the end it jumped from while the other end
    // fades in.
    void startWrapFade(double from, double step)
    {
        const int32_t frames = Crossfade::lengthFor(end - start);
        if (fadeLeft > 0)
            fade->holdContinuation(reader, false, from, step, frames);
        else
            fade->startLoop(from, step, frames);
        fadeLeft = frames;
    }

    void mixTail(VstInt32 i, float& left, float& right)
    {
        float tailLeft;
        float tailRight;
        fade->tailFrame(reader, i, tailLeft, tailRight);
        fade->mix(tailLeft, tailRight, left, right);
        --fadeLeft;
    }
};

template <bool Backward> [[gnu::always_inline]] inline bool wrapDue(const PlaybackRun& run)
{
    return Backward ? run.position < run.start : run.position >= run.end;
}

// No fade runs, the play position lies in the play range and every frame of the
// range holds material.
[[gnu::always_inline]] inline bool plain(const PlaybackRun& run)
{
    return run.fadeLeft == 0 && run.position >= run.start && run.position < run.end &&
           run.end <= run.reader.writePos;
}

[[gnu::always_inline]] inline void recordFrame(PlaybackRun& run, VstInt32 i)
{
    LoopReader& reader = run.reader;
    if (!run.recording) return;
    if (reader.writePos >= run.recordLimit) run.recording = false;
    if (reader.writePos < reader.loopBufferSize) {
        run.loopLeft[reader.writePos] = reader.inLeft[i];
        run.loopRight[reader.writePos] = reader.inRight[i];
        ++reader.writePos;
    }
    if (reader.writePos >= reader.loopBufferSize) run.recording = false;
}

template <bool Backward> [[gnu::always_inline]] inline void foldPhase(PlaybackRun& run)
{
    if constexpr (!Backward) {
        if (run.phase > run.bar) run.phase -= run.bar;
    } else {
        if (run.phase < 0.0) run.phase += run.bar - 1.0;
    }
}

// The effect, the output frame and the step to the next one.
template <bool Backward, typename Effect>
[[gnu::always_inline]] inline void emitFrame(PlaybackRun& run, VstInt32 i, int32_t index,
                                             float left, float right, Effect& effect)
{
    effect(run, index, left, right);
    run.outLeft[i] = left;
    run.outRight[i] = right;
    const double step = Backward ? -run.increment : run.increment;
    run.position += step;
    run.phase += step;
}

// While plain: frames are read straight from the loop until a wrap is due.
// Returns where it stopped. It works on a copy of the run that nothing else
// sees, so the compiler keeps its fields in registers. Copying: the capture's
// copy is not through, and frames it has not reached are read from the ring.
template <bool Backward, bool Copying, typename Effect>
VstInt32 playPlainlyWhile(PlaybackRun& shared, VstInt32 i, VstInt32 to, Effect& effect)
{
    PlaybackRun run = shared;
    for (; i < to && !wrapDue<Backward>(run); ++i) {
        recordFrame(run, i);
        foldPhase<Backward>(run);
        const int32_t index = run.reader.indexOf(run.position);
        float left;
        float right;
        if constexpr (Copying) {
            run.reader.frameAt(index, left, right);
        } else {
            left = run.reader.loopLeft[index];
            right = run.reader.loopRight[index];
        }
        emitFrame<Backward>(run, i, index, left, right, effect);
    }
    shared = run;
    return i;
}

template <bool Backward, typename Effect>
VstInt32 playPlainly(PlaybackRun& run, VstInt32 i, VstInt32 to, Effect& effect)
{
    if (run.reader.copiedFrames < run.reader.copyFrames)
        return playPlainlyWhile<Backward, true>(run, i, to, effect);
    return playPlainlyWhile<Backward, false>(run, i, to, effect);
}

// Wraps with their fades, and frames the recording has not reached. Returns
// once neither is left, or at the end.
template <bool Backward, typename Effect>
VstInt32 playCarefully(PlaybackRun& run, VstInt32 i, VstInt32 to, Effect& effect)
{
    for (; i < to; ++i) {
        recordFrame(run, i);
        if (wrapDue<Backward>(run)) {
            run.toggle = !run.toggle;
            run.startWrapFade(run.position, Backward ? -run.increment : run.increment);
            run.position = Backward ? run.end - 1 : run.start;
        } else if (!Backward && run.position < run.start) {
            // A change from backward to forward play can land just before the start.
            run.position = run.start;
        }
        foldPhase<Backward>(run);
        // Backward play over an empty range would ask for frame -1.
        const int32_t index = run.reader.indexOf(run.position);
        float left;
        float right;
        run.reader.read(index, i, left, right);
        if (run.fadeLeft > 0) run.mixTail(i, left, right);
        emitFrame<Backward>(run, i, index, left, right, effect);
        if (plain(run)) return i + 1;
    }
    return i;
}

// Loop playback of frames [from, to): append the input while recording, wrap at
// the ends of the play range, read, fade, apply the effect, advance. The effect
// is a callable taking (run, read index, left, right), inlined into the loops.
// Most frames need neither a fade nor the input in place of the loop, and take
// the plain path.
template <bool Backward, typename Effect>
void playFrames(PlaybackRun& run, VstInt32 from, VstInt32 to, Effect&& effect)
{
    VstInt32 i = from;
    while (i < to) {
        if (plain(run))
            i = playPlainly<Backward>(run, i, to, effect);
        else
            i = playCarefully<Backward>(run, i, to, effect);
    }
}

template <bool Backward>
void playWithEffect(PlaybackRun& run, VstInt32 from, VstInt32 to, int32_t effect,
                    int32_t& holdIndex, tbiquad& hipassState, float& hipassCoefficient,
                    Phaser& phaser)
{
    switch (effect) {
    case 0:
        playFrames<Backward>(
            run, from, to, [&](PlaybackRun& r, int32_t index, float& l, float& rt) {
                float heldLeft;
                float heldRight;
                r.reader.frameAt(holdIndex, heldLeft, heldRight);
                bitReducer(holdIndex, r.increment, heldLeft, heldRight, index, l, rt);
            });
        break;
    case 1:
        playFrames<Backward>(run, from, to, [](PlaybackRun& r, int32_t, float& l, float& rt) {
            autopan(r.toggle, l, rt);
        });
        break;
    case 2:
        playFrames<Backward>(run, from, to, [&](PlaybackRun&, int32_t, float& l, float& rt) {
            hipass(hipassState, hipassCoefficient, l, rt);
        });
        break;
    case 3:
        playFrames<Backward>(run, from, to, [&](PlaybackRun&, int32_t, float& l, float& rt) {
            phazer(phaser, l, rt);
        });
        break;
    default:
        playFrames<Backward>(run, from, to, [](PlaybackRun&, int32_t, float&, float&) {});
        break;
    }
}

} // namespace

// The loop fields the parameter side changes are read once per run: an effect
// switched mid-block is heard from the next beat boundary or block on.
void Morvessine3::playLoop(const LoopBuffers& b, float** inputs, float** outputs, VstInt32 from,
                           VstInt32 to, int64_t barLength)
{
    const Loop* loop = currentLoop;
    const int32_t effect = (loop && loop->fxOn) ? int32_t(loop->fxId) : -1;
    const double incrementBefore = playIncrement;
    PlaybackRun run{loopReader(inputs), outputs[0],        outputs[1],    b.loopLeft, b.loopRight,
                    2 * barLength,      double(barLength), loopStart,     loopEnd,    playPos,
                    phaseCounter,       incrementBefore,   loopRecording, passToggle, &fade,
                    fade.remaining()};
    playDirection = reversePlay ? -1 : 1;
    if (reversePlay)
        playWithEffect<true>(run, from, to, effect, holdIndex, hipassState, hipassCoefficient,
                             phaser);
    else
        playWithEffect<false>(run, from, to, effect, holdIndex, hipassState, hipassCoefficient,
                              phaser);
    playPos = run.position;
    phaseCounter = run.phase;
    loopWritePos = run.reader.writePos;
    loopRecording = run.recording;
    passToggle = run.toggle;
    if (run.increment != incrementBefore) playIncrement = run.increment;
}
