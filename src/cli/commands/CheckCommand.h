#pragma once

#include <span>

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

#include <cstddef>
#include <cstdint>
#include <string>

class CliArguments;

// `vaneto check --port OUT --input IN [--rate B] [--bytes N] [--find-rate]`: sends a test
// message through the transmitter and backend a bank goes through, receives it over a loopback
// cable and tells what arrived.
class CheckCommand {
public:
    explicit CheckCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

private:
    struct Session;
    struct Outcome;
    // One test message of the given length at the given rate.
    Outcome probe(Session& session, double rate, std::size_t length);
    void report(const Session& session, const Outcome& outcome);
    int findRate(Session& session);

    const CliContext& context_;
};
