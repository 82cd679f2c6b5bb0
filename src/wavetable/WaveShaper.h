#pragma once

#include "wavetable/RampedOperation.h"
#include "wavetable/WaveFormula.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class DvVaneto;

// A range of a bank's wave slots made anew from a formula or changed by a ramped operation:
// the one way the command-line tool and the editor do it. Keeps the formula it last read, so
// that asking again with another range or level does not read it again. One thread at a time.
class WaveShaper {
public:
    struct Request {
        enum class Kind { formula, harmonics, operation };
        Kind kind = Kind::formula;
        std::string expression; // formula and harmonics
        WaveFormula::Level level;
        RampedOperation::Operation operation;
        int first = 0; // slots, 0-based
        int last = 255;
    };
    struct Result {
        bool ok = false;
        std::vector<std::int16_t> values; // the range's, one wave after the other
        std::size_t clamped = 0;
        double gain = 1.0;            // what a fit or a normalization took
        WaveFormula::Problem problem; // why not
    };

    // The range as the request makes it from the bank's 65536 values.
    Result shape(std::span<const std::int16_t> bank, const Request& request);

    // What the request does, for a step's label and a line: "formula", "gain -6 to 0 dB".
    static std::string describe(const Request& request);
    // What a result says beside the range: "gain -3.10 dB (x 0.699842)", "12 values clamped";
    // empty when nothing is worth saying.
    static std::string remark(const Result& result);
    // Writes a result into a bank, which becomes a wavetable; the slots a formula fills are
    // named after it.
    static void place(const Request& request, const Result& result, DvVaneto& store, int bank);

private:
    WaveFormula formula_;
    std::string compiled_;
    Request::Kind compiledKind_ = Request::Kind::operation;
};
