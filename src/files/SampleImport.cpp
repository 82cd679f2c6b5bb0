#include "files/SampleImport.h"

#include "audio/AudioFileSource.h"
#include "audio/LoAudioFileReader.h"
#include "audio/LoSample.h"
#include "audio/LoSampleConverter.h"
#include "audio/LoSndfileDecoder.h"
#include "device/DvVaneto.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {

std::vector<std::int16_t> valuesOf(const LoSample& sample) {
    const std::size_t count = std::min<std::size_t>(sample.size() / 2, SampleImport::bankValues);
    std::vector<std::int16_t> values(count);
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = static_cast<std::int16_t>(sample.bytes[2 * i] | (sample.bytes[2 * i + 1] << 8));
    }
    return values;
}

// The first `limit` sound bytes mixed to the target's channels, read a piece of whole frames at
// a time, so that the file's frames are never held all at once: the same bytes as mixing them
// read whole (each frame mixes on its own).
LoSample readMixed(LoAudioFileReader& reader, const LoSampleConverter& target, std::uint32_t limit,
                   std::uint64_t frameBytes, std::uint64_t start = 0) {
    constexpr std::uint64_t pieceBytes = 64 * 1024;
    const std::uint64_t piece =
        frameBytes == 0 ? limit : std::max<std::uint64_t>(1, pieceBytes / frameBytes) * frameBytes;
    LoSample mixed;
    LoSample source;
    LoSample part;
    for (std::uint64_t offset = 0; offset < limit; offset += piece) {
        const auto wanted =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(piece, limit - offset));
        reader.readSample(source, wanted, start + offset);
        target.convertChannels(part, source);
        if (offset == 0) {
            mixed = part;
            // Room for all of it at once, as far as the file holds it: the pieces never move
            // what came before.
            const std::uint64_t channels = std::max<std::uint16_t>(source.getChannels(), 1);
            const std::uint64_t held = std::min<std::uint64_t>(limit, reader.soundDataBytes());
            mixed.bytes.reserve(static_cast<std::size_t>(held / channels * target.channels));
        } else {
            mixed.bytes.insert(mixed.bytes.end(), part.bytes.begin(), part.bytes.end());
        }
        if (source.size() < wanted) {
            break;
        }
    }
    return mixed;
}

// The first frame of a piece where any channel reaches the threshold; -1 when none does.
long firstAtOrAbove(const LoSample& part, double threshold) {
    const std::uint32_t frames = part.frameCount();
    for (std::uint32_t f = 0; f < frames; ++f) {
        for (std::uint16_t c = 0; c < part.getChannels(); ++c) {
            if (std::abs(static_cast<double>(part.getValue(static_cast<std::int32_t>(f), c))) >=
                threshold) {
                return static_cast<long>(f);
            }
        }
    }
    return -1;
}

// The frame at a time in seconds, round(t x rate); 0 where either is not a usable number.
std::uint64_t startFrameOf(double seconds, double rate) {
    const double frame = std::round(seconds * rate);
    if (!(frame > 0) || !std::isfinite(frame) || frame > 9.0e18) {
        return 0;
    }
    return static_cast<std::uint64_t>(frame);
}

} // namespace

std::uint32_t SampleImport::byteLimitFor(const LoSample& format, std::uint32_t frames) {
    const double rate = format.getSampleRate();
    if (!format.hasReadableLayout() || !std::isfinite(rate) || rate <= 0.0) {
        return 0;
    }
    // Output frame i interpolates input frames floor(i * ratio) and the one after it; the
    // stage-2 size N / ratio must also reach `frames` whole frames. Two frames of margin cover
    // the rounding of both.
    const double ratio = rate / targetRate;
    const double inputFrames = std::ceil(static_cast<double>(frames) * ratio) + 2.0;
    const double frameBytes =
        static_cast<double>(format.getChannels()) * format.getBytesPerSample();
    const double limit = inputFrames * frameBytes;
    constexpr double maxLimit = std::numeric_limits<std::uint32_t>::max();
    if (!(limit < maxLimit)) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(limit);
}

bool SampleImport::isImported(Outcome outcome) {
    return outcome == Outcome::importedAiff || outcome == Outcome::importedWave ||
           outcome == Outcome::importedRaw || outcome == Outcome::importedCompressed;
}

SampleImport::Result SampleImport::load(const std::filesystem::path& path, bool wholeFile) {
    Result result = load(path, Options{});
    if (wholeFile &&
        (result.outcome == Outcome::importedWave || result.outcome == Outcome::importedAiff)) {
        AudioFileSource source(path);
        if (source.kind() == AudioFileSource::Kind::aiff ||
            source.kind() == AudioFileSource::Kind::wave) {
            Result whole;
            whole.sampleName = result.sampleName;
            decode(*source.reader(), source.kind() == AudioFileSource::Kind::aiff, true, bankValues,
                   whole, Options{});
            return whole;
        }
    }
    return result;
}

SampleImport::Result SampleImport::load(const std::filesystem::path& path, const Options& options) {
    Result result;
    result.sampleName = path.filename().string();
    AudioFileSource source(path);
    load(source, bankValues, options, result);
    return result;
}

SampleImport::Result SampleImport::load(std::span<const std::uint8_t> bytes, std::string name,
                                        std::uint32_t values) {
    Result result;
    result.sampleName = std::move(name);
    AudioFileSource source(bytes);
    load(source, values, Options{}, result);
    return result;
}

void SampleImport::load(AudioFileSource& source, std::uint32_t values, const Options& options,
                        Result& result) {
    switch (source.kind()) {
    case AudioFileSource::Kind::unopened:
        result.outcome = Outcome::couldNotOpen;
        result.reason = source.why();
        return;
    case AudioFileSource::Kind::compressed:
        decodeCompressed(*source.decoder(), values, result, options);
        break;
    default:
        decode(*source.reader(), source.kind() == AudioFileSource::Kind::aiff, false, values,
               result, options);
        break;
    }
    applyLevel(options, result);
}

void SampleImport::decodeCompressed(LoSndfileDecoder& decoder, std::uint32_t values, Result& result,
                                    const Options& options) {
    result.compressedFormat = decoder.formatName();
    result.sourceRate = decoder.rate();
    result.sourceChannels = static_cast<std::uint16_t>(decoder.channels());
    result.sourceBits = static_cast<std::uint16_t>(decoder.bits());
    result.sourceFrames = decoder.frames();
    // Only the frames the bank's values depend on are decoded, as for WAV and AIFF.
    const LoSample format(decoder.rate(), static_cast<std::uint16_t>(decoder.channels()),
                          static_cast<std::uint16_t>(decoder.isLossless() ? decoder.bits() : 16),
                          false);
    const std::uint64_t frameBytes =
        std::uint64_t{format.getChannels()} * format.getBytesPerSample();
    const std::uint64_t frames = frameBytes == 0 ? 0 : byteLimitFor(format, values) / frameBytes;
    const std::uint64_t start = options.startAuto
                                    ? firstAudible(decoder)
                                    : startFrameOf(options.startSeconds, decoder.rate());
    result.startFrame = start;
    if (start > 0 && start >= decoder.frames()) {
        result.outcome = Outcome::startPastEnd;
        return;
    }
    LoSample source;
    std::string error;
    if (!decoder.read(source, frames, error, result.clamped, start)) {
        result.outcome = Outcome::damaged;
        result.reason = error;
        return;
    }
    const LoSampleConverter target(targetRate, 1, 16, false);
    LoSample destination(targetRate, 1, 16, false);
    target.convert(destination, std::move(source), values);
    result.outcome = Outcome::importedCompressed;
    result.values = valuesOf(destination);
}

void SampleImport::applyLevel(const Options& options, Result& result) {
    if (!isImported(result.outcome) || result.outcome == Outcome::importedRaw ||
        (options.gainDb == 0.0 && !options.normalize)) {
        return;
    }
    double gain = std::pow(10.0, options.gainDb / 20.0);
    if (options.normalize) {
        int peak = 0;
        for (const std::int16_t v : result.values) {
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        }
        gain = peak == 0 ? 1.0 : 32767.0 * std::pow(10.0, options.normalizeDb / 20.0) / peak;
    }
    result.gainDb = 20.0 * std::log10(gain);
    for (std::int16_t& v : result.values) {
        const double r = std::round(v * gain);
        if (r > 32767.0 || r < -32768.0) {
            ++result.levelClamped;
        }
        v = static_cast<std::int16_t>(std::clamp(r, -32768.0, 32767.0));
    }
}

std::uint64_t SampleImport::firstAudible(LoAudioFileReader& reader, const LoSample& format) {
    const std::uint64_t frameBytes =
        std::uint64_t{format.getChannels()} * format.getBytesPerSample();
    const std::uint64_t total = frameBytes == 0 ? 0 : reader.soundDataBytes() / frameBytes;
    // -60 dBFS of full scale at the source's depth, in its container.
    const double threshold = std::ldexp(LoSample::audibleLevel, 8 * format.getBytesPerSample() - 1);
    const std::uint64_t piece =
        std::max<std::uint64_t>(1, (64 * 1024) / std::max<std::uint64_t>(frameBytes, 1));
    LoSample part;
    for (std::uint64_t frame = 0; frame < total; frame += piece) {
        reader.readSample(part, static_cast<std::uint32_t>(piece * frameBytes), frame * frameBytes);
        const std::uint32_t got = part.frameCount();
        if (const long at = firstAtOrAbove(part, threshold); at >= 0) {
            return frame + static_cast<std::uint64_t>(at);
        }
        if (got == 0) {
            break;
        }
    }
    return total;
}

std::uint64_t SampleImport::firstAudible(LoSndfileDecoder& decoder) {
    constexpr std::uint64_t piece = 16384;
    const double threshold =
        std::ldexp(LoSample::audibleLevel, (decoder.isLossless() ? decoder.bits() : 16) - 1);
    LoSample part;
    std::string error;
    std::size_t clamped = 0;
    for (std::uint64_t frame = 0; frame < decoder.frames(); frame += piece) {
        if (!decoder.read(part, piece, error, clamped, frame)) {
            break;
        }
        const std::uint32_t got = part.frameCount();
        if (const long at = firstAtOrAbove(part, threshold); at >= 0) {
            return frame + static_cast<std::uint64_t>(at);
        }
        if (got == 0) {
            break;
        }
    }
    return decoder.frames();
}

void SampleImport::decode(LoAudioFileReader& reader, bool isAiff, bool wholeFile,
                          std::uint32_t values, Result& result, const Options& options) {
    const LoSampleConverter target(targetRate, 1, 16, false);
    LoSample destination(targetRate, 1, 16, false);
    if (reader.isRecognized() && !reader.isSupported()) {
        result.outcome = Outcome::unsupported;
        result.found = reader.describeFormat();
        return;
    }
    if (reader.isRecognized()) {
        LoSample format;
        reader.readSampleFormat(format);
        result.sourceRate = format.getSampleRate();
        result.sourceChannels = format.getChannels();
        result.sourceBits = format.getBitsPerSample();
        const std::uint64_t frameBytes =
            std::uint64_t{format.getChannels()} * format.getBytesPerSample();
        result.sourceFrames = frameBytes == 0 ? 0 : reader.soundDataBytes() / frameBytes;
        if (wholeFile) {
            LoSample source;
            reader.readSample(source, 0);
            target.convert(destination, std::move(source));
        } else {
            // No readable audio: nothing to read, the conversion gives an empty result.
            const std::uint64_t start =
                options.startAuto ? firstAudible(reader, format)
                                  : startFrameOf(options.startSeconds, format.getSampleRate());
            result.startFrame = start;
            if (start > 0 && start >= result.sourceFrames) {
                result.outcome = Outcome::startPastEnd;
                return;
            }
            const std::uint32_t limit = byteLimitFor(format, values);
            LoSample mixed = readMixed(reader, target, limit, frameBytes, start * frameBytes);
            target.convert(destination, std::move(mixed), values);
        }
        result.outcome = isAiff ? Outcome::importedAiff : Outcome::importedWave;
    } else {
        destination.bytes.assign(std::min<std::size_t>(rawByteLimit, 2 * std::size_t{values}), 0);
        result.rawBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, reader.fileSize()));
        reader.seek(0);
        reader.readBuffer(destination);
        result.outcome = Outcome::importedRaw;
    }
    result.values = valuesOf(destination);
}

std::string SampleImport::describeSource(const Result& result) {
    char text[200];
    const double bankSeconds = bankValues / targetRate;
    if (result.outcome == Outcome::importedRaw) {
        std::snprintf(text, sizeof text, "raw data (neither WAV nor AIFF), %llu bytes%s",
                      static_cast<unsigned long long>(result.rawBytes),
                      result.rawBytes > rawByteLimit ? ", cut to 1.486 s" : "");
        return text;
    }
    const double seconds =
        result.sourceRate > 0 ? static_cast<double>(result.sourceFrames) / result.sourceRate : 0.0;
    std::string cutText =
        seconds > bankSeconds + 0.5 / targetRate ? ", cut to 1.486 s" : std::string();
    if (result.startFrame != 0 && result.sourceRate > 0) {
        char from[48];
        std::snprintf(from, sizeof from, " from %.3f s",
                      static_cast<double>(result.startFrame) / result.sourceRate);
        cutText = (cutText.empty() ? ", cut" : cutText) + from;
    }
    if (result.gainDb != 0.0) {
        char level[80];
        std::snprintf(level, sizeof level, ", gain %+.2f dB", result.gainDb);
        cutText += level;
        if (result.levelClamped != 0) {
            cutText += ", " + std::to_string(result.levelClamped) + " values clamped";
        }
    }
    const char* cut = cutText.c_str();
    if (result.outcome == Outcome::importedCompressed) {
        const std::string depth =
            result.sourceBits != 0 ? ", " + std::to_string(result.sourceBits) + "-bit" : "";
        const std::string clamped =
            result.clamped != 0 ? ", " + std::to_string(result.clamped) + " values clamped" : "";
        std::snprintf(text, sizeof text, "%s, %.0f Hz, %u channel%s%s, %.3f s%s%s",
                      result.compressedFormat.c_str(), result.sourceRate,
                      unsigned{result.sourceChannels}, result.sourceChannels == 1 ? "" : "s",
                      depth.c_str(), seconds, cut, clamped.c_str());
        return text;
    }
    if (result.outcome != Outcome::importedWave && result.outcome != Outcome::importedAiff) {
        return {};
    }
    std::snprintf(text, sizeof text, "%s, %.0f Hz, %u channel%s, %u-bit, %.3f s%s",
                  result.outcome == Outcome::importedWave ? "WAV" : "AIFF", result.sourceRate,
                  unsigned{result.sourceChannels}, result.sourceChannels == 1 ? "" : "s",
                  unsigned{result.sourceBits}, seconds, cut);
    return text;
}

SampleImport::Result SampleImport::importInto(const std::filesystem::path& path, DvVaneto& store,
                                              int bank) {
    return importInto(path, store, bank, Options{});
}

SampleImport::Result SampleImport::importInto(const std::filesystem::path& path, DvVaneto& store,
                                              int bank, const Options& options) {
    Result result = load(path, options);
    applyTo(result, store, bank);
    return result;
}

void SampleImport::applyTo(Result& result, DvVaneto& store, int bank) {
    if (isImported(result.outcome)) {
        result.madeSingleSample = !store.isSingleSample(bank);
        store.setSingleSample(bank, true);
        store.setSampleName(result.sampleName, bank, 0);
        store.insertSample(result.values.data(), result.values.size(), bank, 0);
    }
}
