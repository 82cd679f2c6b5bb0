#pragma once

#include <cstdint>
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
// fades at both ends; scaled down only where the sum would pass full scale.
std::vector<std::int16_t> render(std::span<const std::int16_t> wave, double frequency,
                                 double seconds);

} // namespace WaveTone
