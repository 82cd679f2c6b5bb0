#include "midiout/SimulatedMidiOutService.h"

#include "midiout/Clock.h"
#include "midiout/SysexPacer.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace {

// Number of bytes of a channel or system message with this status byte.
std::size_t shortMessageLength(std::uint8_t status) {
    if (status >= 0xF8 || status == 0xF6) {
        return 1;
    }
    if ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 || status == 0xF1 || status == 0xF3) {
        return 2;
    }
    return 3;
}

// Chunk size at which a stopped message is cut, as the ALSA backend sends.
constexpr std::size_t cutChunk = 256;
// Pending::message of a long message that was never played.
constexpr std::size_t noMessage = static_cast<std::size_t>(-1);

} // namespace

SimulatedMidiOutService::SimulatedMidiOutService(Clock& clock, std::vector<std::string> portNames,
                                                 double bytesPerSecond)
    : clock_(clock), portNames_(std::move(portNames)),
      bytesPerSecond_(bytesPerSecond > 0 ? bytesPerSecond : SysexPacer::wireBytesPerSecond) {}

unsigned SimulatedMidiOutService::portCount() {
    return static_cast<unsigned>(portNames_.size());
}

std::string SimulatedMidiOutService::portName(unsigned port) {
    return port < portNames_.size() ? portNames_[port] : std::string();
}

MidiOutResult SimulatedMidiOutService::log(Call::Kind kind, MidiOutHandle handle,
                                           std::uint32_t value, MidiOutResult result,
                                           std::int64_t now) {
    calls_.push_back(Call{kind, now, handle, value, result});
    return result;
}

MidiOutResult SimulatedMidiOutService::fail(MidiOutResult result, const std::string& text) {
    lastError_ = text;
    return result;
}

void SimulatedMidiOutService::deliverDone(std::int64_t now, bool all, MidiOutHandle only) {
    std::vector<std::tuple<MidiOutCallback, MidiOutHandle, MidiOutHeader*, bool>> due;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [handle, port] : open_) {
            if (all && handle != only) {
                continue;
            }
            for (auto& pending : port.pending) {
                if (!pending.doneSent && (all || pending.endMicroseconds <= now)) {
                    pending.doneSent = true;
                    due.emplace_back(port.callback, handle, pending.header, pending.failed);
                }
            }
        }
    }
    for (auto& [callback, handle, header, failed] : due) {
        if (callback) {
            callback(handle, midiOutDone, reinterpret_cast<std::uintptr_t>(header),
                     failed ? midiOutDoneFailed : 0);
        }
    }
}

MidiOutResult SimulatedMidiOutService::open(MidiOutHandle& handle, unsigned port,
                                            MidiOutCallback callback) {
    const std::int64_t now = clock_.microseconds();
    deliverDone(now, false, noMidiOutHandle);
    handle = noMidiOutHandle;
    MidiOutCallback notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failOpening_ || port >= portNames_.size()) {
            const auto result = fail(MidiOutResult::badPort,
                                     "cannot open MIDI output port " + std::to_string(port));
            return log(Call::Kind::open, noMidiOutHandle, port, result, now);
        }
        handle = nextHandle_++;
        open_[handle] = Open{port, callback, {}};
        notify = std::move(callback);
        log(Call::Kind::open, handle, port, MidiOutResult::ok, now);
    }
    if (notify) {
        notify(handle, midiOutOpened, 0, 0);
    }
    return MidiOutResult::ok;
}

MidiOutResult SimulatedMidiOutService::shortMessage(MidiOutHandle handle, std::uint32_t packed) {
    const std::int64_t now = clock_.microseconds();
    deliverDone(now, false, noMidiOutHandle);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = open_.find(handle);
    if (found == open_.end()) {
        return notOpen(Call::Kind::shortMessage, handle, packed, now);
    }
    if (failSending_) {
        const auto result = fail(MidiOutResult::error, "cannot send to MIDI output port");
        return log(Call::Kind::shortMessage, handle, packed, result, now);
    }
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    std::vector<std::uint8_t> bytes{status, static_cast<std::uint8_t>((packed >> 8) & 0xFF),
                                    static_cast<std::uint8_t>((packed >> 16) & 0xFF)};
    bytes.resize(shortMessageLength(status));
    messages_.push_back(Message{found->second.port, now, now, false, std::move(bytes)});
    return log(Call::Kind::shortMessage, handle, packed, MidiOutResult::ok, now);
}

MidiOutResult SimulatedMidiOutService::prepare(MidiOutHandle handle, MidiOutHeader& header) {
    const std::int64_t now = clock_.microseconds();
    deliverDone(now, false, noMidiOutHandle);
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_.find(handle) == open_.end()) {
        return notOpen(Call::Kind::prepare, handle, header.length, now);
    }
    MidiOutResult result = MidiOutResult::ok;
    if (header.data == nullptr && header.length > 0) {
        result = fail(MidiOutResult::error, "long message without data");
    } else {
        header.flags |= midiOutHeaderPrepared;
    }
    return log(Call::Kind::prepare, handle, header.length, result, now);
}

MidiOutResult SimulatedMidiOutService::longMessage(MidiOutHandle handle, MidiOutHeader& header) {
    const std::int64_t now = clock_.microseconds();
    deliverDone(now, false, noMidiOutHandle);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = open_.find(handle);
    if (found == open_.end()) {
        return notOpen(Call::Kind::longMessage, handle, header.length, now);
    }
    if ((header.flags & midiOutHeaderPrepared) == 0) {
        const auto result = fail(MidiOutResult::unprepared, "long message not prepared");
        return log(Call::Kind::longMessage, handle, header.length, result, now);
    }
    const auto wire = static_cast<std::int64_t>(
        std::ceil(static_cast<double>(header.length) * 1e6 / bytesPerSecond_));
    const bool failed = failSending_;
    if (failed) {
        lastError_ = "cannot send to MIDI output port";
    } else {
        messages_.push_back(
            Message{found->second.port, now, now + wire, true,
                    std::vector<std::uint8_t>(header.data, header.data + header.length)});
    }
    header.flags |= midiOutHeaderQueued;
    found->second.pending.push_back(Pending{&header, failed ? now : now + wire, failed, false,
                                            failed ? noMessage : messages_.size() - 1});
    return log(Call::Kind::longMessage, handle, header.length, MidiOutResult::ok, now);
}

MidiOutResult SimulatedMidiOutService::unprepare(MidiOutHandle handle, MidiOutHeader& header) {
    const std::int64_t now = clock_.microseconds();
    deliverDone(now, false, noMidiOutHandle);
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = open_.find(handle);
    if (found == open_.end()) {
        return notOpen(Call::Kind::unprepare, handle, header.length, now);
    }
    if (stillPlayingAnswers_ > 0) {
        --stillPlayingAnswers_;
        return log(Call::Kind::unprepare, handle, header.length, MidiOutResult::stillPlaying, now);
    }
    auto& pending = found->second.pending;
    MidiOutResult result = MidiOutResult::ok;
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (it->header != &header) {
            continue;
        }
        if (now < it->endMicroseconds) {
            return log(Call::Kind::unprepare, handle, header.length, MidiOutResult::stillPlaying,
                       now);
        }
        if (it->failed) {
            result = MidiOutResult::error;
        }
        header.bytesSent = it->message < messages_.size()
                               ? static_cast<std::uint32_t>(messages_[it->message].bytes.size())
                               : 0;
        pending.erase(it);
        break;
    }
    header.flags &= ~(midiOutHeaderPrepared | midiOutHeaderQueued);
    return log(Call::Kind::unprepare, handle, header.length, result, now);
}

void SimulatedMidiOutService::cutPlaying(Open& port, std::int64_t now) {
    for (Pending& pending : port.pending) {
        if (pending.failed || now >= pending.endMicroseconds) {
            continue;
        }
        Message& message = messages_[pending.message];
        const auto played = static_cast<std::size_t>(std::ceil(
            static_cast<double>(now - message.startMicroseconds) * bytesPerSecond_ / 1e6));
        const std::size_t cut = (played + cutChunk - 1) / cutChunk * cutChunk;
        if (cut < message.bytes.size()) {
            message.bytes.resize(cut);
            message.bytes.push_back(0xF7);
            message.endMicroseconds =
                message.startMicroseconds +
                static_cast<std::int64_t>(
                    std::ceil(static_cast<double>(message.bytes.size()) * 1e6 / bytesPerSecond_));
        }
        pending.endMicroseconds = now;
    }
}

MidiOutResult SimulatedMidiOutService::reset(MidiOutHandle handle) {
    const std::int64_t now = clock_.microseconds();
    deliverDone(now, false, noMidiOutHandle);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            return notOpen(Call::Kind::reset, handle, 0, now);
        }
        cutPlaying(found->second, now);
        log(Call::Kind::reset, handle, 0, MidiOutResult::ok, now);
    }
    deliverDone(now, true, handle);
    return MidiOutResult::ok;
}

MidiOutResult SimulatedMidiOutService::close(MidiOutHandle handle) {
    const std::int64_t now = clock_.microseconds();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(handle);
        if (found != open_.end()) {
            cutPlaying(found->second, now);
        }
    }
    deliverDone(now, true, handle);
    MidiOutCallback notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            return notOpen(Call::Kind::close, handle, 0, now);
        }
        notify = std::move(found->second.callback);
        open_.erase(found);
        log(Call::Kind::close, handle, 0, MidiOutResult::ok, now);
    }
    if (notify) {
        notify(handle, midiOutClosed, 0, 0);
    }
    return MidiOutResult::ok;
}

MidiOutResult SimulatedMidiOutService::notOpen(Call::Kind kind, MidiOutHandle handle,
                                               std::uint32_t value, std::int64_t now) {
    return log(kind, handle, value,
               fail(MidiOutResult::invalidHandle, "MIDI output port is not open"), now);
}

std::string SimulatedMidiOutService::lastError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

void SimulatedMidiOutService::answerStillPlaying(unsigned count) {
    std::lock_guard<std::mutex> lock(mutex_);
    stillPlayingAnswers_ = count;
}

void SimulatedMidiOutService::failOpening(bool fail) {
    std::lock_guard<std::mutex> lock(mutex_);
    failOpening_ = fail;
}

void SimulatedMidiOutService::failSending(bool fail) {
    std::lock_guard<std::mutex> lock(mutex_);
    failSending_ = fail;
}

void SimulatedMidiOutService::failPlaying() {
    const std::int64_t now = clock_.microseconds();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [handle, port] : open_) {
            for (Pending& pending : port.pending) {
                if (pending.failed || now >= pending.endMicroseconds) {
                    continue;
                }
                Message& message = messages_[pending.message];
                const auto played = static_cast<std::size_t>(
                    static_cast<double>(now - message.startMicroseconds) * bytesPerSecond_ / 1e6);
                message.bytes.resize(std::min(played, message.bytes.size()));
                message.endMicroseconds = now;
                pending.failed = true;
                pending.endMicroseconds = now;
            }
        }
        lastError_ = "the MIDI output port is gone";
    }
    deliverDone(now, false, noMidiOutHandle);
}

std::vector<SimulatedMidiOutService::Call> SimulatedMidiOutService::calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

std::vector<SimulatedMidiOutService::Message> SimulatedMidiOutService::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

unsigned SimulatedMidiOutService::openHandles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<unsigned>(open_.size());
}
