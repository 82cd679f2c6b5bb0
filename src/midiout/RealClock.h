#pragma once

#include "midiout/Clock.h"

// The clock of the running program; realClock() hands out the process's one instance.
class RealClock final : public Clock {
public:
    void sleep(std::uint32_t milliseconds) override;
    bool sleepUnless(std::uint32_t milliseconds, const Interruption& interruption) override;
    std::int64_t seconds() const override;
    std::int64_t microseconds() const override;
};
