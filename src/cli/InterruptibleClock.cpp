#include "cli/InterruptibleClock.h"

#include <algorithm>

void InterruptibleClock::sleep(std::uint32_t milliseconds) {
    // Sleep on the underlying clock in short steps so that a virtual clock keeps its own sense
    // of time, and look for an interruption between the steps.
    constexpr std::uint32_t step = 50;
    std::uint32_t left = milliseconds;
    while (left > 0) {
        if (interrupted()) {
            return;
        }
        const std::uint32_t now = std::min(left, step);
        base_.sleep(now);
        left -= now;
    }
}

void InterruptibleClock::interrupt() {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
}

bool InterruptibleClock::interrupted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return interrupted_;
}
