#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class SignalPipe;

// Catches SIGINT and SIGTERM while it exists and hands each to a callback on a thread of its
// own (where the callback may take locks and make calls that a signal handler may not). The
// previous handlers come back when it is destroyed. One watcher at a time.
class SignalWatcher {
public:
    explicit SignalWatcher(std::function<void(int)> onSignal);
    ~SignalWatcher();

    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // The first signal caught, 0 while none.
    int caught() const { return caught_.load(); }

private:
    void watch();

    std::function<void(int)> onSignal_;
    std::atomic<int> caught_{0};
    std::atomic<bool> done_{false};
    std::unique_ptr<SignalPipe> signals_;
    std::thread thread_;
};
