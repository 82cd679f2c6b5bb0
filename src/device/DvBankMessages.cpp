#include "device/DvBankMessages.h"

#include <algorithm>

namespace DvBankMessages {

LoMidiEvent announce(int bank) {
    const std::uint8_t bytes[] = {
        0xF0, manufacturer, 0x0D, announceCommand, static_cast<std::uint8_t>(bank), 0xF7};
    return LoMidiEvent(std::begin(bytes), std::end(bytes), 0);
}

bool isAnnounce(const LoMidiEvent& event) {
    return isSysEx(event) && event.size() > 3 && event[3] == announceCommand;
}

bool isDataMessage(const LoMidiEvent& event) {
    return isSysEx(event) && event.size() > 4 && event[3] == dataCommand &&
           (event[4] & 0xF0) == 0x20;
}

std::size_t dataValueCount(const LoMidiEvent& event) {
    // The header, then the values, then F7.
    return event.size() > dataHeaderLength + 1 ? (event.size() - dataHeaderLength - 1) / 4 : 0;
}

int identifyBank(const LoMidiEventList& events) {
    const auto announce = std::find_if(events.begin(), events.end(), isSysEx);
    if (announce == events.end()) {
        return -1;
    }
    if (!isAnnounce(*announce)) {
        return -2;
    }
    const auto next = announce + 1;
    if (next == events.end() || !isDataMessage(*next)) {
        return -3;
    }
    return (*next)[2] & 0x3F;
}

} // namespace DvBankMessages
