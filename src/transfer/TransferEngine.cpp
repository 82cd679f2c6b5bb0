#include "transfer/TransferEngine.h"

#include "transfer/TransferObserver.h"
#include "files/Utf8Text.h"
#include "device/DvVaneto.h"
#include "midiout/Clock.h"
#include "midiout/Interruption.h"
#include "midiout/LoMidiInterfaceTransmitter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <system_error>
#include <thread>

namespace {

constexpr std::uint32_t pollMilliseconds = 250;

} // namespace

TransferEngine::TransferEngine(const DvVaneto& store, std::shared_ptr<MidiOutService> service,
                               Clock& clock)
    : store_(store), service_(std::move(service)), clock_(clock) {}

TransferEngine::~TransferEngine() = default;

double TransferEngine::estimateSeconds(const LoMidiEventList& list, double bytesPerSecond) {
    if (!(bytesPerSecond > 0)) {
        bytesPerSecond = SysexPacer::wireBytesPerSecond;
    }
    double seconds = 0.0;
    for (const LoMidiEvent& event : list) {
        seconds += static_cast<std::uint32_t>(event.delay()) / 1000.0 +
                   static_cast<double>(event.size()) / bytesPerSecond;
    }
    return seconds;
}

std::string TransferEngine::bankText(int bank, const std::string& name) {
    std::ostringstream text;
    text << "Sending Bank " << bank + 1 << ": \"" << name << "\"...";
    return text.str();
}

std::string TransferEngine::minutes(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

void TransferEngine::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
    if (transmitter_ != nullptr) {
        transmitter_->stop();
    }
}

TransferEngine::Failure TransferEngine::failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

TransferEngine::Result TransferEngine::run(const Request& request, TransferObserver& observer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = Failure{};
    }
    Failure failure;
    observer.status("");
    observer.showProgress(true);
    observer.status("Initializing...");

    // Opens the port, waits 600 ms, silences every channel and waits 600 ms.
    auto transmitter = std::make_unique<LoMidiInterfaceTransmitter>(request.port, service_, clock_);
    transmitter->setPace(request.bytesPerSecond);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transmitter_ = transmitter.get();
        if (stopping_.load()) {
            transmitter->stop();
        }
    }
    auto eventList = std::make_unique<LoMidiEventList>();

    std::vector<int> banks = request.banks ? request.banks() : std::vector<int>{};
    bool failed = false;
    if (!transmitter->isOpen()) {
        failure.portNotOpened = true;
        failure.reason = transmitter->failure();
        failed = true;
        banks.clear(); // nothing can be sent through a port that is not open
    }
    for (const int bank : banks) {
        if (stopping_.load()) {
            break;
        }
        *eventList = store_.bankDump(bank, request.channel);
        const double estimate = estimateSeconds(*eventList, request.bytesPerSecond);
        observer.progress(bank, 0, 0.0);

        // Raised when send returns, so that the polling below ends at once, not a poll later;
        // a stop makes send return.
        Interruption ended;
        bool sent = false;
        std::thread transmission;
        try {
            transmission = std::thread([&] {
                observer.status(willStartText);
                sent = transmitter->send(*eventList);
                ended.raise();
            });
        } catch (const std::system_error& error) {
            failure.bank = bank;
            failure.reason = std::string("the transmission could not be started: ") + error.what();
            failed = true;
            break;
        }
        // Until playing begins; a send that ends without ever being busy ends the wait too.
        while (!transmitter->isBusy() && !ended.isRaised()) {
            clock_.sleepUnless(pollMilliseconds, ended);
        }
        observer.status(startedText);
        const std::int64_t start = clock_.seconds();
        observer.progress(bank, clock_.seconds() - start, estimate);
        observer.status(bankText(bank, displayName(store_.bankName(bank))));
        while (transmitter->isBusy()) {
            observer.progress(bank, clock_.seconds() - start, estimate);
            clock_.sleepUnless(pollMilliseconds, ended);
        }
        observer.status(stoppedText);
        // Busy has fallen: send has returned and its thread is ending.
        transmission.join();
        observer.bankEnded(bank, sent);
        if (!sent && !stopping_.load()) {
            failure.bank = bank;
            failure.bytesSent = transmitter->bytesSent();
            failure.bytesTotal = transmitter->bytesInList();
            failure.reason = transmitter->failure();
            failed = true;
            break;
        }
    }

    observer.progress(-1, 0, 0.0);
    observer.status("Releasing...");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transmitter_ = nullptr;
    }
    transmitter.reset(); // closes the port once what was handed over has gone out
    eventList->clear();
    eventList.reset();
    observer.status("");
    observer.showProgress(false);

    if (failed) {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = failure;
        return Result::failed;
    }
    return stopping_.load() ? Result::stopped : Result::sent;
}
