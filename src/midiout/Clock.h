#pragma once

#include <cstdint>

class Interruption;

// Time as the MIDI output layer and the send worker see it: sleeping in milliseconds, the
// wall-clock time in whole seconds, and a steady microsecond count for pacing. The real clock
// serves the program; VirtualClock serves tests, where sleeping advances time at once.
// All operations are safe to call from several threads.
class Clock {
public:
    Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    virtual ~Clock();

    // Blocks the calling thread for the given milliseconds (0: returns at once).
    virtual void sleep(std::uint32_t milliseconds) = 0;
    // Sleeps like sleep() unless the interruption is raised before or while it sleeps; answers
    // whether the whole time passed. The real clock wakes at once when it is raised; a virtual
    // clock, whose sleeps take no real time, only looks before and after.
    virtual bool sleepUnless(std::uint32_t milliseconds, const Interruption& interruption);
    // Wall-clock time in whole seconds since 1970.
    virtual std::int64_t seconds() const = 0;
    // Steady time in microseconds from an arbitrary origin; never goes back.
    virtual std::int64_t microseconds() const = 0;
};

// The real clock (std::this_thread::sleep_for, std::time, std::chrono::steady_clock); one
// instance for the whole process.
Clock& realClock();
