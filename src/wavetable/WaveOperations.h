#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Changes to a span of values taken as waves of waveLength values one after the other (256 for
// wave slots; a single-sample bank is one wave of 65536). Each answers how many values had to be
// clamped to the 16-bit range (0 where none can).
namespace WaveOperations {

// Each wave's peak to full scale (32767), or with `together` one gain for the whole span so
// that the loudest wave reaches it and the others keep their levels. Silence stays silent.
std::size_t normalize(std::span<std::int16_t> values, std::size_t waveLength, bool together);
// Takes each wave's mean from its values.
std::size_t removeDc(std::span<std::int16_t> values, std::size_t waveLength);
// Each wave back to front.
void reverse(std::span<std::int16_t> values, std::size_t waveLength);
// Every value negated (-32768 becomes 32767).
std::size_t invert(std::span<std::int16_t> values);

// Linear fades over the first (fadeIn) or last (fadeOut) `length` values of the span: the
// first value of a fade in and the last of a fade out become 0.
void fadeIn(std::span<std::int16_t> values, std::size_t length);
void fadeOut(std::span<std::int16_t> values, std::size_t length);

enum class Morph {
    crossfade, // each value from the two waves' values, linearly
    spectral,  // harmonic magnitudes and unwrapped phases interpolated (waves of 256 only)
};
// The waves between the first and the last of the span, each a linear crossfade from the first
// to the last by its place.
void crossfade(std::span<double> waves, std::size_t waveLength);
// Fills the waves between the first and the last wave of the span from those two.
std::size_t morphFill(std::span<std::int16_t> values, std::size_t waveLength, Morph morph);

// Every operation on a range of values, for the wave slots and the one-sample bank alike.
enum class Kind {
    normalize,         // each wave to full scale
    normalizeTogether, // the waves together, keeping their levels
    removeDc,
    reverse,
    invert,
    clear,
    morphCrossfade, // the waves between the first and the last
    morphSpectral,
    fadeIn,
    fadeOut,
};
// How a step of the history names it: "normalize", "morph (spectral)", "fade in".
std::string describe(Kind kind);
// A range of slots (0-based) as the user counts them: "slot 4", "slots 4-7".
std::string describeSlots(int first, int last);
// Whether it fills waves between two: it needs three waves at least.
bool isMorph(Kind kind);
// The operation on values taken as waves of waveLength; fades last fadeLength values.
void apply(Kind kind, std::span<std::int16_t> values, std::size_t waveLength,
           std::size_t fadeLength);

} // namespace WaveOperations
