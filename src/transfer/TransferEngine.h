#pragma once

#include "midi/LoMidiEvent.h"
#include "midiout/SysexPacer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Clock;
class DvVaneto;
class LoMidiInterfaceTransmitter;
class MidiOutService;
class TransferObserver;

// One transfer of banks to the synthesizer, for the editor and the command-line tool alike: one
// transmitter for the whole transfer (the port is opened and silenced once), then per bank its
// dump played on a transmission thread of its own while the progress follows the transmitter's
// busy flag against the expected duration, polled every 250 ms. The status texts go to the
// observer in the editor's order; the transmitter keeps its own timing.
//
// stop may come from any thread at any moment: the message in flight is ended with F7, nothing
// more is sent, and run goes on to "Releasing..." at once. A failure reported by the port ends
// the transfer at the failed bank; the banks after it are not tried.
class TransferEngine {
public:
    enum class Result { sent, stopped, failed };

    struct Request {
        std::uint16_t port = 0;
        std::string portName; // for messages
        int channel = 0;      // 0 ... 15
        // Asked once the port has been opened: the banks to send (indices 0 ... 6), in order.
        std::function<std::vector<int>()> banks;
        // The pace at which the port sends long messages, for the estimates.
        double bytesPerSecond = SysexPacer::wireBytesPerSecond;
    };

    // What went wrong, when run answers failed.
    struct Failure {
        bool portNotOpened = false;
        int bank = -1;               // the bank that failed, -1 when none was playing
        std::uint64_t bytesSent = 0; // of that bank's dump
        std::uint64_t bytesTotal = 0;
        std::string reason; // the port's own words
    };

    static constexpr const char* willStartText = "Sending will starting...";
    static constexpr const char* startedText = "Sending is started...";
    static constexpr const char* stoppedText = "Sending is stopped...";

    // The store and the clock must outlive the engine.
    TransferEngine(const DvVaneto& store, std::shared_ptr<MidiOutService> service, Clock& clock);
    ~TransferEngine();
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    // Runs one transfer on the calling thread and answers once the port is closed again.
    Result run(const Request& request, TransferObserver& observer);
    // Ends the transfer as soon as possible (see above). Safe from any thread, at any time, more
    // than once; a stop before run makes run send nothing.
    void stop();
    bool isStopping() const { return stopping_.load(); }
    Failure failure() const;

    // Seconds a list is expected to take: each event's delay plus its bytes at the given pace.
    static double estimateSeconds(const LoMidiEventList& list, double bytesPerSecond);
    // The status text of a bank being sent: Sending Bank 3: "Strings"...
    static std::string bankText(int bank, const std::string& name);
    // "1:05", "12:00": seconds as minutes and seconds, rounded.
    static std::string minutes(double seconds);

private:
    const DvVaneto& store_;
    std::shared_ptr<MidiOutService> service_;
    Clock& clock_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_; // transmitter_ and failure_
    LoMidiInterfaceTransmitter* transmitter_ = nullptr;
    Failure failure_;
};
