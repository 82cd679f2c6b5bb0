#pragma once

#include <span>

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

class CliArguments;

// `vaneto play SOURCE --bank N [--device PCM]`: plays one bank of a bank file, or an audio file
// imported into a bank as `make` would, as 44100 Hz mono 16-bit through an ALSA PCM device.
class PlayCommand {
public:
    explicit PlayCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

private:
    const CliContext& context_;
};
