#include "audio/LoSampleConverter.h"

#include "audio/LoSample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <type_traits>

namespace {

constexpr std::uint64_t maxSize = std::numeric_limits<std::uint32_t>::max();

// Stores the width least significant bytes of v at p, least significant first. Widths above
// 4 bytes are filled with the sign.
inline void store(std::uint8_t* p, std::size_t width, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    switch (width) {
    case 4:
        p[3] = static_cast<std::uint8_t>(u >> 24);
        [[fallthrough]];
    case 3:
        p[2] = static_cast<std::uint8_t>(u >> 16);
        [[fallthrough]];
    case 2:
        p[1] = static_cast<std::uint8_t>(u >> 8);
        [[fallthrough]];
    case 1:
        p[0] = static_cast<std::uint8_t>(u);
        return;
    default:
        for (std::size_t i = 0; i < width; ++i) {
            p[i] = i < 4 ? static_cast<std::uint8_t>(u >> (8 * i))
                         : static_cast<std::uint8_t>(v < 0 ? 0xFF : 0);
        }
    }
}

// Runs body with the sample width as a compile-time constant for the common widths 1 to 4 (in
// whose loops loading and storing a sample cost a few instructions), else as a plain value.
template <class Body> void forWidth(std::size_t width, Body body) {
    switch (width) {
    case 1:
        body(std::integral_constant<std::size_t, 1>{});
        break;
    case 2:
        body(std::integral_constant<std::size_t, 2>{});
        break;
    case 3:
        body(std::integral_constant<std::size_t, 3>{});
        break;
    case 4:
        body(std::integral_constant<std::size_t, 4>{});
        break;
    default:
        body(width);
        break;
    }
}

std::uint32_t clampSize(std::uint64_t size) {
    return static_cast<std::uint32_t>(std::min(size, maxSize));
}

bool hasUsableRate(const LoSample& sample) {
    const double rate = sample.getSampleRate();
    return std::isfinite(rate) && rate > 0.0;
}

// An output of the given format and size, all zero, replacing whatever it held.
void prepare(LoSample& out, double rate, std::uint16_t channelCount, std::uint16_t bits,
             bool unsignedFlag, std::uint32_t size) {
    out.bytes.assign(size, 0);
    out.setSampleRate(rate);
    out.setChannels(channelCount);
    out.setBitsPerSample(bits);
    out.setUnsigned8(unsignedFlag);
}

} // namespace

LoSampleConverter::LoSampleConverter(double rate, std::uint16_t channelCount, std::uint16_t bits,
                                     bool unsignedFlag)
    : sampleRate(rate), channels(channelCount),
      bitsPerSample(unsignedFlag ? std::uint16_t{8} : bits), unsigned8(unsignedFlag) {}

LoSample& LoSampleConverter::convert(LoSample& output, const LoSample& input,
                                     std::uint32_t frameLimit) const {
    if (!input.hasReadableLayout() || !hasUsableRate(input)) {
        prepare(output, sampleRate, channels, bitsPerSample, unsigned8, 0);
        return output;
    }
    LoSample first;
    convertChannels(first, input);
    return finish(output, first, frameLimit);
}

LoSample& LoSampleConverter::convert(LoSample& output, LoSample&& input,
                                     std::uint32_t frameLimit) const {
    if (!input.hasReadableLayout() || !hasUsableRate(input)) {
        prepare(output, sampleRate, channels, bitsPerSample, unsigned8, 0);
        return output;
    }
    LoSample first = std::move(input);
    convertChannels(first, first);
    return finish(output, first, frameLimit);
}

LoSample& LoSampleConverter::finish(LoSample& output, LoSample& first,
                                    std::uint32_t frameLimit) const {
    // Two buffers take turns: each stage writes into memory an earlier stage has used, which
    // usually holds what it needs (depth and encoding shrink or keep the size), so that few
    // fresh pages are touched, and the peak stays that of the rate stage.
    LoSample second;
    convertRate(second, first, frameLimit);
    convertDepth(first, second);
    convertEncoding(second, first);
    output = std::move(second);
    return output;
}

LoSample& LoSampleConverter::convertChannels(LoSample& output, const LoSample& input) const {
    // In place when the channels do not grow: every frame is written no further on than where
    // it was read from, after it was read.
    const bool inPlace = &output == &input;
    if (inPlace && channels > input.getChannels()) {
        const LoSample copy = input;
        return convertChannels(output, copy);
    }
    const std::uint16_t c = input.getChannels();
    const bool u = input.isUnsigned8();
    if (!input.hasReadableLayout()) {
        prepare(output, input.getSampleRate(), channels, input.getBitsPerSample(), u, 0);
        return output;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(input.size()) * channels / c;
    const std::size_t width = input.getBytesPerSample();
    const std::uint32_t frames = input.frameCount();
    if (!inPlace) {
        prepare(output, input.getSampleRate(), channels, input.getBitsPerSample(), u,
                clampSize(size));
    }
    const std::size_t outFrames =
        static_cast<std::size_t>(size) / width / std::max<std::size_t>(channels, 1);
    const std::size_t count = std::min<std::size_t>(frames, outFrames);
    const auto mix = [&](auto fixedWidth) {
        const std::size_t w = fixedWidth;
        const std::uint8_t* frame = input.bytes.data();
        std::uint8_t* out = output.bytes.data();
        if (c == 2 && channels == 1) {
            // Stereo to mono, the usual case, without the loops over channels.
            for (std::size_t f = 0; f < count; ++f, frame += 2 * w, out += w) {
                const std::int64_t sum =
                    std::int64_t{LoSample::decode(frame, w, u)} + LoSample::decode(frame + w, w, u);
                store(out, w, static_cast<std::int32_t>(sum / 2) + (u ? 128 : 0));
            }
            return;
        }
        for (std::size_t f = 0; f < count; ++f, frame += c * w) {
            std::int64_t sum = 0;
            for (std::uint16_t ch = 0; ch < c; ++ch) {
                sum += LoSample::decode(frame + ch * w, w, u);
            }
            // The common channel counts divide by a constant, which costs no division.
            const std::int64_t average = c == 1 ? sum : c == 2 ? sum / 2 : sum / c;
            auto value = static_cast<std::int32_t>(average);
            if (u) {
                value += 128;
            }
            for (std::uint16_t k = 0; k < channels; ++k, out += w) {
                store(out, w, value);
            }
        }
    };
    // Mono to mono in place leaves every whole frame as it is.
    if (!(inPlace && c == 1 && channels == 1)) {
        forWidth(width, mix);
    }
    if (inPlace) {
        // What follows the mixed frames reads as zero, as in a fresh output.
        const std::size_t mixed = count * width * channels;
        std::fill(output.bytes.begin() + static_cast<std::ptrdiff_t>(mixed),
                  output.bytes.begin() + static_cast<std::ptrdiff_t>(size), std::uint8_t{0});
        output.bytes.resize(static_cast<std::size_t>(size));
        output.setChannels(channels);
    }
    return output;
}

LoSample& LoSampleConverter::convertRate(LoSample& output, const LoSample& input,
                                         std::uint32_t frameLimit) const {
    if (&output == &input) {
        const LoSample copy = input;
        return convertRate(output, copy, frameLimit);
    }
    const std::uint16_t c = input.getChannels();
    const bool u = input.isUnsigned8();
    const double ratio = input.getSampleRate() / sampleRate;
    // The quotient is 0 for no input, infinite for an input rate of 0 and negative or NaN for
    // rates that make no sense: all give an empty output. A size beyond 32 bits is capped.
    const double quotient = static_cast<double>(input.size()) / ratio;
    std::uint64_t size = 0;
    if (input.hasReadableLayout() && std::isfinite(quotient) && quotient > 0.0) {
        size = quotient >= static_cast<double>(maxSize) ? maxSize
                                                        : static_cast<std::uint64_t>(quotient);
    }
    const std::size_t frameBytes =
        input.hasReadableLayout() ? static_cast<std::size_t>(c) * input.getBytesPerSample() : 0;
    if (frameLimit != 0) {
        size = std::min<std::uint64_t>(size, std::uint64_t{frameLimit} * frameBytes);
    }
    prepare(output, sampleRate, c, input.getBitsPerSample(), u, clampSize(size));
    if (size == 0) {
        return output;
    }
    const std::size_t width = input.getBytesPerSample();
    const std::uint32_t inFrames = input.frameCount();
    const double lastFrame = static_cast<double>(inFrames);
    const std::uint32_t outFrames = output.frameCount();
    const std::uint8_t* in = input.bytes.data();
    std::uint8_t* out = output.bytes.data();
    forWidth(width, [&](auto fixedWidth) {
        const std::size_t w = fixedWidth;
        for (std::uint32_t i = 0; i < outFrames; ++i) {
            const double pos = static_cast<double>(i) * ratio;
            std::uint32_t n = 0;
            double frac = 0.0;
            bool inside = pos < lastFrame;
            if (inside) {
                n = static_cast<std::uint32_t>(pos);
                frac = pos - static_cast<double>(n);
            }
            for (std::uint16_t ch = 0; ch < c; ++ch) {
                std::int32_t a = 0;
                std::int32_t b = 0;
                if (inside) {
                    const std::size_t at = (static_cast<std::size_t>(n) * c + ch) * w;
                    a = LoSample::decode(in + at, w, u);
                    if (n + 1 < inFrames) {
                        b = LoSample::decode(in + at + c * w, w, u);
                    }
                }
                const double r = static_cast<double>(a) +
                                 (static_cast<double>(b) - static_cast<double>(a)) * frac;
                auto value = static_cast<std::int32_t>(r);
                if (u) {
                    value += 128;
                }
                store(out + (static_cast<std::size_t>(i) * c + ch) * w, w, value);
            }
        }
    });
    return output;
}

LoSample& LoSampleConverter::convertDepth(LoSample& output, const LoSample& input) const {
    if (&output == &input) {
        const LoSample copy = input;
        return convertDepth(output, copy);
    }
    const std::uint16_t c = input.getChannels();
    const bool outUnsigned = input.isUnsigned8() && bitsPerSample == 8;
    const std::size_t outWidth = (bitsPerSample + 7u) / 8u;
    const std::size_t inWidth = input.getBytesPerSample();
    if (!input.hasReadableLayout() || outWidth == 0) {
        prepare(output, input.getSampleRate(), c, bitsPerSample, outUnsigned, 0);
        return output;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(input.size()) * outWidth / inWidth;
    prepare(output, input.getSampleRate(), c, bitsPerSample, outUnsigned, clampSize(size));
    // Both sides left-justified in their containers: the scale is a power of two between -24
    // and +24 bits. Wider targets receive the 32-bit value, sign-filled.
    const int shift =
        8 * static_cast<int>(std::min<std::size_t>(outWidth, 4)) - 8 * static_cast<int>(inWidth);
    const std::uint32_t frames = input.frameCount();
    const std::size_t outSlots = output.size() / outWidth;
    // Slots in whole frames, as many as both sides hold.
    const std::size_t slots = std::min<std::size_t>(std::size_t{frames} * c, outSlots);
    const bool inUnsigned = input.isUnsigned8();
    const std::uint8_t* in = input.bytes.data();
    std::uint8_t* out = output.bytes.data();
    forWidth(inWidth, [&](auto fixedIn) {
        forWidth(outWidth, [&](auto fixedOut) {
            const std::size_t iw = fixedIn;
            const std::size_t ow = fixedOut;
            for (std::size_t slot = 0; slot < slots; ++slot) {
                const std::int64_t v = LoSample::decode(in + slot * iw, iw, inUnsigned);
                // Division truncates toward zero, as the multiplication by 2^shift would.
                std::int64_t r =
                    shift >= 0 ? v * (std::int64_t{1} << shift) : v / (std::int64_t{1} << -shift);
                if (outUnsigned) {
                    r += 128;
                }
                store(out + slot * ow, ow, static_cast<std::int32_t>(r));
            }
        });
    });
    return output;
}

LoSample& LoSampleConverter::convertEncoding(LoSample& output, const LoSample& input) const {
    if (&output == &input) {
        const LoSample copy = input;
        return convertEncoding(output, copy);
    }
    const std::uint16_t c = input.getChannels();
    if (!input.hasReadableLayout()) {
        prepare(output, sampleRate, c, input.getBitsPerSample(), unsigned8, 0);
        return output;
    }
    prepare(output, sampleRate, c, input.getBitsPerSample(), unsigned8,
            static_cast<std::uint32_t>(input.size()));
    const std::size_t width = input.getBytesPerSample();
    const std::size_t slots = std::size_t{input.frameCount()} * c;
    const bool inUnsigned = input.isUnsigned8();
    const std::uint8_t* in = input.bytes.data();
    std::uint8_t* out = output.bytes.data();
    forWidth(width, [&](auto fixedWidth) {
        const std::size_t w = fixedWidth;
        for (std::size_t slot = 0; slot < slots; ++slot) {
            std::int32_t v = LoSample::decode(in + slot * w, w, inUnsigned);
            if (unsigned8) {
                v += 128;
            }
            store(out + slot * w, w, v);
        }
    });
    return output;
}
