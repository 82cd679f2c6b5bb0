#pragma once

#include "midiout/MidiOutService.h"
#include "midiout/SysexPacer.h"
#include "midiout/alsa/AlsaSequencerPorts.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Clock;
struct _snd_seq;

// MIDI output through the ALSA sequencer: one sequencer client named after the program with one
// output port. The port list holds every port that can be written to and subscribed, except
// those of the system client and our own, ordered by client and port number, named by the
// port's name without trailing spaces. Opening a port
// connects our port to it; short messages go out as the matching sequencer events (a
// controller event for Bn cc vv); long messages go out from a thread of the service as a run of
// System Exclusive chunks paced by a SysexPacer, and midiOutDone comes from that thread once the
// last chunk's wire time has passed. reset and close stop a long message between two chunks and
// end it with F7, then wait for the wire time of what was handed over before they return: the
// kernel's port of a hardware interface still holds up to a page of bytes that leave at wire
// speed, and disconnecting drops them.
//
// Every libasound failure is kept for lastError(); a failure while a long message plays stops
// it, makes its unprepare answer error and is told at once to the callback (midiOutDone with
// midiOutDoneFailed). With no sequencer on the machine (no /dev/snd/seq)
// there are no ports and nothing else fails.
class AlsaMidiOutService final : public MidiOutService {
public:
    struct Options {
        std::string clientName = "vaneto";
        // Speed at which long messages are handed over; raise it only for receivers faster
        // than a MIDI cable (tests of virtual ports).
        double bytesPerSecond = SysexPacer::wireBytesPerSecond;
        std::size_t chunkSize = SysexPacer::defaultChunkSize;
        std::size_t backlog = SysexPacer::defaultBacklog;
    };

    explicit AlsaMidiOutService(Clock& clock);
    AlsaMidiOutService(Clock& clock, Options options);
    ~AlsaMidiOutService() override;

    // Whether the sequencer client could be created.
    bool isAvailable() const { return seq_ != nullptr; }

    unsigned portCount() override;
    std::string portName(unsigned port) override;
    MidiOutResult open(MidiOutHandle& handle, unsigned port, MidiOutCallback callback) override;
    MidiOutResult shortMessage(MidiOutHandle handle, std::uint32_t packed) override;
    MidiOutResult prepare(MidiOutHandle handle, MidiOutHeader& header) override;
    MidiOutResult longMessage(MidiOutHandle handle, MidiOutHeader& header) override;
    MidiOutResult unprepare(MidiOutHandle handle, MidiOutHeader& header) override;
    MidiOutResult reset(MidiOutHandle handle) override;
    MidiOutResult close(MidiOutHandle handle) override;
    std::string lastError() const override;

private:
    using PortAddress = AlsaPortAddress;
    struct Job {
        MidiOutHandle handle;
        const MidiOutHeader* header;
        const std::uint8_t* data;
        std::size_t length;
        PortAddress destination;
        bool started = false;  // taken by the thread
        bool finished = false; // the thread is done with it
        bool failed = false;
        std::size_t sent = 0;               // bytes of the message handed over
        std::atomic<bool> stopping{false};  // end it at the next chunk boundary
        std::atomic<bool> cancelled{false}; // drop it at once (the service is going away)
    };
    struct OpenPort {
        PortAddress destination;
        MidiOutCallback callback;
    };

    std::vector<PortAddress> listPorts();
    void run();
    // Plays one job; answers whether every chunk went out.
    bool play(Job& job);
    // Sends one event directly to the destination, retrying a full receiver for a while.
    bool output(void* event, const PortAddress& destination);
    // Keeps text for lastError() and answers result; takes mutex_ (must not be held).
    MidiOutResult fail(MidiOutResult result, const std::string& text);
    // Stops the handle's long messages as reset does; mutex_ must be held through lock.
    void stopJobs(MidiOutHandle handle, std::unique_lock<std::mutex>& lock);
    // Waits until the given steady time; answers false when the job was cancelled first, or,
    // when stoppable, asked to stop.
    bool waitUntil(std::int64_t microseconds, const Job& job, bool stoppable);

    Clock& clock_;
    const Options options_;
    const SysexPacer pacer_;
    _snd_seq* seq_ = nullptr;
    int ownClient_ = -1;
    int ownPort_ = -1;

    mutable std::mutex seqMutex_; // every call into libasound
    mutable std::mutex mutex_;    // everything below
    std::condition_variable wake_;
    std::vector<PortAddress> ports_;
    bool portsListed_ = false;
    std::map<MidiOutHandle, OpenPort> open_;
    MidiOutHandle nextHandle_ = 1;
    std::deque<std::shared_ptr<Job>> jobs_;
    bool stopping_ = false;
    std::string lastError_;
    std::mutex callbackMutex_; // held while a notification runs, so close can wait for it
    std::thread thread_;
};

// Makes an ALSA sequencer service with the real clock the process-wide default MIDI output
// service, pacing long messages at the given rate. Programs call it at start (and again for
// another rate). Answers whether a sequencer was found (without one the port list is empty).
bool installAlsaMidiOutService(const std::string& clientName,
                               double bytesPerSecond = SysexPacer::wireBytesPerSecond);
