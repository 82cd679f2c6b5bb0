#include "midiout/MidiOutPortList.h"

#include "midiout/MidiOutService.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Same size as the product-name field the names have always been kept in.
constexpr std::size_t nameBufferSize = 32;
char nameBuffer[nameBufferSize] = {};

} // namespace

unsigned portCount() {
    return defaultMidiOutService()->portCount();
}

std::vector<std::string> portNames() {
    const std::shared_ptr<MidiOutService> service = defaultMidiOutService();
    std::vector<std::string> names;
    const unsigned count = std::min(service->portCount(), 0x10000u);
    for (unsigned port = 0; port < count; ++port) {
        names.push_back(service->portName(port));
    }
    return names;
}

const char* portName(std::uint16_t port) {
    const std::string name = defaultMidiOutService()->portName(port);
    const std::size_t length = std::min(name.size(), nameBufferSize - 1);
    std::memcpy(nameBuffer, name.data(), length);
    nameBuffer[length] = '\0';
    return nameBuffer;
}
