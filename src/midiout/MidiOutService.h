#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The MIDI output service: the operations the port list and the transmitter need from the
// machine's MIDI system. Backends: the ALSA sequencer (vaneto_alsa, AlsaMidiOutService) and an
// in-process simulation (SimulatedMidiOutService). No call throws and no call blocks for long:
// a long message is handed over at once and played in the background.
//
// A port is opened into a handle; every later call names the handle. Notifications about the
// handle (opened, closed, a long message done) go to the callback given to open, with the
// message numbers below; the callback may run on a thread of the service and must not call the
// service back.

// Opaque handle of an open port; 0 is never a valid handle.
using MidiOutHandle = std::uint32_t;
inline constexpr MidiOutHandle noMidiOutHandle = 0;

// Result of a service call.
enum class MidiOutResult : int {
    ok = 0,
    error = 1,         // the call failed in the MIDI system; lastError() tells more
    badPort = 2,       // no port with this number (or the port refused to be opened)
    invalidHandle = 5, // the handle is not open
    unprepared = 64,   // a long message was sent without being prepared first
    stillPlaying = 65, // the buffer of a long message is still being sent
};

// Notification message numbers passed to the callback.
inline constexpr std::uint32_t midiOutOpened = 0x3C7; // param1 and param2 are 0
inline constexpr std::uint32_t midiOutClosed = 0x3C8; // param1 and param2 are 0
inline constexpr std::uint32_t midiOutDone = 0x3C9;   // param1 is the address of the header
// param2 of midiOutDone when the buffer could not be sent (the port is gone, the system failed):
// the sender need not wait for the buffer's wire time to learn it.
inline constexpr std::uintptr_t midiOutDoneFailed = 1;

// Called with the handle, a message number and two parameters.
using MidiOutCallback = std::function<void(MidiOutHandle handle, std::uint32_t message,
                                           std::uintptr_t param1, std::uintptr_t param2)>;

// One long message (a complete System Exclusive message, F0 ... F7) handed to the service.
// The bytes stay owned by the caller and must stay unchanged from longMessage until unprepare
// answers ok. flags and bytesSent belong to the service: set them to 0 before prepare and leave
// them alone.
struct MidiOutHeader {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    std::uint32_t flags = 0;
    // Set by the release that ends the buffer: how many of its bytes went out (all of them
    // unless it failed or was stopped).
    std::uint32_t bytesSent = 0;
};

// Bits of MidiOutHeader::flags.
inline constexpr std::uint32_t midiOutHeaderPrepared = 0x2;
inline constexpr std::uint32_t midiOutHeaderQueued = 0x4;

class MidiOutService {
public:
    MidiOutService() = default;
    MidiOutService(const MidiOutService&) = delete;
    MidiOutService& operator=(const MidiOutService&) = delete;
    virtual ~MidiOutService();

    // Number of output ports; ports are numbered 0 ... portCount() - 1 in a stable order.
    // 0 when the machine has no MIDI system.
    virtual unsigned portCount() = 0;
    // Full name of a port; "" for a port number out of range.
    virtual std::string portName(unsigned port) = 0;

    // Opens a port. On success handle is set and midiOutOpened goes to the callback; on failure
    // handle is noMidiOutHandle.
    virtual MidiOutResult open(MidiOutHandle& handle, unsigned port, MidiOutCallback callback) = 0;
    // Sends one channel message: status in the low byte, first data byte in the next byte,
    // second data byte above it.
    virtual MidiOutResult shortMessage(MidiOutHandle handle, std::uint32_t packed) = 0;
    // Registers a header's buffer for sending.
    virtual MidiOutResult prepare(MidiOutHandle handle, MidiOutHeader& header) = 0;
    // Starts sending a prepared buffer and returns at once; midiOutDone follows when the buffer
    // has been sent. A failure while sending is answered by unprepare.
    virtual MidiOutResult longMessage(MidiOutHandle handle, MidiOutHeader& header) = 0;
    // Releases the buffer: stillPlaying while it is still on its way (ask again later), error
    // when sending it failed, ok otherwise.
    virtual MidiOutResult unprepare(MidiOutHandle handle, MidiOutHeader& header) = 0;
    // Stops the long messages still on their way at a chunk boundary and ends one that was cut
    // short with F7, so that the receiver is not left inside a System Exclusive message; sends
    // nothing else. Returns once the bytes handed over (the F7 included) have had their wire
    // time, so that closing the port afterwards loses none of them. The buffers are done:
    // unprepare answers ok.
    virtual MidiOutResult reset(MidiOutHandle handle) = 0;
    // Sends what is pending, ends a long message still playing as reset does, closes the port
    // and sends midiOutClosed to the callback. The handle is invalid afterwards, and once close has
    // returned the callback is never called again.
    virtual MidiOutResult close(MidiOutHandle handle) = 0;

    // Text describing the latest failure of any call ("" if nothing failed yet).
    virtual std::string lastError() const = 0;
};

// The process-wide service used by the port list and by transmitters not given another one.
// Until a program installs its backend this is an empty simulated service with no ports.
std::shared_ptr<MidiOutService> defaultMidiOutService();
// Replaces the default service; nullptr restores the empty one. Meant for program start and
// tests; transmitters already made keep the service they were made with.
void setDefaultMidiOutService(std::shared_ptr<MidiOutService> service);
