#pragma once

#include "cli/CliContext.h"

class CliArguments;

// `vaneto ports [--input]`: the MIDI output ports as the editor's port list shows them, or the
// ports one can receive from.
class PortsCommand {
public:
    explicit PortsCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);

private:
    const CliContext& context_;
};
