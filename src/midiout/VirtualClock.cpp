#include "midiout/VirtualClock.h"

#include <thread>

VirtualClock::VirtualClock(std::int64_t startSeconds) : startSeconds_(startSeconds) {}

void VirtualClock::sleep(std::uint32_t milliseconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sleeps_.push_back(milliseconds);
    }
    now_.fetch_add(static_cast<std::int64_t>(milliseconds) * 1000);
    const auto pause = realPause_.load();
    if (pause > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause));
    } else {
        std::this_thread::yield();
    }
}

std::int64_t VirtualClock::seconds() const {
    return startSeconds_ + now_.load() / 1'000'000;
}

std::int64_t VirtualClock::microseconds() const {
    return now_.load();
}

void VirtualClock::advance(std::int64_t microseconds) {
    if (microseconds > 0) {
        now_.fetch_add(microseconds);
    }
}

void VirtualClock::setRealPause(std::chrono::microseconds pause) {
    realPause_.store(pause.count() > 0 ? pause.count() : 0);
}

std::vector<std::uint32_t> VirtualClock::sleeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

void VirtualClock::clearSleeps() {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.clear();
}
