#include "midiout/Interruption.h"

#include <chrono>

void Interruption::raise() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_.store(true);
    }
    changed_.notify_all();
}

void Interruption::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    raised_.store(false);
}

bool Interruption::waitFor(std::int64_t microseconds) const {
    std::unique_lock<std::mutex> lock(mutex_);
    if (microseconds > 0) {
        changed_.wait_for(lock, std::chrono::microseconds(microseconds),
                          [this] { return raised_.load(); });
    }
    return raised_.load();
}
