#pragma once

#include "wavetable/WaveResynthesis.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Where the user makes a recording into waves: the whole sound with its pitch over it, the
// range, the mode and the first slot, the waves as they would come out (recomputed as the
// choice changes) and Play.
class ResynthesisView {
public:
    struct Setup {
        std::string fileName;
        // The whole sound: low and high per column (fractions of full scale), its length.
        std::vector<std::pair<float, float>> overview;
        double seconds = 0.0;
        // The pitch over the whole sound: (seconds, Hz), 0 Hz where there is none.
        std::vector<std::pair<double, double>> pitch;
        WaveResynthesis::Options options; // what is offered first
        // The waves for a choice; safe to call from any thread, one call at a time per thread.
        std::function<WaveResynthesis::Result(const WaveResynthesis::Options&)> compute;
        // Plays waves as a tone, from the first slot to the last over the range's length.
        std::function<void(const WaveResynthesis::Result&)> play;
    };

    virtual ~ResynthesisView() = default;
    // The choice made, or nothing when the user cancelled.
    virtual std::optional<WaveResynthesis::Options> chooseResynthesis(const Setup& setup) = 0;
};
