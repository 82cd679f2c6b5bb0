#include "cli/CliCommands.h"

#include "cli/commands/CheckCommand.h"
#include "cli/commands/ExportCommand.h"
#include "cli/commands/KeptCommand.h"
#include "cli/commands/ListCommand.h"
#include "cli/commands/MakeCommand.h"
#include "cli/commands/PlayCommand.h"
#include "cli/commands/PortsCommand.h"
#include "cli/commands/ReceiveCommand.h"
#include "cli/commands/SendCommand.h"

namespace {

constexpr std::string_view generalHead =
    R"(Usage: vaneto COMMAND [OPTIONS]
       vaneto --help | --version

Bank files, audio import and export, and sending to the Vaneto synthesizer, whose sample
memory is seven banks of 65536 signed 16-bit values. Files are written and read exactly as
VanetoEditor writes and reads them.

)";

constexpr std::string_view generalTail =
    R"(Options:
  -h, --help   show this text; `vaneto COMMAND --help` explains a command
  --version    show the version

Banks (1 to 7) and MIDI channels (1 to 16) are numbered as the editor shows them.
Exit status: 0 success, 1 the operation failed (files are left unchanged), 2 bad usage,
130 interrupted.
)";

constexpr std::string_view portsText =
    R"(Usage: vaneto ports [--input | --watch]

Prints one line per MIDI output port: its index, a tab, its name. The index or any part of
the name serves as the --port of `vaneto send`. With no port nothing is printed on standard
output and "No MIDI interface detected!" on standard error; the exit status is still 0.

Options:
  --input   list the ports one can receive from instead (the --input of `vaneto receive`
            and `vaneto check`); with none, "No MIDI input port detected!"
  --watch   after the list, print a line for each output port that appears ("+ ") or
            leaves ("- "): its sequencer address (client:port) and its name, as it
            happens, until interrupted (exit status 130). The list of the editor is
            filled at its start; this shows what a restart would find.
)";

constexpr std::string_view receiveText =
    R"TEXT(Usage: vaneto receive OUT.mid (--input PORT | --virtual) [--count N] [--idle-timeout S]

The receiving end of bank dumps, for a check without the synthesizer or for another tool's
output: listens on a MIDI input port, tells each bank as it arrives (bytes, rate, time) and
at the end, for each bank, whether it came whole or damaged, its values and the bytes lost.
A data message counts as damaged when it is not 262150 bytes long, lacks its end or holds a
byte out of place; a damaged bank is never written.

OUT.mid receives the banks that came whole, with the factory names (names do not travel with
a dump): one bank in the one-bank layout, so that the editor asks before loading it into
another bank, or several after a conductor track. Without a bank that came whole nothing is
written.

Options:
  --input PORT       the port to listen to: an index or a part of a name from
                     `vaneto ports --input`
  --virtual          listen on a port of our own, "Vaneto (virtual)", which the editor and
                     `vaneto send` list like any interface
  --count N          end after N banks (whole or damaged)
  --idle-timeout S   end after S seconds without a byte

It also ends on Ctrl-C, writing what came whole (exit status 130), and when the port goes
away (the interface unplugged; exit status 1). Exit status 0 when every bank came whole, 1
when one came damaged or none came. A data message without its announce is taken (its bank
from its own bank byte); foreign messages and banks beyond the seventh are counted and
passed over. When our own input overflows, that is said: the cable is not to blame then.
)TEXT";

constexpr std::string_view checkText =
    R"(Usage: vaneto check --port OUT --input IN [--rate B] [--bytes N] [--find-rate]

Checks a MIDI interface and its cable in a loop: wire the interface's MIDI OUT to its own
MIDI IN (or to a second interface's), name the output with --port and the input with --input.
A test message goes out through the same transmitter and pacing a bank goes through: a
non-commercial System Exclusive message (manufacturer 7D) that no synthesizer acts on. The
check tells the bytes sent, received and lost, the first byte that differs, the rate achieved
and the delay to the first byte back.

This proves the interface and the cable in a loop, not the synthesizer's own MIDI input: a
rate that passes here can still be too fast for the synthesizer.

Options:
  --port OUT     the output: an index or a part of a name from `vaneto ports`
  --input IN     the input: an index or a part of a name from `vaneto ports --input`
  --rate B       bytes per second, 100 to 3125 (default 3125, the MIDI wire rate)
  --bytes N      the test message's length, 4 to 1048576 bytes (default 16384)
  --find-rate    try 3125, 2500, 2000, 1500, 1000, 500, 250 and 100 bytes per second with
                 16384 bytes each, confirm the first clean rate with one bank-sized message
                 (262150 bytes, 84 s at 3125) and recommend one step below it for
                 `vaneto send --rate` and `vaneto-editor --rate`

Exit status 0 when every byte came back, 1 when some did not (the figures say which), 130 on
Ctrl-C.
)";

constexpr std::string_view listText =
    R"(Usage: vaneto list FILE.mid [--json] [--slots N]

Prints one line per bank track of a bank file, fields separated by tabs: the bank number
(1 to 7), the bank name, the name of the bank's sample, the number of values and the peak
level in dBFS ("-inf" for a silent bank).

Options:
  --json      print the same as a JSON array of objects with the keys "bank", "name",
              "sample", "values" and "peakDbfs" (null for a silent bank)
  --slots N   instead, one line per wave slot of bank N: the slot (1 to 256), its name and
              its peak level in dBFS (JSON keys "slot", "name", "peakDbfs")
)";

constexpr std::string_view makeText =
    R"(Usage: vaneto make OUT.mid [--from FILE.mid] [--bank N AUDIO [--start T] [--gain DB]
                   [--normalize[=DB]]]... [--name N TEXT]...
                   [--sample-name N TEXT]... [--single N] [--waves N]... [--one-sample N]...
                   [--slot N S AUDIO [--fit]]...
                   [--table N AUDIO|FOLDER [--frame F] [--first-slot S] [--spread] [--fit]]...
                   [--table N AUDIO --resynth[=MODE] [--first-slot S] [--start T] [--end T]
                    [--report FILE]]...
                   [--formula N EXPR|--harmonics N EXPR [--slots A-B] [--fit|--normalize[=DB]]]...
                   [--op N NAME[=A[:B]] [--slots A-B]]...
                   [--slot-name N S TEXT]...

Builds a bank file. The seven banks start as the factory banks; the options then apply in the
order given, and OUT.mid is written at the end, through a temporary file that replaces it only
when everything succeeded.

Options:
  --from FILE.mid        load the banks of a bank file, each track into the bank it names
  --bank N AUDIO         import an audio file into bank N as the editor's "Open..." does:
                         WAV or AIFF with uncompressed PCM of any rate, channel count and
                         depth, or FLAC, Ogg Vorbis, Opus or MP3, converted to 44100 Hz mono
                         16-bit; any other file is taken as raw 16-bit little-endian data (at
                         most 65536 values). The bank's sample is named after the file. A
                         damaged compressed file is refused and changes nothing.
  --start T              (after --bank) take the bank's 1.486 s from T seconds on (12.5 or
                         1:02.5), or with "auto" from where the sound first reaches -60 dBFS
  --gain DB              (after --bank) change the level of the imported values by DB
  --normalize[=DB]       (after --bank) bring the imported values' peak to 0 dBFS, or to
                         DB (at most 0); it takes the place of --gain
  --name N TEXT          rename bank N
  --sample-name N TEXT   rename the sample of bank N
  --single N             write bank N alone (a one-track file) instead of all seven banks

Wavetables: a bank holds one sample of 65536 values, or 256 wave slots of 256 values that
the synthesizer plays as a wavetable (slots 1 to 256). A bank file keeps the layout: the
names of all 256 slots are saved with a wavetable bank.
  --waves N              make bank N a wavetable (values and names stay)
  --one-sample N         make bank N one sample again (values and names stay); --bank N
                         does this by itself, and says so
  --slot N S AUDIO       one cycle into slot S of bank N: the whole file (WAV, also 32- or
                         64-bit float, or AIFF; at least 2 frames) is one period, resampled
                         to 256 values (Fourier, alias-free), never faded; the slot is named
                         after the file and the bank becomes a wavetable
  --table N AUDIO        a wavetable file into bank N from slot 1, frame by frame. The frame
                         size comes from --frame, else from the file ("srge", "clm ", "uhWT",
                         "cue " or "smpl" chunk), else 16384 frames are 64 frames of 256;
                         any other file needs --frame. Frames beyond slot 256 are left out
                         (and said).
  --table N FOLDER       the folder's audio files (not its subfolders), in natural name
                         order, one cycle each; other files are skipped and listed
  --frame F              (after --table) frames of F values
  --first-slot S         (after --table) start at slot S instead of 1
  --spread               (after --table) spread the M frames over the slots from the first
                         to 256: frame k at slot S + round(k x (256 - S) / (M - 1)), the slots
                         between two frames crossfaded
  --fit                  (after --slot or --table) values past full scale (a band-limited
                         square overshoots) are clamped and counted; --fit instead lowers the
                         whole import by one gain so that none clamps, and prints it
  --resynth[=MODE]       (after --table) make any recording (WAV, AIFF, FLAC, Ogg, Opus,
                         MP3) into waves that scan through it: the slots from the first to
                         256 taken at even moments from --start to --end (seconds or M:S;
                         without them, where the sound first and last reaches -60 dBFS),
                         each exactly one period at its moment's pitch (one track from 30 to
                         2000 Hz through every slot: no octave jumps where a detuned unison's
                         beating hides the fundamental), the table brought to full scale. MODE pitch
                         (the default) lines each wave up with the one before; spectral keeps
                         each wave's harmonic levels with one phase per harmonic for the
                         whole table. A moment without pitch holds the nearest wave that has
                         one; a sound without any pitch is refused. Not with --frame,
                         --spread, --fit or a folder. It says the pitch range, the span, each
                         slot's fit (the relative spectral error of its harmonics 1 to 64
                         against the recording's at its moment, in %: the median and the
                         worst) and the slots held.
  --report FILE          (after --resynth) write a tab-separated line per slot filled: the
                         slot, its moment in seconds, the pitch in Hz (0 when held) and the
                         fit in % ("-" when held), after a header line; written with OUT.mid
  --slot-name N S TEXT   rename slot S of bank N

Formulas and operations across slots: bank N becomes a wavetable; the slots outside the range
keep their values.
  --formula N EXPR       each value i (0 to 255) of each slot in the range is
                         round(32767 x EXPR), with x = i/256. Names: x (the phase, 0 to 1), t
                         (0 at the range's first slot, 1 at its last), w (the slot, 1 to 256),
                         y (the value before, over 32767), pi, e. Functions: muParser's (sin,
                         cos, tan, asin, acos, atan, atan2, sinh, cosh, tanh, asinh, acosh,
                         atanh, exp, ln, log, log2, log10, sqrt, abs, sign, rint, min, max,
                         sum, avg; + - * / ^, comparisons, && ||, c ? a : b) and frac(v),
                         floor(v), ceil(v), saw(p), tri(p), square(p), pulse(p, d), fold(v),
                         clip(v), noise(n) (a value from -1 to 1 fixed for each whole number
                         n). The slots are named after EXPR
  --harmonics N EXPR     each slot the sum over h = 1 to 127 of EXPR x sin(2 pi h x), then as
                         --formula; EXPR knows h, t and w, not x or y
  --slots A-B            (after --formula, --harmonics or --op) the range, 1-256 by default
  --fit                  (after --formula or --harmonics) values that would clamp (they are
                         clamped and counted otherwise) lower the whole range by one gain,
                         which is said
  --normalize[=DB]       (after --formula or --harmonics) the range's peak to 0 dBFS or DB
  --op N NAME[=A[:B]]    an operation over the range, its amount A at the first slot moving
                         to B at the last (B is A when not given): gain=DB (dB), lowpass=H
                         (harmonics above H removed, 0 to 128), align (each slot turned to
                         line up with the one before), normalize, dc, reverse, invert,
                         warp=P (the phase bent: each slot read at x^P, 0.05 to 20), fold=G
                         (driven by G, 0 to 64, into a wavefolder)
)";

constexpr std::string_view exportText =
    R"(Usage: vaneto export FILE.mid --bank N OUT [--channel C] [--slot S] [--frame F]

Writes bank N of a bank file, which must hold that bank, to OUT:
  OUT ending in .wav   a bank of one sample: its values as a 44100 Hz mono 16-bit WAV file;
                       a bank of 256 waves: a wavetable of 256 frames of 256 values (mono
                       16-bit, a "srge" chunk giving the frame size), which wavetable synths
                       read
  OUT ending in .syx   the bank dump's two System Exclusive messages as raw bytes

Options:
  --bank N       the bank to export (1 to 7)
  --channel C    the MIDI channel in the System Exclusive data, 1 to 16 (default 1; .syx only)
  --slot S       one wave, slot S (1 to 256), as a WAV file of one cycle
  --frame F      waves resampled to F values a frame (Fourier, alias-free), written as 32-bit
                 float; --frame 2048 also adds the "clm " chunk that synths reading frames of
                 2048 look for
)";

constexpr std::string_view sendText =
    R"(Usage: vaneto send SOURCE --port P (--bank N | --all) [--channel C] [--rate B] [--yes]

Sends banks to the synthesizer as System Exclusive through a MIDI output port, with the
editor's timing: one bank takes about 90 seconds, all seven over ten minutes.

SOURCE is a bank file or an audio file. A bank file's tracks are loaded into the banks they
name over the factory banks; with --bank N the file must hold bank N. An audio file is
imported into bank N of the factory banks and needs --bank N.

Options:
  --port P       the port: an index or a case-insensitive part of a name from `vaneto ports`
  --bank N       send bank N (1 to 7)
  --all          send all seven banks; asks first unless --yes is given
  --channel C    the MIDI channel the synthesizer listens on, 1 to 16 (default 1)
  --rate B       bytes per second, 100 to 3125 (default 3125, the MIDI wire rate); a lower
                 rate for interfaces that lose data at the full rate (`vaneto check
                 --find-rate` finds one over a loopback cable)
  --yes          do not ask before sending all banks (needed without a terminal)

Progress goes to standard error. Ctrl-C (or SIGTERM) stops at once: the message in flight is
ended so that the synthesizer is not left waiting, the port is closed and the exit status is
130. When the port fails (the interface unplugged), the send ends at once with status 1.
)";

constexpr std::string_view playText =
    R"(Usage: vaneto play SOURCE --bank N [--slot S [--note NOTE] [--seconds T]] [--device PCM]

Plays bank N as the synthesizer holds it: 65536 values at 44100 Hz, mono, 16-bit, through an
ALSA PCM device. SOURCE is a bank file, which must hold bank N, or an audio file, imported into
bank N as `vaneto make` imports it. With --slot, plays the wave in slot S as a looped tone.

Options:
  --bank N       the bank to play (1 to 7)
  --slot S       play the wave of slot S (1 to 256) as a tone, band-limited at every note
  --note NOTE    the tone's note: a name such as A3, C#4 or Bb2 (A4 = 440 Hz, so A3 =
                 220 Hz) or a MIDI note number 0 to 127 (A4 = 69); default A3
  --seconds T    the tone's length in seconds (default 2)
  --device PCM   the ALSA PCM device (default "default", which reaches PipeWire or PulseAudio
                 on a desktop; for example "hw:0" or "file:FILE=out.raw,FORMAT=raw")

Ctrl-C stops at once (exit status 130). A device that cannot be opened is named with the
reason (exit status 1).
)";

constexpr std::string_view keptText =
    R"(Usage: vaneto kept [list]
       vaneto kept save ID FILE
       vaneto kept remove ID

The editor keeps its work as it changes (every bank, name, layout and step), so that Esc, a
crash or a power cut loses nothing: in $XDG_STATE_HOME/vaneto-editor when that is an absolute
path, else in ~/.local/state/vaneto-editor. Each run of the editor leaves a state there.

  list     one line per kept state, newest first, fields separated by tabs: its ID, when it
           was left (local time, YYYY-MM-DD HH:MM:SS), how it ended (quit, crash, or open:
           an editor has it now), the number of banks it changed and its number of steps.
           A state that does not read shows "damaged: " and the reason in the third field.
  save     writes the state's seven banks to FILE as a bank file, as "Save to Disk..." of
           all banks writes it (a crashed state too: its journal is read)
  remove   drops the state; refused while an editor has it open

`vaneto-editor --restore=ID` brings a state back into the editor.
Exit status: 0 success, 1 an ID that is not there or does not read, 2 bad usage.
)";

template <class Command> int runCommand(const CliContext& context, CliArguments& args) {
    return Command(context).run(args);
}

// The order of `vaneto --help`.
constexpr CliCommand table[] = {
    {"ports", "list the MIDI output ports (or input ports)", portsText, true,
     runCommand<PortsCommand>, PortsCommand::options},
    {"list", "list the banks held by a bank file", listText, false, runCommand<ListCommand>,
     ListCommand::options},
    {"make", "build a bank file from the factory banks, a bank file and audio files", makeText,
     false, runCommand<MakeCommand>, MakeCommand::options},
    {"export", "write one bank of a bank file as a WAV file or as System Exclusive bytes",
     exportText, false, runCommand<ExportCommand>, ExportCommand::options},
    {"send", "send one bank or all banks to the synthesizer through a MIDI port", sendText, true,
     runCommand<SendCommand>, SendCommand::options},
    {"play", "play one bank through the sound card", playText, false, runCommand<PlayCommand>,
     PlayCommand::options},
    {"receive", "receive bank dumps from a MIDI port and write the banks that came whole",
     receiveText, true, runCommand<ReceiveCommand>, ReceiveCommand::options},
    {"check", "check a MIDI interface and cable in a loop, and find a rate that is safe", checkText,
     true, runCommand<CheckCommand>, CheckCommand::options},
    {"kept", "list, save or remove the work the editor keeps", keptText, false,
     runCommand<KeptCommand>, KeptCommand::options},
};

} // namespace

std::string cliGeneralHelp() {
    std::string text(generalHead);
    text += "Commands:\n";
    for (const CliCommand& command : table) {
        text += "  ";
        text += command.name;
        text.append(9 - command.name.size(), ' ');
        text += command.summary;
        text += '\n';
    }
    text += '\n';
    text += generalTail;
    return text;
}

const CliCommand* findCliCommand(std::string_view name) {
    for (const CliCommand& command : table) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

std::span<const CliCommand> cliCommands() {
    return table;
}
