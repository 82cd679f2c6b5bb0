#include "midiout/MidiOutService.h"

#include "midiout/Clock.h"
#include "midiout/SimulatedMidiOutService.h"

#include <mutex>
#include <utility>

MidiOutService::~MidiOutService() = default;

namespace {

std::mutex& defaultMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<MidiOutService>& defaultSlot() {
    static std::shared_ptr<MidiOutService> service;
    return service;
}

std::shared_ptr<MidiOutService> emptyService() {
    return std::make_shared<SimulatedMidiOutService>(realClock(), std::vector<std::string>{});
}

} // namespace

std::shared_ptr<MidiOutService> defaultMidiOutService() {
    std::lock_guard<std::mutex> lock(defaultMutex());
    auto& slot = defaultSlot();
    if (!slot) {
        slot = emptyService();
    }
    return slot;
}

void setDefaultMidiOutService(std::shared_ptr<MidiOutService> service) {
    std::lock_guard<std::mutex> lock(defaultMutex());
    defaultSlot() = service ? std::move(service) : emptyService();
}
