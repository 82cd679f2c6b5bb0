// Bank files checked by an independent parser: Debian's python3-mido must accept what the
// writer produces and see the same tracks, event bytes and delta times.
#include "midi/LoMidiFileWriter.h"

#include "MidiTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

using namespace miditest;

const char* const python = "/usr/bin/python3";

std::string hex(const Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0) {
            text += ' ';
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

// Runs the parser on the file; returns its output lines, or fails the test.
std::vector<std::string> parse(const std::filesystem::path& file, int& status) {
    const std::string command = std::string(python) +
                                " " VANETO_SOURCE_DIR "/tests/midi/mido_dump.py '" + file.string() +
                                "' 2>&1";
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        status = -1;
        return lines;
    }
    std::string output;
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, got);
    }
    status = ::pclose(pipe);
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

struct ExpectedTrack {
    LoMidiEventList events;
    std::vector<std::uint32_t> deltas;
};

std::vector<std::string> expectedLines(int format, const std::vector<ExpectedTrack>& tracks) {
    std::vector<std::string> lines{"format " + std::to_string(format) + " tracks " +
                                   std::to_string(tracks.size()) + " division 24"};
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        lines.push_back("track " + std::to_string(t));
        for (std::size_t i = 0; i < tracks[t].events.size(); ++i) {
            lines.push_back(std::to_string(tracks[t].deltas[i]) + " " +
                            hex(tracks[t].events[i].bytes));
        }
        lines.push_back("0 ff 2f");
    }
    return lines;
}

void expectParsedAs(const std::filesystem::path& file, const std::vector<std::string>& expected) {
    ASSERT_TRUE(std::filesystem::exists(python))
        << python << " is missing: run scripts/install-deps";
    int status = 0;
    const auto lines = parse(file, status);
    std::string shown;
    for (std::size_t i = 0; i < lines.size() && i < 20; ++i) {
        shown += lines[i].substr(0, 200) + "\n";
    }
    ASSERT_EQ(status, 0) << "the parser rejected the file:\n" << shown;
    ASSERT_EQ(lines.size(), expected.size()) << shown;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i], expected[i]) << "line " << i;
    }
}

TEST(MidoCheck, SingleBankFile) {
    TempDir dir;
    const auto path = dir / "one.mid";
    LoMidiEventList list = conductorEvents();
    for (const LoMidiEvent& e : bankEvents(4)) {
        list.push_back(e);
    }
    {
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack(list, true);
    }
    expectParsedAs(path, expectedLines(0, {{list, {0, 0, 0, 0, 0, 289}}}));
}

TEST(MidoCheck, AllBanksFile) {
    TempDir dir;
    const auto path = dir / "all.mid";
    std::vector<ExpectedTrack> tracks{{conductorEvents(), {0, 0, 0}}};
    {
        LoMidiFileWriter writer(path, 24, 120);
        writer.writeTrack(tracks[0].events, true);
        for (std::uint8_t bank = 0; bank < 7; ++bank) {
            tracks.push_back({bankEvents(bank), {0, 4316u * bank, 289}});
            writer.writeTrack(tracks.back().events, true);
        }
    }
    expectParsedAs(path, expectedLines(1, tracks));
}

} // namespace
