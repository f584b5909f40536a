#include "playhelp.h"

#include "midiinput.h"
#include "soundoutput.h"

namespace pl3play {

namespace {

constexpr const char* kUsage = R"(Usage: pravolindel3-play [OPTIONS]

Plays the PravoLindel3 looper live: a VST 2.4 host that runs the plug-in in real time on a
looping input, with its editor in a window, and records everything it puts out. Play the
loops with the mouse in the editor: hold a loop, FX or reverse button down with the left
button, or right-click it to latch it on until the next click, or play them with MIDI notes
(below). Ctrl-C, SIGTERM or closing the window ends the session.

Input:
  --input FILE       a WAV, FLAC or AIFF file, mono (fed to both inputs) or stereo. Without
                     it the demo's groove plays: 8 bars of synthesised drums and bass at
                     --tempo. The input loops: song frame p plays input frame p mod length.
  --tempo BPM        tempo of the host's transport (and of the groove), 20 to 400,
                     default 120; the time signature is 4/4
  --rate HZ          sample rate of the session, 8000 to 192000, default 44100. An input file
                     plays at its own rate; naming another one with it is an error.
  --block FRAMES     frames per process call, 16 to 16384, default 256

Output:
  --output FILE      where everything the plug-in puts out goes, from song frame 0 on: .wav
                     (32-bit float, the default), .flac (24-bit) or .aif/.aiff (32-bit
                     float); default pravolindel3-play.wav in the current folder. It is
                     written under a hidden temporary name beside it and renamed at the end,
                     so output frame i is song frame i and an interrupted session leaves no
                     partial file.
  --audio DEVICE     also play through the ALSA device DEVICE, 32-bit float or 16-bit
                     interleaved stereo; its blocking writes then pace the session. 'none'
                     plays nothing and paces by the clock alone, as does a device that
                     cannot be opened (one line says so) and ALSA's "null" device.
                     Default: %AUDIO%.
  --events FILE      write one line per parameter change the plug-in reports to the host
                     (each editor edit), flushed as it comes:
                       automate INDEX VALUE frame SONGFRAME
                     SONGFRAME is the first frame of the block in progress when it arrived

MIDI notes (any channel; the plug-in's note map: 36 to 39 hold Loop1 to Loop4 on, 40 to 43
FX1 to FX4, 44 to 47 rev1 to rev4; 48 to 59 toggle the same twelve):
  --midi-port        open an ALSA sequencer port, client "pravolindel3-play", port
                     "midi in", and play the notes that come in on it; connect a controller
                     with aconnect or a patchbay. One line gives its address:
                       pravolindel3-play: MIDI input on ALSA sequencer port CLIENT:PORT (...)
                     A note reaches the plug-in in the block after it came in, as far into
                     the block as it came into the one before.%PORT%
  --midi-file FILE   play the notes of FILE, each at its exact frame. One note a line,
                       <beat> on|off <note> [velocity]
                     with '#' starting a comment: BEAT from 0 (the song start) on the
                     --tempo grid, NOTE and VELOCITY 0 to 127 (default 100 on, 64 off).
                     Notes go out on channel 1 in beat order. A malformed line is an error
                     that names the file and the line.

Session:
  --seconds S        end after S seconds of song (rounded up to whole blocks); without it
                     the session runs until it is ended
  --no-editor        open no window (no X display needed)
  --geometry +X+Y    where the editor window's top-left corner goes, default +100+100
  --plugin PATH      the plug-in .so to load (default: PravoLindel3.so in the folder of
                     this program)
  -h, --help         print this help

The host starts the plug-in as real hosts do (effOpen, sample rate, block size, bypass off,
resume) and rolls its transport from frame 0. Then it opens the editor: a window of exactly
the size the plug-in asks for, titled "PravoLindel3 play", and prints
  pravolindel3-play: editor window 0xID at X,Y
The session ends at the first Ctrl-C or SIGTERM, when the window is closed or destroyed, or
after --seconds: editor closed, audio stopped, file completed, plug-in suspended and closed
(its UI process ends with it), then
  pravolindel3-play: wrote N frames (S s) to FILE
and the exit status 0. A second Ctrl-C while it ends does not wait: the temporary file is
removed and the status is 130.

Errors and warnings are one line each on stderr; the status is 2 for a wrong command line,
1 for anything else (a file, the plug-in, the X display).

Examples:
  Play the groove with the editor and hear it:
    pravolindel3-play
  Loop a file of your own at 96 BPM, keeping what you play in take1.wav:
    pravolindel3-play --input drums.wav --tempo 96 --output take1.wav
  Ten seconds, silent and headless, with the parameter changes in a file:
    pravolindel3-play --no-editor --audio none --seconds 10 --events changes.txt
  Loop1 held from beat 4.5 to beat 12 by a notes file (two lines: "4.5 on 36", "12 off 36"):
    pravolindel3-play --midi-file loop1.txt --seconds 8
  Play the loops from a keyboard on ALSA client 24: start
    pravolindel3-play --midi-port
  and connect the keyboard to it from another terminal:
    aconnect 24:0 pravolindel3-play:0
)";

void replace(std::string& text, const std::string& mark, const std::string& with)
{
    text.replace(text.find(mark), mark.size(), with);
}

} // namespace

std::string playHelpText()
{
    std::string text = kUsage;
    replace(text, "%PORT%",
            kMidiInputBuiltIn ? "" : "\n                     (This build has no ALSA: no port.)");
    replace(text, "%AUDIO%",
            kSoundOutputBuiltIn ? "\"default\", ALSA's own choice"
                                : "none (this build has no ALSA: only 'none')");
    return text;
}

} // namespace pl3play
