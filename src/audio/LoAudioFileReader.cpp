#include "audio/LoAudioFileReader.h"

#include "audio/LoSample.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

LoAudioFileReader::LoAudioFileReader(const std::filesystem::path& path) : LoFileReader(path) {}

LoAudioFileReader::LoAudioFileReader(std::span<const std::uint8_t> bytes) : LoFileReader(bytes) {}

LoAudioFileReader::~LoAudioFileReader() = default;

LoSample& LoAudioFileReader::readSample(LoSample& sample, std::uint32_t byteLimit,
                                        std::uint64_t offset) {
    Format format;
    sample.bytes.clear();
    std::uint64_t claimed = 0;
    if (readFormat(format) && findSoundData(claimed) && offset < claimed && offset <= bytesLeft() &&
        skip(static_cast<std::uint32_t>(offset))) {
        claimed -= offset;
        const std::uint64_t count = (byteLimit == 0 || byteLimit > claimed) ? claimed : byteLimit;
        // A size that claims more than the file holds reads what is there.
        readSoundBytes(sample, std::min(count, bytesLeft()), format);
    }
    apply(sample, format);
    return sample;
}

LoSample& LoAudioFileReader::readSampleFormat(LoSample& sample) {
    Format format;
    sample.bytes.clear();
    readFormat(format);
    apply(sample, format);
    return sample;
}

void LoAudioFileReader::apply(LoSample& sample, const Format& format) {
    sample.setSampleRate(format.rate);
    sample.setChannels(format.channels);
    sample.setBitsPerSample(format.bits);
    sample.setUnsigned8(format.unsigned8);
}

std::uint64_t LoAudioFileReader::soundDataBytes() {
    Format format;
    std::uint64_t claimed = 0;
    if (!readFormat(format) || !findSoundData(claimed)) {
        return 0;
    }
    return std::min(claimed, bytesLeft());
}

bool LoAudioFileReader::findChunk(std::uint32_t id, bool bigEndianSizes) {
    // Some writers leave out the pad byte after a chunk of odd size; when the walk by the rule
    // misses the chunk, one walk without pad bytes may find it.
    return walkChunks(id, bigEndianSizes, true) || walkChunks(id, bigEndianSizes, false);
}

bool LoAudioFileReader::walkChunks(std::uint32_t id, bool bigEndianSizes, bool padded) {
    clear();
    seek(12);
    const std::int64_t fileEnd = fileSize();
    std::int64_t position = 12;
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
        position += 8;
        const std::int64_t step = std::int64_t{size} + (padded ? (size & 1u) : 0u);
        if (step > fileEnd - position) {
            return false;
        }
        // Small chunks are passed inside the stream's buffer: a file of many tiny chunks (or of
        // zeros, read as empty chunks) takes one pass, not a seek per chunk.
        if (step <= smallStep) {
            ignore(step);
        } else {
            seekg(position + step, std::ios::beg);
        }
        position += step;
        if (!good()) {
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
