#include "cli/commands/ExportCommand.h"

#include "files/AtomicFile.h"
#include "files/Utf8Text.h"
#include "audio/WaveFileWriter.h"
#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "device/DvVaneto.h"
#include "midi/LoFileWriter.h"
#include "wavetable/WavetableExport.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class Kind { none, wav, syx };

Kind kindOf(const std::string& path) {
    const std::string extension = asciiLowerCase(std::filesystem::path(path).extension().string());
    return extension == ".wav" ? Kind::wav : extension == ".syx" ? Kind::syx : Kind::none;
}

} // namespace

namespace {

using Takes = CliOption::Takes;
constexpr CliOption commandOptions[] = {
    bankOption(),
    channelOption(),
    {.name = "--slot", .takes = CliOption::Takes::number, .what = "slot", .first = 1, .last = 256},
    {.name = "--frame",
     .takes = CliOption::Takes::number,
     .what = "frame size",
     .first = 2,
     .last = 65536},
};

} // namespace

std::span<const CliOption> ExportCommand::options() {
    return commandOptions;
}

int ExportCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 2);
    const std::string file = parsed.positional(0);
    const std::string out = parsed.positional(1);
    const std::optional<int> bank = parsed.number("--bank");
    const std::optional<int> channel = parsed.number("--channel");
    const std::optional<int> slot = parsed.number("--slot");
    const std::optional<int> frame = parsed.number("--frame");
    if (args.ok() && (file.empty() || out.empty())) {
        args.fail(file.empty() ? "no bank file given" : "no output file given");
    }
    if (args.ok() && !bank) {
        args.fail("--bank N is required");
    }
    const Kind kind = kindOf(out);
    if (args.ok() && kind == Kind::none) {
        args.fail("the output file must end in .wav or .syx, not '" + out + "'");
    }
    if (args.ok() && channel && kind != Kind::syx) {
        args.fail("--channel applies to .syx output only");
    }
    if (args.ok() && (slot || frame) && kind != Kind::wav) {
        args.fail(std::string(slot ? "--slot" : "--frame") + " applies to .wav output only");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }

    auto store = std::make_unique<DvVaneto>();
    std::vector<int> banks;
    std::string error;
    std::string warning;
    const bool loaded = CliBanks::loadBankFile(file, *store, banks, error, warning);
    if (!warning.empty()) {
        context_.err << "vaneto export: " << warning << '\n';
    }
    if (!loaded) {
        return context_.failure("export", error);
    }
    const int index = *bank - 1;
    if (std::find(banks.begin(), banks.end(), index) == banks.end()) {
        return context_.failure("export", file + " holds no bank " + std::to_string(*bank));
    }
    // A wavetable bank, or one slot of any bank, goes out as waves; a single sample as it is.
    const bool waves = slot || !store->isSingleSample(index);
    if (frame && !waves) {
        return context_.failure("export", "bank " + std::to_string(*bank) +
                                              " holds one sample, not waves: --frame applies "
                                              "to wavetables and slots");
    }

    AtomicFile target(out);
    if (!target.begin(error)) {
        return context_.failure("export", error);
    }
    bool written = false;
    errno = 0;
    if (kind == Kind::wav && waves) {
        auto values = store->bankData(index);
        if (slot) {
            values =
                values.subspan(static_cast<std::size_t>(*slot - 1) * WavetableExport::waveLength,
                               WavetableExport::waveLength);
        }
        written = WavetableExport::write(target.temporaryPath(), values,
                                         static_cast<std::size_t>(frame.value_or(256)), error);
    } else if (kind == Kind::wav) {
        const auto values = store->bankData(index);
        WaveFileWriter writer(target.temporaryPath());
        written = writer.writeMono16(values.data(), values.size(), 44100);
        writer.close();
        written = written && !writer.fail();
    } else {
        LoFileWriter writer(target.temporaryPath());
        for (const LoMidiEvent& event : store->bankDump(index, channel.value_or(1) - 1)) {
            writer.write(event.bytes.data(), event.bytes.size());
        }
        writer.close();
        written = !writer.fail();
    }
    if (!written) {
        // As make says it: with the system's reason (a full disk, a file size limit).
        const int code = errno != 0 ? errno : EIO;
        return context_.failure("export", "cannot write " + out + ": " + std::strerror(code));
    }
    if (!target.commit(error)) {
        return context_.failure("export", error);
    }
    return cliOk;
}
