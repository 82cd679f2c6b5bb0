#include "cli/SendTransfer.h"

#include "cli/InterruptibleClock.h"
#include "cli/InterruptibleMidiOutService.h"
#include "cli/SendProgress.h"
#include "device/DvVaneto.h"
#include "midiout/LoMidiInterfaceTransmitter.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace {

constexpr std::uint32_t pollMilliseconds = 250;

double listSeconds(const LoMidiEventList& list) {
    double seconds = 0.0;
    for (const LoMidiEvent& event : list) {
        seconds += static_cast<std::uint32_t>(event.delay()) / 1000.0 + event.size() / 3125.0;
    }
    return seconds;
}

} // namespace

SendTransfer::SendTransfer(std::shared_ptr<MidiOutService> service, Clock& clock)
    : clock_(clock), interruptibleClock_(std::make_unique<InterruptibleClock>(clock)),
      service_(std::make_shared<InterruptibleMidiOutService>(std::move(service), clock)) {}

SendTransfer::~SendTransfer() = default;

double SendTransfer::estimateSeconds(const DvVaneto& store, int bank, int channel) {
    return listSeconds(store.bankDump(bank, channel));
}

void SendTransfer::interrupt() {
    interrupted_.store(true);
    // The port first: a sleep cut short must not let the next message through.
    service_->interrupt();
    interruptibleClock_->interrupt();
}

SendTransfer::Result SendTransfer::run(const DvVaneto& store, std::uint16_t port,
                                       const std::vector<int>& banks, int channel,
                                       SendProgress& progress, std::string& error) {
    Clock& clock = *interruptibleClock_;
    progress.status("Initializing...");
    auto transmitter = std::make_unique<LoMidiInterfaceTransmitter>(port, service_, clock);
    if (!interrupted_.load() && !transmitter->isOpen()) {
        error = transmitter->failure();
        progress.status("Releasing...");
        transmitter.reset();
        return Result::failed;
    }

    std::vector<double> estimates;
    for (const int bank : banks) {
        estimates.push_back(estimateSeconds(store, bank, channel));
    }
    const int count = static_cast<int>(banks.size());
    bool failed = false;
    for (int k = 0; k < count && !interrupted_.load() && !failed; ++k) {
        const int bank = banks[static_cast<std::size_t>(k)];
        const LoMidiEventList eventList = store.bankDump(bank, channel);
        double later = 0.0;
        for (int j = k + 1; j < count; ++j) {
            later += estimates[static_cast<std::size_t>(j)];
        }
        std::atomic<bool> ended{false};
        bool sent = false;
        std::thread transmission;
        try {
            transmission = std::thread([&] {
                sent = transmitter->send(eventList);
                ended.store(true);
            });
        } catch (const std::system_error& failure) {
            error = std::string("cannot start the transmission: ") + failure.what();
            failed = true;
            break;
        }
        while (!transmitter->isBusy() && !ended.load()) {
            std::this_thread::yield();
            clock_.sleep(10);
        }
        progress.status("Sending Bank " + std::to_string(bank + 1) + ": \"" + store.bankName(bank) +
                        "\"...");
        const std::int64_t start = clock_.microseconds();
        const double estimate = estimates[static_cast<std::size_t>(k)];
        while (!ended.load()) {
            if (interrupted_.load()) {
                // The transmitter finds the port closed and ends within moments.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            progress.update(k + 1, count, (clock_.microseconds() - start) / 1e6, estimate, later);
            clock.sleep(pollMilliseconds);
        }
        transmission.join();
        if (!interrupted_.load()) {
            progress.update(k + 1, count, estimate, estimate, later);
        }
        progress.finish();
        if (!sent && !interrupted_.load()) {
            error = transmitter->failure();
            failed = true;
        }
    }
    progress.status("Releasing...");
    transmitter.reset();
    if (interrupted_.load()) {
        return Result::interrupted;
    }
    return failed ? Result::failed : Result::sent;
}
