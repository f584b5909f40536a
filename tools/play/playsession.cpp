#include "playsession.h"

#include "pluginpath.h"
#include "rendererror.h"
#include "soundoutput.h"

#include <cmath>
#include <poll.h>
#include <sys/wait.h>

namespace pl3play {

namespace {

constexpr const char* kPrefix = "pravolindel3-play: ";

std::unique_ptr<EditorWindow> windowFor(const PlayOptions& options)
{
    return options.editor ? std::make_unique<EditorWindow>() : nullptr;
}

std::unique_ptr<EventLog> eventLogFor(const PlayOptions& options)
{
    return options.eventsFile.empty() ? nullptr : std::make_unique<EventLog>(options.eventsFile);
}

std::string pluginPath(const PlayOptions& options)
{
    return options.plugin.empty() ? pl3render::defaultPluginPath() : options.plugin;
}

// The UI process the plug-in started is its child, and so this program's: once the plug-in
// is closed nobody else will wait for it.
void reapEndedChildren()
{
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

} // namespace

PlaySession::PlaySession(const PlayOptions& options, SignalPipe& signals, std::FILE* out,
                         std::FILE* err)
    : options_(options), signals_(signals), out_(out), err_(err), window_(windowFor(options)),
      song_(loadSong(options)), notes_(openNotes()), sound_(openSound()),
      events_(eventLogFor(options)),
      ring_(AudioThread::kFileChannels,
            static_cast<std::size_t>(kRingSeconds) * static_cast<std::size_t>(song_.sampleRate)),
      writer_(options.output, song_.sampleRate, ring_), plugin_(startPlugin())
{
    audio_ = std::make_unique<AudioThread>(*plugin_, song_, ring_, sound_.get(), options_.blockSize,
                                           blockLimit(), songFrame_, notes_.get());
}

PlaySession::~PlaySession() = default;

// The notes file is read whole before anything plays; the port's reader starts at once.
std::unique_ptr<NoteFeed> PlaySession::openNotes()
{
    if (!options_.takesNotes()) return nullptr;
    std::vector<ScheduledNote> scheduled;
    if (!options_.midiFile.empty())
        scheduled =
            scheduleNotes(readNotesFile(options_.midiFile), options_.tempo, song_.sampleRate);
    if constexpr (kMidiInputBuiltIn) {
        if (options_.midiPort) {
            liveNotes_ = std::make_unique<NoteRing>(kLiveNotes);
            midiInput_ = openMidiInput(*liveNotes_);
        }
    }
    return std::make_unique<NoteFeed>(std::move(scheduled), liveNotes_.get(), song_.sampleRate,
                                      options_.blockSize);
}

std::unique_ptr<BlockSink> PlaySession::openSound()
{
    if constexpr (kSoundOutputBuiltIn) {
        if (!options_.audible()) return nullptr;
        std::string reason;
        auto sound =
            openSoundOutput(options_.audioDevice, song_.sampleRate, options_.blockSize, reason);
        if (!sound)
            std::fprintf(err_, "%sno sound output (%s: %s); writing the file only\n", kPrefix,
                         options_.audioDevice.c_str(), reason.c_str());
        return sound;
    } else {
        return nullptr;
    }
}

// The start a host gives a session, then a transport that rolls from frame 0.
std::unique_ptr<hostcore::LoadedPlugin> PlaySession::startPlugin()
{
    auto plugin = std::make_unique<hostcore::LoadedPlugin>(pluginPath(options_), host_);
    if (plugin->effect().numOutputs < 1)
        throw pl3render::RenderError(plugin->path() + " has no audio outputs");
    host_.setRequestClock(&songFrame_);
    host_.transport().setTempo(options_.tempo);
    plugin->startSession(song_.sampleRate, options_.blockSize);
    host_.transport().play();
    return plugin;
}

std::uint64_t PlaySession::blockLimit() const
{
    if (!options_.limited()) return 0;
    const double blocks = std::ceil(options_.seconds * song_.sampleRate / options_.blockSize);
    return static_cast<std::uint64_t>(blocks);
}

void PlaySession::run()
{
    announceMidiPort();
    openEditor();
    writer_.start();
    audio_->start();
    waitForEnd();
    end();
}

void PlaySession::announceMidiPort()
{
    if (!midiInput_) return;
    std::fprintf(out_, "%sMIDI input on ALSA sequencer port %s (%s:%s)\n", kPrefix,
                 midiInput_->address().c_str(), MidiInput::kClientName, MidiInput::kPortName);
    std::fflush(out_);
}

void PlaySession::openEditor()
{
    if (!window_) return;
    const hostcore::RectReply rect = plugin_->editorRect();
    const bool hasEditor = (plugin_->effect().flags & effFlagsHasEditor) && rect.rect &&
                           rect.rect->right > rect.rect->left && rect.rect->bottom > rect.rect->top;
    if (!hasEditor) {
        std::fprintf(err_, "%s%s has no editor; playing without one\n", kPrefix,
                     plugin_->path().c_str());
        window_.reset();
        return;
    }
    window_->show(rect.rect->right - rect.rect->left, rect.rect->bottom - rect.rect->top,
                  {options_.windowX, options_.windowY});
    plugin_->editorOpen(window_->id());
    editorOpen_ = true;
    const ScreenPoint at = window_->positionOnScreen();
    std::fprintf(out_, "%seditor window 0x%lx at %d,%d\n", kPrefix, window_->id(), at.x, at.y);
    std::fflush(out_);
}

void PlaySession::waitForEnd()
{
    for (;;) {
        pollfd watched[] = {{signals_.descriptor(), POLLIN, 0},
                            {window_ ? window_->connection() : -1, POLLIN, 0}};
        poll(watched, 2, kTurnMilliseconds);
        if (signals_.takeSignal()) return;
        if (window_) {
            if (window_->processEvents()) return;
            plugin_->editorIdle();
        }
        copyEvents();
        if (audio_->finished()) return;
    }
}

void PlaySession::copyEvents()
{
    // Taken even without an events file, so that the host's record stays small.
    const std::vector<hostcore::HostRequest> requests = host_.takeRequests();
    if (events_) events_->write(requests);
}

void PlaySession::end()
{
    if (editorOpen_) plugin_->editorClose();
    editorOpen_ = false;
    if (window_) window_->destroy();
    audio_->stop();
    writer_.finish();
    copyEvents();
    plugin_->mainsChanged(false);
    plugin_->close();
    reapEndedChildren();
    report();
}

void PlaySession::report()
{
    const std::uint64_t frames = writer_.framesWritten();
    std::fprintf(out_, "%swrote %llu frames (%.3f s) to %s\n", kPrefix,
                 static_cast<unsigned long long>(frames),
                 static_cast<double>(frames) / song_.sampleRate, options_.output.c_str());
    std::fflush(out_);
    if (const std::uint64_t dropped = audio_->droppedFrames())
        std::fprintf(err_, "%sthe file writer fell behind: %llu frames are missing from %s\n",
                     kPrefix, static_cast<unsigned long long>(dropped), options_.output.c_str());
    if (midiInput_ && midiInput_->droppedNotes() > 0)
        std::fprintf(err_, "%sthe audio thread fell behind the MIDI input: %llu notes were lost\n",
                     kPrefix, static_cast<unsigned long long>(midiInput_->droppedNotes()));
    if (sound_ && sound_->underruns() > 0)
        std::fprintf(err_, "%sthe sound output ran dry %llu times\n", kPrefix,
                     static_cast<unsigned long long>(sound_->underruns()));
}

} // namespace pl3play
