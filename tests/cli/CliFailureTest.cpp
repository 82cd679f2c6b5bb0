// Every way the program refuses: its message, its exit status (1 failed, 2 bad usage), and an
// existing output file left exactly as it was, with no temporary file behind.

#include "CliRunner.h"

#include "midi/LoMidiFileWriter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using clitest::Bytes;
using clitest::Folder;

namespace {

// A MIDI file whose one track holds the given System Exclusive messages.
void writeSysExFile(const std::filesystem::path& path, const std::vector<Bytes>& messages) {
    LoMidiFileWriter writer(path, 24, 120);
    LoMidiEventList list;
    for (const Bytes& bytes : messages) {
        LoMidiEvent event(0);
        event.bytes = bytes;
        list.push_back(event);
    }
    writer.writeTrack(list, true);
}

Bytes dataMessage(std::uint8_t bank) {
    Bytes bytes = {0xF0, 0x31, static_cast<std::uint8_t>(0x40 | bank), 0x66, 0x20};
    bytes.resize(5 + 4 * 16, 0);
    bytes.push_back(0xF7);
    return bytes;
}

struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string message; // part of the error output
};

class CliRefusals : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.sox("-n -r 8000 -c 1 -b 16 -e u-law ulaw.wav synth 0.1 sine 300"));
        ASSERT_TRUE(folder.sox("-n -r 44100 -c 1 -b 16 ok.wav synth 0.1 sine 300"));
        ASSERT_TRUE(folder.sox("-n -r 44100 -c 1 -b 16 -t aifc packed.aifc synth 0.1 sine 300"));
        clitest::writeBytes(folder / "notes.txt", {'h', 'e', 'l', 'l', 'o'});
        writeSysExFile(folder / "foreign.mid", {{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}});
        writeSysExFile(folder / "bank9.mid",
                       {{0xF0, 0x31, 0x0D, 0x79, 0x08, 0xF7}, dataMessage(8)});
        writeSysExFile(folder / "bank3.mid",
                       {{0xF0, 0x31, 0x0D, 0x79, 0x02, 0xF7}, dataMessage(2)});
        writeSysExFile(folder / "empty.mid", {});
        std::filesystem::create_directory(folder / "folder.mid");
        clitest::writeBytes(folder / "out.mid", {'o', 'l', 'd'});
        clitest::writeBytes(folder / "out.wav", {'o', 'l', 'd'});
        clitest::writeBytes(folder / "out.syx", {'o', 'l', 'd'});
        before = folder.files();
    }

    void expectRefused(const Refusal& refusal) {
        std::string line;
        for (const std::string& word : refusal.args) {
            line += word + " ";
        }
        SCOPED_TRACE(line);
        const clitest::Run run = folder.vaneto(refusal.args);
        EXPECT_EQ(run.status, refusal.status);
        EXPECT_NE(run.err.find(refusal.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        if (refusal.status == 2) {
            EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
        }
        for (const char* name : {"out.mid", "out.wav", "out.syx"}) {
            EXPECT_EQ(clitest::readBytes(folder / name), (Bytes{'o', 'l', 'd'})) << name;
        }
        EXPECT_EQ(folder.files(), before);
    }

    Folder folder;
    std::vector<std::string> before;
};

} // namespace

TEST_F(CliRefusals, BadUsage) {
    const std::vector<Refusal> refusals = {
        {{}, 2, "Usage: vaneto COMMAND"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"ports", "extra"}, 2, "unexpected argument 'extra'"},
        {{"ports", "--json"}, 2, "unknown option '--json'"},
        {{"receive", "out.mid"}, 2, "give --input PORT (see 'vaneto ports --input') or --virtual"},
        {{"receive", "out.mid", "--virtual", "--count", "0"}, 2, "count must be 1 to 1000"},
        {{"check", "--port", "1"}, 2, "--input IN is required"},
        {{"check", "--port", "1", "--input", "1", "--bytes", "3"}, 2, "byte count must be 4 to"},
        {{"list"}, 2, "no bank file given"},
        {{"list", "bank3.mid", "--yaml"}, 2, "unknown option '--yaml'"},
        {{"list", "bank3.mid", "bank3.mid"}, 2, "unexpected argument"},
        {{"make"}, 2, "no output file given"},
        {{"make", "out.mid", "--bank", "8", "ok.wav"}, 2, "bank must be 1 to 7, not '8'"},
        {{"make", "out.mid", "--bank", "0x1", "ok.wav"}, 2, "bank must be 1 to 7, not '0x1'"},
        {{"make", "out.mid", "--bank", "1"}, 2, "an audio file is missing after --bank 1"},
        {{"make", "out.mid", "--name", "2"}, 2, "--name needs a value"},
        {{"make", "out.mid", "--single", "1", "--single", "2"}, 2, "--single given twice"},
        {{"make", "out.mid", "--from"}, 2, "--from needs a value"},
        {{"export", "bank3.mid", "out.wav"}, 2, "--bank N is required"},
        {{"export", "bank3.mid", "--bank", "3", "out.mp3"}, 2, "must end in .wav or .syx"},
        {{"export", "bank3.mid", "--bank", "3", "out.wav", "--channel", "2"},
         2,
         "--channel applies to .syx output only"},
        {{"export", "bank3.mid", "--bank", "3", "out.syx", "--channel", "17"},
         2,
         "channel must be 1 to 16, not '17'"},
        {{"send", "bank3.mid", "--bank", "3"}, 2, "--port P is required"},
        {{"send", "bank3.mid", "--port", "0"}, 2, "give --bank N or --all"},
        {{"send", "bank3.mid", "--port", "0", "--bank", "3", "--all"}, 2, "not both"},
        {{"send", "bank3.mid", "--port", "0", "--all"}, 2, "give --yes to send all banks"},
    };
    for (const Refusal& refusal : refusals) {
        expectRefused(refusal);
    }
}

TEST_F(CliRefusals, FailedOperations) {
    // The editor's box texts on one line; what a refused audio file holds on the line before.
    const std::string wrongFormat = "Wrong File Format: This file contains no sound bank(s) "
                                    "for a Tiruk Vaneto.";
    const std::string pcmOnly =
        "\nWrong File Format: VanetoEditor supports only pcm (no compression) formats (*.aif or "
        "*.wav).";
    const std::vector<Refusal> refusals = {
        {{"list", "missing.mid"}, 1, "cannot open missing.mid: No such file or directory"},
        {{"list", "folder.mid"}, 1, "cannot open folder.mid: a folder"},
        {{"list", "notes.txt"}, 1, "notes.txt is not a MIDI file"},
        {{"list", "foreign.mid"}, 1, "foreign.mid: " + wrongFormat},
        {{"list", "bank9.mid"}, 1, "bank9.mid: " + wrongFormat},
        {{"make", "out.mid", "--bank", "2", "missing.wav"},
         1,
         "cannot open missing.wav: No such file or directory"},
        {{"make", "out.mid", "--bank", "2", "ulaw.wav"}, 1, "ulaw.wav: \u00b5-law WAV" + pcmOnly},
        {{"make", "out.mid", "--bank", "2", "ok.wav", "--bank", "3", "packed.aifc"},
         1,
         "packed.aifc: AIFF-C, compression 'NONE'" + pcmOnly},
        {{"list", "empty.mid"}, 1, "empty.mid holds no banks"},
        {{"make", "out.mid", "--from", "empty.mid"}, 1, "empty.mid holds no banks"},
        {{"list", "/dev/null"}, 1, "cannot open /dev/null: a device, not a file"},
        {{"make", "out.mid", "--bank", "1", "/dev/null"},
         1,
         "cannot open /dev/null: a device, not a file"},
        {{"make", "out.mid", "--from", "notes.txt"}, 1, "notes.txt is not a MIDI file"},
        {{"make", "out.mid", "--from", "foreign.mid"}, 1, wrongFormat},
        {{"make", "nowhere/out.mid"}, 1, "cannot write nowhere/out.mid: No such file or directory"},
        {{"make", "folder.mid"}, 1, "cannot write folder.mid: Is a directory"},
        {{"export", "bank3.mid", "--bank", "4", "out.wav"}, 1, "bank3.mid holds no bank 4"},
        {{"export", "foreign.mid", "--bank", "1", "out.syx"}, 1, wrongFormat},
        {{"export", "bank3.mid", "--bank", "3", "nowhere/x.wav"}, 1, "cannot write nowhere/x.wav"},
        {{"send", "bank3.mid", "--port", "0", "--bank", "4"}, 1, "bank3.mid holds no bank 4"},
        {{"send", "empty.mid", "--port", "0", "--all", "--yes"}, 1, "empty.mid holds no banks"},
        {{"send", "ok.wav", "--port", "0", "--all", "--yes"}, 2, "give --bank N instead of --all"},
        {{"send", "missing.wav", "--port", "0", "--bank", "1"}, 1, "cannot open missing.wav"},
        {{"send", "ulaw.wav", "--port", "0", "--bank", "1"}, 1, pcmOnly},
        // The build machines have no MIDI system: no port to send to.
        {{"send", "bank3.mid", "--port", "0", "--bank", "3"}, 1, "No MIDI interface detected!"},
    };
    for (const Refusal& refusal : refusals) {
        expectRefused(refusal);
    }
}

TEST(CliOutput, HelpVersionAndPorts) {
    Folder folder;
    const clitest::Run version = folder.vaneto({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vaneto 1.2\n");
    for (const char* command : {"ports", "list", "make", "export", "send", "receive", "check"}) {
        const clitest::Run help = folder.vaneto({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage: vaneto ") + command, 0), 0u) << help.out;
    }
    const clitest::Run help = folder.vaneto({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"ports", "list", "make", "export", "send", "receive", "check"}) {
        EXPECT_NE(help.out.find(std::string("\n  ") + command + " "), std::string::npos);
    }
    // Without a MIDI system: nothing on standard output, the editor's text on standard error.
    if (!std::filesystem::exists("/dev/snd/seq")) {
        const clitest::Run ports = folder.vaneto({"ports"});
        EXPECT_EQ(ports.status, 0);
        EXPECT_EQ(ports.out, "");
        EXPECT_EQ(ports.err, "No MIDI interface detected!\n");
    }
}

TEST_F(CliRefusals, WavetableRefusals) {
    ASSERT_TRUE(folder.sox("-r 44100 -n -c 1 -b 16 odd.wav synth 3000s sine 300"));
    ASSERT_TRUE(folder.sox("-r 44100 -n -c 1 -b 16 frame.wav synth 2048s sine 300"));
    ASSERT_TRUE(folder.sox("-r 44100 -n -c 1 -b 16 one.wav synth 1s sine 300"));
    std::filesystem::create_directory(folder / "nothing");
    clitest::writeBytes(folder / "nothing" / "notes.txt", {'h', 'i'});
    before = folder.files();
    const std::vector<Refusal> refusals = {
        {{"make", "out.mid", "--slot", "2", "0", "ok.wav"}, 2, "slot must be 1 to 256, not '0'"},
        {{"make", "out.mid", "--slot", "2", "257", "ok.wav"}, 2, "slot must be 1 to 256"},
        {{"make", "out.mid", "--slot", "2", "3"}, 2, "an audio file is missing after --slot 2 3"},
        {{"make", "out.mid", "--frame", "256", "--table", "2", "odd.wav"},
         2,
         "--frame belongs right after a --slot or --table"},
        {{"make", "out.mid", "--table", "2", "odd.wav", "--name", "2", "x", "--spread"},
         2,
         "--spread belongs right after"},
        {{"make", "out.mid", "--slot", "2", "1", "ok.wav", "--frame", "600"},
         2,
         "--frame applies to --table, not --slot"},
        {{"make", "out.mid", "--table", "2", "odd.wav", "--fit", "--fit"}, 2, "given twice"},
        {{"play", "bank3.mid", "--bank", "3", "--slot", "1", "--note", "H2"}, 2, "--note must be"},
        {{"play", "bank3.mid", "--bank", "3", "--note", "A3"}, 2, "give --slot S"},
        {{"export", "bank3.mid", "--bank", "3", "out.syx", "--slot", "2"},
         2,
         "--slot applies to .wav output only"},
        {{"make", "out.mid", "--formula", "2", "sin(2*pi*x"}, 2, "column 11: found the end"},
        {{"make", "out.mid", "--harmonics", "2", "sin(x)/h"}, 2, "unknown name \"x\""},
        {{"make", "out.mid", "--op", "2", "gain=-6:200"}, 2, "gain takes amounts from -96"},
    };
    for (const Refusal& refusal : refusals) {
        expectRefused(refusal);
    }
    const std::vector<Refusal> failures = {
        {{"make", "out.mid", "--table", "2", "odd.wav"}, 1, "give it with --frame N"},
        {{"make", "out.mid", "--table", "2", "odd.wav", "--frame", "256"},
         1,
         "a frame size of 256 does not divide the 3000 frames of odd.wav"},
        {{"make", "out.mid", "--table", "2", "frame.wav", "--frame", "2048"},
         1,
         "holds one frame of 2048"},
        {{"make", "out.mid", "--table", "2", "nothing"}, 1, "holds no audio files"},
        {{"make", "out.mid", "--slot", "2", "1", "one.wav"}, 1, "a cycle needs at least 2"},
        {{"make", "out.mid", "--slot", "2", "1", "notes.txt"}, 1, "neither WAV nor AIFF"},
        {{"export", "bank3.mid", "--bank", "3", "out.wav", "--frame", "2048"},
         1,
         "holds one sample, not waves"},
        {{"make", "out.mid", "--formula", "2", "x / (w - 7)", "--slots", "3-9"},
         1,
         "slot 7, value 1 is not a finite number (nan)"},
    };
    for (const Refusal& refusal : failures) {
        expectRefused(refusal);
    }
}

namespace {

// A one-channel 16-bit WAV of silence whose header says the given rate.
Bytes waveAtRate(std::uint32_t rate) {
    Bytes bytes = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                   'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   1,   0};
    for (const std::uint32_t field : {rate, rate * 2}) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(field >> (8 * i)));
        }
    }
    bytes.insert(bytes.end(), {2, 0, 16, 0, 'd', 'a', 't', 'a', 0x40, 0x1F, 0, 0});
    bytes.resize(bytes.size() + 8000, 0);
    const std::uint32_t riff = static_cast<std::uint32_t>(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) {
        bytes[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    }
    return bytes;
}

} // namespace

// Pipes get a reason at once, never a hang; a rate no sound has is refused before the
// resynthesis sizes anything by it.
TEST_F(CliRefusals, PipesAndRatesNoSoundHas) {
    ASSERT_EQ(::mkfifo((folder / "pipe.mid").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder / "pipe.wav").c_str(), 0600), 0);
    for (const std::uint32_t rate : {0u, 1u, 4294967295u}) {
        clitest::writeBytes(folder / ("rate" + std::to_string(rate) + ".wav"), waveAtRate(rate));
    }
    // An AIFF whose rate is infinite (the 80-bit float's largest exponent).
    Bytes aiff = {'F',  'O',  'R',  'M', 0, 0,  0, 46, 'A', 'I', 'F', 'F', 'C', 'O',
                  'M',  'M',  0,    0,   0, 18, 0, 1,  0,   0,   0,   4,   0,   16,
                  0x7F, 0xFF, 0x80, 0,   0, 0,  0, 0,  0,   0,   'S', 'S', 'N', 'D',
                  0,    0,    0,    16,  0, 0,  0, 0,  0,   0,   0,   0};
    aiff.resize(aiff.size() + 8, 0);
    clitest::writeBytes(folder / "inf.aif", aiff);
    before = folder.files();
    const std::vector<Refusal> refusals = {
        {{"list", "pipe.mid"}, 1, "cannot open pipe.mid: a named pipe, not a file"},
        {{"make", "out.mid", "--bank", "1", "pipe.wav"}, 1, "a named pipe, not a file"},
        {{"make", "out.mid", "--from", "pipe.mid"}, 1, "a named pipe, not a file"},
        {{"make", "out.mid", "--table", "1", "rate0.wav", "--resynth"}, 1, "which no sound has"},
        {{"make", "out.mid", "--table", "1", "rate1.wav", "--resynth"}, 1, "which no sound has"},
        {{"make", "out.mid", "--table", "1", "rate4294967295.wav", "--resynth"},
         1,
         "a rate of 4294967295 Hz, which no sound has"},
        {{"make", "out.mid", "--table", "1", "inf.aif", "--resynth"}, 1, "which no sound has"},
    };
    for (const Refusal& refusal : refusals) {
        expectRefused(refusal);
    }
}
