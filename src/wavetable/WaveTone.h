#pragma once

#include <complex>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A wave of 256 values played as a looped tone: its harmonics summed at the note's frequency,
// those at or above half the output rate left out, so that no note aliases.
namespace WaveTone {

constexpr double outputRate = 44100.0;

// "A3", "C#4", "Bb-1" (A4 = MIDI 69; C-1 = 0) or a MIDI note number 0 ... 127.
std::optional<int> parseNote(std::string_view text);
// "A3 · 220.00 Hz"
std::string describeNote(int midiNote);
// Equal temperament, A4 = 440 Hz.
double frequencyOf(int midiNote);

// seconds of the tone at 44100 Hz: harmonics 1 ... 128 of the wave (not its mean), with 5 ms
// fades at both ends; a wave whose sum would pass full scale is scaled down to fit.
std::vector<std::int16_t> render(std::span<const std::int16_t> wave, double frequency,
                                 double seconds);

// Waves of 256 values (16-bit units, one after the other) played as one tone of `frequency`,
// `seconds` long in all: each wave for an equal share, taken at the start of a cycle.
std::vector<std::int16_t> renderScan(std::span<const double> waves, double frequency,
                                     double seconds);

// The same tone made as it plays, piece by piece, on the thread that plays it. Another thread
// may hand it a new wave at any time (setWave copies 256 values and returns): the tone takes it
// at the start of its next cycle, so that it changes without a click.
class Generator {
public:
    Generator(std::span<const std::int16_t> wave, double frequency, double seconds);
    void setWave(std::span<const std::int16_t> wave);
    // The next values; fewer than out holds once the tone has ended.
    std::size_t read(std::span<std::int16_t> out);
    std::size_t length() const { return length_; }

private:
    struct Partial {
        double magnitude, phase, increment;
    };
    void take(std::span<const std::int16_t> wave);
    // Each partial's phasor from the exact phase at the cycle position.
    void anchor();

    double frequency_;
    std::size_t length_;
    std::size_t done_ = 0;
    std::size_t fade_;
    double cycle_ = 0.0; // position within the cycle, 0 ... 1
    double gain_ = 1.0;
    std::vector<Partial> partials_;
    std::vector<std::complex<double>> phasors_, steps_;
    std::mutex mutex_; // pending_
    std::vector<std::int16_t> pending_;
};

} // namespace WaveTone
