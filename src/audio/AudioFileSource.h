#pragma once

#include "audio/LoSample.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

class LoAudioFileReader;
class LoSndfileDecoder;

// A file or bytes in memory opened as audio, decided the one way: AIFF, then WAV, then FLAC,
// Ogg or MPEG audio with evidence in the first bytes, else raw data. One file is open at a time.
// Nothing throws.
class AudioFileSource {
public:
    enum class Kind {
        unopened,   // the file cannot be opened: why() says why
        aiff,       // reader()
        wave,       // reader()
        compressed, // decoder()
        raw,        // reader(): the WAV reader, which takes unrecognised bytes as raw data
    };

    explicit AudioFileSource(const std::filesystem::path& path);
    // Bytes in memory, which must outlive the source.
    explicit AudioFileSource(std::span<const std::uint8_t> bytes);
    ~AudioFileSource();
    AudioFileSource(const AudioFileSource&) = delete;
    AudioFileSource& operator=(const AudioFileSource&) = delete;

    // What a sound can have. A rate or channel count beyond these sizes no buffer: the
    // resynthesis, the wavetable source and the browser refuse it (the sample import converts
    // any rate, as it allocates by the bank's size).
    static constexpr std::uint32_t lowestRate = 1000;
    static constexpr std::uint32_t highestRate = 768000;
    static constexpr std::uint16_t mostChannels = 64;

    Kind kind() const { return kind_; }
    // Whether the format's rate and channels are a sound's; the reason when not.
    bool soundLike(std::string& reason) const;
    static bool soundLike(double rate, unsigned channels, std::string& reason);
    const std::string& why() const { return why_; }
    LoAudioFileReader* reader() { return reader_.get(); }
    LoSndfileDecoder* decoder() { return decoder_.get(); }

    // Rate, channels and depth of the frames readFrames gives (lossy audio: 16 bits), and how
    // many frames there are (what the file states; 0 for raw data and unopened files).
    const LoSample& format() const { return format_; }
    std::uint64_t frames() const { return frames_; }

    // Frames first ... first + count - 1 as little-endian PCM in the format above; fewer at the
    // end. False with the reason when a compressed stream fails to decode.
    bool readFrames(LoSample& sample, std::uint64_t first, std::uint64_t count, std::string& error);

private:
    // Opens the reader; false with why() when the file cannot be opened.
    template <typename Reader, typename Input> bool openReader(const Input& input);
    template <typename Input> void decide(const Input& input);
    void classify();

    Kind kind_ = Kind::unopened;
    std::string why_;
    std::unique_ptr<LoAudioFileReader> reader_;
    std::unique_ptr<LoSndfileDecoder> decoder_;
    LoSample format_;
    std::uint64_t frames_ = 0;
};
