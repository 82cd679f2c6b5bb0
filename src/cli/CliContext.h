#pragma once

#include <iosfwd>
#include <string>

class CliArguments;

// Exit statuses of the tool.
enum CliStatus : int {
    cliOk = 0,
    cliFailed = 1,
    cliUsage = 2,
    cliInterrupted = 130,
};

// Where a command writes and what it may ask: its output, its diagnostics, and whether a person
// sits at a terminal.
struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    bool stdinIsTerminal = false;
    bool stderrIsTerminal = false;

    // "vaneto COMMAND: message" on the error stream; answers cliFailed.
    int failure(const std::string& command, const std::string& message) const;
    // The usage message the arguments recorded and a pointer to the command's help; answers
    // cliUsage.
    int usage(const CliArguments& args) const;
};
