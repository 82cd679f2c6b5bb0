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
