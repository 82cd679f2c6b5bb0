// Recorded instruments, not synthetic tones: held notes of a General MIDI SoundFont's choir,
// reeds, strings, bass, sax and organ, rendered by fluidsynth dry and with reverb and chorus.
// Ensembles and reverberant sounds are where pitch trackers jump: every voiced slot of the held
// part stays within a semitone of the note.
#include "wavetable/WaveResynthesis.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* soundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

// A Standard MIDI File of one note held 3 s (480 ticks a beat at 120 beats a minute), with the
// reverb and chorus sends (controllers 91 and 93) at `send`.
void writeNote(const fs::path& path, int program, int note, int send) {
    const auto byte = [](int value) { return static_cast<char>(value); };
    const std::string track = {byte(0x00), byte(0xC0), byte(program),             // program
                               byte(0x00), byte(0xB0), byte(91),      byte(send), // reverb
                               byte(0x00), byte(0xB0), byte(93),      byte(send), // chorus
                               byte(0x00), byte(0x90), byte(note),    byte(100),
                               byte(0x96), byte(0x40), // 2880 ticks later
                               byte(0x80), byte(note), byte(0),       byte(0x00),
                               byte(0xFF), byte(0x2F), byte(0x00)};
    std::ofstream out(path, std::ios::binary);
    out << std::string("MThd\0\0\0\6\0\0\0\1\x01\xE0", 14) << std::string("MTrk\0\0\0", 7)
        << byte(static_cast<int>(track.size())) << track;
}

TEST(RecordedInstruments, HeldNotesStayWithinASemitone) {
    if (!fs::exists(soundFont) || std::system("command -v fluidsynth >/dev/null") != 0) {
        GTEST_SKIP() << "fluidsynth and fluid-soundfont-gm are not installed";
    }
    struct Voice {
        const char* name;
        int program;
        int note;
    };
    const Voice voices[] = {{"choir", 52, 60},   {"oboe", 68, 69}, {"clarinet", 71, 62},
                            {"strings", 48, 55}, {"bass", 32, 40}, {"alto sax", 65, 65},
                            {"organ", 19, 48}};
    const fs::path dir = fs::temp_directory_path() / ("instruments-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const Voice& voice : voices) {
        for (const bool wet : {false, true}) {
            const fs::path midi = dir / "note.mid";
            const fs::path wav = dir / "note.wav";
            writeNote(midi, voice.program, voice.note, wet ? 110 : 0);
            const std::string command = std::string("fluidsynth -ni -g 0.8 -r 48000 ") +
                                        (wet ? "-R 1 -C 1" : "-R 0 -C 0") + " -F '" + wav.string() +
                                        "' " + soundFont + " '" + midi.string() +
                                        "' >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            const WaveResynthesis::Result result =
                WaveResynthesis::make(wav, {.start = 0.5, .end = 2.5});
            ASSERT_TRUE(result.ok) << voice.name << ": " << result.error;
            const double truth = 440.0 * std::pow(2.0, (voice.note - 69) / 12.0);
            double worst = 0;
            for (const double hz : result.hertz) {
                if (hz > 0) {
                    worst = std::max(worst, std::abs(1200.0 * std::log2(hz / truth)));
                }
            }
            std::printf("%-9s %s: worst %.1f cents; %s\n", voice.name, wet ? "wet" : "dry", worst,
                        result.summary().c_str());
            EXPECT_LT(worst, 100.0) << voice.name << (wet ? " with reverb and chorus" : " dry");
        }
    }
    fs::remove_all(dir);
}

} // namespace
