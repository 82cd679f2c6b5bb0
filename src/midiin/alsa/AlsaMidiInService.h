#pragma once

#include "midiin/MidiInService.h"
#include "midiout/alsa/AlsaSequencerPorts.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Clock;
struct _snd_seq;

// MIDI input through the ALSA sequencer: a client of its own with one input port, which either
// subscribes to the port to receive from or is itself offered to other programs under a name
// (a virtual port). The port list holds every port that can be read from and subscribed, except
// those of the system client and this program's own, in client and port order.
//
// A reading thread of its own waits on the sequencer and hands every event on at once: System
// Exclusive chunks as they are, other MIDI messages as their bytes. The input pool is raised to
// the kernel's largest, so that a bank arriving at wire speed waits there in full even when the
// thread is late; should the pool still overflow, the listener hears overrun(). The system
// client's announcements tell when the source port or its client goes away.
class AlsaMidiInService final : public MidiInService {
public:
    // The kernel's limit on a client's input pool (events waiting to be read).
    static constexpr int inputPool = 2000;

    explicit AlsaMidiInService(Clock& clock, std::string clientName = "vaneto");
    ~AlsaMidiInService() override;

    bool isAvailable() const { return seq_ != nullptr; }

    unsigned portCount() override;
    std::string portName(unsigned port) override;
    bool open(unsigned port, MidiInListener& listener) override;
    bool openVirtual(const std::string& name, MidiInListener& listener) override;
    void close() override;
    std::string lastError() const override;

private:
    using PortAddress = AlsaPortAddress;

    std::vector<PortAddress> listPorts();
    bool start(const std::string& portName, bool offered, const PortAddress* source,
               MidiInListener& listener);
    void run();
    // Hands on the events waiting in the sequencer; answers false once the source is gone.
    bool drain(void* decoder);
    bool fail(const std::string& text);

    Clock& clock_;
    _snd_seq* seq_ = nullptr;
    int ownClient_ = -1;
    int ownPort_ = -1;
    PortAddress source_; // client -1 while receiving on a port of our own
    MidiInListener* listener_ = nullptr;
    std::vector<PortAddress> ports_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_; // lastError_ and every libasound call
    std::string lastError_;
};
