#include "wavetable/WavetableSource.h"

#include "audio/AudioFileSource.h"
#include "audio/LoSample.h"
#include "audio/LoSndfileDecoder.h"
#include "audio/LoWaveFileReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr std::uint32_t chunkId(const char (&id)[5]) {
    return (std::uint32_t(std::uint8_t(id[0])) << 24) | (std::uint32_t(std::uint8_t(id[1])) << 16) |
           (std::uint32_t(std::uint8_t(id[2])) << 8) | std::uint32_t(std::uint8_t(id[3]));
}

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) {
        return 0;
    }
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) |
           (std::uint32_t{bytes[at + 2]} << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

// The chunks that state a frame size are small; a cue list of many points is the largest.
constexpr std::size_t hintBytes = 64 * 1024;
// Frames read per piece, so that a file of many channels never takes much memory at once.
constexpr std::uint64_t pieceBytes = 1 << 20;

} // namespace

WavetableSource::WavetableSource() = default;
WavetableSource::~WavetableSource() = default;

bool WavetableSource::open(const std::filesystem::path& path, std::string& error) {
    name_ = path.string();
    source_ = std::make_unique<AudioFileSource>(path);
    return start(error);
}

bool WavetableSource::open(std::span<const std::uint8_t> bytes, const std::string& name,
                           std::string& error) {
    name_ = name;
    source_ = std::make_unique<AudioFileSource>(bytes);
    return start(error);
}

bool WavetableSource::start(std::string& error) {
    const LoSample& format = source_->format();
    rate_ = format.getSampleRate();
    channels_ = format.getChannels();
    bits_ = format.getBitsPerSample();
    unsigned8_ = format.isUnsigned8();
    width_ = static_cast<std::uint16_t>((bits_ + 7u) / 8u);
    frames_ = source_->frames();
    switch (source_->kind()) {
    case AudioFileSource::Kind::unopened:
        error = "cannot open " + name_ + ": " + source_->why();
        return false;
    case AudioFileSource::Kind::raw:
        error = name_ + " is neither WAV nor AIFF, nor FLAC, Ogg or MP3";
        return false;
    default:
        break;
    }
    // A rate or channel count sizes the buffers that follow: checked before any is made.
    if (std::string reason; !source_->soundLike(reason)) {
        error = name_ + ": " + reason;
        return false;
    }
    if (source_->kind() == AudioFileSource::Kind::compressed) {
        kind_ = source_->decoder()->formatName();
        return true;
    }
    LoAudioFileReader& reader = *source_->reader();
    auto* wave = dynamic_cast<LoWaveFileReader*>(&reader);
    float_ = wave != nullptr && wave->isFloat();
    const bool usable = float_ ? (bits_ == 32 || bits_ == 64) && channels_ > 0
                               : reader.isSupported() && format.hasReadableLayout();
    if (!usable) {
        error = name_ + ": " + reader.describeFormat() + " cannot be read as a wave";
        return false;
    }
    kind_ = wave != nullptr ? "WAV" : "AIFF";
    if (wave != nullptr) {
        readHints(*wave);
    }
    return true;
}

void WavetableSource::readHints(LoWaveFileReader& wave) {
    std::vector<std::uint8_t> bytes;
    if (wave.readChunk(chunkId("srge"), bytes, hintBytes) && bytes.size() >= 8) {
        hints_.srge = le32(bytes, 4);
    }
    if (wave.readChunk(chunkId("clm "), bytes, hintBytes) && bytes.size() > 3 &&
        std::memcmp(bytes.data(), "<!>", 3) == 0) {
        std::size_t value = 0;
        const char* first = reinterpret_cast<const char*>(bytes.data()) + 3;
        const char* last = reinterpret_cast<const char*>(bytes.data()) + bytes.size();
        const auto [stop, code] = std::from_chars(first, last, value);
        if (code == std::errc() && stop != first) {
            hints_.clm = value;
        }
    }
    hints_.uhwt = wave.readChunk(chunkId("uhWT"), bytes, 0);
    if (wave.readChunk(chunkId("cue "), bytes, hintBytes) && bytes.size() >= 4) {
        // Points of 24 bytes: id, position, chunk, chunk start, block start, sample offset.
        const std::size_t count = std::min<std::size_t>(le32(bytes, 0), (bytes.size() - 4) / 24);
        std::vector<std::uint32_t> offsets(count);
        for (std::size_t i = 0; i < count; ++i) {
            offsets[i] = le32(bytes, 4 + 24 * i + 20);
        }
        std::sort(offsets.begin(), offsets.end());
        if (count >= 2 && offsets[0] == 0 && offsets[1] >= 2) {
            const std::uint32_t step = offsets[1];
            bool even = true;
            for (std::size_t i = 1; i < count && even; ++i) {
                even = offsets[i] - offsets[i - 1] == step;
            }
            hints_.cue = even ? step : 0;
        }
    }
    // The sampler chunk: 36 bytes of header (the loop count at 28), then loops of 24 bytes:
    // id, type, start, end, fraction, play count.
    if (wave.readChunk(chunkId("smpl"), bytes, hintBytes) && bytes.size() >= 36 + 24 &&
        le32(bytes, 28) >= 1) {
        const std::uint32_t start = le32(bytes, 36 + 8);
        const std::uint32_t end = le32(bytes, 36 + 12);
        if (end > start) {
            hints_.smpl = std::size_t{end} - start + 1;
        }
    }
}

std::string WavetableSource::describe() const {
    char text[160];
    std::snprintf(text, sizeof text, "%s, %.0f Hz, %u channel%s, %u-bit%s, %llu frames",
                  kind_.c_str(), rate_, unsigned{channels_}, channels_ == 1 ? "" : "s",
                  unsigned{bits_}, float_ ? " float" : "",
                  static_cast<unsigned long long>(frames_));
    return text;
}

bool WavetableSource::readFrames(std::uint64_t first, std::size_t count, std::vector<double>& out,
                                 std::string& error) {
    out.clear();
    if (!source_ || first >= frames_) {
        return true;
    }
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, frames_ - first));
    out.reserve(count);
    const std::uint64_t frameBytes = std::uint64_t{channels_} * width_;
    const std::uint64_t piece = std::max<std::uint64_t>(1, pieceBytes / frameBytes);
    // Integers in 16-bit units by their container, as the import's depth stage scales them.
    const double scale = float_ ? 32768.0 : std::ldexp(1.0, 16 - 8 * width_);
    LoSample sample;
    for (std::uint64_t done = 0; done < count;) {
        const std::uint64_t frames = std::min<std::uint64_t>(piece, count - done);
        if (!source_->readFrames(sample, first + done, frames, error)) {
            return false;
        }
        const std::uint64_t got = sample.bytes.size() / frameBytes;
        const std::uint8_t* p = sample.bytes.data();
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(got));
        double* to = out.data() + at;
        if (channels_ == 1 && float_ && width_ == 4) {
            // The usual wavetable: one channel of 32-bit floats.
            for (std::uint64_t f = 0; f < got; ++f, p += 4) {
                float v = 0;
                std::memcpy(&v, p, 4);
                const double value = v * scale;
                to[f] = std::isfinite(value) ? value : 0.0;
            }
        } else if (channels_ == 1 && !float_ && width_ == 2) {
            for (std::uint64_t f = 0; f < got; ++f, p += 2) {
                to[f] = static_cast<std::int16_t>(p[0] | (p[1] << 8));
            }
        } else {
            for (std::uint64_t f = 0; f < got; ++f) {
                if (float_) {
                    double sum = 0.0;
                    for (unsigned c = 0; c < channels_; ++c, p += width_) {
                        if (width_ == 4) {
                            float v = 0;
                            std::memcpy(&v, p, 4);
                            sum += v;
                        } else {
                            double v = 0;
                            std::memcpy(&v, p, 8);
                            sum += v;
                        }
                    }
                    const double value = sum / channels_ * scale;
                    // A damaged file may hold NaN or infinities: silence, not undefined values.
                    to[f] = std::isfinite(value) ? value : 0.0;
                } else {
                    std::int64_t sum = 0;
                    for (unsigned c = 0; c < channels_; ++c, p += width_) {
                        sum += LoSample::decode(p, width_, unsigned8_);
                    }
                    to[f] = static_cast<double>(sum / channels_) * scale;
                }
            }
        }
        if (got < frames) {
            break;
        }
        done += frames;
    }
    return true;
}

WavetableSource::Split WavetableSource::split(std::size_t explicitSize) const {
    Split result;
    std::size_t stated = 0;
    std::string by;
    if (hints_.srge >= 2) {
        stated = hints_.srge;
        by = "its srge chunk";
    } else if (hints_.clm >= 2) {
        stated = hints_.clm;
        by = "its clm chunk";
    } else if (hints_.uhwt) {
        stated = 2048;
        by = "its uhWT chunk";
    } else if (hints_.cue >= 2) {
        stated = hints_.cue;
        by = "its cue points";
    } else if (hints_.smpl >= 2) {
        stated = hints_.smpl;
        by = "its loop";
    }
    const std::string frames = std::to_string(frames_);
    if (explicitSize != 0) {
        result.frameSize = explicitSize;
        if (stated != 0 && stated != explicitSize) {
            result.note = "the file says frames of " + std::to_string(stated) + " (" + by +
                          "); taking " + std::to_string(explicitSize) + " as asked";
        }
    } else if (stated != 0) {
        result.frameSize = stated;
        result.stated = true;
        result.note = "frames of " + std::to_string(stated) + ", from " + by;
    } else if (frames_ == framesOf64Table) {
        result.frameSize = 256;
        result.note = "assumed 64 frames of 256";
    } else {
        result.error = name_ + " (" + frames + " frames) does not say its frame size";
        result.unstated = true;
        return result;
    }
    if (frames_ == 0 || frames_ % result.frameSize != 0) {
        result.error = "a frame size of " + std::to_string(result.frameSize) +
                       " does not divide the " + frames + " frames of " + name_;
        result.frameSize = 0;
    }
    return result;
}
