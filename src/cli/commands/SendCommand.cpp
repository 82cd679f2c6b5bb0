#include "cli/commands/SendCommand.h"

#include "files/BankFile.h"
#include "transfer/TransferEngine.h"
#include "files/Utf8Text.h"
#include "cli/CliArguments.h"
#include "cli/CliBanks.h"
#include "cli/PortChoice.h"
#include "cli/SendProgress.h"
#include "cli/SignalWatcher.h"
#include "device/DvVaneto.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutPortList.h"
#include "midiout/MidiOutService.h"
#include "midiout/SysexPacer.h"
#ifdef VANETO_HAVE_ALSA
#include "midiout/alsa/AlsaMidiOutService.h"
#endif

#include <csignal>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

SendCommand::SendCommand(const CliContext& context, Clock& clock)
    : context_(context), clock_(clock) {}

SendCommand::SendCommand(const CliContext& context) : SendCommand(context, realClock()) {}

std::optional<std::uint16_t> SendCommand::findPort(const std::string& wanted, std::string& error) {
    const PortChoice choice{"MIDI output port", "vaneto ports", noPortText};
    const std::optional<unsigned> found = choice.find(portNames(), wanted, error);
    if (!found) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*found);
}

bool SendCommand::confirmAll() {
    context_.err << "The sending of all banks take over 10 Minutes.\n"
                    "Do you want to really transmit? [y/N] "
                 << std::flush;
    std::string answer;
    if (!std::getline(context_.in, answer)) {
        context_.err << '\n';
        return false;
    }
    answer = asciiLowerCase(answer);
    return answer == "y" || answer == "yes";
}

namespace {

using Takes = CliOption::Takes;
constexpr CliOption commandOptions[] = {
    {.name = "--port", .takes = Takes::text},
    bankOption(),
    channelOption(),
    {.name = "--rate",
     .takes = Takes::number,
     .what = "rate",
     .first = 100,
     .last = static_cast<int>(SysexPacer::wireBytesPerSecond)},
    {.name = "--all"},
    {.name = "--yes"},
};

} // namespace

std::span<const CliOption> SendCommand::options() {
    return commandOptions;
}

int SendCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 1);
    const std::string source = parsed.positional(0);
    const std::optional<std::string> port = parsed.word("--port");
    const std::optional<int> bank = parsed.number("--bank");
    const std::optional<int> channel = parsed.number("--channel");
    const std::optional<int> rate = parsed.number("--rate");
    const bool all = parsed.given("--all");
    const bool yes = parsed.given("--yes");
    if (args.ok() && source.empty()) {
        args.fail("no bank file or audio file given");
    } else if (args.ok() && !port) {
        args.fail("--port P is required (see 'vaneto ports')");
    } else if (args.ok() && bank.has_value() == all) {
        args.fail(all ? "give either --bank N or --all, not both" : "give --bank N or --all");
    } else if (args.ok() && all && !yes && !context_.stdinIsTerminal) {
        args.fail("--all asks first; give --yes to send all banks without a terminal");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }

    // The banks: a bank file over the factory banks, or an audio file in one factory bank.
    auto store = std::make_unique<DvVaneto>();
    std::string error;
    switch (CliBanks::loadSource(source, *store, bank ? *bank - 1 : -1, error)) {
    case CliBanks::SourceResult::ok:
        break;
    case CliBanks::SourceResult::audioNeedsBank:
        args.fail("an audio file goes into one bank: give --bank N instead of --all");
        return context_.usage(args);
    case CliBanks::SourceResult::failed:
        return context_.failure("send", error);
    }

    const std::optional<std::uint16_t> portIndex = findPort(*port, error);
    if (!portIndex) {
        return context_.failure("send", error);
    }
    if (all && !yes && !confirmAll()) {
        return context_.failure("send", "nothing sent");
    }

    std::vector<int> banks;
    if (all) {
        for (int b = 0; b < store->bankCount(); ++b) {
            banks.push_back(b);
        }
    } else {
        banks.push_back(*bank - 1);
    }

    const double bytesPerSecond = rate ? *rate : SysexPacer::wireBytesPerSecond;
#ifdef VANETO_HAVE_ALSA
    if (rate && *rate != static_cast<int>(SysexPacer::wireBytesPerSecond)) {
        installAlsaMidiOutService("vaneto", bytesPerSecond);
    }
#endif
    const int sendChannel = channel.value_or(1) - 1;
    std::vector<double> estimates;
    for (const int b : banks) {
        estimates.push_back(
            TransferEngine::estimateSeconds(store->bankDump(b, sendChannel), bytesPerSecond));
    }
    SendProgress progress(context_.err, context_.stderrIsTerminal);
    progress.plan(banks, estimates);

    TransferEngine engine(*store, defaultMidiOutService(), clock_);
    TransferEngine::Request request;
    request.port = *portIndex;
    request.portName = portName(*portIndex);
    request.channel = sendChannel;
    request.banks = [&banks] { return banks; };
    request.bytesPerSecond = bytesPerSecond;
    TransferEngine::Result result = TransferEngine::Result::failed;
    {
        SignalWatcher watcher([&engine](int) { engine.stop(); });
        result = engine.run(request, progress);
    }
    progress.finish();
    switch (result) {
    case TransferEngine::Result::sent:
        return cliOk;
    case TransferEngine::Result::failed: {
        const TransferEngine::Failure why = engine.failure();
        std::string message = why.reason.empty() ? "sending failed" : why.reason;
        if (!why.portNotOpened && why.bank >= 0) {
            message = "bank " + std::to_string(why.bank + 1) + " could not be sent to \"" +
                      request.portName + "\" after " + std::to_string(why.bytesSent) + " of " +
                      std::to_string(why.bytesTotal) + " bytes: " + message;
        }
        return context_.failure("send", message);
    }
    case TransferEngine::Result::stopped:
        context_.err << "vaneto send: interrupted; the port is closed\n";
        return cliInterrupted;
    }
    return cliFailed;
}
