#pragma once

#include "cli/CliContext.h"

class CliArguments;

// `vaneto ports`: the MIDI output ports as the editor's port list shows them.
class PortsCommand {
public:
    explicit PortsCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);

private:
    const CliContext& context_;
};
