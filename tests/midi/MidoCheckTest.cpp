// Bank files checked by an independent parser: python3-mido must accept what the writer
// produces and see the same tracks, event bytes and delta times.
#include "midi/LoMidiFileWriter.h"

#include "MidiTestFiles.h"

#include <cstdio>

namespace {

using namespace miditest;

struct Track {
    LoMidiEventList events;
    std::vector<std::uint32_t> deltas;
};

void expectMidoSees(const std::filesystem::path& file, const std::vector<Track>& tracks) {
    std::string expected = "format " + std::to_string(tracks.size() > 1) + " tracks " +
                           std::to_string(tracks.size()) + " division 24\n";
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        expected += "track " + std::to_string(t) + "\n";
        for (std::size_t i = 0; i < tracks[t].events.size(); ++i) {
            expected += std::to_string(tracks[t].deltas[i]) + " " + tracks[t].events[i].hexDump();
        }
        expected += "0 ff 2f\n";
    }
    ASSERT_TRUE(std::filesystem::exists("/usr/bin/python3")) << "run scripts/install-deps";
    const std::string command = "/usr/bin/python3 " VANETO_SOURCE_DIR "/tests/midi/mido_dump.py '" +
                                file.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        output.append(chunk, got);
    }
    ASSERT_EQ(::pclose(pipe), 0) << "mido rejected the file:\n" << output.substr(0, 2000);
    // Compare line by line: a bank's data message alone is 786 KB of text.
    for (std::size_t at = 0, line = 0; at < expected.size(); ++line) {
        const std::size_t end = expected.find('\n', at) + 1;
        ASSERT_TRUE(output.compare(at, end - at, expected, at, end - at) == 0)
            << "line " << line << "\nmido: " << output.substr(at, 120)
            << "\nours: " << expected.substr(at, 120);
        at = end;
    }
    EXPECT_EQ(output.size(), expected.size());
}

TEST(MidoCheck, SingleAndAllBanksFiles) {
    TempDir dir;
    std::vector<Track> one{{conductorEvents(), {0, 0, 0, 0, 0, 289}}};
    for (const LoMidiEvent& e : bankEvents(4)) {
        one[0].events.push_back(e);
    }
    LoMidiFileWriter(dir / "one.mid", 24, 120).writeTrack(one[0].events, true);
    expectMidoSees(dir / "one.mid", one);

    std::vector<Track> all{{conductorEvents(), {0, 0, 0}}};
    {
        LoMidiFileWriter writer(dir / "all.mid", 24, 120);
        writer.writeTrack(all[0].events, true);
        for (std::uint8_t bank = 0; bank < 7; ++bank) {
            all.push_back({bankEvents(bank), {0, 4316u * bank, 289}});
            writer.writeTrack(all.back().events, true);
        }
    }
    expectMidoSees(dir / "all.mid", all);
}

} // namespace
