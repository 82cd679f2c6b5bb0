#include "midi/SysExTiming.h"

#include "midi/MidiTiming.h"

#include <algorithm>
#include <limits>

void SysExTiming::setFormat(std::uint16_t division, std::uint16_t tempo) {
    division_ = division;
    tempo_ = tempo;
}

void SysExTiming::startTrack() {
    lastTicks_ = 0;
    firstPending_ = true;
}

std::uint32_t SysExTiming::precedingTicks(std::uint32_t base) {
    const std::uint32_t ticks = firstPending_ ? base : lastTicks_;
    firstPending_ = false;
    return ticks;
}

void SysExTiming::passed(std::size_t length) {
    const auto count = static_cast<std::uint32_t>(
        std::min<std::size_t>(length, std::numeric_limits<std::uint32_t>::max()));
    lastTicks_ = std::min<std::uint32_t>(bytesToTicks(count, division_, tempo_),
                                         std::numeric_limits<std::int32_t>::max());
}

std::uint32_t SysExTiming::toTicks(std::uint32_t milliseconds) const {
    return millisecondsToTicks(milliseconds, division_, tempo_);
}

std::uint32_t SysExTiming::toMilliseconds(std::uint32_t ticks) const {
    return ticksToMilliseconds(ticks, division_, tempo_);
}
