#pragma once

#include "midi/LoMidiEvent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace miditest {

using Bytes = LoBuffer::Bytes;

// A directory of its own for each test, removed afterwards.
class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("vaneto-midi-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" +
                 info->name());
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline LoMidiEvent event(const Bytes& bytes, std::int32_t delay = 0) {
    return LoMidiEvent(bytes.begin(), bytes.end(), delay);
}

// F0, count - 2 body bytes below 0x80, F7.
inline LoMidiEvent sysEx(std::size_t count, std::int32_t delay, std::uint8_t seed = 0) {
    Bytes b(count, 0xF7);
    b[0] = 0xF0;
    for (std::size_t i = 1; i + 1 < count; ++i) {
        b[i] = static_cast<std::uint8_t>((i + seed) & 0x7F);
    }
    return event(b, delay);
}

// A bank file's conductor track, and a bank track: its name, the announce message and the
// 262150-byte data message 6 s later.
inline LoMidiEventList conductorEvents() {
    return {event({0xFF, 0x51, 0x07, 0xA1, 0x20}), event({0xFF, 0x58, 0x04, 0x02, 0x18, 0x08}),
            event({0xFF, 0x02, 'b', 'a', 'n', 'k', 's'})};
}

inline LoMidiEventList bankEvents(std::uint8_t bank) {
    return {event({0xFF, 0x03, 'B', static_cast<std::uint8_t>('1' + bank)}),
            event({0xF0, 0x31, 0x0D, 0x79, bank, 0xF7}), sysEx(262150, 6000, bank)};
}

// An independent walk over the chunks of a Standard MIDI File and the events of a track.
inline std::vector<std::pair<std::string, Bytes>> chunks(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> result;
    for (std::size_t at = 0; at + 8 <= file.size();) {
        const std::size_t length = (std::size_t{file[at + 4]} << 24) | (file[at + 5] << 16) |
                                   (file[at + 6] << 8) | file[at + 7];
        const auto begin = file.begin() + static_cast<std::ptrdiff_t>(at);
        const std::size_t end = std::min(file.size(), at + 8 + length);
        result.emplace_back(std::string(begin, begin + 4),
                            Bytes(begin + 8, file.begin() + static_cast<std::ptrdiff_t>(end)));
        at = end;
    }
    return result;
}

struct RawEvent {
    std::uint32_t delta = 0;
    Bytes bytes; // without the length field
};

// Walks the events of a track's data until one cannot be read; consumed tells how far.
inline std::vector<RawEvent> trackEvents(const Bytes& d, std::size_t* consumed = nullptr) {
    std::vector<RawEvent> result;
    std::size_t at = 0;
    const auto quantity = [&](std::uint32_t& v) {
        v = 0;
        do {
            if (at >= d.size()) {
                return false;
            }
            v = (v << 7) | (d[at] & 0x7Fu);
        } while (d[at++] & 0x80);
        return true;
    };
    for (RawEvent e; at < d.size(); e = RawEvent{}) {
        std::uint32_t length = 0;
        const std::size_t start = at;
        if (!quantity(e.delta) || at >= d.size()) {
            at = start;
            break;
        }
        e.bytes.push_back(d[at++]);
        if (e.bytes[0] == 0xFF && at < d.size()) {
            e.bytes.push_back(d[at++]);
        }
        if (!quantity(length) || length > d.size() - at) {
            at = start;
            break;
        }
        e.bytes.insert(e.bytes.end(), d.begin() + static_cast<std::ptrdiff_t>(at),
                       d.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        result.push_back(e);
    }
    if (consumed != nullptr) {
        *consumed = at;
    }
    return result;
}

} // namespace miditest
