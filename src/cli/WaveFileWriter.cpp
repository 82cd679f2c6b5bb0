#include "cli/WaveFileWriter.h"

#include <vector>

WaveFileWriter::WaveFileWriter(const std::filesystem::path& path) : LoFileWriter(path) {}

WaveFileWriter::~WaveFileWriter() = default;

bool WaveFileWriter::writeMono16(const std::int16_t* values, std::size_t count,
                                 std::uint32_t sampleRate) {
    const auto dataBytes = static_cast<std::uint32_t>(count * 2);
    write("RIFF", 4);
    write32(36 + dataBytes, false);
    write("WAVE", 4);
    write("fmt ", 4);
    write32(16, false);
    write16(1, false); // PCM
    write16(1, false); // channels
    write32(sampleRate, false);
    write32(sampleRate * 2, false); // bytes per second
    write16(2, false);              // bytes per frame
    write16(16, false);             // bits per sample
    write("data", 4);
    write32(dataBytes, false);
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
