#include "midiout/LoMidiInterfaceTransmitter.h"

#include "midiout/Clock.h"
#include "midiout/SysexPacer.h"

#include <cstdio>
#include <utility>

namespace {

constexpr std::uint32_t pauseAfterOpen = 600;      // ms
constexpr std::uint32_t pauseAfterNotesOff = 600;  // ms
constexpr std::uint32_t pauseAfterLongMessage = 1; // ms
// The retry wait's pace at the wire rate: 3 bytes per millisecond against 3.125.
constexpr double retryBytesPerMillisecondAtWire = 3.0;

void writeDiagnostic(const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

LoMidiInterfaceTransmitter::LoMidiInterfaceTransmitter(std::uint16_t port)
    : LoMidiInterfaceTransmitter(port, defaultMidiOutService(), realClock()) {}

LoMidiInterfaceTransmitter::LoMidiInterfaceTransmitter(std::uint16_t port,
                                                       std::shared_ptr<MidiOutService> service,
                                                       Clock& clock)
    : service_(service ? std::move(service) : defaultMidiOutService()), clock_(clock) {
    const MidiOutResult opened = service_->open(
        handle_, port,
        [this](MidiOutHandle handle, std::uint32_t message, std::uintptr_t param1,
               std::uintptr_t param2) { MidiCompletion(handle, message, param1, param2); });
    opened_.store(check(opened, "opening the MIDI output port"));
    busy.store(false);
    pause(pauseAfterOpen);
    allNotesOff();
    pause(pauseAfterNotesOff);
}

bool LoMidiInterfaceTransmitter::pause(std::uint32_t milliseconds) {
    return clock_.sleepUnless(milliseconds, wake_);
}

void LoMidiInterfaceTransmitter::rearm() {
    // A stop stays in force: it may come between clearing and the check.
    wake_.clear();
    if (stopped_.load()) {
        wake_.raise();
    }
}

void LoMidiInterfaceTransmitter::stop() {
    stopped_.store(true);
    wake_.raise();
}

LoMidiInterfaceTransmitter::~LoMidiInterfaceTransmitter() {
    service_->close(handle_);
}

void LoMidiInterfaceTransmitter::allNotesOff() {
    // Controller 123 (All Notes Off), value 0, on channels 1 to 16, then channel 1 once more.
    for (std::uint32_t channel = 0; channel <= 16; ++channel) {
        const std::uint32_t packed = 0x7BB0 | (channel & 0x0F);
        check(service_->shortMessage(handle_, packed), "sending All Notes Off");
    }
}

bool LoMidiInterfaceTransmitter::send(const LoMidiEventList& list) {
    failedThisSend_.store(false);
    bytesSent_.store(0);
    std::uint64_t total = 0;
    for (const LoMidiEvent& event : list) {
        total += event.size();
    }
    bytesInList_.store(total);
    // A failure reported during an earlier send has been dealt with.
    failureReported_.store(false);
    rearm();
    if (list.empty()) {
        return isOpen() && !stopped_.load();
    }
    busy.store(true);
    const auto ending = [this] { return stopped_.load() || failedThisSend_.load(); };
    for (const LoMidiEvent& event : list) {
        if (ending()) {
            break;
        }
        if (event.empty()) {
            continue;
        }
        header_.data = event.bytes.data();
        header_.length = static_cast<std::uint32_t>(event.size());
        header_.flags = 0;
        header_.bytesSent = 0;
        check(service_->prepare(handle_, header_), "preparing a long message");
        // A negative delay (possible in a damaged file) counts as none rather than as ~49 days.
        pause(event.delay() > 0 ? static_cast<std::uint32_t>(event.delay()) : 0);
        if (ending()) {
            // Nothing of this message was handed over; only its header is given back.
            service_->unprepare(handle_, header_);
            break;
        }
        check(service_->longMessage(handle_, header_), "sending a long message");
        pause(pauseAfterLongMessage);
        MidiOutResult released = service_->unprepare(handle_, header_);
        while (released == MidiOutResult::stillPlaying) {
            if (stopped_.load()) {
                // The service ends the message with F7 and waits out its wire time.
                service_->reset(handle_);
            } else if (failureReported_.exchange(false)) {
                // The service said the buffer failed: ask again at once, and wait as usual
                // should it still answer still playing.
                rearm();
            } else {
                writeDiagnostic("midiOutLongMsg() - Asynchron!!!\n");
                pause(static_cast<std::uint32_t>(header_.length / retryBytesPerMillisecond_));
            }
            released = service_->unprepare(handle_, header_);
        }
        check(released, "sending a long message");
        bytesSent_.fetch_add(header_.bytesSent);
    }
    busy.store(false);
    return isOpen() && !failedThisSend_.load() && !stopped_.load();
}

void LoMidiInterfaceTransmitter::setPace(double bytesPerSecond) {
    if (bytesPerSecond > 0) {
        // Exactly 3 at the wire rate, so that the wait is the byte count / 3 there.
        retryBytesPerMillisecond_ =
            bytesPerSecond * retryBytesPerMillisecondAtWire / SysexPacer::wireBytesPerSecond;
    }
}

std::string LoMidiInterfaceTransmitter::failure() const {
    std::lock_guard<std::mutex> lock(failureMutex_);
    return failure_;
}

bool LoMidiInterfaceTransmitter::check(MidiOutResult result, const char* operation) {
    if (result == MidiOutResult::ok) {
        return true;
    }
    failedThisSend_.store(true);
    if (!failed_.exchange(true)) {
        std::string text = operation;
        const std::string detail = service_->lastError();
        if (!detail.empty()) {
            text += ": " + detail;
        }
        std::lock_guard<std::mutex> lock(failureMutex_);
        failure_ = std::move(text);
    }
    return false;
}

void LoMidiInterfaceTransmitter::MidiCompletion(MidiOutHandle, std::uint32_t message,
                                                std::uintptr_t, std::uintptr_t param2) {
    if (message == midiOutDone && param2 == midiOutDoneFailed) {
        failureReported_.store(true);
        wake_.raise();
    }
    std::string line = "\t\t\tMidiCompletion - ";
    switch (message) {
    case midiOutOpened:
        line += "MOM_OPEN:\n";
        break;
    case midiOutClosed:
        line += "MOM_CLOSE:\n";
        break;
    case midiOutDone:
        line += "MOM_DONE:\n";
        break;
    default: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(message));
        line += "DEFAULT: ";
        line += hex;
        line += " !!!\n";
        break;
    }
    }
    writeDiagnostic(line);
}
