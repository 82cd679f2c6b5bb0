#pragma once

#include "midi/LoFileReader.h"

#include <cstdint>
#include <filesystem>
#include <string>

class LoSample;

// An open audio file that knows whether it is of its reader's format, whether that is the
// uncompressed kind it can read, and how to read its format and sample bytes into a LoSample.
// Nothing is reported when the file cannot be opened: the reader then recognises nothing.
// As a LoFileReader it is also the plain input stream of its file.
class LoAudioFileReader : public LoFileReader {
public:
    explicit LoAudioFileReader(const std::filesystem::path& path);
    // Reads bytes in memory (which must outlive the reader) exactly as a file of them.
    explicit LoAudioFileReader(std::span<const std::uint8_t> bytes);
    ~LoAudioFileReader() override;

    // The file carries the container identifiers of the reader's format.
    virtual bool isRecognized() = 0;
    // The file is of the kind readSample can read. Callers ask this before readSample.
    virtual bool isSupported() = 0;
    // Replaces the sample's bytes and format with the file's: rate, channels, depth and
    // signedness, and the sample bytes as little-endian data. byteLimit 0 reads all of the
    // sound data, any other value at most that many bytes. Never allocates more than the file
    // holds.
    // With an offset, the reading starts that many sound bytes in (a multiple of the frame size
    // reads whole frames), so that a long sound can be read in pieces.
    LoSample& readSample(LoSample& sample, std::uint32_t byteLimit, std::uint64_t offset = 0);
    // The same format as readSample gives, without any bytes: lets a caller choose a limit.
    LoSample& readSampleFormat(LoSample& sample);
    // What the file says it holds, for messages about a recognised file that is not supported:
    // "32-bit floating-point WAV", "AIFF-C, compression 'sowt'".
    virtual std::string describeFormat() = 0;
    // How many bytes of sound readSample with no limit would read (0 when there are none).
    std::uint64_t soundDataBytes();

protected:
    // What a format chunk says of the sound.
    struct Format {
        double rate = 0.0;
        std::uint16_t channels = 0;
        std::uint16_t bits = 0;
        bool unsigned8 = false;
    };
    // Gives the sample the format.
    static void apply(LoSample& sample, const Format& format);
    // Reads the format chunk; false when there is none.
    virtual bool readFormat(Format& format) = 0;
    // Leaves the stream at the first sound byte and gives how many sound bytes the file claims;
    // false when there is no sound data.
    virtual bool findSoundData(std::uint64_t& claimed) = 0;
    // Reads count sound bytes (at most what is left in the file) into the sample's bytes as
    // little-endian samples.
    virtual void readSoundBytes(LoSample& sample, std::uint64_t count, const Format& format) = 0;

    // Walks the chunks from offset 12 to the one with the given identifier and leaves the
    // stream at its size field. False when it is missing, a header is cut short or a size
    // runs past the end of the file. Always ends: every step moves forward.
    bool findChunk(std::uint32_t id, bool bigEndianSizes);
    // One walk, with or without the pad byte after chunks of odd size.
    bool walkChunks(std::uint32_t id, bool bigEndianSizes, bool padded);
    static constexpr std::int64_t smallStep = 64 * 1024;
    // Bytes left from the current position to the end of the file (0 for a failed stream).
    std::uint64_t bytesLeft();
};
