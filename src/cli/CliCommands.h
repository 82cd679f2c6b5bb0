#pragma once

#include "cli/CliArguments.h"

#include <span>

#include "cli/CliContext.h"

#include <string>
#include <string_view>

class CliArguments;

// The commands of `vaneto`: one table gives each its name, its line in `vaneto --help`, its
// own help text, whether it needs the MIDI system, and what runs it.
struct CliCommand {
    std::string_view name;
    std::string_view summary;
    std::string_view help;
    bool usesMidi = false;
    int (*run)(const CliContext& context, CliArguments& args) = nullptr;
    std::span<const CliOption> (*options)() = nullptr;
};

// Every command, in the order of `vaneto --help`.
std::span<const CliCommand> cliCommands();

// The text of `vaneto --help`.
std::string cliGeneralHelp();
// Null for a name that is not a command.
const CliCommand* findCliCommand(std::string_view name);
