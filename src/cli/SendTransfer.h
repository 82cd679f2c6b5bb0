#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Clock;
class DvVaneto;
class InterruptibleClock;
class InterruptibleMidiOutService;
class MidiOutService;
class SendProgress;

// One transfer of banks to the synthesizer, the way the editor's send worker does it: one
// transmitter for the whole transfer (opening and silencing the port once), then per bank its
// dump on the chosen channel played on a transmission thread while the progress follows the
// transmitter's busy flag against the expected duration. Unlike the editor it can be stopped
// from another thread at any moment.
class SendTransfer {
public:
    enum class Result { sent, failed, interrupted };

    SendTransfer(std::shared_ptr<MidiOutService> service, Clock& clock);
    ~SendTransfer();

    // banks are indices 0 ... 6 in sending order, channel 0 ... 15. On failure error tells why.
    Result run(const DvVaneto& store, std::uint16_t port, const std::vector<int>& banks,
               int channel, SendProgress& progress, std::string& error);
    // Stops the transfer: the message in flight is ended with F7, the port closed, and run
    // returns interrupted soon after. Safe from any thread.
    void interrupt();

    // Seconds the editor expects one bank to take: its events' delays and bytes at the MIDI
    // wire rate.
    static double estimateSeconds(const DvVaneto& store, int bank, int channel);

private:
    Clock& clock_;
    std::unique_ptr<InterruptibleClock> interruptibleClock_;
    std::shared_ptr<InterruptibleMidiOutService> service_;
    std::atomic<bool> interrupted_{false};
};
