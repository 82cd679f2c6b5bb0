#include "files/SourceOverview.h"

#include "audio/AudioFileSource.h"
#include "audio/LoAudioFileReader.h"
#include "audio/LoSample.h"

#include <algorithm>
#include <cmath>
#include <string>

bool SourceOverview::compute(const std::filesystem::path& path, std::size_t count,
                             const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    columns.assign(count, Column{});
    seconds = 0.0;
    error.clear();
    if (count == 0) {
        return false;
    }
    AudioFileSource source(path);
    switch (source.kind()) {
    case AudioFileSource::Kind::unopened:
        error = source.why();
        return false;
    case AudioFileSource::Kind::raw:
        error = "it is no audio that can be imported";
        return false;
    case AudioFileSource::Kind::compressed:
        break;
    default:
        if (!source.reader()->isSupported()) {
            error = "its audio is in an encoding that cannot be imported";
            return false;
        }
    }
    const LoSample& format = source.format();
    const std::uint64_t frames = source.frames();
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
        if (!source.readFrames(part, first, piece, error)) {
            return false;
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
