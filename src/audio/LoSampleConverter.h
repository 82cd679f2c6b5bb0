#pragma once

#include <cstdint>

class LoSample;

// Converts a PCM sample of any format into the target format held here, in four stages that
// always run in the same order: channel count, sample rate, bit depth, final encoding. Each
// stage reads sign-extended values from its input and writes a fresh output; the input is never
// changed. The import builds it as (44100, 1, 16, false).
//
// Inputs that hold no readable audio (no channels, depth 0 or above 32 bits, a rate of 0,
// negative, infinite or NaN) convert to an empty sample of the target format.
class LoSampleConverter {
public:
    LoSampleConverter(double rate, std::uint16_t channelCount, std::uint16_t bits,
                      bool unsignedFlag);

    // Runs the four stages. With a frame limit other than 0 the result holds at most that many
    // frames: exactly the first frames of the unlimited result, without computing the rest.
    LoSample& convert(LoSample& output, const LoSample& input, std::uint32_t frameLimit = 0) const;
    // The same from an input that is not needed afterwards: its memory takes the first stage.
    LoSample& convert(LoSample& output, LoSample&& input, std::uint32_t frameLimit = 0) const;

    // Every output channel receives the average of all input channels, truncated toward zero.
    // May work in place (output and input the same sample).
    LoSample& convertChannels(LoSample& output, const LoSample& input) const;
    // Linear interpolation to the target rate, without filtering; the frame after the last
    // input frame counts as 0. A frame limit other than 0 caps the output's frames.
    LoSample& convertRate(LoSample& output, const LoSample& input,
                          std::uint32_t frameLimit = 0) const;
    // Scales to the target depth by a power of two, truncating toward zero. Depths that are not
    // a multiple of 8 are taken as left-justified in their container, so the scale follows the
    // container widths (a 12-bit sample is at full level in its 16 bits).
    LoSample& convertDepth(LoSample& output, const LoSample& input) const;
    // Writes the samples with the target's signedness, at the target rate.
    LoSample& convertEncoding(LoSample& output, const LoSample& input) const;

    double sampleRate;
    std::uint16_t channels;
    std::uint16_t bitsPerSample; // 8 whenever unsigned8 is set
    bool unsigned8;

private:
    // The stages after the channels, from the mixed sample (whose memory is reused).
    LoSample& finish(LoSample& output, LoSample& mixed, std::uint32_t frameLimit) const;
};
