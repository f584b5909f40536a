// One plug-in module loaded into the test host: the library, its effect record
// and typed wrappers around the record's entries. Everything reaches the
// plug-in through the record's function pointers, as a host's would.
//
// The Host must outlive the LoadedPlugin. Wrappers run on the calling thread
// and take no lock: a test that processes on one thread and dispatches on
// another gets exactly the concurrency a real host would give the plug-in.
#pragma once

#include "host.h"
#include "vst24.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hostcore {

// A text request answered into a pre-filled buffer, so a test can see how much
// the plug-in wrote and whether it terminated the text.
struct TextReply {
    static constexpr std::size_t kBufferSize = 256;
    static constexpr char kFill = '\x7f';

    VstIntPtr result = 0;
    std::string text;        // up to the first NUL, or the whole buffer
    bool terminated = false; // a NUL was written
    std::size_t touched = 0; // one past the last byte that differs from kFill
};

// One MIDI message for the next block: the frame of the block it falls on and
// its status and data bytes.
struct MidiMessage {
    VstInt32 deltaFrames = 0;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

struct PinReply {
    VstIntPtr result = 0;
    VstPinProperties properties{};
};

struct RectReply {
    VstIntPtr result = 0;
    std::optional<ERect> rect; // the rectangle the plug-in pointed to, if any
};

struct ScanReport {
    VstIntPtr vstVersion = 0;
    std::string effectName;
    std::string vendor;
    VstIntPtr category = 0;
    std::map<std::string, VstIntPtr> canDo;
};

class LoadedPlugin {
public:
    static constexpr const char* kEntryPoint = "VSTPluginMain";
    // The entry name older Linux hosts look up; some builds export only it.
    static constexpr const char* kLegacyEntryPoint = "main";

    // Loads the module and calls its entry with the host's callback. Throws
    // HostError (OpenFailed, NoEntryPoint, NullEffect, BadMagic).
    LoadedPlugin(const std::string& path, Host& host);
    // effClose unless already closed, then dlclose.
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    const std::string& path() const { return path_; }
    const std::string& entrySymbol() const { return entrySymbol_; }
    Host& host() { return host_; }
    bool closed() const { return effect_ == nullptr; }
    // The record; throws HostError(Closed) after effClose.
    AEffect& effect() const;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // Lifecycle and session.
    VstIntPtr open();
    // effClose; the record is gone afterwards and must not be touched.
    VstIntPtr close();
    VstIntPtr setSampleRate(float sampleRate);
    VstIntPtr setBlockSize(VstInt32 blockSize);
    VstIntPtr mainsChanged(bool on);
    VstIntPtr setBypass(bool bypass);
    VstIntPtr startProcess();
    VstIntPtr stopProcess();

    // What a scanner does to a fresh instance, ending with effClose.
    ScanReport scan(const std::vector<std::string>& canDoQueries = kScanCanDos);
    // What a host does before the first block; also tells the host the values.
    void startSession(double sampleRate, VstInt32 blockSize);
    static const std::vector<std::string> kScanCanDos;

    // Parameters and programs.
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    TextReply parameterName(VstInt32 index);
    TextReply parameterLabel(VstInt32 index);
    TextReply parameterDisplay(VstInt32 index);
    TextReply programName();
    VstIntPtr setProgram(VstIntPtr program);
    VstIntPtr getProgram();

    // Identity and capabilities.
    TextReply effectName();
    TextReply vendorString();
    TextReply productString();
    VstIntPtr vendorVersion();
    VstIntPtr vstVersion();
    VstIntPtr canDo(const std::string& text);
    VstIntPtr plugCategory();
    PinReply inputProperties(VstInt32 pin);
    PinReply outputProperties(VstInt32 pin);

    // Editor. The window is the X11 id of the host's parent window.
    RectReply editorRect();
    VstIntPtr editorOpen(unsigned long window);
    VstIntPtr editorClose();
    VstIntPtr editorIdle();
    // effVendorSpecific 'PreS': the host's scale factor for the editor, in opt.
    VstIntPtr sendScaleFactor(float factor);

    // Events. The messages of the next block as VstMidiEvents, through
    // effProcessEvents, as a host sends them on its audio thread just before
    // processReplacing. Nothing is allocated: each list of up to
    // kEventsPerList messages is built on the stack, and more messages go out
    // in further lists. Returns the plug-in's answer to the last list; 0 and
    // no call for no messages.
    static constexpr std::size_t kEventsPerList = 128;
    VstIntPtr sendEvents(std::span<const MidiMessage> messages);

    // Processing. process() is one host cycle: the transport makes the block's
    // time information, then processReplacing runs. The other three call
    // their entry and nothing else.
    void process(float** inputs, float** outputs, VstInt32 frames);
    void processReplacing(float** inputs, float** outputs, VstInt32 frames);
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 frames);
    void processAccumulating(float** inputs, float** outputs, VstInt32 frames);

private:
    struct Library {
        void* handle = nullptr;
        ~Library();
    };

    void resolveEntry();
    TextReply textRequest(VstInt32 opcode, VstInt32 index = 0);
    PinReply pinRequest(VstInt32 opcode, VstInt32 pin);
    template <typename Entry> Entry require(Entry entry, const char* name) const;

    std::string path_;
    Host& host_;
    Library library_;
    std::string entrySymbol_;
    AEffect* effect_ = nullptr;
};

} // namespace hostcore
