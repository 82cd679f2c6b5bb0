#pragma once

#include "midiout/Clock.h"

#include <mutex>

// A clock whose sleeps can be cut short: once interrupt() has been called every sleep, running
// or future, returns at once. Time itself comes from the clock underneath.
class InterruptibleClock final : public Clock {
public:
    explicit InterruptibleClock(Clock& base) : base_(base) {}

    void sleep(std::uint32_t milliseconds) override;
    std::int64_t seconds() const override { return base_.seconds(); }
    std::int64_t microseconds() const override { return base_.microseconds(); }

    void interrupt();
    bool interrupted() const;

private:
    Clock& base_;
    mutable std::mutex mutex_;
    bool interrupted_ = false;
};
