#pragma once

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

#include <span>

// `vaneto kept [list]`, `vaneto kept save ID FILE`, `vaneto kept remove ID`: the work the
// editor keeps, from a shell. It finds the folder exactly as the editor does.
class KeptCommand {
public:
    explicit KeptCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    static std::span<const CliOption> options();

private:
    const CliContext& context_;
};
