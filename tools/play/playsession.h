// One play session: the song, the plug-in in a host session of its own, the audio and writer
// threads and, unless it is left out, the editor in a window of the tool's. The main thread
// runs the loop that waits for the end: a signal, the window closing or the time limit.
#pragma once

#include "audiothread.h"
#include "blocksink.h"
#include "editorwindow.h"
#include "eventlog.h"
#include "framering.h"
#include "host.h"
#include "loadedplugin.h"
#include "midiinput.h"
#include "notefeed.h"
#include "notering.h"
#include "outputwriter.h"
#include "playoptions.h"
#include "signalpipe.h"
#include "song.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace pl3play {

class PlaySession {
public:
    static constexpr int kTurnMilliseconds = 30;
    static constexpr int kRingSeconds = 4;
    static constexpr std::size_t kLiveNotes = 1024;

    // Opens the display, makes or reads the song, reads the notes file, opens the MIDI port,
    // the sound device, the events file and the temporary output file, loads the plug-in and starts
    // its host session, all before any audio runs. Throws pl3render::RenderError,
    // pl3render::UsageError or hostcore::HostError; nothing it made stays behind when it does.
    PlaySession(const PlayOptions& options, SignalPipe& signals, std::FILE* out, std::FILE* err);
    ~PlaySession();
    PlaySession(const PlaySession&) = delete;
    PlaySession& operator=(const PlaySession&) = delete;

    // Opens the editor, plays until the end comes, then ends as a host ends a session: editor
    // closed and its window destroyed, audio stopped, the file completed, the plug-in
    // suspended and closed. Prints the editor's line and the summary on `out`.
    void run();

private:
    std::unique_ptr<NoteFeed> openNotes();
    std::unique_ptr<BlockSink> openSound();
    std::unique_ptr<hostcore::LoadedPlugin> startPlugin();
    std::uint64_t blockLimit() const;
    void announceMidiPort();
    void openEditor();
    void waitForEnd();
    void copyEvents();
    void end();
    void report();

    PlayOptions options_;
    SignalPipe& signals_;
    std::FILE* out_;
    std::FILE* err_;
    std::unique_ptr<EditorWindow> window_;
    Song song_;
    std::unique_ptr<NoteRing> liveNotes_;
    std::unique_ptr<MidiInput> midiInput_;
    std::unique_ptr<NoteFeed> notes_; // null without notes
    std::unique_ptr<BlockSink> sound_;
    std::unique_ptr<EventLog> events_;
    FrameRing ring_;
    OutputWriter writer_;
    // Declared before the host and the plug-in: the plug-in's threads read it through the
    // host until effClose.
    std::atomic<std::int64_t> songFrame_{0};
    hostcore::Host host_;
    std::unique_ptr<hostcore::LoadedPlugin> plugin_;
    // Declared last: the audio thread stops before the plug-in goes.
    std::unique_ptr<AudioThread> audio_;
    bool editorOpen_ = false;
};

} // namespace pl3play
