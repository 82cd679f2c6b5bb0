#include "midiout/RealClock.h"

#include "midiout/Interruption.h"

#include <chrono>
#include <ctime>
#include <thread>

Clock::~Clock() = default;

bool Clock::sleepUnless(std::uint32_t milliseconds, const Interruption& interruption) {
    if (interruption.isRaised()) {
        return false;
    }
    sleep(milliseconds);
    return !interruption.isRaised();
}

Clock& realClock() {
    static RealClock clock;
    return clock;
}

void RealClock::sleep(std::uint32_t milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

bool RealClock::sleepUnless(std::uint32_t milliseconds, const Interruption& interruption) {
    return !interruption.waitFor(static_cast<std::int64_t>(milliseconds) * 1000);
}

std::int64_t RealClock::seconds() const {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::int64_t RealClock::microseconds() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
