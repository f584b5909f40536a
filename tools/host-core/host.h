// A scriptable VST 2.4 host: answers the plug-in's callback with values the
// test sets, records the requests whose arguments matter and counts the rest.
//
// Thread safety: the callback may be entered from any thread at once (the
// audio thread, the UI thread, a plug-in's own poll thread); recording and
// counting are safe against that. Configuration setters and the transport
// belong to the test's driving thread and are not meant to race with
// processing.
#pragma once

#include "transport.h"
#include "vst24.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hostcore {

// One recorded audioMasterAutomate, audioMasterUpdateDisplay or
// audioMasterSizeWindow request.
struct HostRequest {
    const AEffect* effect; // as the plug-in passed it: null if it named no record
    VstInt32 opcode;
    VstInt32 index;  // automate: parameter index; size window: width
    VstIntPtr value; // size window: height
    float opt;       // automate: parameter value
    std::thread::id thread;
    std::int64_t stamp = 0; // what the request clock held when it arrived (0 without one)
};

class Host {
public:
    static constexpr VstIntPtr kDefaultVersion = 2400;

    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The function handed to the plug-in's entry.
    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

    // Routes the record's later callbacks to this host (through resvd1, which
    // the interface leaves to the host).
    void attach(AEffect& effect);

    // Calls made on this thread with no known record (the entry's version
    // query, anything during construction) go to `host` while the guard lives.
    class LoadingGuard {
    public:
        explicit LoadingGuard(Host& host);
        ~LoadingGuard();
        LoadingGuard(const LoadingGuard&) = delete;
        LoadingGuard& operator=(const LoadingGuard&) = delete;

    private:
        Host* previous_;
    };

    // Fixed answer for an opcode not computed from the session (version,
    // current id, update display ...). Defaults: version 2400, update display
    // and size window 1, everything else 0.
    void setAnswer(VstInt32 opcode, VstIntPtr answer);
    void setVersion(VstIntPtr version) { setAnswer(audioMasterVersion, version); }
    void setCanDo(const std::string& text, VstIntPtr answer);
    void setCanDoDefault(VstIntPtr answer);
    // The name answered to audioMasterGetProductString (a host calling itself "Qtractor",
    // say); empty, as at the start: the request is answered 0 and nothing is written.
    void setProductString(const std::string& product);
    // Called for every audioMasterSizeWindow with the width and height asked for, on the
    // thread the plug-in asks from, after the request is recorded; its answer goes to the
    // plug-in. Empty, as at the start: the fixed answer. Set while no plug-in calls in.
    void setWindowSizer(std::function<bool(int width, int height)> sizer)
    {
        windowSizer_ = std::move(sizer);
    }

    // Session values, answered to audioMasterGetSampleRate / GetBlockSize; the
    // sample rate also goes to the transport.
    void setSampleRate(double sampleRate);
    void setBlockSize(VstInt32 blockSize);
    double sampleRate() const { return sampleRate_.load(); }
    VstInt32 blockSize() const { return blockSize_.load(); }

    Transport& transport() { return transport_; }
    // false: audioMasterGetTime answers null.
    void setTimeInfoAvailable(bool available) { timeInfoAvailable_.store(available); }
    // Like some hosts, leave the tempo out unless kVstTempoValid was asked for.
    void setTempoOnlyWhenRequested(bool only) { tempoOnlyWhenRequested_.store(only); }
    // Edits every record handed out, after the transport made it: a host with
    // broken fields. Set between blocks on the driving thread; empty: no edit.
    void setTimeInfoEdit(std::function<void(VstTimeInfo&)> edit)
    {
        timeInfoEdit_ = std::move(edit);
    }
    // The flag mask of the latest audioMasterGetTime request.
    VstIntPtr lastTimeRequestMask() const { return lastTimeMask_.load(); }

    // Calls per opcode, recorded ones included; every opcode outside the
    // interface's range shares one count.
    std::uint64_t callCount(VstInt32 opcode) const;
    std::uint64_t nullRecordCallCount(VstInt32 opcode) const;

    std::vector<HostRequest> requests(VstInt32 opcode) const;
    std::vector<HostRequest> automations() const { return requests(audioMasterAutomate); }
    std::vector<HostRequest> displayUpdates() const { return requests(audioMasterUpdateDisplay); }
    std::vector<HostRequest> sizeRequests() const { return requests(audioMasterSizeWindow); }
    void clearRecords();
    // Hands over every recorded request, in arrival order, and forgets them while keeping the
    // room reserved: a long-running host reads each request once and the record never grows.
    // Counts are left alone.
    std::vector<HostRequest> takeRequests();
    // Requests recorded from now on carry the value `clock` holds as they arrive (a song
    // position, say). Null: they carry 0. The clock must outlive its use.
    void setRequestClock(const std::atomic<std::int64_t>* clock) { requestClock_.store(clock); }

private:
    static constexpr std::size_t kOpcodeSlots = 64;

    static std::size_t slotOf(VstInt32 opcode);
    VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt);
    void record(const AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt);
    VstIntPtr timeInfo(VstIntPtr requestMask);
    VstIntPtr canDo(const char* text) const;
    VstIntPtr productString(char* text) const;

    std::array<std::atomic<VstIntPtr>, kOpcodeSlots + 1> answers_{};
    std::array<std::atomic<std::uint64_t>, kOpcodeSlots + 1> calls_{};
    std::array<std::atomic<std::uint64_t>, kOpcodeSlots + 1> nullRecordCalls_{};

    mutable std::mutex textsMutex_;
    std::map<std::string, VstIntPtr> canDoAnswers_;
    VstIntPtr canDoDefault_ = 0;
    std::string product_;
    std::function<bool(int, int)> windowSizer_;

    mutable std::mutex requestsMutex_;
    std::vector<HostRequest> requests_;
    std::atomic<const std::atomic<std::int64_t>*> requestClock_{nullptr};

    std::atomic<double> sampleRate_{44100.0};
    std::atomic<VstInt32> blockSize_{1024};
    std::atomic<bool> timeInfoAvailable_{true};
    std::atomic<bool> tempoOnlyWhenRequested_{false};
    std::atomic<VstIntPtr> lastTimeMask_{0};
    Transport transport_;
    // The record handed out for audioMasterGetTime; written by the audio thread.
    VstTimeInfo timeAnswer_{};
    std::function<void(VstTimeInfo&)> timeInfoEdit_;
};

} // namespace hostcore
