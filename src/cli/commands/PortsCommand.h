#pragma once

#include <span>
#include <string>
#include <vector>

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

class CliArguments;

// `vaneto ports [--input | --watch]`: the MIDI output ports as the editor's port list shows them,
// or the ports one can receive from.
class PortsCommand {
public:
    explicit PortsCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

private:
    // --watch: the ports, then a line for each that comes ("+ ") or goes ("- "), until
    // interrupted.
    int watch();
    // One line per port, "index<TAB>name"; `none` on the error stream when there is none.
    void print(const std::vector<std::string>& names, const char* none) const;

    const CliContext& context_;
};
