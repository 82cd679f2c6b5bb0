#include "cli/CliCommands.h"

#include "cli/ExportCommand.h"
#include "cli/ListCommand.h"
#include "cli/MakeCommand.h"
#include "cli/PlayCommand.h"
#include "cli/PortsCommand.h"
#include "cli/SendCommand.h"

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
    R"(Usage: vaneto ports

Prints one line per MIDI output port: its index, a tab, its name. The index or any part of
the name serves as the --port of `vaneto send`. With no port nothing is printed on standard
output and "No MIDI interface detected!" on standard error; the exit status is still 0.
)";

constexpr std::string_view listText =
    R"(Usage: vaneto list FILE.mid [--json]

Prints one line per bank track of a bank file, fields separated by tabs: the bank number
(1 to 7), the bank name, the name of the bank's sample, the number of values and the peak
level in dBFS ("-inf" for a silent bank).

Options:
  --json   print the same as a JSON array of objects with the keys "bank", "name",
           "sample", "values" and "peakDbfs" (null for a silent bank)
)";

constexpr std::string_view makeText =
    R"(Usage: vaneto make OUT.mid [--from FILE.mid] [--bank N AUDIO]... [--name N TEXT]...
                   [--sample-name N TEXT]... [--single N]

Builds a bank file. The seven banks start as the factory banks; the options then apply in the
order given, and OUT.mid is written at the end, through a temporary file that replaces it only
when everything succeeded.

Options:
  --from FILE.mid        load the banks of a bank file, each track into the bank it names
  --bank N AUDIO         import an audio file into bank N as the editor's "Open..." does:
                         WAV or AIFF with uncompressed PCM of any rate, channel count and
                         depth, converted to 44100 Hz mono 16-bit; any other file is taken as
                         raw 16-bit little-endian data (at most 65536 values). The bank's
                         sample is named after the file.
  --name N TEXT          rename bank N
  --sample-name N TEXT   rename the sample of bank N
  --single N             write bank N alone (a one-track file) instead of all seven banks
)";

constexpr std::string_view exportText =
    R"(Usage: vaneto export FILE.mid --bank N OUT [--channel C]

Writes bank N of a bank file, which must hold that bank, to OUT:
  OUT ending in .wav   the bank's values as a 44100 Hz mono 16-bit WAV file
  OUT ending in .syx   the bank dump's two System Exclusive messages as raw bytes

Options:
  --bank N       the bank to export (1 to 7)
  --channel C    the MIDI channel in the System Exclusive data, 1 to 16 (default 1; .syx only)
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
                 rate for interfaces that lose data at the full rate
  --yes          do not ask before sending all banks (needed without a terminal)

Progress goes to standard error. Ctrl-C (or SIGTERM) stops at once: the message in flight is
ended so that the synthesizer is not left waiting, the port is closed and the exit status is
130. When the port fails (the interface unplugged), the send ends at once with status 1.
)";

constexpr std::string_view playText =
    R"(Usage: vaneto play SOURCE --bank N [--device PCM]

Plays bank N as the synthesizer holds it: 65536 values at 44100 Hz, mono, 16-bit, through an
ALSA PCM device. SOURCE is a bank file, which must hold bank N, or an audio file, imported into
bank N as `vaneto make` imports it.

Options:
  --bank N       the bank to play (1 to 7)
  --device PCM   the ALSA PCM device (default "default", which reaches PipeWire or PulseAudio
                 on a desktop; for example "hw:0" or "file:FILE=out.raw,FORMAT=raw")

Ctrl-C stops at once (exit status 130). A device that cannot be opened is named with the
reason (exit status 1).
)";

template <class Command> int runCommand(const CliContext& context, CliArguments& args) {
    return Command(context).run(args);
}

// The order of `vaneto --help`.
constexpr CliCommand table[] = {
    {"ports", "list the MIDI output ports", portsText, true, runCommand<PortsCommand>},
    {"list", "list the banks held by a bank file", listText, false, runCommand<ListCommand>},
    {"make", "build a bank file from the factory banks, a bank file and audio files", makeText,
     false, runCommand<MakeCommand>},
    {"export", "write one bank of a bank file as a WAV file or as System Exclusive bytes",
     exportText, false, runCommand<ExportCommand>},
    {"send", "send one bank or all banks to the synthesizer through a MIDI port", sendText, true,
     runCommand<SendCommand>},
    {"play", "play one bank through the sound card", playText, false, runCommand<PlayCommand>},
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
