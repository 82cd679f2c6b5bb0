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

const char* portName(std::uint16_t port) {
    const std::string name = defaultMidiOutService()->portName(port);
    const std::size_t length = std::min(name.size(), nameBufferSize - 1);
    std::memcpy(nameBuffer, name.data(), length);
    nameBuffer[length] = '\0';
    return nameBuffer;
}
