#pragma once

#include "midi/LoMidiEvent.h"
#include "midiout/Interruption.h"
#include "midiout/MidiOutService.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class Clock;

// One open MIDI output port for one transfer. The constructor opens the port, waits 600 ms,
// sends All Notes Off on all 16 channels (and channel 1 once more) and waits 600 ms again;
// send plays a list of System Exclusive events, each after its delay; the destructor closes
// the port. Diagnostic lines go to the standard error stream.
//
// stop ends a transfer early: the message in flight is ended at a chunk boundary with F7, nothing
// more goes out and send returns at once. A failure the service reports for a message in flight
// ends send at once too, instead of after the retry wait meant for a port that is merely busy.
//
// Threads: send runs on one thread at a time and is not re-entered; isBusy, isOpen,
// sendFailed and stop may be used from any thread; MidiCompletion runs on the service's thread.
class LoMidiInterfaceTransmitter {
public:
    // Uses the default MIDI output service and the real clock.
    explicit LoMidiInterfaceTransmitter(std::uint16_t port);
    LoMidiInterfaceTransmitter(std::uint16_t port, std::shared_ptr<MidiOutService> service,
                               Clock& clock);
    LoMidiInterfaceTransmitter(const LoMidiInterfaceTransmitter&) = delete;
    LoMidiInterfaceTransmitter& operator=(const LoMidiInterfaceTransmitter&) = delete;
    virtual ~LoMidiInterfaceTransmitter();

    // Plays the events in order: waits each event's delay (milliseconds) before handing it to
    // the port and returns once the port has released every buffer. Events without bytes are
    // skipped with their delays. An empty list returns at once and leaves isBusy false. The
    // list must stay unchanged until send returns. Answers false when the port is not open,
    // when a call on the port failed (the rest of the list is not sent then), or when stopped.
    bool send(const LoMidiEventList& list);

    // The pace (bytes per second) at which the service sends long messages, when it is not
    // the wire rate: the wait before asking again for a buffer still playing keeps the same
    // ratio to the pace as at the wire rate (3 bytes per millisecond there, a little below
    // 3.125), so that a slower pace does not leave a buffer that has long gone out waiting for
    // a retry sized for the faster one.
    void setPace(double bytesPerSecond);

    // Ends the current send, and every later one, as soon as possible: sleeps are cut short, a
    // long message in flight is ended with F7 by the service, nothing more is handed over.
    // The port stays open until the transmitter is destroyed.
    void stop();
    bool isStopped() const { return stopped_.load(); }
    // Bytes of the last list sent that went out whole to the port so far (the one that failed
    // or was stopped counted as far as it went), and the list's total.
    std::uint64_t bytesSent() const { return bytesSent_.load(); }
    std::uint64_t bytesInList() const { return bytesInList_.load(); }

    // True from before the first event is prepared until the last buffer has been released.
    bool isBusy() const { return busy.load(); }
    // Whether the port opened in the constructor.
    bool isOpen() const { return opened_.load(); }
    // Whether any call on the port (All Notes Off included) has failed since construction.
    bool sendFailed() const { return failed_.load(); }
    // The first failure as a line of text ("" while nothing failed).
    std::string failure() const;

    // Completion handler registered with the port: writes one diagnostic line per notification
    // ("\t\t\tMidiCompletion - MOM_OPEN:\n", "...MOM_CLOSE:\n", "...MOM_DONE:\n", or
    // "...DEFAULT: <message in lower-case hex> !!!\n"). A midiOutDone that reports a failure
    // also ends the wait of send for that buffer.
    void MidiCompletion(MidiOutHandle handle, std::uint32_t message, std::uintptr_t param1,
                        std::uintptr_t param2);

private:
    void allNotesOff();
    // Sleeps unless stopped or a failure was reported meanwhile; answers whether it slept whole.
    bool pause(std::uint32_t milliseconds);
    // Lowers the wake-up raised by a reported failure, unless stop has been asked.
    void rearm();
    // Records a failed call (result other than ok) and answers whether it succeeded.
    bool check(MidiOutResult result, const char* operation);

    std::shared_ptr<MidiOutService> service_;
    Clock& clock_;
    MidiOutHandle handle_ = noMidiOutHandle;
    MidiOutHeader header_;
    double retryBytesPerMillisecond_ = 3.0;
    std::atomic<bool> busy{false};
    std::atomic<bool> opened_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> failedThisSend_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> failureReported_{false};
    std::atomic<std::uint64_t> bytesSent_{0};
    std::atomic<std::uint64_t> bytesInList_{0};
    // Raised by stop and by a failure reported by the service; cuts the pauses short.
    Interruption wake_;
    mutable std::mutex failureMutex_;
    std::string failure_;
};
