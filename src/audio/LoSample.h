#pragma once

#include "midi/LoBuffer.h"

#include <cstdint>

// A block of interleaved PCM audio of any rate, channel count and depth. The inherited bytes
// hold frames one after the other, one sample per channel inside a frame (channel 0 first), each
// sample bytesPerSample wide, least significant byte first, two's complement; or, when the
// sample is unsigned 8-bit, one byte per sample holding the value plus 128.
//
// bytesPerSample always follows bitsPerSample; unsigned8 implies 8 bits.
class LoSample : public LoBuffer {
public:
    // Where a sound begins to be heard: -60 dBFS, as a fraction of full scale.
    static constexpr double audibleLevel = 0.001;

    // 44100 Hz, 2 channels, 16 bits, signed, no bytes.
    LoSample();
    // No bytes; the unsigned flag wins over the bits: (44100, 1, 24, true) is 8-bit unsigned.
    LoSample(double rate, std::uint16_t channelCount, std::uint16_t bits, bool unsignedFlag);
    LoSample(const LoSample&) = default;
    LoSample(LoSample&&) noexcept = default;
    LoSample& operator=(const LoSample&) = default;
    LoSample& operator=(LoSample&&) noexcept = default;
    ~LoSample() override;

    double getSampleRate() const { return sampleRate; }
    void setSampleRate(double rate) { sampleRate = rate; }
    std::uint16_t getChannels() const { return channels; }
    void setChannels(std::uint16_t count) { channels = count; }
    std::uint16_t getBitsPerSample() const { return bitsPerSample; }
    std::uint16_t getBytesPerSample() const { return bytesPerSample; }
    bool isUnsigned8() const { return unsigned8; }

    // Also sets the storage width (bits / 8 rounded up) and the sign shift; any depth but 8
    // clears the unsigned flag.
    void setBitsPerSample(std::uint16_t bits);
    // Setting the flag makes the sample 8 bits wide; clearing it keeps the depth.
    void setUnsigned8(bool flag);

    // True when values can be read: at least one channel and 1 to 4 bytes per sample.
    bool hasReadableLayout() const;

    // Complete frames held; a trailing partial frame is not counted. 0 when the layout has no
    // channels or no bytes per sample.
    std::uint32_t frameCount() const;

    // The sample of one channel of one frame, sign-extended to 32 bits (unsigned 8-bit samples
    // come back as -128 ... 127). A channel beyond the last reads the last channel. Widths above
    // 4 bytes, and positions outside the bytes held, read as 0.
    std::int32_t getValue(std::int32_t frame, std::uint16_t channel) const;

    // The value of one stored sample of width 1 to 4 bytes at p, as getValue gives it. Every
    // reading of sample values goes through this.
    static std::int32_t decode(const std::uint8_t* p, std::size_t width, bool unsignedFlag);

private:
    double sampleRate = 44100.0;
    std::uint16_t channels = 2;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t bytesPerSample = 2;
    bool unsigned8 = false;
};

// Defined here so that the conversion loops, which call it for every sample, can inline it.
inline std::int32_t LoSample::getValue(std::int32_t frame, std::uint16_t channel) const {
    if (channels == 0 || bytesPerSample == 0 || bytesPerSample > 4 || frame < 0) {
        return 0;
    }
    if (channel >= channels) {
        channel = static_cast<std::uint16_t>(channels - 1);
    }
    const std::size_t offset =
        (static_cast<std::size_t>(frame) * channels + channel) * bytesPerSample;
    if (offset + bytesPerSample > bytes.size()) {
        return 0;
    }
    return decode(bytes.data() + offset, bytesPerSample, unsigned8);
}

inline std::int32_t LoSample::decode(const std::uint8_t* p, std::size_t width, bool unsignedFlag) {
    switch (width) {
    case 1:
        return unsignedFlag ? static_cast<std::int32_t>(p[0]) - 128
                            : static_cast<std::int32_t>(static_cast<std::int8_t>(p[0]));
    case 2:
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    case 3:
        // The top stored bit moved to bit 31, then shifted back arithmetically.
        return static_cast<std::int32_t>((std::uint32_t{p[0]} << 8) | (std::uint32_t{p[1]} << 16) |
                                         (std::uint32_t{p[2]} << 24)) >>
               8;
    default:
        return static_cast<std::int32_t>(std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                                         (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24));
    }
}
