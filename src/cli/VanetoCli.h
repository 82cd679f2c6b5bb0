#pragma once

#include "cli/CliContext.h"

#include <string>
#include <vector>

// The `vaneto` tool: picks the command named by the first word and hands it the rest.
class VanetoCli {
public:
    explicit VanetoCli(CliContext context) : context_(context) {}

    // Arguments without the program name; answers the exit status.
    int run(const std::vector<std::string>& arguments);

private:
    // Makes the machine's MIDI system (the ALSA sequencer, where built) the default MIDI
    // output service.
    static void useMidiSystem();
    int usageError(const std::string& message);

    CliContext context_;
};
