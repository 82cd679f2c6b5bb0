#pragma once

#include <cstddef>
#include <cstdint>

// The timing state that the MIDI file writer and reader share: the file's division and tempo,
// and, within a track, whether its first System Exclusive message is still to come and how many
// ticks the previous one takes on the cable. A delta time holds a message's delay plus the
// transmission ticks of the message before it (for the first message of a track: plus a base
// the caller gives, the writer's running absolute time).
class SysExTiming {
public:
    void setFormat(std::uint16_t division, std::uint16_t tempo);
    std::uint16_t division() const { return division_; }
    std::uint16_t tempo() const { return tempo_; }

    // A new track: the next System Exclusive message is its first.
    void startTrack();
    // The ticks a System Exclusive message's delta holds beyond its delay: base for the
    // track's first message, else the previous message's transmission ticks.
    std::uint32_t precedingTicks(std::uint32_t base);
    // A System Exclusive message of length bytes has been written or read.
    void passed(std::size_t length);
    // The transmission ticks of the last message passed in this track (at most 2^31 - 1).
    std::uint32_t lastMessageTicks() const { return lastTicks_; }

    std::uint32_t toTicks(std::uint32_t milliseconds) const;
    std::uint32_t toMilliseconds(std::uint32_t ticks) const;

private:
    std::uint16_t division_ = 0;
    std::uint16_t tempo_ = 120;
    std::uint32_t lastTicks_ = 0;
    bool firstPending_ = true;
};
