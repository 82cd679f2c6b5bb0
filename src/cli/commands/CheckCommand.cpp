#include "cli/commands/CheckCommand.h"

#include "transfer/TransferEngine.h"
#include "cli/CliArguments.h"
#include "cli/CliMidiInput.h"
#include "cli/commands/SendCommand.h"
#include "cli/SignalWatcher.h"
#include "midiin/BankDumpReceiver.h"
#include "midiin/LoopbackProbe.h"
#include "midiin/MidiInService.h"
#include "midiin/SysexAssembler.h"
#include "midiout/Clock.h"
#include "midiout/LoMidiInterfaceTransmitter.h"
#include "midiout/MidiOutPortList.h"
#include "midiout/SysexPacer.h"
#ifdef VANETO_HAVE_ALSA
#include "midiout/alsa/AlsaMidiOutService.h"
#endif

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <ostream>

namespace {

// The rates --find-rate tries, fastest first.
constexpr std::array<int, 8> walkedRates = {3125, 2500, 2000, 1500, 1000, 500, 250, 100};
constexpr const char* nothingBackText =
    "nothing came back: is the interface's MIDI OUT wired to the MIDI IN named by --input?";
// How long the check waits for more once nothing has come back for a while.
constexpr std::int64_t quietMicroseconds = 1'000'000;

// Collects the test messages that come back, under one lock.
class Catcher final : public MidiInListener {
public:
    explicit Catcher(std::size_t keepAtMost) : assembler(keepAtMost) {}

    void received(std::span<const std::uint8_t> bytes, std::int64_t microseconds) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            assembler.feed(bytes, microseconds, done);
            lastByte = microseconds;
        }
        changed.notify_all();
    }
    void overrun() override {
        std::lock_guard<std::mutex> lock(mutex);
        ++overruns;
    }
    void sourceGone(const std::string& why) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            gone = why;
        }
        changed.notify_all();
    }
    // The first test message that came back and ended (by its F7 or cut short), or null.
    const SysexAssembler::Message* finishedProbe() const {
        for (const SysexAssembler::Message& message : done) {
            if (LoopbackProbe::isProbe(message.bytes)) {
                return &message;
            }
        }
        return nullptr;
    }
    // That message, else one still coming in; nothing when none came.
    std::optional<SysexAssembler::Message> probe() const {
        if (const SysexAssembler::Message* finished = finishedProbe()) {
            return *finished;
        }
        if (assembler.inMessage() && LoopbackProbe::isProbe(assembler.pending().bytes)) {
            return assembler.pending();
        }
        return std::nullopt;
    }
    void reset(std::size_t keepAtMost) {
        std::lock_guard<std::mutex> lock(mutex);
        assembler = SysexAssembler(keepAtMost);
        done.clear();
        overruns = 0;
    }

    std::mutex mutex;
    std::condition_variable changed;
    SysexAssembler assembler;
    std::vector<SysexAssembler::Message> done;
    std::int64_t lastByte = 0;
    std::size_t overruns = 0;
    std::optional<std::string> gone;
};

std::shared_ptr<MidiOutService> outputAt(double rate) {
#ifdef VANETO_HAVE_ALSA
    AlsaMidiOutService::Options options;
    options.clientName = "vaneto";
    options.bytesPerSecond = rate;
    return std::make_shared<AlsaMidiOutService>(realClock(), options);
#else
    (void)rate;
    return defaultMidiOutService();
#endif
}

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

} // namespace

// The ports of a check, what comes back, and the transmitter under way (so that Ctrl-C can stop
// it).
struct CheckCommand::Session {
    std::string port;  // output, as listed
    std::string input; // input, as listed
    Catcher catcher{LoopbackProbe::defaultLength};
    std::mutex mutex;
    LoMidiInterfaceTransmitter* current = nullptr;
    std::atomic<bool> interrupted{false};
};

struct CheckCommand::Outcome {
    double rate = 0;
    bool sent = false;
    std::string failure; // why it could not be sent
    LoopbackProbe::Figures figures;
    bool ended = false; // its F7 came back
    std::size_t overruns = 0;
    double seconds = 0; // from the first byte back to the last
    double delay = -1;  // seconds from handing it over to the first byte back
    bool clean() const {
        return sent && ended && overruns == 0 && figures.lost == 0 && figures.extra == 0 &&
               figures.difference < 0;
    }
    std::string summary() const {
        std::string text = std::to_string(static_cast<int>(rate)) +
                           " bytes/s: " + std::to_string(figures.received) + " of " +
                           std::to_string(figures.sent) + " bytes back";
        if (clean()) {
            return text + ", clean";
        }
        if (figures.lost > 0) {
            text += ", " + std::to_string(figures.lost) + " lost";
        }
        if (figures.difference >= 0) {
            text += ", first difference at byte " + std::to_string(figures.difference);
        }
        if (overruns > 0) {
            text += ", our own input overran (not the cable's fault)";
        }
        return text;
    }
};

CheckCommand::Outcome CheckCommand::probe(Session& session, double rate, std::size_t length) {
    const std::string& port = session.port;
    Catcher& catcher = session.catcher;
    Outcome outcome;
    outcome.rate = rate;
    const std::vector<std::uint8_t> message = LoopbackProbe::message(length);
    outcome.figures = LoopbackProbe::compare(message, {});
    const std::shared_ptr<MidiOutService> service = outputAt(rate);
    unsigned index = 0;
    while (index < service->portCount() && service->portName(index) != port) {
        ++index;
    }
    if (index >= service->portCount()) {
        outcome.failure = "the MIDI output port \"" + port + "\" went away";
        return outcome;
    }
    catcher.reset(message.size() + 16);
    Clock& clock = realClock();
    LoMidiInterfaceTransmitter transmitter(static_cast<std::uint16_t>(index), service, clock);
    transmitter.setPace(rate);
    {
        std::lock_guard<std::mutex> lock(session.mutex);
        session.current = &transmitter;
        if (session.interrupted.load()) {
            transmitter.stop();
        }
    }
    LoMidiEventList list;
    list.emplace_back(message.data(), message.data() + message.size(), 0);
    const std::int64_t handedOver = clock.microseconds();
    outcome.sent = transmitter.isOpen() && transmitter.send(list);
    {
        std::lock_guard<std::mutex> lock(session.mutex);
        session.current = nullptr;
    }
    if (!outcome.sent) {
        outcome.failure = transmitter.failure();
    }
    // What is still on its way comes back soon after the last byte went out.
    std::unique_lock<std::mutex> lock(catcher.mutex);
    const std::int64_t sentAt = clock.microseconds();
    for (;;) {
        const std::int64_t now = clock.microseconds();
        const std::int64_t last = std::max(catcher.lastByte, sentAt);
        if (catcher.finishedProbe() != nullptr || catcher.gone || session.interrupted.load() ||
            now - last >= quietMicroseconds) {
            break;
        }
        catcher.changed.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (catcher.gone && outcome.failure.empty()) {
        outcome.failure = *catcher.gone;
    }
    outcome.overruns = catcher.overruns;
    if (const std::optional<SysexAssembler::Message> back = catcher.probe()) {
        outcome.figures = LoopbackProbe::compare(message, back->bytes);
        outcome.figures.received = back->length;
        outcome.ended = back->ended;
        outcome.seconds =
            static_cast<double>(back->lastMicroseconds - back->firstMicroseconds) / 1e6;
        outcome.delay = static_cast<double>(back->firstMicroseconds - handedOver) / 1e6;
    }
    return outcome;
}

void CheckCommand::report(const Session& session, const Outcome& outcome) {
    const LoopbackProbe::Figures& f = outcome.figures;
    std::ostream& out = context_.out;
    out << "\"" << session.port << "\" -> \"" << session.input << "\" at "
        << static_cast<int>(outcome.rate) << " bytes/s\n";
    out << "  sent              " << f.sent << " bytes\n";
    out << "  received          " << f.received << " bytes"
        << (outcome.ended || f.received == 0 ? "" : " (its end, F7, never came)") << '\n';
    out << "  lost              " << f.lost << " bytes\n";
    if (f.extra > 0) {
        out << "  extra             " << f.extra << " bytes\n";
    }
    out << "  first difference  "
        << (f.difference < 0 ? std::string("none") : "at byte " + std::to_string(f.difference))
        << '\n';
    if (outcome.seconds > 0) {
        out << "  rate achieved     "
            << format("%.0f bytes/s (over %.2f s)",
                      static_cast<double>(f.received) / outcome.seconds, outcome.seconds)
            << '\n';
    }
    if (outcome.delay >= 0) {
        out << "  delay             " << format("%.1f ms", outcome.delay * 1000)
            << " from handing over to the first byte back\n";
    }
    if (outcome.overruns > 0) {
        out << "  our own input overran: bytes were lost in this computer, not on the cable\n";
    }
    if (f.received == 0) {
        out << nothingBackText << '\n';
    }
    out << (outcome.clean() ? "every byte arrived\n" : "NOT every byte arrived\n") << std::flush;
}

int CheckCommand::findRate(Session& session) {
    Clock& clock = realClock();
    const std::int64_t started = clock.microseconds();
    const auto took = [&] {
        return TransferEngine::minutes(static_cast<double>(clock.microseconds() - started) / 1e6);
    };
    for (std::size_t step = 0; step < walkedRates.size(); ++step) {
        const double rate = walkedRates[step];
        const Outcome walk = probe(session, rate, LoopbackProbe::defaultLength);
        if (session.interrupted.load()) {
            return cliInterrupted;
        }
        if (!walk.failure.empty()) {
            return context_.failure("check", walk.failure);
        }
        context_.out << walk.summary() << '\n' << std::flush;
        if (walk.figures.received == 0) {
            // Slower rates will not bring back what never comes back.
            context_.out << nothingBackText << "\ntook " << took() << '\n';
            return cliFailed;
        }
        if (!walk.clean()) {
            continue;
        }
        context_.out << "confirming " << walkedRates[step] << " bytes/s with a bank-sized message ("
                     << BankDumpReceiver::dataMessageLength << " bytes, about "
                     << TransferEngine::minutes(
                            static_cast<double>(BankDumpReceiver::dataMessageLength) / rate)
                     << ")...\n"
                     << std::flush;
        const Outcome bank = probe(session, rate, BankDumpReceiver::dataMessageLength);
        if (session.interrupted.load()) {
            return cliInterrupted;
        }
        if (!bank.failure.empty()) {
            return context_.failure("check", bank.failure);
        }
        context_.out << bank.summary() << '\n' << std::flush;
        if (!bank.clean()) {
            continue;
        }
        const bool slowest = step + 1 >= walkedRates.size();
        const int recommended = walkedRates[slowest ? step : step + 1];
        context_.out << "recommended: --rate " << recommended;
        if (slowest) {
            context_.out << " (the slowest rate, and it came through clean)\n";
        } else {
            context_.out << " (one step below " << walkedRates[step]
                         << ", the fastest rate that came through clean)\n";
        }
        context_.out << "took " << took() << '\n';
        return cliOk;
    }
    context_.out << "no rate carried the test message whole from \"" << session.port << "\" to \""
                 << session.input << "\": check the cable and the interface\ntook " << took()
                 << '\n';
    return cliFailed;
}

namespace {

using Takes = CliOption::Takes;
constexpr CliOption commandOptions[] = {
    {.name = "--port", .takes = Takes::text},
    {.name = "--input", .takes = Takes::text},
    {.name = "--rate",
     .takes = Takes::number,
     .what = "rate",
     .first = 100,
     .last = static_cast<int>(SysexPacer::wireBytesPerSecond)},
    {.name = "--bytes",
     .takes = Takes::number,
     .what = "byte count",
     .first = static_cast<int>(LoopbackProbe::shortestLength),
     .last = 1 << 20},
    {.name = "--find-rate"},
};

} // namespace

std::span<const CliOption> CheckCommand::options() {
    return commandOptions;
}

int CheckCommand::run(CliArguments& args) {
    const CliParse parsed = args.parse(commandOptions, 0);
    const std::optional<std::string> port = parsed.word("--port");
    const std::optional<std::string> inputName = parsed.word("--input");
    const std::optional<int> rate = parsed.number("--rate");
    const std::optional<int> bytes = parsed.number("--bytes");
    const bool walk = parsed.given("--find-rate");
    if (args.ok() && !port) {
        args.fail("--port OUT is required (see 'vaneto ports')");
    } else if (args.ok() && !inputName) {
        args.fail("--input IN is required (see 'vaneto ports --input')");
    } else if (args.ok() && walk && (rate || bytes)) {
        args.fail("--find-rate chooses the rates and sizes itself: leave out --rate and --bytes");
    }
    if (!args.ok()) {
        return context_.usage(args);
    }
    std::string error;
    const std::optional<std::uint16_t> portIndex = SendCommand::findPort(*port, error);
    if (!portIndex) {
        return context_.failure("check", error);
    }
    Session session;
    session.port = portName(*portIndex);
    const std::unique_ptr<MidiInService> input = CliMidiInput::open();
    const std::optional<unsigned> inputIndex = CliMidiInput::findPort(*input, *inputName, error);
    if (!inputIndex) {
        return context_.failure("check", error);
    }
    session.input = input->portName(*inputIndex);
    if (!input->open(*inputIndex, session.catcher)) {
        return context_.failure("check", input->lastError());
    }
    int status = cliOk;
    {
        SignalWatcher watcher([&session](int) {
            session.interrupted.store(true);
            std::lock_guard<std::mutex> lock(session.mutex);
            if (session.current != nullptr) {
                session.current->stop();
            }
        });
        if (walk) {
            status = findRate(session);
        } else {
            const Outcome outcome =
                probe(session, rate.value_or(static_cast<int>(SysexPacer::wireBytesPerSecond)),
                      static_cast<std::size_t>(bytes.value_or(LoopbackProbe::defaultLength)));
            if (session.interrupted.load()) {
                status = cliInterrupted;
            } else if (!outcome.failure.empty()) {
                status = context_.failure("check", outcome.failure);
            } else {
                report(session, outcome);
                status = outcome.clean() ? cliOk : cliFailed;
            }
        }
    }
    input->close();
    if (status == cliInterrupted) {
        context_.err << "vaneto check: interrupted; the port is closed\n";
    }
    return status;
}
