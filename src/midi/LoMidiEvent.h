#pragma once

#include "midi/LoBuffer.h"

#include <cstdint>
#include <vector>

// One MIDI event: its complete bytes, status first (meta events FF type data, System Exclusive
// F0 ... F7, no length stored), and the milliseconds to wait before it is sent.
class LoMidiEvent : public LoBuffer {
public:
    explicit LoMidiEvent(std::int32_t delay = 0);
    LoMidiEvent(const std::uint8_t* first, const std::uint8_t* last, std::int32_t delay);
    LoMidiEvent(Bytes::const_iterator first, Bytes::const_iterator last, std::int32_t delay);
    LoMidiEvent(const LoMidiEvent&) = default;
    LoMidiEvent(LoMidiEvent&&) noexcept = default;
    LoMidiEvent& operator=(const LoMidiEvent&) = default;
    LoMidiEvent& operator=(LoMidiEvent&&) noexcept = default;
    ~LoMidiEvent() override;

    // Reads one event body in file form (status, meta type, length, data), without its delta
    // time. An event whose length or data cannot be read completely comes back empty. The
    // delay is not changed. Never allocates more than the stream delivers.
    LoBuffer& readFrom(std::istream& stream) override;
    // Writes the event in file form, without its delta time.
    std::ostream& writeTo(std::ostream& stream) const override;

    std::int32_t delay() const { return delay_; }
    void setDelay(std::int32_t milliseconds) { delay_ = milliseconds; }

    bool isMeta() const { return !bytes.empty() && bytes[0] == 0xFF; }

private:
    std::int32_t delay_ = 0;
};

// A System Exclusive event (F0 ...).
inline bool isSysEx(const LoMidiEvent& midiEvent) {
    return !midiEvent.empty() && midiEvent[0] == 0xF0;
}

// The end-of-track meta event (FF 2F ...).
inline bool isEndOfTrack(const LoMidiEvent& midiEvent) {
    return midiEvent.size() >= 2 && midiEvent[0] == 0xFF && midiEvent[1] == 0x2F;
}

// Identifiers of the Standard MIDI File chunks, read as big-endian 32-bit values.
inline constexpr std::uint32_t midiHeaderChunkId = 0x4D546864; // "MThd"
inline constexpr std::uint32_t midiTrackChunkId = 0x4D54726B;  // "MTrk"

// Events in transmission and file order.
using LoMidiEventList = std::vector<LoMidiEvent>;
