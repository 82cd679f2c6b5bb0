#include "audio/LoAudioFileReader.h"

LoAudioFileReader::LoAudioFileReader(const std::filesystem::path& path) : LoFileReader(path) {}

LoAudioFileReader::~LoAudioFileReader() = default;

bool LoAudioFileReader::findChunk(std::uint32_t id, bool bigEndianSizes) {
    seek(12);
    for (;;) {
        const std::uint32_t chunk = read32(true);
        if (!good()) {
            return false;
        }
        if (chunk == id) {
            return true;
        }
        const std::uint32_t size = read32(bigEndianSizes);
        if (!good()) {
            return false;
        }
        const std::uint64_t step = std::uint64_t{size} + (size & 1u);
        if (step > bytesLeft()) {
            return false;
        }
        if (!skip(static_cast<std::uint32_t>(step))) {
            return false;
        }
    }
}

std::uint64_t LoAudioFileReader::bytesLeft() {
    const std::int64_t size = fileSize();
    const std::int64_t position = tell();
    if (size < 0 || position < 0 || position > size) {
        return 0;
    }
    return static_cast<std::uint64_t>(size - position);
}
