#include "midi/MidiTiming.h"

#include <cmath>
#include <limits>

namespace {

// Rounds a quotient up to a whole number; NaN and anything not above 0 give 0, anything that
// does not fit in 32 bits gives the largest 32-bit value.
std::uint32_t roundUp(double quotient) {
    constexpr double largest = std::numeric_limits<std::uint32_t>::max();
    if (!(quotient > 0.0)) {
        return 0;
    }
    if (quotient >= largest) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    const double whole = std::trunc(quotient);
    const auto result = static_cast<std::uint32_t>(whole);
    return whole == quotient ? result : result + 1;
}

} // namespace

std::uint32_t millisecondsToTicks(std::uint32_t milliseconds, std::uint16_t division,
                                  std::uint16_t tempo) {
    if (division == 0 || tempo == 0) {
        return 0;
    }
    const std::uint32_t millisecondsPerBeat = 60000u / tempo;
    if (millisecondsPerBeat == 0) {
        return 0;
    }
    const std::uint32_t product = milliseconds * std::uint32_t{division};
    return roundUp(static_cast<double>(product) / millisecondsPerBeat);
}

std::uint32_t bytesToTicks(std::uint32_t count, std::uint16_t division, std::uint16_t tempo) {
    if (division == 0 || tempo == 0) {
        return 0;
    }
    const std::uint32_t product = count * std::uint32_t{division};
    return roundUp(static_cast<double>(product) / (187500.0 / tempo));
}

std::uint32_t ticksToMilliseconds(std::uint32_t ticks, std::uint16_t division,
                                  std::uint16_t tempo) {
    if (division == 0 || tempo == 0) {
        return 0;
    }
    const std::uint32_t millisecondsPerBeat = 60000u / tempo;
    return roundUp(static_cast<double>(ticks) * millisecondsPerBeat / division);
}
