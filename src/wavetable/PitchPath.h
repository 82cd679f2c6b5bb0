#pragma once

#include "wavetable/PitchTracker.h"

#include <vector>

// One pitch track through the candidate periods of a row of moments, decoded by Viterbi (as
// pYIN decodes YIN's candidates): each moment's candidates weighed by their probability, each
// step between neighbouring moments charged by how far the pitch moves (an octave costs twelve
// semitones' worth), and going from pitch to none or back charged once. A beating that cancels
// the fundamental for a moment is then no octave jump: the track stays with the pitch a
// listener hears unless the sound really moves there.
class PitchPath {
public:
    static constexpr double costPerSemitone = 1.0; // in nats
    static constexpr double voicingCost = 4.6;     // ln 100
    // The period at each moment, 0 where the track has none.
    static std::vector<double>
    decode(const std::vector<std::vector<PitchTracker::Candidate>>& moments);
};
