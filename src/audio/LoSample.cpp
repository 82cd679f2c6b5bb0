#include "audio/LoSample.h"

LoSample::LoSample() = default;

LoSample::LoSample(double rate, std::uint16_t channelCount, std::uint16_t bits, bool unsignedFlag)
    : sampleRate(rate), channels(channelCount) {
    setBitsPerSample(bits);
    setUnsigned8(unsignedFlag);
}

LoSample::~LoSample() = default;

void LoSample::setBitsPerSample(std::uint16_t bits) {
    bitsPerSample = bits;
    bytesPerSample = static_cast<std::uint16_t>((bits + 7u) / 8u);
    signShift = static_cast<std::int16_t>(32 - 8 * static_cast<int>(bytesPerSample));
    if (bits != 8) {
        unsigned8 = false;
    }
}

void LoSample::setUnsigned8(bool flag) {
    unsigned8 = flag;
    if (flag) {
        setBitsPerSample(8);
    }
}

bool LoSample::hasReadableLayout() const {
    return channels > 0 && bytesPerSample > 0 && bytesPerSample <= 4;
}

std::uint32_t LoSample::frameCount() const {
    if (channels == 0 || bytesPerSample == 0) {
        return 0;
    }
    const std::size_t frames = bytes.size() / channels / bytesPerSample;
    return static_cast<std::uint32_t>(frames);
}

std::int32_t LoSample::getValue(std::int32_t frame, std::uint16_t channel) const {
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
    if (unsigned8) {
        return static_cast<std::int32_t>(bytes[offset]) - 128;
    }
    std::uint32_t raw = 0;
    for (std::uint16_t i = 0; i < bytesPerSample; ++i) {
        raw |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    // Move the top stored bit to bit 31, then shift back arithmetically.
    return static_cast<std::int32_t>(raw << signShift) >> signShift;
}
