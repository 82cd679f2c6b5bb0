#include "audio/AudioFileSource.h"

#include "audio/LoAiffFileReader.h"
#include "audio/LoSndfileDecoder.h"
#include "audio/LoWaveFileReader.h"
#include "midi/FileGate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <system_error>

AudioFileSource::AudioFileSource(const std::filesystem::path& path) {
    if (FileGate::mayRead(path, why_)) {
        decide(path);
    }
}

AudioFileSource::AudioFileSource(std::span<const std::uint8_t> bytes) {
    decide(bytes);
}

template <typename Reader, typename Input> bool AudioFileSource::openReader(const Input& input) {
    reader_.reset(); // one open file at a time
    reader_ = std::make_unique<Reader>(input);
    if (!reader_->is_open()) {
        // The gate's reason ("a named pipe, not a file": swapped in since it was looked at).
        why_ = reader_->openError().empty() ? "cannot be opened" : reader_->openError();
        reader_.reset();
        return false;
    }
    return true;
}

template <typename Input> void AudioFileSource::decide(const Input& input) {
    if (!openReader<LoAiffFileReader>(input)) {
        return;
    }
    if (reader_->isRecognized()) {
        kind_ = Kind::aiff;
    } else if (!openReader<LoWaveFileReader>(input)) {
        return;
    } else if (reader_->isRecognized()) {
        kind_ = Kind::wave;
    } else if (auto decoder = std::make_unique<LoSndfileDecoder>(input); decoder->isAccepted()) {
        reader_.reset();
        decoder_ = std::move(decoder);
        kind_ = Kind::compressed;
    } else {
        kind_ = Kind::raw;
    }
    classify();
}

AudioFileSource::~AudioFileSource() = default;

void AudioFileSource::classify() {
    if (kind_ == Kind::compressed) {
        format_ = LoSample(
            decoder_->rate(), static_cast<std::uint16_t>(decoder_->channels()),
            static_cast<std::uint16_t>(decoder_->isLossless() ? decoder_->bits() : 16), false);
        frames_ = decoder_->frames();
    } else if (kind_ == Kind::aiff || kind_ == Kind::wave) {
        reader_->readSampleFormat(format_);
        const std::uint64_t frameBytes =
            std::uint64_t{format_.getChannels()} * format_.getBytesPerSample();
        frames_ = frameBytes == 0 ? 0 : reader_->soundDataBytes() / frameBytes;
    }
}

bool AudioFileSource::readFrames(LoSample& sample, std::uint64_t first, std::uint64_t count,
                                 std::string& error) {
    if (decoder_) {
        std::size_t clamped = 0;
        return decoder_->read(sample, count, error, clamped, first);
    }
    const std::uint64_t frameBytes =
        std::uint64_t{format_.getChannels()} * format_.getBytesPerSample();
    if (!reader_ || frameBytes == 0 || count == 0) {
        sample.bytes.clear();
        return true;
    }
    const std::uint64_t limit = std::numeric_limits<std::uint32_t>::max() / frameBytes;
    reader_->readSample(sample, static_cast<std::uint32_t>(std::min(count, limit) * frameBytes),
                        first * frameBytes);
    return true;
}

bool AudioFileSource::soundLike(std::string& reason) const {
    return soundLike(format_.getSampleRate(), format_.getChannels(), reason);
}

bool AudioFileSource::soundLike(double rate, unsigned channels, std::string& reason) {
    if (!(rate >= lowestRate && rate <= highestRate)) {
        char hz[32];
        std::snprintf(hz, sizeof hz, "%.0f", rate);
        reason = std::string("a rate of ") + hz + " Hz, which no sound has (" +
                 std::to_string(lowestRate) + " to " + std::to_string(highestRate) + " Hz)";
        return false;
    }
    if (channels == 0 || channels > mostChannels) {
        reason = std::to_string(channels) + " channels, which no sound has (1 to " +
                 std::to_string(mostChannels) + ")";
        return false;
    }
    return true;
}
