#pragma once

#include "midiout/Clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

// A clock for tests: sleep advances the virtual time at once by the requested milliseconds and
// returns (after yielding the processor, or after a short real pause if one is set, so that
// other threads get to run). Sleeps of several threads add up. Time starts at the given wall
// clock seconds and at 0 microseconds. Every sleep is recorded.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(std::int64_t startSeconds = 1'700'000'000);

    void sleep(std::uint32_t milliseconds) override;
    std::int64_t seconds() const override;
    std::int64_t microseconds() const override;

    // Moves time forward without recording a sleep.
    void advance(std::int64_t microseconds);
    // Real time each sleep takes besides advancing the virtual time (default none).
    void setRealPause(std::chrono::microseconds pause);
    // Every sleep so far, in milliseconds, in the order they were made.
    std::vector<std::uint32_t> sleeps() const;
    void clearSleeps();

private:
    const std::int64_t startSeconds_;
    std::atomic<std::int64_t> now_{0};
    std::atomic<std::int64_t> realPause_{0};
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> sleeps_;
};
