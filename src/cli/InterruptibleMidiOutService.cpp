#include "cli/InterruptibleMidiOutService.h"

#include <utility>

InterruptibleMidiOutService::InterruptibleMidiOutService(std::shared_ptr<MidiOutService> inner,
                                                         Clock& clock)
    : inner_(std::move(inner)), clock_(clock) {}

unsigned InterruptibleMidiOutService::portCount() {
    return inner_->portCount();
}

std::string InterruptibleMidiOutService::portName(unsigned port) {
    return inner_->portName(port);
}

MidiOutResult InterruptibleMidiOutService::open(MidiOutHandle& handle, unsigned port,
                                                MidiOutCallback callback) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interrupted_) {
        handle = noMidiOutHandle;
        return MidiOutResult::invalidHandle;
    }
    const MidiOutResult result = inner_->open(handle, port, std::move(callback));
    if (result == MidiOutResult::ok) {
        handle_ = handle;
        port_ = port;
    }
    return result;
}

MidiOutResult InterruptibleMidiOutService::shortMessage(MidiOutHandle handle,
                                                        std::uint32_t packed) {
    std::lock_guard<std::mutex> lock(mutex_);
    return interrupted_ ? MidiOutResult::invalidHandle : inner_->shortMessage(handle, packed);
}

MidiOutResult InterruptibleMidiOutService::prepare(MidiOutHandle handle, MidiOutHeader& header) {
    std::lock_guard<std::mutex> lock(mutex_);
    return interrupted_ ? MidiOutResult::invalidHandle : inner_->prepare(handle, header);
}

MidiOutResult InterruptibleMidiOutService::longMessage(MidiOutHandle handle,
                                                       MidiOutHeader& header) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interrupted_) {
        return MidiOutResult::invalidHandle;
    }
    const MidiOutResult result = inner_->longMessage(handle, header);
    if (result == MidiOutResult::ok && handle == handle_) {
        inFlight_ = &header;
    }
    return result;
}

MidiOutResult InterruptibleMidiOutService::unprepare(MidiOutHandle handle, MidiOutHeader& header) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interrupted_) {
        return MidiOutResult::invalidHandle;
    }
    const MidiOutResult result = inner_->unprepare(handle, header);
    if (result != MidiOutResult::stillPlaying && inFlight_ == &header) {
        inFlight_ = nullptr;
    }
    return result;
}

MidiOutResult InterruptibleMidiOutService::close(MidiOutHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interrupted_) {
        return MidiOutResult::ok;
    }
    if (handle == handle_) {
        handle_ = noMidiOutHandle;
        inFlight_ = nullptr;
    }
    return inner_->close(handle);
}

std::string InterruptibleMidiOutService::lastError() const {
    return inner_->lastError();
}

bool InterruptibleMidiOutService::interrupt() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interrupted_) {
        return false;
    }
    interrupted_ = true;
    if (handle_ == noMidiOutHandle) {
        return false;
    }
    // A message whose buffer the service still holds has not been sent whole.
    const bool cut = inFlight_ != nullptr &&
                     inner_->unprepare(handle_, *inFlight_) == MidiOutResult::stillPlaying;
    inner_->close(handle_);
    handle_ = noMidiOutHandle;
    inFlight_ = nullptr;
    if (!cut) {
        return false;
    }
    static const std::uint8_t endOfExclusive[1] = {0xF7};
    MidiOutHandle handle = noMidiOutHandle;
    if (inner_->open(handle, port_,
                     [](MidiOutHandle, std::uint32_t, std::uintptr_t, std::uintptr_t) {}) !=
        MidiOutResult::ok) {
        return true;
    }
    MidiOutHeader header;
    header.data = endOfExclusive;
    header.length = 1;
    if (inner_->prepare(handle, header) == MidiOutResult::ok &&
        inner_->longMessage(handle, header) == MidiOutResult::ok) {
        // One byte is on the wire within a millisecond; wait for the service to let it go.
        for (int attempt = 0;
             attempt < 200 && inner_->unprepare(handle, header) == MidiOutResult::stillPlaying;
             ++attempt) {
            clock_.sleep(5);
        }
    }
    inner_->close(handle);
    return true;
}
