#include "audio/LoSndfileDecoder.h"

#include "midi/FileGate.h"

#include <unistd.h>

#include "audio/LoSample.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

// Where libsndfile reads from: a file of ours, or bytes in memory.
struct LoSndfileDecoder::Source {
    std::FILE* file = nullptr;
    std::span<const std::uint8_t> bytes;
    sf_count_t size = 0;
    sf_count_t position = 0;
    std::vector<std::uint8_t> head; // the first bytes, for the evidence

    ~Source() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

namespace {

LoSndfileDecoder::Source* sourceOf(void* data);
sf_count_t readRaw(LoSndfileDecoder::Source& s, void* destination, sf_count_t count);
sf_count_t lengthOf(void* data);
sf_count_t seekTo(sf_count_t offset, int whence, void* data);
sf_count_t readInto(void* destination, sf_count_t count, void* data);
sf_count_t writeNothing(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t tellOf(void* data);

} // namespace

bool LoSndfileDecoder::startsWithMpegFrames(std::span<const std::uint8_t> bytes) {
    static constexpr int bitrates[2][3][16] = {
        // MPEG 1: layer I, II, III (kbit/s)
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        // MPEG 2 and 2.5
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    static constexpr int rates[3] = {44100, 48000, 32000};
    std::size_t at = 0;
    int firstKind = -1; // version, layer and rate of the first frame: the others must match
    for (int frame = 0; frame < 3; ++frame) {
        if (at + 4 > bytes.size()) {
            return false;
        }
        const std::uint8_t* h = bytes.data() + at;
        const int version = (h[1] >> 3) & 3; // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
        const int layer = (h[1] >> 1) & 3;   // 3: I, 2: II, 1: III
        const int bitrateIndex = h[2] >> 4;
        const int rateIndex = (h[2] >> 2) & 3;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || version == 1 || layer == 0 ||
            bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
            return false;
        }
        const int kind = (h[1] & 0x1E) << 2 | rateIndex;
        if (firstKind >= 0 && kind != firstKind) {
            return false;
        }
        firstKind = kind;
        const int layerNumber = 4 - layer;
        const int bitrate = bitrates[version == 3 ? 0 : 1][layerNumber - 1][bitrateIndex] * 1000;
        const int rate = rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
        const int padding = (h[2] >> 1) & 1;
        std::size_t length = 0;
        if (layerNumber == 1) {
            length = static_cast<std::size_t>((12 * bitrate / rate + padding) * 4);
        } else {
            const int factor = layerNumber == 3 && version != 3 ? 72 : 144;
            length = static_cast<std::size_t>(factor * bitrate / rate + padding);
        }
        if (length < 4) {
            return false;
        }
        at += length;
    }
    return true;
}

LoSndfileDecoder::LoSndfileDecoder(const std::filesystem::path& path)
    : source_(std::make_unique<Source>()) {
    std::string reason;
    const int fd = FileGate::open(path, reason);
    source_->file = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
    if (fd >= 0 && source_->file == nullptr) {
        ::close(fd);
    }
    if (source_->file != nullptr && std::fseek(source_->file, 0, SEEK_END) == 0) {
        const long size = std::ftell(source_->file);
        source_->size = size < 0 ? 0 : size;
        std::fseek(source_->file, 0, SEEK_SET);
        start();
    }
}

LoSndfileDecoder::LoSndfileDecoder(std::span<const std::uint8_t> bytes)
    : source_(std::make_unique<Source>()) {
    source_->bytes = bytes;
    source_->size = static_cast<sf_count_t>(bytes.size());
    start();
}

LoSndfileDecoder::~LoSndfileDecoder() {
    if (handle_ != nullptr) {
        sf_close(static_cast<SNDFILE*>(handle_));
    }
}

void LoSndfileDecoder::start() {
    // The evidence first, from the first bytes.
    constexpr sf_count_t headBytes = 16 * 1024;
    source_->head.resize(static_cast<std::size_t>(std::min(headBytes, source_->size)));
    source_->position = 0;
    const sf_count_t got = readRaw(*source_, source_->head.data(),
                                   source_->size < headBytes ? source_->size : headBytes);
    source_->head.resize(static_cast<std::size_t>(std::max<sf_count_t>(0, got)));
    source_->position = 0;
    if (source_->file != nullptr) {
        std::fseek(source_->file, 0, SEEK_SET);
    }
    const auto& head = source_->head;
    const auto startsWith = [&head](const char* magic) {
        const std::size_t n = std::strlen(magic);
        return head.size() >= n && std::memcmp(head.data(), magic, n) == 0;
    };
    const bool flac = startsWith("fLaC");
    const bool ogg = startsWith("OggS");
    const bool mpeg = startsWith("ID3") || startsWithMpegFrames(head);
    if (!flac && !ogg && !mpeg) {
        return;
    }
    SF_VIRTUAL_IO io{};
    io.get_filelen = lengthOf;
    io.seek = seekTo;
    io.read = readInto;
    io.write = writeNothing;
    io.tell = tellOf;
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, source_.get());
    if (file == nullptr) {
        return;
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int minor = info.format & SF_FORMAT_SUBMASK;
    std::string name;
    int bits = 0;
    if (major == SF_FORMAT_FLAC && flac) {
        name = "FLAC";
        bits = minor == SF_FORMAT_PCM_S8 ? 8 : minor == SF_FORMAT_PCM_16 ? 16 : 24;
    } else if (major == SF_FORMAT_OGG && ogg && minor == SF_FORMAT_VORBIS) {
        name = "Ogg Vorbis";
    } else if (major == SF_FORMAT_OGG && ogg && minor == SF_FORMAT_OPUS) {
        name = "Ogg Opus";
    } else if (major == SF_FORMAT_MPEG && mpeg) {
        name = minor == SF_FORMAT_MPEG_LAYER_III ? "MP3" : "MPEG audio";
    }
    if (name.empty() || info.channels < 1 || info.samplerate < 1 || info.frames < 0) {
        sf_close(file);
        return;
    }
    handle_ = file;
    name_ = name;
    bits_ = bits;
    rate_ = info.samplerate;
    channels_ = info.channels;
    frames_ = static_cast<std::uint64_t>(info.frames);
}

bool LoSndfileDecoder::read(LoSample& sample, std::uint64_t frames, std::string& error,
                            std::size_t& clamped, std::uint64_t start) {
    sample.bytes.clear();
    clamped = 0;
    if (handle_ == nullptr) {
        error = "not a file of a decoded format";
        return false;
    }
    auto* file = static_cast<SNDFILE*>(handle_);
    const int width = isLossless() ? (bits_ + 7) / 8 : 2;
    sample.setSampleRate(rate_);
    sample.setChannels(static_cast<std::uint16_t>(channels_));
    sample.setBitsPerSample(static_cast<std::uint16_t>(isLossless() ? bits_ : 16));
    sample.setUnsigned8(false);
    if (start == 0 && frames_ == 0) {
        return true;
    }
    if (start >= frames_) {
        error = name_ + " stream holds " + std::to_string(frames_) + " frames, none from frame " +
                std::to_string(start) + " on";
        return false;
    }
    if (sf_seek(file, static_cast<sf_count_t>(start), SEEK_SET) != static_cast<sf_count_t>(start)) {
        // A lossy stream's length is an estimate: the place may not be there after all.
        error = name_ + " stream cannot be read from frame " + std::to_string(start) + ": " +
                sf_strerror(file);
        return false;
    }
    // Never more than the stream says it holds: a header cannot make us allocate for nothing.
    const std::uint64_t wanted = std::min(frames, frames_ - start);
    constexpr sf_count_t piece = 4096;
    std::vector<int> ints;
    std::vector<float> floats;
    sf_count_t total = 0;
    while (static_cast<std::uint64_t>(total) < wanted) {
        const sf_count_t count =
            std::min<sf_count_t>(piece, static_cast<sf_count_t>(wanted) - total);
        const std::size_t values = static_cast<std::size_t>(count) * channels_;
        const std::size_t at = sample.bytes.size();
        sf_count_t got = 0;
        if (isLossless()) {
            ints.resize(values);
            got = sf_readf_int(file, ints.data(), count);
            sample.bytes.resize(at + static_cast<std::size_t>(got) * channels_ * width);
            std::uint8_t* out = sample.bytes.data() + at;
            for (std::size_t i = 0; i < static_cast<std::size_t>(got) * channels_; ++i) {
                // Left-justified 32-bit values back to the source's own width.
                const std::uint32_t v = static_cast<std::uint32_t>(ints[i]) >> (32 - 8 * width);
                for (int b = 0; b < width; ++b) {
                    *out++ = static_cast<std::uint8_t>(v >> (8 * b));
                }
            }
        } else {
            floats.resize(values);
            got = sf_readf_float(file, floats.data(), count);
            sample.bytes.resize(at + static_cast<std::size_t>(got) * channels_ * 2);
            std::uint8_t* out = sample.bytes.data() + at;
            for (std::size_t i = 0; i < static_cast<std::size_t>(got) * channels_; ++i) {
                float v = floats[i];
                if (!(v >= -1.0f && v <= 1.0f)) {
                    ++clamped;
                    v = v > 0 ? 1.0f : -1.0f; // NaN too
                }
                const long r = std::min(32767L, std::lround(v * 32768.0));
                const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(r));
                *out++ = static_cast<std::uint8_t>(u);
                *out++ = static_cast<std::uint8_t>(u >> 8);
            }
        }
        total += got;
        if (sf_error(file) != SF_ERR_NO_ERROR) {
            error = name_ + " decoding failed after " + std::to_string(total) +
                    " frames: " + sf_strerror(file);
            return false;
        }
        if (got < count) {
            break;
        }
    }
    // A lossless stream states its length exactly; a lossy one's is an estimate.
    if (isLossless() && static_cast<std::uint64_t>(total) < wanted) {
        char text[160];
        std::snprintf(text, sizeof text, "%s stream ends after %lld of the %llu frames it states",
                      name_.c_str(), static_cast<long long>(total),
                      static_cast<unsigned long long>(frames_));
        error = text;
        return false;
    }
    return true;
}

namespace {

LoSndfileDecoder::Source* sourceOf(void* data) {
    return static_cast<LoSndfileDecoder::Source*>(data);
}

sf_count_t readRaw(LoSndfileDecoder::Source& s, void* destination, sf_count_t count) {
    if (count <= 0 || s.position >= s.size) {
        return 0;
    }
    count = std::min(count, s.size - s.position);
    sf_count_t got = 0;
    if (s.file != nullptr) {
        got = static_cast<sf_count_t>(
            std::fread(destination, 1, static_cast<std::size_t>(count), s.file));
    } else {
        std::memcpy(destination, s.bytes.data() + s.position, static_cast<std::size_t>(count));
        got = count;
    }
    s.position += got;
    return got;
}

sf_count_t lengthOf(void* data) {
    return sourceOf(data)->size;
}

sf_count_t seekTo(sf_count_t offset, int whence, void* data) {
    LoSndfileDecoder::Source& s = *sourceOf(data);
    sf_count_t target = offset;
    if (whence == SEEK_CUR) {
        target = s.position + offset;
    } else if (whence == SEEK_END) {
        target = s.size + offset;
    }
    target = std::clamp<sf_count_t>(target, 0, s.size);
    if (s.file != nullptr && std::fseek(s.file, static_cast<long>(target), SEEK_SET) != 0) {
        return s.position;
    }
    s.position = target;
    return s.position;
}

sf_count_t readInto(void* destination, sf_count_t count, void* data) {
    return readRaw(*sourceOf(data), destination, count);
}

sf_count_t tellOf(void* data) {
    return sourceOf(data)->position;
}

} // namespace
