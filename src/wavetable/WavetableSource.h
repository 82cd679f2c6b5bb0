#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

class AudioFileSource;
class LoWaveFileReader;

// An audio file opened as wavetable material: WAV (integer PCM, or IEEE float of 32 or 64
// bits), AIFF, or FLAC, Ogg Vorbis, Opus or MP3 as the import decodes them, its frames read as one
// mono signal in 16-bit units (channels averaged as the import mixes them; a 24-bit value divided
// by 256, a float multiplied by 32768), and what the file says of its frame size.
//
// A file of another kind is refused, never taken as raw data.
class WavetableSource {
public:
    // The frame size a file states, by the chunk that states it (0: not stated).
    struct Hints {
        std::size_t srge = 0; // "srge": version, frame size
        std::size_t clm = 0;  // "clm ": text "<!>2048 ..."
        bool uhwt = false;    // "uhWT": frames of 2048
        std::size_t cue = 0;  // "cue ": points evenly spaced from 0
        std::size_t smpl = 0; // "smpl": the first loop, end - start + 1
    };
    // How a file of M frames splits into frames of N values.
    struct Split {
        std::size_t frameSize = 0; // 0: refused, see error
        bool stated = false;       // the file itself gave the size
        std::string note;          // what decided it, when worth saying
        std::string error;
        bool unstated = false; // refused because the file does not say it
    };

    static constexpr std::size_t framesOf64Table = 16384;
    // Longer single cycles are refused (they are recordings, not cycles).
    static constexpr std::uint64_t longestCycle = 1u << 20;

    WavetableSource();
    ~WavetableSource();
    WavetableSource(const WavetableSource&) = delete;
    WavetableSource& operator=(const WavetableSource&) = delete;

    // Opens the file; false with a message ("x.txt is neither WAV nor AIFF") otherwise.
    bool open(const std::filesystem::path& path, std::string& error);
    // The same for bytes in memory, which must outlive the source.
    bool open(std::span<const std::uint8_t> bytes, const std::string& name, std::string& error);

    std::uint64_t frameCount() const { return frames_; }
    double rate() const { return rate_; }
    const Hints& hints() const { return hints_; }
    // "WAV, 44100 Hz, 1 channel, 32-bit float, 2048 frames"
    std::string describe() const;

    // Frames first ... first + count - 1 as mono values; fewer when the file holds fewer.
    // False with the decoder's reason in error when a compressed stream fails to decode.
    bool readFrames(std::uint64_t first, std::size_t count, std::vector<double>& out,
                    std::string& error);

    // The frame size: the explicit one (not 0) always wins, with a note when the file states
    // another; else the file's own word (srge, clm, uhWT, cue, smpl, in that order); else
    // 16384 frames are 64 frames of 256. A size that does not divide the file, or none at all,
    // is refused.
    Split split(std::size_t explicitSize) const;

private:
    bool start(std::string& error);
    void readHints(LoWaveFileReader& wave);

    std::string name_;
    std::unique_ptr<AudioFileSource> source_;
    std::string kind_;
    bool float_ = false;
    double rate_ = 0.0;
    std::uint16_t channels_ = 0;
    std::uint16_t bits_ = 0;
    std::uint16_t width_ = 0;
    bool unsigned8_ = false;
    std::uint64_t frames_ = 0;
    Hints hints_;
};
