#pragma once

#include "files/EditorTexts.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class AudioFileSource;
class DvVaneto;
class LoAudioFileReader;
class LoSample;
class LoSndfileDecoder;

// Replaces slot 0 of a bank with an audio file, without any dialog. Tries the AIFF reader, then
// the WAV reader; refuses a recognised file in an unsupported encoding; reads and converts a
// supported one to 44100 Hz mono signed 16-bit; takes any other file's first 131072 bytes as
// 16-bit little-endian values. The slot is named after the file (last path component, with its
// extension). A file that cannot be opened changes nothing.
//
// Only the audio that the bank's 65536 values depend on is read and converted, so time and
// memory do not grow with the file's length; the values are exactly those of converting the
// whole file.
class SampleImport {
public:
    enum class Outcome {
        importedAiff,       // read and converted
        importedWave,       // read and converted
        importedRaw,        // neither format: the first bytes taken as values
        importedCompressed, // FLAC, Ogg Vorbis, Opus or MP3, decoded and converted
        damaged,            // a compressed file whose decoding failed: nothing changed, see reason
        startPastEnd,       // the part asked for begins after the sound ends: nothing changed
        unsupported,        // recognised, not uncompressed PCM: nothing changed
        couldNotOpen,       // missing, not readable, a directory...: nothing changed, see reason
    };

    struct Result {
        Outcome outcome = Outcome::couldNotOpen;
        // Why the file could not be opened (for couldNotOpen), e.g. "No such file or directory";
        // what went wrong in a damaged file.
        std::string reason;
        // The name slot 0 receives: the file name with its extension.
        std::string sampleName;
        // The values for the bank: at most 65536 (none for unsupported and couldNotOpen).
        std::vector<std::int16_t> values;
        // The source as the reader saw it (WAV and AIFF): rate, channels, depth, and its
        // length in frames; for raw data the file's size in bytes.
        double sourceRate = 0.0;
        std::uint16_t sourceChannels = 0;
        std::uint16_t sourceBits = 0;
        std::uint64_t sourceFrames = 0;
        std::uint64_t rawBytes = 0;
        // For unsupported: what the file says it holds ("32-bit floating-point WAV").
        std::string found;
        // For a compressed file: its format ("FLAC", "MP3") and, for lossy audio, how many
        // decoded values lay beyond full scale and were clamped.
        std::string compressedFormat;
        std::size_t clamped = 0;
        // The bank held wave slots: the import made it a single sample first.
        bool madeSingleSample = false;
        // The source frame the bank's part began at, and the level applied.
        std::uint64_t startFrame = 0;
        double gainDb = 0.0;
        std::size_t levelClamped = 0;
    };

    // Which part of a longer sound, and at what level. The start is in seconds from the
    // beginning (frame round(t x rate)), or with startAuto the first frame where any channel
    // reaches -60 dBFS of full scale at the source's depth. Gain and normalizing act on the
    // converted values, in double, rounded half away from zero and clamped with a count:
    // normalize brings the peak to normalizeDb (at most 0) dBFS.
    struct Options {
        double startSeconds = 0.0;
        bool startAuto = false;
        double gainDb = 0.0;
        bool normalize = false;
        double normalizeDb = 0.0;
    };

    // Said when an import turns a wavetable bank into one sample.
    static constexpr std::string_view madeSingleSampleText =
        "the bank held 256 waves: it now holds one sample";

    // Where an imported sound came from, in one line: "WAV, 48000 Hz, 2 channels, 24-bit,
    // 3.200 s, cut to 1.486 s", "raw data (neither WAV nor AIFF), 2000 bytes"; "" otherwise.
    static std::string describeSource(const Result& result);

    static constexpr std::uint32_t bankValues = 65536;
    static constexpr std::uint32_t rawByteLimit = 0x20000;
    static constexpr double targetRate = 44100.0;

    // The message box for an unsupported file.
    static constexpr std::string_view wrongFormatCaption = EditorTexts::wrongFormatCaption;
    static constexpr std::string_view unsupportedText =
        "VanetoEditor supports only pcm (no compression) formats (*.aif or *.wav).";

    // Reads and converts the file; the store is not touched. With wholeFile set, the whole
    // sound data is read and converted before the bank's share is taken (slow on long files;
    // gives the same values).
    static Result load(const std::filesystem::path& path, bool wholeFile = false);
    // The same, from a chosen start and at a chosen level (WAV, AIFF and compressed files; raw
    // data always starts at its first byte).
    static Result load(const std::filesystem::path& path, const Options& options);
    // The same for bytes in memory, named as a file would be, giving at most `values` values
    // (fewer values take the same paths in less time).
    static Result load(std::span<const std::uint8_t> bytes, std::string name,
                       std::uint32_t values = bankValues);

    // load, then, for the three imported outcomes: the single-sample layout (when the bank
    // held wave slots), setSampleName(file name, bank, 0) and insertSample(values, count,
    // bank, 0). Other outcomes leave the store as it was.
    static Result importInto(const std::filesystem::path& path, DvVaneto& store, int bank);
    static Result importInto(const std::filesystem::path& path, DvVaneto& store, int bank,
                             const Options& options);
    // The store half of importInto.
    static void applyTo(Result& result, DvVaneto& store, int bank);

    static bool isImported(Outcome outcome);

    // The sound bytes to read from a file of the given format so that converting them gives
    // the same first `frames` output frames as converting the whole file: the input frames the
    // interpolation reaches, plus margin. 0 when the format holds no readable audio.
    static std::uint32_t byteLimitFor(const LoSample& format, std::uint32_t frames);

private:
    // The file as its kind says: refused, decoded or taken as raw values.
    static void load(AudioFileSource& source, std::uint32_t values, const Options& options,
                     Result& result);
    // A compressed file that libsndfile decodes (the decoder has accepted it).
    static void decodeCompressed(LoSndfileDecoder& decoder, std::uint32_t values, Result& result,
                                 const Options& options);
    // The level of the options on the result's values.
    static void applyLevel(const Options& options, Result& result);
    // The first frame at or above -60 dBFS, or the frame count when none is.
    static std::uint64_t firstAudible(LoAudioFileReader& reader, const LoSample& format);
    static std::uint64_t firstAudible(LoSndfileDecoder& decoder);
    // Everything after the open: refuse, read and convert, or take the bytes as raw values.
    static void decode(LoAudioFileReader& reader, bool isAiff, bool wholeFile, std::uint32_t values,
                       Result& result, const Options& options);
};
