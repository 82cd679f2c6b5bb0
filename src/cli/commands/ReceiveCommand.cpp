#include "cli/commands/ReceiveCommand.h"

#include "files/BankFile.h"
#include "transfer/TransferEngine.h"
#include "cli/CliArguments.h"
#include "cli/CliMidiInput.h"
#include "cli/SignalWatcher.h"
#include "device/DvVaneto.h"
#include "midiin/BankDumpReceiver.h"
#include "midiin/MidiInService.h"
#include "midiout/Clock.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>

namespace {

// What the reading thread hands over, kept under one lock for the command's own thread.
class Reception final : public MidiInListener {
public:
    explicit Reception(DvVaneto& store) : receiver(store) {}

    void received(std::span<const std::uint8_t> bytes, std::int64_t microseconds) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            receiver.feed(bytes, microseconds);
            lastByte = microseconds;
        }
        changed.notify_all();
    }
    void overrun() override {
        std::lock_guard<std::mutex> lock(mutex);
        receiver.overrun();
    }
    void sourceGone(const std::string& why) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            gone = why;
        }
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    BankDumpReceiver receiver;
    std::optional<std::string> gone;
    std::int64_t lastByte = 0;
    bool interrupted = false;
};

std::string progressLine(const BankDumpReceiver::Progress& now) {
    char text[200];
    // The rate means something once a second of bytes has come.
    const bool timed = now.seconds >= 1.0;
    const double rate = timed ? static_cast<double>(now.bytes) / now.seconds : 0.0;
    if (now.bankMessage) {
        const std::size_t total = BankDumpReceiver::dataMessageLength;
        const std::string left =
            timed && now.bytes < total && rate > 0
                ? ", about " +
                      TransferEngine::minutes(static_cast<double>(total - now.bytes) / rate) +
                      " left"
                : "";
        std::snprintf(text, sizeof text, "bank %d: %zu of %zu bytes, %.0f bytes/s, %s%s",
                      now.bank + 1, now.bytes, total, rate,
                      TransferEngine::minutes(now.seconds).c_str(), left.c_str());
    } else {
        std::snprintf(text, sizeof text, "a message: %zu bytes, %.0f bytes/s, %s", now.bytes, rate,
                      TransferEngine::minutes(now.seconds).c_str());
    }
    return text;
}

std::string bankList(const std::vector<int>& banks) {
    std::string text = banks.size() == 1 ? "bank " : "banks ";
    for (std::size_t i = 0; i < banks.size(); ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(banks[i] + 1);
    }
    return text;
}

} // namespace

namespace {

using Takes = CliOption::Takes;
constexpr CliOption commandOptions[] = {
    {.name = "--input", .takes = Takes::text},
    {.name = "--virtual"},
    {.name = "--count", .takes = Takes::number, .what = "count", .first = 1, .last = 1000},
    {.name = "--idle-timeout",
     .takes = Takes::number,
     .what = "idle timeout",
     .first = 1,
     .last = 86400},
};

} // namespace

std::span<const CliOption> ReceiveCommand::options() {
    return commandOptions;
}

int ReceiveCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 1);
    const std::string out = parsed.positional(0);
    const std::optional<std::string> inputName = parsed.word("--input");
    const bool offered = parsed.given("--virtual");
    const std::optional<int> count = parsed.number("--count");
    const std::optional<int> idleTimeout = parsed.number("--idle-timeout");
    if (args.ok() && out.empty()) {
        args.fail("no output file given");
    } else if (args.ok() && inputName.has_value() == offered) {
        args.fail(offered ? "give either --input PORT or --virtual, not both"
                          : "give --input PORT (see 'vaneto ports --input') or --virtual");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }
    const std::filesystem::path folder = std::filesystem::path(out).parent_path();
    std::error_code ignored;
    if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
        return context_.failure("receive",
                                "cannot write " + out + ": no folder " + folder.string());
    }

    const std::unique_ptr<MidiInService> input = openInput_();
    auto store = std::make_unique<DvVaneto>();
    Reception reception(*store);
    std::string error;
    std::string listening;
    if (offered) {
        if (!input->openVirtual(CliMidiInput::virtualPortName, reception)) {
            return context_.failure("receive", input->lastError());
        }
        listening = std::string("Receiving on the port \"") + CliMidiInput::virtualPortName +
                    "\": send to it from the editor or with 'vaneto send --port virtual'.";
    } else {
        const std::optional<unsigned> port = CliMidiInput::findPort(*input, *inputName, error);
        if (!port) {
            return context_.failure("receive", error);
        }
        if (!input->open(*port, reception)) {
            return context_.failure("receive", input->lastError());
        }
        listening = "Receiving from \"" + input->portName(*port) + "\".";
    }
    context_.err << listening << " Ctrl-C ends and writes what came whole.\n" << std::flush;

    Clock& clock = realClock();
    const std::int64_t started = clock.microseconds();
    std::size_t told = 0; // banks already told
    bool lineOpen = false;
    int lastTenth = -1;
    // What there is to say is gathered under the lock and written after it: a terminal or a
    // pipe that does not read must never hold up the reading thread.
    std::string said, results;
    const auto tell = [&](const BankDumpReceiver& receiver) {
        for (const std::string& note : reception.receiver.takeNotes()) {
            said += std::string(lineOpen ? "\n" : "") + "vaneto receive: " + note + '\n';
            lineOpen = false;
        }
        for (; told < receiver.banks().size(); ++told) {
            said += lineOpen ? "\n" : "";
            lineOpen = false;
            results += BankDumpReceiver::describe(receiver.banks()[told]) + '\n';
            lastTenth = -1;
        }
    };
    const auto write = [&] {
        context_.err << said << std::flush;
        context_.out << results << std::flush;
        said.clear();
        results.clear();
    };
    {
        // Declared before the lock: its thread may wait for the lock while it is destroyed.
        SignalWatcher watcher([&reception](int) {
            {
                std::lock_guard<std::mutex> guard(reception.mutex);
                reception.interrupted = true;
            }
            reception.changed.notify_all();
        });
        {
            std::lock_guard<std::mutex> lock(reception.mutex);
            reception.lastByte = started;
        }
        for (bool ended = false; !ended; write()) {
            std::unique_lock<std::mutex> lock(reception.mutex);
            reception.changed.wait_for(lock, std::chrono::milliseconds(250));
            tell(reception.receiver);
            const std::int64_t now = clock.microseconds();
            const bool quiet = idleTimeout.has_value() &&
                               now - reception.lastByte >= std::int64_t{*idleTimeout} * 1'000'000;
            ended =
                reception.interrupted || reception.gone || quiet ||
                (count && reception.receiver.banks().size() >= static_cast<std::size_t>(*count));
            const BankDumpReceiver::Progress progress = reception.receiver.progress(now);
            if (ended || !progress.receiving) {
                continue;
            }
            if (context_.stderrIsTerminal) {
                said += '\r' + progressLine(progress) + "\x1b[K";
                lineOpen = true;
            } else if (progress.bankMessage) {
                const int tenth =
                    static_cast<int>(progress.bytes * 10 / BankDumpReceiver::dataMessageLength);
                if (tenth != lastTenth) {
                    said += progressLine(progress) + '\n';
                    lastTenth = tenth;
                }
            }
        }
    }
    // The reading thread ends here; nothing reaches the receiver after it.
    input->close();
    reception.receiver.end();
    tell(reception.receiver);
    write();
    if (lineOpen) {
        context_.err << '\n';
    }

    const BankDumpReceiver& receiver = reception.receiver;
    if (receiver.foreignMessages() > 0) {
        context_.err << "vaneto receive: " << receiver.foreignMessages()
                     << " other System Exclusive message(s) passed over\n";
    }
    if (receiver.otherBankMessages() > 0) {
        context_.err << "vaneto receive: " << receiver.otherBankMessages()
                     << " data message(s) for banks beyond the seventh passed over\n";
    }
    if (receiver.overruns() > 0) {
        context_.err << "vaneto receive: our own input overran " << receiver.overruns()
                     << " time(s): bytes were lost in this computer, not on the cable\n";
    }
    const std::vector<int> whole = receiver.wholeBanks();
    if (!whole.empty()) {
        if (!BankFile::save(out, *store, whole, error)) {
            return context_.failure("receive", error);
        }
        context_.err << "vaneto receive: wrote " << out << ": " << bankList(whole)
                     << (whole.size() == 1
                             ? " in the one-bank layout (the editor asks before loading it "
                               "into another bank)"
                             : " after a conductor track")
                     << ", with the factory names\n";
    }
    if (reception.interrupted) {
        context_.err << "vaneto receive: interrupted\n";
        return cliInterrupted;
    }
    if (reception.gone) {
        return context_.failure("receive", *reception.gone);
    }
    if (receiver.banks().empty()) {
        return context_.failure("receive", "no bank came");
    }
    for (const BankDumpReceiver::Bank& bank : receiver.banks()) {
        if (!bank.whole) {
            return context_.failure("receive", "a bank came damaged and was not written");
        }
    }
    return cliOk;
}
