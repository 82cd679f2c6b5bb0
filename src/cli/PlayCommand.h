#pragma once

#include "cli/CliContext.h"

class CliArguments;

// `vaneto play SOURCE --bank N [--device PCM]`: plays one bank of a bank file, or an audio file
// imported into a bank as `make` would, as 44100 Hz mono 16-bit through an ALSA PCM device.
class PlayCommand {
public:
    explicit PlayCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);

private:
    const CliContext& context_;
};
