#include "audio/WaveFileWriter.h"

#include <cstring>

namespace {

constexpr std::uint16_t tagPcm = 1;
constexpr std::uint16_t tagFloat = 3;

std::uint32_t paddedSize(std::size_t size) {
    return static_cast<std::uint32_t>(size + (size & 1u));
}

} // namespace

WaveFileWriter::WaveFileWriter(const std::filesystem::path& path) : LoFileWriter(path) {}

WaveFileWriter::~WaveFileWriter() = default;

void WaveFileWriter::writeHeader(std::uint16_t formatTag, std::uint16_t bits, std::uint32_t frames,
                                 std::uint32_t sampleRate, std::span<const Chunk> extra) {
    const bool isFloat = formatTag == tagFloat;
    const std::uint32_t formatSize = isFloat ? 18 : 16;
    const std::uint32_t frameBytes = bits / 8u;
    const std::uint32_t dataBytes = frames * frameBytes;
    std::uint32_t riffSize = 4 + 8 + formatSize + 8 + paddedSize(dataBytes);
    if (isFloat) {
        riffSize += 8 + 4;
    }
    for (const Chunk& chunk : extra) {
        riffSize += 8 + paddedSize(chunk.bytes.size());
    }
    write("RIFF", 4);
    write32(riffSize, false);
    write("WAVE", 4);
    write("fmt ", 4);
    write32(formatSize, false);
    write16(formatTag, false);
    write16(1, false); // channels
    write32(sampleRate, false);
    write32(sampleRate * frameBytes, false); // bytes per second
    write16(static_cast<std::uint16_t>(frameBytes), false);
    write16(bits, false);
    if (isFloat) {
        write16(0, false); // no extension
        write("fact", 4);
        write32(4, false);
        write32(frames, false);
    }
    for (const Chunk& chunk : extra) {
        write(chunk.id.data(), 4);
        write32(static_cast<std::uint32_t>(chunk.bytes.size()), false);
        write(chunk.bytes.data(), chunk.bytes.size());
        if (chunk.bytes.size() & 1u) {
            const std::uint8_t pad = 0;
            write(&pad, 1);
        }
    }
    write("data", 4);
    write32(dataBytes, false);
}

bool WaveFileWriter::writeMono16(const std::int16_t* values, std::size_t count,
                                 std::uint32_t sampleRate, std::span<const Chunk> extra) {
    writeHeader(tagPcm, 16, static_cast<std::uint32_t>(count), sampleRate, extra);
    std::vector<std::uint8_t> bytes(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint16_t>(values[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    write(bytes.data(), bytes.size());
    flush();
    return good();
}

bool WaveFileWriter::writeMonoFloat32(std::span<const float> values, std::uint32_t sampleRate,
                                      std::span<const Chunk> extra) {
    writeHeader(tagFloat, 32, static_cast<std::uint32_t>(values.size()), sampleRate, extra);
    // The host is little-endian, as the file is.
    std::vector<std::uint8_t> bytes(values.size() * 4);
    std::memcpy(bytes.data(), values.data(), bytes.size());
    write(bytes.data(), bytes.size());
    flush();
    return good();
}
