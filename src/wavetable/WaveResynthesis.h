#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

class WavetableSource;

// A recording made into a wavetable that scans through its life: slot k of M taken at the
// moment start + k (end - start) / (M - 1), as exactly one period of the sound there. The pitch
// is tracked at every slot (YIN, 30 to 2000 Hz, a coarse estimate and then a window of three
// to four periods at that pitch, so that a vibrato is followed); the period is resampled
// band-limited onto 512 points and then periodically to 256 values, harmonics 1 to 127 kept
// (what the first resampling lets through above harmonic 256 folds no lower than 256, and the
// periodic one removes everything from 128 up exactly).
//
//   pitch     each cycle turned to line up with the slot before it (the first starts at its
//             fundamental's upward zero crossing): the table scans without phasing or clicks
//   spectral  each slot keeps its own harmonic magnitudes (measured over three periods) with
//             the first slot's phases: the table is phase-coherent
//
// One gain brings the table to full scale. A moment without pitch takes the cycle of the
// nearest slot with one ("held"). The file is read twice, a level pass and then the windows
// around each moment, never held whole.
class WaveResynthesis {
public:
    static constexpr double lowestHz = 30.0;
    static constexpr double highestHz = 2000.0;
    static constexpr std::size_t cycleLength = 512; // the band-limited period, before 256
    // The harmonics a slot's fit compares.
    static constexpr std::size_t fitHarmonics = 64;

    enum class Mode { pitch, spectral };
    struct Options {
        Mode mode = Mode::pitch;
        int firstSlot = 0; // 0 ... 255: slots firstSlot ... 255 are made
        // The span in seconds; without them, from the first to the last frame at or above
        // -60 dBFS.
        std::optional<double> start = std::nullopt;
        std::optional<double> end = std::nullopt;
        // Asked to stop (a dialog closed while it works): the result is then an error.
        const std::atomic<bool>* stop = nullptr;
        // The same choice (the stop aside).
        bool sameAs(const Options& other) const {
            return mode == other.mode && firstSlot == other.firstSlot && start == other.start &&
                   end == other.end;
        }
    };
    struct Result {
        bool ok = false;
        std::string error;
        int firstSlot = 0;
        std::vector<double> waves;      // 256 values per slot, at full scale together
        std::vector<std::string> names; // "voice.wav 1.234 s"
        std::vector<double> moments;    // seconds, per slot
        std::vector<double> hertz;      // the pitch per slot, 0 where held
        std::vector<int> heldFrom;      // per slot: the slot (index into these) it holds, or -1
        // Per slot, how far its harmonics 1 ... 64 are from the recording's at its moment
        // (measured over three periods there): the relative spectral error in %, NaN when held.
        std::vector<double> fit;
        double startSeconds = 0.0;
        double endSeconds = 0.0;
        // "110.2 - 223.9 Hz over 0.312 - 6.300 s; fit 0.41 % at the median, 3.20 % at worst
        // (slot 12); slots 250-256 held from 6.1 s"
        std::string summary() const;
    };

    static Result make(const std::filesystem::path& path, const Options& options);
    // The same from a source already open (the editor's dialog keeps one).
    static Result make(WavetableSource& source, const std::string& name, const Options& options);
};
