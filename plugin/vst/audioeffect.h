// The basic effect frame: fills the AEffect record the host sees, routes the
// record's entries to virtual operations, owns the editor, and wraps the host
// callback. A concrete effect overrides what it needs.
//
// Threads: the dispatcher entries run on the host's user-interface thread, the
// process and parameter entries on its audio thread (parameters also from any
// other thread). The frame itself takes no lock and keeps no shared state.
#pragma once

#include "vst24.h"

#include <cstddef>

class AEffEditor;

// Copies at most maxLength characters of source and always terminates, so the
// destination must hold maxLength + 1 bytes. A null destination is left alone.
void copyText(char* destination, const char* source, size_t maxLength);

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float newSampleRate) { sampleRate = newSampleRate; }
    virtual void setBlockSize(VstInt32 newBlockSize) { blockSize = newBlockSize; }

    // Audio thread, real-time: no allocation, no lock, no blocking call.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        VstInt32 /*sampleFrames*/)
    {
    }

    // Any thread: the host's audio and user-interface threads, and editor threads.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);
    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/)
    {
        return 0;
    }

    virtual void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }

    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();

    // Value-to-text helpers: text receives at most maxLength characters plus a 0 byte.
    virtual void dB2string(float value, char* text, VstInt32 maxLength);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLength);
    virtual void ms2string(float samples, char* text, VstInt32 maxLength);
    virtual void float2string(float value, char* text, VstInt32 maxLength);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLength);

    virtual void __processDeprecated(float** /*inputs*/, float** /*outputs*/,
                                     VstInt32 /*sampleFrames*/)
    {
    }
    virtual float __getVuDeprecated() { return 0.0f; }
    virtual void __hasVuDeprecated(bool state) { setFlag(effFlagsHasVu, state); }
    virtual void __hasClipDeprecated(bool state) { setFlag(effFlagsHasClip, state); }
    virtual void __canMonoDeprecated(bool state) { setFlag(effFlagsCanMono, state); }
    virtual void __setRealtimeQualitiesDeprecated(VstInt32 qualities)
    {
        cEffect.realQualities = qualities;
    }
    virtual void __setOfflineQualitiesDeprecated(VstInt32 qualities)
    {
        cEffect.offQualities = qualities;
    }
    virtual bool __isInputConnectedDeprecated(VstInt32 input);
    virtual bool __isOutputConnectedDeprecated(VstInt32 output);

    // Not virtual: registers (or, with null, removes) the editor and its flag.
    void setEditor(AEffEditor* newEditor);

    // The record's entries. Each finds the effect through the record's object field.
    static VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
    static float getParameterClass(AEffect* e, VstInt32 index);
    static void setParameterClass(AEffect* e, VstInt32 index, float value);
    static void processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                      VstInt32 sampleFrames);
    static void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                            VstInt32 sampleFrames);
    static void __processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                         VstInt32 sampleFrames);

protected:
    void setFlag(VstInt32 flag, bool state);
    // Sends one request to the host, or answers noHost when there is no callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f, VstIntPtr noHost = 0);
    bool hasHost() const { return audioMaster != nullptr; }

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;
};

// Makes the one concrete effect of this plug-in; the only place that names it.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
