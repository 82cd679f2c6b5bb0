#pragma once

#include <span>

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

class CliArguments;

// `vaneto export FILE.mid --bank N OUT`: one bank of a bank file as a WAV file (44100 Hz mono
// 16-bit) or as the raw bytes of its bank dump.
class ExportCommand {
public:
    explicit ExportCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

private:
    const CliContext& context_;
};
