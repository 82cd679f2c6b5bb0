#pragma once

#include "midiout/MidiOutService.h"
#include "midiout/SysexPacer.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class Clock;

// In-process MIDI output ports for tests. Every call is logged with its time on the given
// clock; short messages take no time, long messages "play" at the given rate (the MIDI wire
// rate, 3125 bytes per second, by default) and unprepare answers stillPlaying until the last
// byte's wire time has passed. Notifications are delivered on the calling thread: midiOutOpened
// and midiOutClosed within open and close, midiOutDone on the first call made at or after the
// end of the buffer's wire time (or at reset and close). reset and close cut a long message still
// playing after the chunk of 256 bytes being played and end it with F7, as the ALSA backend
// does.
class SimulatedMidiOutService final : public MidiOutService {
public:
    // One call to the service as it was made.
    struct Call {
        enum class Kind { open, shortMessage, prepare, longMessage, unprepare, reset, close };
        Kind kind;
        std::int64_t microseconds; // clock time of the call
        MidiOutHandle handle;      // the handle named (for open: the one given out, 0 on failure)
        std::uint32_t value;       // open: port; shortMessage: packed message; long: length
        MidiOutResult result;
    };
    // Bytes that went out of a port: a short message (its 1 to 3 bytes) or a long message.
    // Byte i of a long message is on the wire at startMicroseconds + i * 1e6 / rate.
    struct Message {
        unsigned port;
        std::int64_t startMicroseconds;
        std::int64_t endMicroseconds; // when the last byte has gone out
        bool isLong;
        std::vector<std::uint8_t> bytes;
    };

    // Ports named as given; bytesPerSecond is the speed at which long messages play.
    SimulatedMidiOutService(Clock& clock, std::vector<std::string> portNames,
                            double bytesPerSecond = SysexPacer::wireBytesPerSecond);

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

    // The next `count` unprepare calls answer stillPlaying whatever the buffer's state.
    void answerStillPlaying(unsigned count);
    // While set, open fails with badPort.
    void failOpening(bool fail);
    // While set, shortMessage fails with error, and a long message is accepted but sends
    // nothing and its unprepare answers error (as a failure in the background would).
    void failSending(bool fail);
    // The port goes away under the long messages still playing (an interface unplugged): they
    // stop where they are, their unprepare answers error, and midiOutDone with
    // midiOutDoneFailed goes to the callback at once, from the calling thread.
    void failPlaying();

    std::vector<Call> calls() const;
    std::vector<Message> messages() const;
    // Number of handles open now.
    unsigned openHandles() const;

private:
    struct Pending {
        MidiOutHeader* header;
        std::int64_t endMicroseconds;
        bool failed;
        bool doneSent;
        std::size_t message; // index in messages_ (unused when failed)
    };
    struct Open {
        unsigned port;
        MidiOutCallback callback;
        std::vector<Pending> pending;
    };
    // Ends the long messages of a port that are still playing at `now` (caller holds mutex_).
    void cutPlaying(Open& port, std::int64_t now);
    // Delivers the due midiOutDone notifications (called without the lock held).
    void deliverDone(std::int64_t now, bool all, MidiOutHandle only);
    MidiOutResult log(Call::Kind kind, MidiOutHandle handle, std::uint32_t value,
                      MidiOutResult result, std::int64_t now);
    MidiOutResult fail(MidiOutResult result, const std::string& text);
    // Logs and answers a call on a handle that is not open.
    MidiOutResult notOpen(Call::Kind kind, MidiOutHandle handle, std::uint32_t value,
                          std::int64_t now);

    Clock& clock_;
    const std::vector<std::string> portNames_;
    const double bytesPerSecond_;
    mutable std::mutex mutex_;
    std::map<MidiOutHandle, Open> open_;
    MidiOutHandle nextHandle_ = 1;
    unsigned stillPlayingAnswers_ = 0;
    bool failOpening_ = false;
    bool failSending_ = false;
    std::string lastError_;
    std::vector<Call> calls_;
    std::vector<Message> messages_;
};
