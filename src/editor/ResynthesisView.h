#pragma once

#include "wavetable/WaveResynthesis.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Where the user makes a recording into waves: the whole sound with its pitch over it, the
// range, the mode and the first slot, the waves as they would come out (computed off the GUI
// thread as the choice changes, the first time with the pitch and the span it offers) and Play.
class ResynthesisView {
public:
    struct Setup {
        std::string fileName;
        // The whole sound: low and high per column (fractions of full scale), its length.
        std::vector<std::pair<float, float>> overview;
        double seconds = 0.0;
        WaveResynthesis::Options options; // what is asked first (no span: the audible one)
        // The waves for a choice; safe to call from any thread, one call at a time per thread.
        std::function<WaveResynthesis::Result(const WaveResynthesis::Options&)> compute;
        // Plays waves as a tone, from the first slot to the last over the range's length.
        std::function<void(const WaveResynthesis::Result&)> play;
    };

    virtual ~ResynthesisView() = default;
    // The waves of the choice made, as they were shown, or nothing when the user cancelled.
    virtual std::optional<WaveResynthesis::Result> chooseResynthesis(const Setup& setup) = 0;
};
