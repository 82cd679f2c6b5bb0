#pragma once

#include "cli/CliContext.h"

#include <string>
#include <vector>

class CliArguments;

// `vaneto make OUT.mid ...`: builds a bank file from the factory banks, a bank file, audio files
// and new names, applying the options in the order given.
class MakeCommand {
public:
    explicit MakeCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);

private:
    struct Step {
        enum Kind { from, import, name, sampleName } kind;
        int bank = -1; // 0 ... 6
        std::string text;
    };

    const CliContext& context_;
};
