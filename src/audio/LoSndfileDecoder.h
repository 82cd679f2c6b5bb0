#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

class LoSample;

// Compressed audio that our own readers do not read, decoded by libsndfile: FLAC, Ogg Vorbis,
// Ogg Opus and MPEG audio (MP3). libsndfile would take far more (AU, VOC, headerless data by
// name, a raw file that happens to begin FF FF); a file is accepted only as one of these four
// and only with evidence in its first bytes: "fLaC", "OggS", an ID3 tag, or three consecutive
// valid MPEG frame headers from the first byte. Everything else stays raw data for the import.
//
// The file is read through libsndfile's virtual I/O, never guessed from its name. Nothing throws.
class LoSndfileDecoder {
public:
    explicit LoSndfileDecoder(const std::filesystem::path& path);
    // Bytes in memory, which must outlive the decoder.
    explicit LoSndfileDecoder(std::span<const std::uint8_t> bytes);
    ~LoSndfileDecoder();
    LoSndfileDecoder(const LoSndfileDecoder&) = delete;
    LoSndfileDecoder& operator=(const LoSndfileDecoder&) = delete;

    bool isAccepted() const { return handle_ != nullptr; }
    // "FLAC", "Ogg Vorbis", "Ogg Opus", "MP3" (MPEG layer I or II: "MPEG audio").
    const std::string& formatName() const { return name_; }
    bool isLossless() const { return bits_ != 0; }
    double rate() const { return rate_; }
    int channels() const { return channels_; }
    // The source's depth for lossless audio (8, 16 or 24), 0 for lossy audio.
    int bits() const { return bits_; }
    // The frames the stream says it holds.
    std::uint64_t frames() const { return frames_; }

    // Decodes at most `frames` frames from the start into the sample: lossless audio as PCM of
    // the source's own depth, lossy audio as 16-bit values (floats clamped to +-1, times 32768,
    // 32767 at the top; clamped counts them). False with a message when the decoder reports an
    // error, or the stream ends before the frames its header states, within the frames asked.
    // start: the first frame to decode.
    bool read(LoSample& sample, std::uint64_t frames, std::string& error, std::size_t& clamped,
              std::uint64_t start = 0);

    // Three MPEG audio frames one after the other from the first byte, each with a valid header
    // and all of one version, layer and sample rate.
    static bool startsWithMpegFrames(std::span<const std::uint8_t> bytes);

    // Where libsndfile reads from (a file of ours or bytes in memory).
    struct Source;

private:
    void start();

    std::unique_ptr<Source> source_;
    void* handle_ = nullptr; // SNDFILE*
    std::string name_;
    double rate_ = 0.0;
    int channels_ = 0;
    int bits_ = 0;
    std::uint64_t frames_ = 0;
};
