// The plug-in side of the editor: writes the UI program the plug-in carries to
// /tmp, starts it on the first editor open with the host's window, and keeps it
// in step over the two FIFOs, polled by a timer while the editor is open.
//
// Threads: construction, open, close and destruction on the host thread that
// calls the dispatcher; setParameter on any thread that changes a parameter
// (the audio thread under automation: it only hands the value over, with no
// system call); the poll (reading the UI's records, sending the changes handed
// over, reaping an ended UI) on the poll timer's thread.
#pragma once

#include "aeffeditor.h"
#include "audioeffectx.h"
#include "editorscale.h"
#include "parameterhandoff.h"
#include "timer.h"

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

class Morvessine3Editor : public AEffEditor {
public:
    static constexpr int32_t kPollMilliseconds = 10;
    // The longest the effect's destruction waits for its UI to end, killing included.
    static constexpr int kTerminateWaitMilliseconds = 1500;

    Morvessine3Editor(AudioEffect* effect, int32_t instanceNumber);
    ~Morvessine3Editor() override;

    bool getRect(ERect** rect) override;
    bool open(void* window) override;
    void close() override;
    void idle() override {}

    // Any thread, the audio thread among them: real-time, no allocation, no lock,
    // no system call.
    void setParameter(int32_t index, float value);
    bool resize(int32_t width, int32_t height);
    // Host UI thread: the factor a host hands over with 'PreS'. An open editor whose
    // rectangle it changes asks the host to resize its window.
    void setHostScale(float factor);
    // Stops the poll and waits for a tick in progress; the effect calls it before
    // it tears itself down, so that no tick reaches a half-destroyed effect.
    void stopPolling();

    // The editor's own message sender: 1 writes a parameter record, 5 its single byte.
    void dispatcher(int32_t opcode, int32_t index, intptr_t value, float opt, char* text,
                    void* ptr);
    // Poll thread: one tick.
    void poll();
    // Poll thread: applies what the UI wrote since the last tick.
    void processMessageFromUI();
    // Poll thread, or the host thread once the poll has stopped: writes a record
    // for every parameter changed since the last time.
    void sendParameterChanges();

    bool copyUIExecutable();
    void openUI(void* window);
    bool prepareFifo();
    bool createFifo(const char* path);
    bool openUiFifo(const char* path);
    bool openPluginFifo(const char* path);

    pid_t uiProcess() const { return uiPid.load(std::memory_order_relaxed); }
    const std::string& executablePath() const { return uiExecutablePath; }

private:
    bool openFifo(std::atomic<int>& fd, const char* path, const char* failure);
    void prepareReadBuffer();
    bool writeParameterRecord(int32_t index, float value);
    void sendOpenMessage(const std::string& windowText);
    bool startUIProcess(const std::string& windowText);
    void removeFifo(const char* path);
    void reapEndedUI();
    void endUIProcess();
    void removeExecutable();
    void settleScale();
    bool hostScalesEditors();

    // The scale is chosen at the first rectangle request or open after a close, and held
    // while the editor is open: the host sizes its window by the rectangle it was given.
    // Host UI thread only, as are the next four fields.
    ERect rectangle = editorscale::rectangleFor(1.0, false);
    bool scaleSettled = false;
    std::optional<float> hostScale;
    std::optional<bool> hostScalesItself; // the host is asked once
    std::string lastScaleLine;            // printed once until the scale changes
    AudioEffectX* effectX;
    std::atomic<bool> editorOpen{false};
    int32_t instanceNumber;
    bool firstOpen = true;
    bool wroteExecutable = false;
    std::string uiExecutablePath;
    struct stat executableStatus {}; // of the file as written, to know it again
    char uiFifoPath[256] = {};
    std::atomic<int> uiFifoFd{-1};
    // The UI FIFO's capacity, the most one poll reads, and the buffer it reads
    // into: both set once, at the first open, before the poll starts (which
    // orders them before every tick).
    int32_t fifoCapacity = 0;
    std::unique_ptr<uint8_t[]> readBuffer;
    char pluginFifoPath[256] = {};
    std::atomic<int> pluginFifoFd{-1};
    ParameterHandoff echoes; // the changes the UI is to hear of
    std::unique_ptr<Timer> pollTimer;
    // -1 once reaped. Atomic: a tick may reap the UI while the host thread looks.
    std::atomic<pid_t> uiPid{-1};
};
