#pragma once

// Helpers for audio tests: a temporary folder, byte builders for hand-made files, and sox.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace audiotest {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vaneto-audio-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}
inline void appendText(Bytes& out, const char* id) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(id[i]));
    }
}
inline void le16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void le32(Bytes& out, std::uint32_t v) {
    le16(out, v & 0xFFFF);
    le16(out, v >> 16);
}
inline void be16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}
inline void be32(Bytes& out, std::uint32_t v) {
    be16(out, v >> 16);
    be16(out, v & 0xFFFF);
}

// A chunk: identifier, size, data and the pad byte after an odd size.
inline Bytes chunk(const char* id, const Bytes& data, bool bigEndian,
                   std::uint32_t claimedSize = 0) {
    Bytes out;
    appendText(out, id);
    const auto size = claimedSize != 0 ? claimedSize : static_cast<std::uint32_t>(data.size());
    bigEndian ? be32(out, size) : le32(out, size);
    append(out, data);
    if (data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

inline Bytes fmtData(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                     std::uint16_t bits) {
    Bytes out;
    le16(out, tag);
    le16(out, channels);
    le32(out, rate);
    le32(out, rate * channels * ((bits + 7u) / 8u)); // byte rate
    le16(out, channels * ((bits + 7u) / 8u));        // block align
    le16(out, bits);
    return out;
}

// A container: its identifier, the size of what follows in the given byte order, the form type
// and the chunks.
inline Bytes container(const char* id, const char* form, std::initializer_list<Bytes> chunks,
                       bool bigEndian) {
    Bytes body;
    appendText(body, form);
    for (const Bytes& c : chunks) {
        append(body, c);
    }
    Bytes out;
    appendText(out, id);
    const auto size = static_cast<std::uint32_t>(body.size());
    bigEndian ? be32(out, size) : le32(out, size);
    append(out, body);
    return out;
}

// "RIFF" size "WAVE" followed by the given chunks.
inline Bytes riff(std::initializer_list<Bytes> chunks, const char* form = "WAVE") {
    return container("RIFF", form, chunks, false);
}

inline Bytes wav(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                 const Bytes& data) {
    return riff(
        {chunk("fmt ", fmtData(1, channels, rate, bits), false), chunk("data", data, false)});
}

// 80-bit extended representation of a positive whole rate.
inline Bytes float80(std::uint32_t rate) {
    Bytes out(10, 0);
    if (rate == 0) {
        return out;
    }
    int top = 31;
    while (((rate >> top) & 1u) == 0) {
        --top;
    }
    const std::uint32_t exponent = 16383u + static_cast<std::uint32_t>(top);
    const std::uint64_t significand = std::uint64_t{rate} << (63 - top);
    out[0] = static_cast<std::uint8_t>(exponent >> 8);
    out[1] = static_cast<std::uint8_t>(exponent);
    for (int i = 0; i < 8; ++i) {
        out[2 + i] = static_cast<std::uint8_t>(significand >> (56 - 8 * i));
    }
    return out;
}

inline Bytes commData(std::uint16_t channels, std::uint16_t bits, const Bytes& rate80) {
    Bytes out;
    be16(out, channels);
    be32(out, 0); // frame count, not used
    be16(out, bits);
    append(out, rate80);
    return out;
}

inline Bytes ssndData(const Bytes& samples, std::uint32_t offset = 0) {
    Bytes out;
    be32(out, offset);
    be32(out, 0); // block size
    out.insert(out.end(), offset, 0xEE);
    append(out, samples);
    return out;
}

inline Bytes form(std::initializer_list<Bytes> chunks, const char* type = "AIFF") {
    return container("FORM", type, chunks, true);
}

inline Bytes aiff(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                  const Bytes& samples) {
    return form({chunk("COMM", commData(channels, bits, float80(rate)), true),
                 chunk("SSND", ssndData(samples), true)});
}

// Runs /usr/bin/sox with the given arguments; true when it succeeded.
inline bool sox(const std::string& arguments) {
    const std::string command = "/usr/bin/sox -V1 " + arguments + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

} // namespace audiotest
