#pragma once

#include "cli/CliArguments.h"
#include "cli/CliContext.h"
#include "files/SampleImport.h"
#include "wavetable/WaveResynthesis.h"
#include "wavetable/WaveShaper.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

class DvVaneto;

// `vaneto make OUT.mid ...`: builds a bank file from the factory banks, a bank file, audio files
// and new names, applying the options in the order given.
class MakeCommand {
public:
    explicit MakeCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

private:
    struct Step {
        enum Kind {
            from,
            import,
            name,
            sampleName,
            waves,
            oneSample,
            cycle,
            table,
            slotName,
            formula,
            harmonics,
            operation,
        };
        Kind kind = from;
        int bank = -1; // 0 ... 6
        std::string text;
        int slot = 0; // 0 ... 255
        // For slot and table: the modifiers that follow them.
        std::size_t frameSize = 0;
        int firstSlot = 0;
        bool spread = false;
        bool fit = false;
        // For a table resynthesized from a recording: the mode and the span.
        bool resynth = false;
        WaveResynthesis::Mode mode = WaveResynthesis::Mode::pitch;
        std::optional<double> start;
        std::optional<double> end;
        std::string report; // --report: where the slots' pitch and fit go
        // For an audio import (--bank): which part, at what level.
        SampleImport::Options part;
        // For a formula or an operation across slots.
        WaveShaper::Request shaping;
    };
    // The steps in the order given, each modifier joined to the --slot or --table before it;
    // a misplaced modifier is a usage error.
    static std::vector<Step> steps(const std::vector<CliParse::Use>& uses, CliArguments& args);
    // A --slot or --table step; false when it failed (said on the error stream).
    bool importWaves(const Step& step, DvVaneto& store) const;
    // Joins a modifier to the --formula, --harmonics or --op before it; false when misplaced.
    static bool shapingModifier(const CliParse::Use& use, Step& target,
                                std::vector<std::string_view>& given, CliArguments& args);
    // A --formula, --harmonics or --op step; false when it failed (said on the error stream).
    bool shapeWaves(const Step& step, DvVaneto& store) const;
    // A table resynthesized; its report, when asked for, goes to `reports` (written with OUT).
    bool resynthesize(const Step& step, DvVaneto& store,
                      std::vector<std::pair<std::string, std::string>>& reports) const;

    const CliContext& context_;
};
