#pragma once

#include "cli/CliContext.h"

class CliArguments;

// `vaneto receive OUT.mid (--input PORT | --virtual) [--count N] [--idle-timeout S]`: the
// receiving end of bank dumps. Listens on a MIDI input port (or on a port of its own), tells
// each bank as it comes, and writes the banks that came whole to a bank file.
class ReceiveCommand {
public:
    explicit ReceiveCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);

private:
    const CliContext& context_;
};
