#pragma once

#include <cstdint>
#include <span>
#include <string>

// Where received MIDI goes. Every call comes from the service's reading thread, one at a time;
// a listener must return quickly (the next bytes wait meanwhile) and must not call the service.
class MidiInListener {
public:
    virtual ~MidiInListener() = default;
    // MIDI bytes in the order they arrived, in pieces of any size: System Exclusive as it came
    // (F0 ... F7, in chunks), other messages as their status and data bytes. microseconds is
    // the steady time of their arrival (the clock the service was given).
    virtual void received(std::span<const std::uint8_t> bytes, std::int64_t microseconds) = 0;
    // Our own input queue overflowed before the reading thread could empty it: events were lost
    // here, not on the cable.
    virtual void overrun() = 0;
    // The port we listen to went away (the interface was unplugged); nothing more will come.
    virtual void sourceGone(const std::string& why) = 0;
};

// The MIDI input service: the ports one can receive from, and one reception at a time, either
// from such a port or on a port of our own that other programs send to. The ALSA sequencer
// backend is AlsaMidiInService (vaneto_alsa_in). No call throws.
class MidiInService {
public:
    MidiInService() = default;
    MidiInService(const MidiInService&) = delete;
    MidiInService& operator=(const MidiInService&) = delete;
    virtual ~MidiInService();

    // Ports that can be read from, numbered 0 ... portCount() - 1 in a stable order.
    virtual unsigned portCount() = 0;
    // Full name of a port; "" for a number out of range.
    virtual std::string portName(unsigned port) = 0;

    // Starts receiving from a port; the listener must outlive the reception (until close).
    // Answers false with lastError() set when the port cannot be listened to.
    virtual bool open(unsigned port, MidiInListener& listener) = 0;
    // Starts receiving on a port of our own, listed to others under the given name.
    virtual bool openVirtual(const std::string& name, MidiInListener& listener) = 0;
    // Ends the reception; once it returns the listener is never called again. Safe to call when
    // nothing is open.
    virtual void close() = 0;

    virtual std::string lastError() const = 0;
};
