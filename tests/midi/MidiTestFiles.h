#pragma once

#include "midi/LoBuffer.h"
#include "midi/LoMidiEvent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

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
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline LoMidiEvent event(std::initializer_list<std::uint8_t> bytes, std::int32_t delay = 0) {
    const Bytes b(bytes);
    return LoMidiEvent(b.begin(), b.end(), delay);
}

// F0, count - 2 body bytes (a repeating pattern below 0x80), F7.
inline LoMidiEvent sysEx(std::size_t count, std::int32_t delay, std::uint8_t seed = 0) {
    Bytes b(count, 0);
    b.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < count; ++i) {
        b[i] = static_cast<std::uint8_t>((i + seed) & 0x7F);
    }
    b.back() = 0xF7;
    return LoMidiEvent(b.begin(), b.end(), delay);
}

// The parts of a bank file: conductor meta events, then per bank an announce message and a
// 262150-byte data message 6 s later.
inline LoMidiEventList conductorEvents() {
    return {event({0xFF, 0x51, 0x07, 0xA1, 0x20}), event({0xFF, 0x58, 0x04, 0x02, 0x18, 0x08}),
            event({0xFF, 0x02, 'b', 'a', 'n', 'k', 's'})};
}

inline LoMidiEventList bankEvents(std::uint8_t bank) {
    LoMidiEventList list{event({0xFF, 0x03, 'B', static_cast<std::uint8_t>('1' + bank)}),
                         event({0xF0, 0x31, 0x0D, 0x79, bank, 0xF7})};
    list.push_back(sysEx(262150, 6000, bank));
    return list;
}

// An independent walk over a Standard MIDI File, for checking what the writer produced.
struct Chunk {
    std::string id;
    std::uint32_t length = 0;
    Bytes data; // as much of the length as the file holds
};

inline std::uint32_t be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

inline std::uint16_t be16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

inline std::vector<Chunk> chunks(const Bytes& file) {
    std::vector<Chunk> result;
    std::size_t at = 0;
    while (at + 8 <= file.size()) {
        Chunk c;
        c.id.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                    file.begin() + static_cast<std::ptrdiff_t>(at + 4));
        c.length = be32(file, at + 4);
        const std::size_t end = std::min<std::size_t>(file.size(), at + 8 + c.length);
        c.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      file.begin() + static_cast<std::ptrdiff_t>(end));
        result.push_back(c);
        at = end;
    }
    return result;
}

struct RawEvent {
    std::uint32_t delta = 0;
    Bytes bytes; // status, meta type, data: no length
};

// Events of a track chunk's data (System Exclusive and meta only). A malformed track gives
// what could be read before the fault.
inline std::vector<RawEvent> trackEvents(const Bytes& data) {
    std::vector<RawEvent> result;
    std::size_t at = 0;
    const auto quantity = [&](std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4 && at < data.size(); ++i) {
            const std::uint8_t b = data[at++];
            value = (value << 7) | (b & 0x7Fu);
            if ((b & 0x80) == 0) {
                return true;
            }
        }
        return false;
    };
    while (at < data.size()) {
        RawEvent e;
        if (!quantity(e.delta) || at >= data.size()) {
            break;
        }
        e.bytes.push_back(data[at++]);
        if (e.bytes[0] == 0xFF) {
            if (at >= data.size()) {
                break;
            }
            e.bytes.push_back(data[at++]);
        }
        std::uint32_t length = 0;
        if (!quantity(length) || at + length > data.size()) {
            break;
        }
        e.bytes.insert(e.bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                       data.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        result.push_back(e);
    }
    return result;
}

} // namespace miditest
