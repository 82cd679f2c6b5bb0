#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// An operation over a range of wave slots whose amount moves from one value at the range's
// first slot to another at its last: at a slot t of the way along (0 ... 1; 0 for a range of
// one slot) the amount is from + (to - from) x t, in the operation's own unit.
class RampedOperation {
public:
    static constexpr std::size_t waveLength = 256;

    enum class Kind {
        gain,      // dB, the ramp in dB
        lowpass,   // harmonics above the cutoff (rounded) removed
        align,     // each slot turned to match the one before it as already aligned
        normalize, // each slot's peak to full scale
        dc,        // each slot's mean removed
        reverse,   // each slot back to front
        invert,    // each value negated
        warp,      // the phase bent by a power curve: the wave read at x^amount
        fold,      // the wave driven by the amount into a wavefolder
    };

    struct Info {
        Kind kind;
        std::string_view name; // as written: gain=-6:0
        std::string_view unit; // of the amount, "" for a plain number
        bool hasAmount;
        double lowest, highest; // what an amount may be
        double from, to;        // a sensible ramp to start from
        int decimals;           // that an amount is shown with
        std::string_view says;  // one line for a list of the operations
    };
    static std::span<const Info> kinds();
    static const Info& info(Kind kind);

    struct Operation {
        Kind kind = Kind::gain;
        double from = 0.0;
        double to = 0.0;
    };

    // "NAME", "NAME=A" or "NAME=A:B"; nothing, with `error`, for anything else.
    static std::optional<Operation> parse(std::string_view text, std::string& error);
    // How a step of the history names it: "gain -6 to 0 dB", "align".
    static std::string describe(const Operation& operation);

    // The operation on waves of 256 values one after the other; answers how many values had
    // to be clamped to the 16-bit range.
    static std::size_t apply(const Operation& operation, std::span<std::int16_t> waves);
};
