// The looper effect: four loop settings over one shared capture of the live input,
// played back in time with the host's beat grid.
//
// Threads: the dispatcher runs on the host's user-interface thread, except for
// processEvents; setParameter and the program calls on any host thread or the
// editor's poll thread; processEvents and processReplacing on the host's audio
// thread. The parameter side hands work to the audio side only through the
// Relaxed fields below (the loop fields, currentLoop, the pending flags and the
// loop request); everything else belongs to one side.
#pragma once

#include "audioeffectx.h"
#include "crossfade.h"
#include "iir.h"
#include "loopeffects.h"
#include "noteinput.h"
#include "parameters.h"
#include "relaxed.h"
#include "ringkeeper.h"
#include "sharedmemory.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <pthread.h>

class Morvessine3Editor;

struct Loop {
    Relaxed<bool> on{false};
    // The Value's length step (0 "1 bar" .. 9 "1/32 beat"); the loop's size in
    // frames follows from it and the beat wherever it is needed, so a new tempo
    // or sample rate reaches every loop. A Value outside the steps keeps it.
    Relaxed<int32_t> step{0};
    Relaxed<float> value{0.0f};
    Relaxed<int32_t> order{0};
    Relaxed<double> speed{1.0};
    Relaxed<float> pitch{0.5f};
    Relaxed<bool> reverse{false};
    Relaxed<bool> fxOn{false};
    Relaxed<int32_t> fxId{0};
    Relaxed<float> fxSelect{0.0f};
};

struct Program {
    // Loop-major: the six values of loop k sit at 6k .. 6k + 5, in kind order.
    // Written by every thread that sets a parameter.
    Relaxed<float> values[parameters::kNumParameters];
    char name[kVstMaxProgNameLen + 1];

    static constexpr int slotOf(int index)
    {
        return parameters::loopOf(index) * parameters::kNumKinds + parameters::kindOf(index);
    }
};

// The two stereo buffers, published to the audio thread as one pointer.
struct LoopBuffers {
    float* captureLeft;
    float* captureRight;
    float* loopLeft;
    float* loopRight;
};

class Morvessine3 : public AudioEffectX {
public:
    static constexpr int32_t kBufferFrames = 0x800000;
    static constexpr int32_t kInitialLoopSize = 22050;
    // A bar at 60 BPM and 48 kHz fits; 2 MiB of the two loop channels.
    static constexpr size_t kPrefaultFrames = 1 << 18;

    explicit Morvessine3(audioMasterCallback audioMaster);
    ~Morvessine3() override;

    void suspend() override {}
    void resume() override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;

    // Audio thread, real-time: no allocation, no lock, no blocking call.
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) override;

    // Any thread.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    VstInt32 getProgram() override { return curProgram; }
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool canParameterBeAutomated(VstInt32 index) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    // Audio thread, real-time: the notes of the coming block.
    VstInt32 processEvents(VstEvents* events) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1; }
    VstInt32 canDo(char* text) override;
    // Host UI thread: 'PreS' hands the editor the host's scale factor, and is answered 1.
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual void process(float** inputs, float** outputs, VstInt32 frames);
    virtual bool copyProgram(VstInt32 destination);

    int32_t getInstanceNumber() const { return instanceNumber; }

private:
    std::unique_lock<std::mutex> takeTurn();
    void applyParameter(VstInt32 index, float value);
    void publishParameter(VstInt32 index, float value);

    // Loop control (parameter side).
    void handleLoop(int loop, float value);
    void handleValue(int loop, float value);
    void handlePitch(int loop, float value);
    void handleReverse(int loop, float value);
    void handleFx(int loop, float value);
    void handleFxId(int loop, float value);
    void setSyncValue(int loop, float value);
    int32_t loopSize(const Loop& loop, double beat) const;
    void adjustLoopSize(double oldBeat, double newBeat);
    void refreshLoopLength();
    void switchLoopOn(Loop& loop);
    void switchLoopOff(Loop& loop);
    Loop* highestOrderLoop();
    int loopsOn() const;

    // Capture and change points (audio side).
    void copyLoop();
    void copyLoop2(int32_t count);
    void changeLoop();
    void copyFromRing(int32_t end, int32_t count);
    void copyPending(int32_t frames);
    void continueCopy(VstInt32 blockFrames);
    void finishCopy();
    LoopReader loopReader(float** inputs) const;
    void holdTail(int32_t frames);
    void fadeFromHere(int32_t frames);
    void tailEffect(int32_t index, float& left, float& right);

    // Transport.
    bool processVstTimeInfo();
    void sequencerPlay();

    // Notes (audio thread).
    void playNotesBefore(VstInt32 end);
    void playNote(const notes::Note& note);

    // Render.
    void renderBlock(float** inputs, float** outputs, VstInt32 frames);
    void processStupidHost(float** inputs, float** outputs, VstInt32 frames);
    void renderFrames(const LoopBuffers& buffers, float** inputs, float** outputs, VstInt32 frames);
    struct BlockStart {
        int64_t frame;    // on the beat grid of the block's tempo
        double beats;     // the same place in beats
        double lateBeats; // how far the host's beats went past what the last block counted
    };
    BlockStart blockStartFrame(double beat) const;
    void passThrough(float** inputs, float** outputs, VstInt32 from, VstInt32 to);
    VstInt32 fadeOutOfLoop(float** inputs, float** outputs, VstInt32 from, VstInt32 to);
    void startLiveFade();
    void writeRing(const LoopBuffers& buffers, float** inputs, VstInt32 from, VstInt32 count);
    void processGridEvents(int64_t phase, double beat);
    void playLoop(const LoopBuffers& buffers, float** inputs, float** outputs, VstInt32 from,
                  VstInt32 to, int64_t barLength);
    void handleValueDisplay(float value, char* text);

    void allocateBuffers();
    void startRingKeeper(const LoopBuffers& buffers);
    void armLoopKeeper(double beat);
    void releaseBuffers();

    int32_t instanceNumber;
    std::atomic<LoopBuffers*> buffers{nullptr};
    int32_t captureSize = kBufferFrames;
    int32_t captureWritePos = 0;
    Relaxed<int32_t> ringFront{0}; // captureWritePos as the ring keeper sees it
    // The longest beat, in frames, at which a loop was armed: the keeper
    // populates the loop buffer from it. Raised by both sides, never lowered.
    Relaxed<int32_t> armedBeatFrames{0};
    std::unique_ptr<RingKeeper> ringKeeper;
    int32_t loopBufferSize = kBufferFrames;
    double playPos = 0.0;
    Relaxed<double> playIncrement{1.0};
    bool hostPlaying = false;
    Relaxed<double> samplesPerBeat{0.0};
    double ppqPosition = 0.0;
    int64_t nextBlockStart = 0;  // where the last rendered block ended on the beat grid
    double nextBlockBeats = 0.0; // the same place in beats
    VstInt32 lastBlockFrames = 0;
    double gridBeat = 0.0;    // the beat length of that grid
    bool gridRunning = false; // the transport rolled on since that block
    bool loopPlaying = false;
    PendingFlag changePending;
    const bool minOneBeat = true;
    int32_t currentLoopLength = kInitialLoopSize; // currentLoop's size at the current beat
    int32_t loopStart = 0;
    int32_t loopEnd = 0;
    bool loopRecording = false;
    int32_t loopWritePos = 0;
    // A capture's stretch is copied into the loop buffer a slice per block: loop frames
    // [copiedFrames, copyFrames) are still read from the ring, at copyStart + frame.
    int32_t copyStart = 0;
    int32_t copiedFrames = 0;
    int32_t copyFrames = 0;
    Loop loops[parameters::kNumLoops];
    Relaxed<Loop*> currentLoop{nullptr};
    bool sizesPending = true;
    bool reversePlay = false;
    int32_t playDirection = 1;
    LoopRequest loopRequest;
    notes::NoteQueue pendingNotes; // the audio thread's own
    int32_t holdIndex = 0;
    bool passToggle = false;
    tbiquad hipassState{};
    float hipassCoefficient = 0.01f;
    Program programs[1];
    Phaser phaser{};
    double phaseCounter = 0.0;
    Crossfade fade;
    Morvessine3Editor* editor = nullptr;
    SharedBlockLease sharedBlockLease;
    SharedBlock* sharedBlock = nullptr;
    ScopeFeed scope;
    bool reportedNoBuffers = false; // the failure is said once, not at every resume
    // Loop switching reads and writes several fields: the threads other than the
    // audio thread take turns at it. The audio thread, known by the blocks it
    // renders, never waits for them.
    std::mutex parameterMutex;
    std::atomic<pthread_t> audioThread{};
};
