#pragma once

#include "wavetable/WaveShaper.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Where the user makes a range of slots from a formula, or ramps an operation across it: the
// expression (or the operation and its amounts), the range as it would become (computed off
// the GUI thread as the choice changes), the error with its column, and Play.
class WaveShapingView {
public:
    struct Setup {
        std::string title;
        WaveShaper::Request request;    // what is asked first: its kind and range
        std::vector<std::int16_t> bank; // the bank's values as they stand
        // The range for a choice; safe to call from any thread, one call at a time.
        std::function<WaveShaper::Result(const WaveShaper::Request&)> compute;
        // Plays the range's waves (one after the other) as a tone that scans them.
        std::function<void(const std::vector<std::int16_t>& waves)> play;
    };
    struct Choice {
        WaveShaper::Request request;
        WaveShaper::Result result;
    };

    virtual ~WaveShapingView() = default;
    // The choice made, as it was shown, or nothing when the user cancelled.
    virtual std::optional<Choice> chooseShaping(const Setup& setup) = 0;
};
