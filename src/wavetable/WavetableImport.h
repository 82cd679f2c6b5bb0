#pragma once

#include "device/DvVaneto.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

class DvVaneto;

// Audio files into the wave slots of a bank. Every wave is resampled periodically (Fourier) to
// 256 values and written as it is: a slot is a loop, so nothing is faded. Each import makes the
// bank a wavetable and names the slots it fills.
//
// Values past full scale are clamped and counted; with `fit`, one gain over the whole import
// keeps every value in range instead.
class WavetableImport {
public:
    static constexpr std::size_t waveLength = DvVaneto::waveLength;
    static constexpr int slotCount = DvVaneto::wavesPerBank;

    struct Options {
        // Frames of this many values (0: as the file says, see WavetableSource::split).
        std::size_t frameSize = 0;
        int firstSlot = 0; // 0 ... 255
        // Frames spread over firstSlot ... 255, the slots between two frames crossfaded.
        bool spread = false;
        bool fit = false;
    };

    struct Result {
        bool ok = false;
        std::string error;
        // Said to the user: what was read, how it was split, what was left out or clamped.
        std::vector<std::string> notes;
        int firstSlot = 0;
        int lastSlot = -1;
        std::size_t frames = 0;        // frames taken
        std::size_t framesLeftOut = 0; // more frames than slots
        std::size_t clamped = 0;
        double gain = 1.0;
        std::vector<std::string> skipped; // a folder's files that are not audio, with why
        // What a caller may offer after a refusal, in its own words.
        enum class Remedy { none, statedFrameSize, oneCycle } remedy = Remedy::none;
    };

    // One file taken as exactly one cycle of N >= 2 frames, into one slot.
    static Result importCycle(const std::filesystem::path& path, DvVaneto& store, int bank,
                              int slot, bool fit);
    // A file of several frames, or a folder whose audio files are one cycle each (natural name
    // order, no recursion), into consecutive slots.
    static Result importTable(const std::filesystem::path& path, DvVaneto& store, int bank,
                              const Options& options);

    // Waves already at 256 values (one after the other in `waves`), with their names, into
    // the slots from options.firstSlot on: the common end of every import.
    static Result place(std::vector<double> waves, const std::vector<std::string>& names,
                        DvVaneto& store, int bank, const Options& options);

    // Compares names with digit runs by their number: "wave2" before "wave10".
    static bool naturalLess(const std::string& a, const std::string& b);

private:
    static Result importFolder(const std::filesystem::path& path, DvVaneto& store, int bank,
                               const Options& options);
};
