#pragma once

#include "cli/CliArguments.h"
#include "cli/CliContext.h"

#include <cstdint>
#include <span>
#include <string>

class CliArguments;
class DvVaneto;

// `vaneto list FILE.mid [--json] [--slots N]`: one line (or JSON object) per bank track of a
// bank file, or per wave slot of one bank.
class ListCommand {
public:
    explicit ListCommand(const CliContext& context) : context_(context) {}
    int run(CliArguments& args);
    // The options, for the shell's completion.
    static std::span<const CliOption> options();

    // Peak magnitude of the values in dB below full scale (32768); nothing for silence.
    static bool peakDbfs(std::span<const std::int16_t> values, double& dbfs);
    // A JSON string literal of a name held as bytes: UTF-8 stays as it is, any other byte
    // string is read as Latin-1 (as the editor shows it).
    static std::string jsonString(const std::string& bytes);

private:
    // `--slots N`: slot, name and peak of each of the bank's 256 waves.
    void listSlots(const DvVaneto& store, int bank, bool json);

    const CliContext& context_;
};
