#pragma once

#include <span>

#include "cli/CliArguments.h"
#include "cli/CliContext.h"
#include "cli/CliMidiInput.h"
#include "midiin/MidiInService.h"

#include <functional>
#include <memory>

class CliArguments;

// `vaneto receive OUT.mid (--input PORT | --virtual) [--count N] [--idle-timeout S]`: the
// receiving end of bank dumps. Listens on a MIDI input port (or on a port of its own), tells
// each bank as it comes, and writes the banks that came whole to a bank file.
class ReceiveCommand {
public:
    // The MIDI input comes from openInput (the system's, unless a test gives another).
    explicit ReceiveCommand(
        const CliContext& context,
        std::function<std::unique_ptr<MidiInService>()> openInput = CliMidiInput::open)
        : context_(context), openInput_(std::move(openInput)) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

private:
    const CliContext& context_;
    std::function<std::unique_ptr<MidiInService>()> openInput_;
};
