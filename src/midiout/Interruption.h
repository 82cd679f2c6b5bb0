#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// A flag that cuts sleeps short: raising it wakes every thread sleeping on it at once, and a
// sleep begun while it is raised returns at once. It stays raised until cleared. Safe to use
// from any thread.
class Interruption {
public:
    Interruption() = default;
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    void raise();
    void clear();
    bool isRaised() const { return raised_.load(); }

    // Blocks for up to the given steady time or until the flag is raised; answers whether it
    // is raised.
    bool waitFor(std::int64_t microseconds) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::atomic<bool> raised_{false};
};
