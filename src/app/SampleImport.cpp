#include "app/SampleImport.h"

#include "audio/LoAiffFileReader.h"
#include "audio/LoSample.h"
#include "audio/LoSampleConverter.h"
#include "audio/LoSndfileDecoder.h"
#include "audio/LoWaveFileReader.h"
#include "device/DvVaneto.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>
#include <system_error>
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
                   std::uint64_t frameBytes) {
    constexpr std::uint64_t pieceBytes = 64 * 1024;
    const std::uint64_t piece =
        frameBytes == 0 ? limit : std::max<std::uint64_t>(1, pieceBytes / frameBytes) * frameBytes;
    LoSample mixed;
    LoSample source;
    LoSample part;
    for (std::uint64_t offset = 0; offset < limit; offset += piece) {
        const auto wanted =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(piece, limit - offset));
        reader.readSample(source, wanted, offset);
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
    Result result;
    result.sampleName = path.filename().string();
    result.reason = LoAudioFileReader::whyNotReadable(path);
    if (!result.reason.empty()) {
        result.outcome = Outcome::couldNotOpen;
        return result;
    }

    errno = 0;
    std::unique_ptr<LoAudioFileReader> reader = std::make_unique<LoAiffFileReader>(path);
    if (!reader->is_open()) {
        const int error = errno != 0 ? errno : EACCES;
        result.outcome = Outcome::couldNotOpen;
        result.reason = std::generic_category().message(error);
        return result;
    }
    bool isAiff = true;
    if (!reader->isRecognized()) {
        reader.reset(); // one open file at a time
        errno = 0;
        reader = std::make_unique<LoWaveFileReader>(path);
        isAiff = false;
        if (!reader->is_open()) {
            result.outcome = Outcome::couldNotOpen;
            result.reason = std::generic_category().message(errno != 0 ? errno : EACCES);
            return result;
        }
        if (!reader->isRecognized()) {
            LoSndfileDecoder decoder(path);
            if (decoder.isAccepted()) {
                decodeCompressed(decoder, bankValues, result);
                return result;
            }
        }
    }

    decode(*reader, isAiff, wholeFile, bankValues, result);
    return result;
}

SampleImport::Result SampleImport::load(std::span<const std::uint8_t> bytes, std::string name,
                                        std::uint32_t values) {
    Result result;
    result.sampleName = std::move(name);
    LoAiffFileReader aiff(bytes);
    if (aiff.isRecognized()) {
        decode(aiff, true, false, values, result);
        return result;
    }
    LoWaveFileReader wave(bytes);
    if (!wave.isRecognized()) {
        LoSndfileDecoder decoder(bytes);
        if (decoder.isAccepted()) {
            decodeCompressed(decoder, values, result);
            return result;
        }
    }
    decode(wave, false, false, values, result);
    return result;
}

void SampleImport::decodeCompressed(LoSndfileDecoder& decoder, std::uint32_t values,
                                    Result& result) {
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
    LoSample source;
    std::string error;
    if (!decoder.read(source, frames, error, result.clamped)) {
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

void SampleImport::decode(LoAudioFileReader& reader, bool isAiff, bool wholeFile,
                          std::uint32_t values, Result& result) {
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
            const std::uint32_t limit = byteLimitFor(format, values);
            LoSample mixed = readMixed(reader, target, limit, frameBytes);
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
    const char* cut = seconds > bankSeconds + 0.5 / targetRate ? ", cut to 1.486 s" : "";
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
    Result result = load(path);
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
