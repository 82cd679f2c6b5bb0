#pragma once

// For the programs that run inside the VM of scripts/vm/run-in-vm: reads a rawmidi device on a
// thread of its own from construction on, keeping every byte and when the first and the last
// arrived. Polling triggers the virtual port's input, so construct it before anything is sent.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <optional>
#include <poll.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

class RawmidiReader {
public:
    using Bytes = std::vector<std::uint8_t>;
    using SteadyTime = std::chrono::steady_clock::time_point;

    explicit RawmidiReader(const char* device) : fd_(::open(device, O_RDONLY | O_NONBLOCK)) {
        if (fd_ >= 0) {
            thread_ = std::thread([this] { run(); });
            while (!polling_.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    ~RawmidiReader() {
        stop_.store(true);
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    RawmidiReader(const RawmidiReader&) = delete;
    RawmidiReader& operator=(const RawmidiReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    std::size_t size() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return bytes_.size();
    }
    // Every byte so far, once `count` bytes have arrived or nothing more came for `quiet`.
    Bytes waitFor(std::size_t count, std::chrono::milliseconds quiet) {
        std::size_t seen = 0;
        auto lastChange = std::chrono::steady_clock::now();
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (bytes_.size() >= count) {
                    return bytes_;
                }
                if (bytes_.size() != seen) {
                    seen = bytes_.size();
                    lastChange = std::chrono::steady_clock::now();
                }
            }
            if (std::chrono::steady_clock::now() - lastChange > quiet) {
                std::lock_guard<std::mutex> lock(mutex_);
                return bytes_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Every byte once nothing more has come for `quiet`.
    Bytes settle(std::chrono::milliseconds quiet) {
        return waitFor(std::numeric_limits<std::size_t>::max(), quiet);
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes_.clear();
        arrivals_.clear();
        first_.reset();
    }
    // When bytes arrived: each read's time and the number of bytes received by then.
    std::vector<std::pair<SteadyTime, std::size_t>> arrivals() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_;
    }
    double secondsFromFirstToLast() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return first_ ? std::chrono::duration<double>(last_ - *first_).count() : 0.0;
    }

private:
    void run() {
        std::uint8_t buffer[4096];
        while (!stop_.load()) {
            pollfd p{fd_, POLLIN, 0};
            polling_.store(true);
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                continue;
            }
            const auto now = std::chrono::steady_clock::now();
            std::lock_guard<std::mutex> lock(mutex_);
            if (!first_) {
                first_ = now;
            }
            last_ = now;
            bytes_.insert(bytes_.end(), buffer, buffer + n);
            arrivals_.emplace_back(now, bytes_.size());
        }
    }

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> polling_{false};
    mutable std::mutex mutex_;
    Bytes bytes_;
    std::vector<std::pair<SteadyTime, std::size_t>> arrivals_;
    std::optional<SteadyTime> first_;
    SteadyTime last_;
};
