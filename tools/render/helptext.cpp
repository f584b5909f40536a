#include "helptext.h"

namespace pl3render {

const char* helpText()
{
    return R"(Usage: pravolindel3-render [OPTIONS] INPUT OUTPUT [EVENT...]
       pravolindel3-render [--timeline FILE]... [--at EVENT]... --write-timeline FILE
       pravolindel3-render [--plugin PATH] --list-parameters

Plays an audio file through a VST 2.4 plug-in offline, as a host exporting a
session would, under a simulated transport, and writes what comes out.

INPUT is a WAV, FLAC or AIFF file, mono or stereo; a mono file feeds both plug-in
inputs. The render keeps the input's sample rate. OUTPUT takes its format from
its extension: .wav (32-bit float), .flac (24-bit), .aif or .aiff (32-bit float).
It is written under a hidden temporary name in the same folder and renamed when
complete, so an error or an interruption never leaves a partial file. Ctrl-C or
SIGTERM stops the render after the current block, closes the plug-in and exits
with status 130; a second one exits at once.

Plug-in:
  --plugin PATH        the plug-in .so to load (default: PravoLindel3.so in the
                       folder of this program)
  --list-parameters    print what a host reads from the plug-in: its names, pins
                       and parameters (index, name, value, text); needs no files

Transport:
  --tempo BPM          tempo of the transport from the song start (above 0, at
                       most 1000), default 120; tempo events change it later
  --start BEATS        song position of the input's first frame, default 0
  --block N            frames per process call, default 512
  --preroll SECONDS    process this long with the transport stopped first, as a
                       host does before an export (silent input, output dropped)
  --no-tempo           leave kVstTempoValid out of the time information (the
                       transport still runs, and events are placed, at --tempo
                       and the tempo events)
  --no-ppq             leave kVstPpqPosValid out of the time information
  --no-time-info       answer no time information at all
The host session follows a real host: effOpen, the sample rate, the block size,
effSetBypass(0), effMainsChanged(1), then one block after the other, each with
its own time information. The transport rolls from the first frame, unless the
timeline's first transport event is a play.

Timeline:
  --at EVENT           apply EVENT (as do the EVENT arguments after OUTPUT)
  --timeline FILE      apply the events in FILE: one event per line, '#' starts
                       a comment, blank lines are skipped; a comment after an
                       event is its note, which pravolindel3-plot shows
  --exact              split blocks where events fall, so each lands on its frame
  --write-timeline FILE
                       write all events, in the order they apply, in the file
                       syntax; without INPUT and OUTPUT nothing else is done
An EVENT is one of
  NAME=VALUE@BEAT      set a parameter: NAME as the plug-in reports it ("Loop1",
                       "Value2", "FX1 sel"; a space may be written as '_':
                       FX1_sel; any case will do if it names one parameter) or
                       its index (0, 1, ...); VALUE from 0 to 1
  tempo=BPM@BEAT       change the tempo to BPM (above 0, at most 1000) at song
                       position BEAT; a parameter called tempo is written in
                       quotes: "tempo"=VALUE@BEAT
  play@BEAT            start the transport at song position BEAT
  stop@BEAT            stop the transport (its position stays where it stopped)
BEAT is a position in beats from the song start (4.5 is halfway through the
fifth beat). Positions are on the render's clock: the input's first frame is at
--start BEATS and every frame after it is 1/(60 * rate / tempo) beat later, at
the tempo in force there, whether the transport rolls or not. Without --exact an
event applies just before the first block that starts at or after its position,
as Ardour applies automation, so it lands up to one block late. A tempo change
follows Ardour too: the song position takes it from its exact frame and runs on
without a jump, while each block reports the tempo at its first frame, so the
block that holds the change still reports the old tempo (with --exact a block
starts on the change). Events at one position apply in the order given: timeline
files first, then the command line.

Other:
  -q, --quiet          print no progress and no summary
  -h, --help           print this help
On a terminal a long render shows its progress on one updating line; at the end
one line sums up frames, seconds, blocks, events applied, time taken and speed.
Errors are one line on stderr; the exit status is 1 for a failed render and 2
for a wrong command line.

Examples:
  See which parameters a timeline can name:
    pravolindel3-render --list-parameters
  Pass a file through PravoLindel3 with no changes:
    pravolindel3-render drums.wav out.wav
  Switch loop 1 (one bar) on at beat 4.5, so that it captures on beat 5, and off
  again at beat 12:
    pravolindel3-render drums.wav out.wav Loop1=1@4.5 Loop1=0@12
  A quarter-beat stutter with its effect, Phazer, at 96 BPM, events exact:
    pravolindel3-render --tempo 96 --exact drums.flac out.flac \
        Value4=0.6666667@7 "FX4 sel=0.75@7" FX4=1@7 Loop4=1@8 Loop4=0@10
  Slow down from 120 to 90 BPM at bar 5, then switch loop 1 on at beat 17.5:
    pravolindel3-render drums.wav out.wav tempo=90@16 Loop1=1@17.5
  Start at bar 3 after two seconds of stopped pre-roll, stop the transport later:
    pravolindel3-render --start 8 --preroll 2 in.wav out.wav Loop2=1@9 stop@16
  Events from a file, checked by writing them back:
    pravolindel3-render --timeline demo.timeline --write-timeline check.timeline
    pravolindel3-render --timeline demo.timeline in.wav out.wav
)";
}

} // namespace pl3render
