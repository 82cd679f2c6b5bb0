#pragma once

#include "midiout/MidiOutService.h"

#include "midiout/Clock.h"

#include <memory>
#include <mutex>

// Passes every call on to a MIDI output service until interrupt() is called. Interrupting
// stops a System Exclusive message that is still on its way and ends it with F7 (on the same
// port, opened once more for that one byte), so that the synthesizer is not left waiting for
// the end of a message; it then closes the port. From then on every call answers
// invalidHandle, except close, which answers ok, so that a transmitter in the middle of a send
// runs to its end without touching the port again.
class InterruptibleMidiOutService final : public MidiOutService {
public:
    // clock paces the wait for the closing F7 (it must not be the one that is interrupted).
    InterruptibleMidiOutService(std::shared_ptr<MidiOutService> inner, Clock& clock);

    unsigned portCount() override;
    std::string portName(unsigned port) override;
    MidiOutResult open(MidiOutHandle& handle, unsigned port, MidiOutCallback callback) override;
    MidiOutResult shortMessage(MidiOutHandle handle, std::uint32_t packed) override;
    MidiOutResult prepare(MidiOutHandle handle, MidiOutHeader& header) override;
    MidiOutResult longMessage(MidiOutHandle handle, MidiOutHeader& header) override;
    MidiOutResult unprepare(MidiOutHandle handle, MidiOutHeader& header) override;
    MidiOutResult close(MidiOutHandle handle) override;
    std::string lastError() const override;

    // Safe to call from any thread, more than once. Answers whether a message was cut short
    // (and ended with F7).
    bool interrupt();

private:
    std::shared_ptr<MidiOutService> inner_;
    Clock& clock_;
    mutable std::mutex mutex_;
    bool interrupted_ = false;
    MidiOutHandle handle_ = noMidiOutHandle; // the one open handle
    unsigned port_ = 0;
    MidiOutHeader* inFlight_ = nullptr; // the long message handed over and not yet released
};
