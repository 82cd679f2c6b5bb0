#include "app/SourceOverview.h"

#include "audio/LoAiffFileReader.h"
#include "audio/LoSample.h"
#include "audio/LoSndfileDecoder.h"
#include "audio/LoWaveFileReader.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

bool SourceOverview::compute(const std::filesystem::path& path, std::size_t count,
                             const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    columns.assign(count, Column{});
    seconds = 0.0;
    error = LoAudioFileReader::whyNotReadable(path);
    if (count == 0 || !error.empty()) {
        return false;
    }
    std::unique_ptr<LoAudioFileReader> reader = std::make_unique<LoAiffFileReader>(path);
    if (!reader->isRecognized()) {
        reader = std::make_unique<LoWaveFileReader>(path);
    }
    std::unique_ptr<LoSndfileDecoder> decoder;
    LoSample format;
    std::uint64_t frames = 0;
    if (reader->isRecognized() && reader->isSupported()) {
        reader->readSampleFormat(format);
        const std::uint64_t frameBytes =
            std::uint64_t{format.getChannels()} * format.getBytesPerSample();
        frames = frameBytes == 0 ? 0 : reader->soundDataBytes() / frameBytes;
    } else if (!reader->isRecognized()) {
        reader.reset();
        decoder = std::make_unique<LoSndfileDecoder>(path);
        if (!decoder->isAccepted()) {
            error = "it is no audio that can be imported";
            return false;
        }
        frames = decoder->frames();
        format = LoSample(decoder->rate(), static_cast<std::uint16_t>(decoder->channels()),
                          static_cast<std::uint16_t>(decoder->isLossless() ? decoder->bits() : 16),
                          false);
    } else {
        error = "its audio is in an encoding that cannot be imported";
        return false;
    }
    rate = format.getSampleRate();
    if (frames == 0 || !(rate > 0) || !format.hasReadableLayout()) {
        error = "it holds no sound";
        return false;
    }
    seconds = static_cast<double>(frames) / rate;
    const double scale = std::ldexp(1.0, -(8 * format.getBytesPerSample() - 1));
    const std::uint64_t frameBytes =
        std::uint64_t{format.getChannels()} * format.getBytesPerSample();
    const std::uint64_t piece = std::max<std::uint64_t>(1, (256 * 1024) / frameBytes);
    LoSample part;
    for (std::uint64_t first = 0; first < frames; first += piece) {
        if (progress && !progress(first, frames)) {
            error.clear();
            return false;
        }
        if (decoder) {
            std::size_t clamped = 0;
            if (!decoder->read(part, piece, error, clamped, first)) {
                return false;
            }
        } else {
            reader->readSample(part, static_cast<std::uint32_t>(piece * frameBytes),
                               first * frameBytes);
        }
        const std::uint32_t got = part.frameCount();
        for (std::uint32_t f = 0; f < got; ++f) {
            Column& column = columns[static_cast<std::size_t>((first + f) * count / frames)];
            for (std::uint16_t c = 0; c < part.getChannels(); ++c) {
                const auto v =
                    static_cast<float>(part.getValue(static_cast<std::int32_t>(f), c) * scale);
                column.low = std::min(column.low, v);
                column.high = std::max(column.high, v);
            }
        }
        if (got == 0) {
            break;
        }
    }
    return true;
}
