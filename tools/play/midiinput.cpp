#include "midiinput.h"

#include "blockclock.h"
#include "interruptcleanup.h"
#include "rendererror.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

namespace pl3play {

namespace {

// ALSA prints its own diagnostics to stderr; the tool says what matters in one line.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

[[noreturn]] void fail(const char* what, int error)
{
    throw pl3render::RenderError(std::string("--midi-port: cannot ") + what + ": " +
                                 snd_strerror(error));
}

class AlsaMidiInput : public MidiInput {
public:
    explicit AlsaMidiInput(NoteRing& ring);
    ~AlsaMidiInput() override;

    std::string address() const override;
    std::uint64_t droppedNotes() const override { return dropped_.load(); }

private:
    void createPort();
    void readNotes();
    void drain();
    void hand(const snd_seq_event_t& event);

    NoteRing& ring_;
    snd_seq_t* sequencer_ = nullptr;
    int port_ = -1;
    int stop_ = -1; // an eventfd that wakes the reader to end
    std::atomic<std::uint64_t> dropped_{0};
    std::thread reader_;
};

AlsaMidiInput::AlsaMidiInput(NoteRing& ring) : ring_(ring)
{
    snd_lib_error_set_handler(quietAlsa);
    if (const int error =
            snd_seq_open(&sequencer_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
        error < 0)
        fail("open the ALSA sequencer", error);
    try {
        createPort();
        stop_ = eventfd(0, EFD_CLOEXEC);
        if (stop_ < 0) fail("make the reader's wake-up descriptor", -errno);
    } catch (...) {
        snd_seq_close(sequencer_);
        throw;
    }
    // The thread inherits the blocked signals: they all go to the main loop.
    pl3render::DeferredInterrupts deferred;
    reader_ = std::thread([this] { readNotes(); });
}

AlsaMidiInput::~AlsaMidiInput()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
    reader_.join();
    close(stop_);
    snd_seq_close(sequencer_);
}

void AlsaMidiInput::createPort()
{
    if (const int error = snd_seq_set_client_name(sequencer_, kClientName); error < 0)
        fail("name the sequencer client", error);
    port_ = snd_seq_create_simple_port(
        sequencer_, kPortName, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port_ < 0) fail("create the sequencer port", port_);
}

std::string AlsaMidiInput::address() const
{
    return std::to_string(snd_seq_client_id(sequencer_)) + ":" + std::to_string(port_);
}

// Waits on the sequencer and the stop descriptor together.
void AlsaMidiInput::readNotes()
{
    const int count = snd_seq_poll_descriptors_count(sequencer_, POLLIN);
    std::vector<pollfd> watched(static_cast<std::size_t>(count) + 1);
    watched[0] = {stop_, POLLIN, 0};
    snd_seq_poll_descriptors(sequencer_, watched.data() + 1, static_cast<unsigned>(count), POLLIN);
    for (;;) {
        if (poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR) return;
        if (watched[0].revents & POLLIN) return;
        drain();
    }
}

// Until the sequencer has nothing more; an overrun (-ENOSPC) lost events but the input goes
// on.
void AlsaMidiInput::drain()
{
    snd_seq_event_t* event = nullptr;
    for (;;) {
        const int result = snd_seq_event_input(sequencer_, &event);
        if (result == -ENOSPC) continue;
        if (result < 0) return;
        if (event) hand(*event);
    }
}

void AlsaMidiInput::hand(const snd_seq_event_t& event)
{
    std::uint8_t status = 0;
    if (event.type == SND_SEQ_EVENT_NOTEON)
        status = NotesFile::kNoteOn;
    else if (event.type == SND_SEQ_EVENT_NOTEOFF)
        status = NotesFile::kNoteOff;
    else
        return;
    const LiveNote note{BlockClock::now(),
                        {static_cast<std::uint8_t>(status | (event.data.note.channel & 0x0f)),
                         static_cast<std::uint8_t>(event.data.note.note & 0x7f),
                         static_cast<std::uint8_t>(event.data.note.velocity & 0x7f)}};
    if (!ring_.push(note)) dropped_.fetch_add(1);
}

} // namespace

std::unique_ptr<MidiInput> openMidiInput(NoteRing& ring)
{
    return std::make_unique<AlsaMidiInput>(ring);
}

} // namespace pl3play
