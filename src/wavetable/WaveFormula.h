#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One line of arithmetic that fills a range of wave slots. The expression language is
// muParser's (no loops: an expression's time is bounded), evaluated in its bulk mode.
//
// Names an expression may use:
//   x  the phase, 0 to 1 over a wave (value i of 256 is at i/256)       values mode only
//   y  the slot's value before the change, divided by 32767             values mode only
//   t  0 at the range's first slot, 1 at its last (0 for one slot)
//   w  the slot number, 1 to 256
//   h  the harmonic number, 1 to 127                                     harmonics mode only
//   pi, e
// Functions: muParser's own (sin cos tan asin acos atan atan2 sinh cosh tanh asinh acosh atanh
// log2 log10 log ln exp sqrt sign rint abs min max sum avg, the comparisons, && || and ?:),
// and for waves:
//   frac(v)      v - floor(v)
//   floor(v), ceil(v)
//   saw(p)       a rising ramp from -1 to 1 over each period of p
//   tri(p)       a triangle, 0 at p = 0 rising to 1 at p = 1/4
//   square(p)    1 over the first half of each period of p, -1 over the second
//   pulse(p, d)  1 over the first fraction d of each period, -1 after it
//   fold(v)      v folded back into -1 ... 1 at its edges, as a wavefolder does
//   clip(v)      v limited to -1 ... 1
//   noise(n)     a value from -1 to 1 fixed for each whole number floor(n): the same every time
class WaveFormula {
public:
    static constexpr std::size_t waveLength = 256;
    static constexpr int slotCount = 256;
    static constexpr int harmonicCount = 127;
    static constexpr double fullScale = 32767.0;

    enum class Mode {
        values,    // the expression is each value
        harmonics, // the expression is each harmonic's level, the wave a sum of sines
    };

    struct Problem {
        enum class Kind { none, syntax, unknownName, notFinite, silence };
        Kind kind = Kind::none;
        int column = 0; // 1-based, for syntax and unknown names
        int slot = 0;   // 1-based, for a value that is not a finite number
        int value = 0;  // 1-based
        std::string message;
    };

    // How the values of a range become 16-bit values.
    struct Level {
        enum class Kind {
            clamp,     // as they are, values past full scale clamped and counted
            fit,       // lowered by one gain where they would clamp
            normalize, // the range's peak brought to `db` below full scale, up or down
        };
        Kind kind = Kind::clamp;
        double db = 0.0;
    };

    WaveFormula();
    ~WaveFormula();
    WaveFormula(const WaveFormula&) = delete;
    WaveFormula& operator=(const WaveFormula&) = delete;

    // Reads an expression; false with problem() when it does not parse or uses an unknown name.
    bool compile(std::string_view expression, Mode mode);

    // The slots first ... last (0-based) of a bank whose 65536 values are `bank`, in 16-bit
    // units before rounding (32767 times the expression). False with problem() when a value is
    // not a finite number.
    bool evaluate(std::span<const std::int16_t> bank, int first, int last,
                  std::vector<double>& out);

    // evaluate(), then quantize() into `out` (one value per value of the range). False with
    // problem() when a value is not finite or a silent range is to be normalized.
    // `gain` is what the level took (1 as it is).
    bool render(std::span<const std::int16_t> bank, int first, int last, Level level,
                std::vector<std::int16_t>& out, std::size_t& clamped, double& gain);

    const Problem& problem() const { return problem_; }

    // Values to bank values as `level` says; answers false with `error` for a range of silence
    // to normalize. `clamped` counts the values clamped.
    static bool quantize(std::span<const double> values, Level level, std::span<std::int16_t> out,
                         std::size_t& clamped, double& gain, std::string& error);

    // The names and functions above in a few lines, for the editor's help on its field.
    static std::string_view reference();

    // The wavefolder of `fold(v)` and of the fold operation: v as it is within -1 ... 1, folded
    // back at each edge beyond.
    static double fold(double v);

    // How a slot filled by an expression is named.
    static std::string slotName(std::string_view expression, Mode mode);

private:
    struct Engine;
    bool fail(Problem::Kind kind, int column, std::string message);

    std::unique_ptr<Engine> engine_;
    Mode mode_ = Mode::values;
    std::string expression_;
    Problem problem_;
};
