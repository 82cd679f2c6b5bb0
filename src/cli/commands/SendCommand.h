#pragma once

#include <span>

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

#include <cstdint>
#include <optional>
#include <string>

class CliArguments;
class Clock;

// `vaneto send SOURCE --port P (--bank N | --all) [--channel C] [--yes]`: sends banks to the
// synthesizer through the default MIDI output service, with the editor's transmitter and timing.
class SendCommand {
public:
    // The clock paces the transfer (the real clock in the program).
    SendCommand(const CliContext& context, Clock& clock);
    explicit SendCommand(const CliContext& context);
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

    // The port a --port value names: an index, or a case-insensitive part of exactly one port
    // name (a whole name wins over parts). Nothing, with a message in error, otherwise.
    static std::optional<std::uint16_t> findPort(const std::string& wanted, std::string& error);

private:
    bool confirmAll();

    const CliContext& context_;
    Clock& clock_;
};
