#pragma once

#include "cli/CliContext.h"

class CliArguments;

// `vaneto ports [--input | --watch]`: the MIDI output ports as the editor's port list shows them,
// or the ports one can receive from.
class PortsCommand {
public:
    explicit PortsCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);

private:
    // --watch: the ports, then a line for each that comes ("+ ") or goes ("- "), until
    // interrupted.
    int watch();

    const CliContext& context_;
};
