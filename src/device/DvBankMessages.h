#pragma once

#include "midi/LoMidiEvent.h"

#include <cstddef>
#include <cstdint>

// The System Exclusive messages that carry a bank: the announce (F0 31 0D 79 bank F7) and the
// data message (F0 31 40|bank 66 20|channel, four 7-bit bytes per value, F7).
namespace DvBankMessages {

constexpr std::uint8_t manufacturer = 0x31;
constexpr std::uint8_t announceCommand = 0x79;
constexpr std::uint8_t dataCommand = 0x66;
// Bytes before the first value of a data message.
constexpr std::size_t dataHeaderLength = 5;

// The announce message of a bank (F0 31 0D 79 bank F7), delay 0.
LoMidiEvent announce(int bank);

bool isAnnounce(const LoMidiEvent& event);
bool isDataMessage(const LoMidiEvent& event);
// Whole values a data message carries, whatever the bank takes.
std::size_t dataValueCount(const LoMidiEvent& event);

// The bank a track carries: the bank bits of the data message that follows its first System
// Exclusive message, when that is an announce. -1 for a track without System Exclusive, -2 when
// the first one is not an announce, -3 when no data message follows it.
int identifyBank(const LoMidiEventList& events);

} // namespace DvBankMessages
