#pragma once

// For the programs that run inside the VM of scripts/vm/run-in-vm --usb-midi: the far end of
// the USB-MIDI interface's cable made a loopback. What the host sends to the interface is read
// from the gadget's rawmidi device and written back to it, so it arrives again on the
// interface's input port. With dropEvery N, every Nth byte is left out on the way back (a lossy
// cable).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

class RawmidiEcho {
public:
    RawmidiEcho(const char* device, std::size_t dropEvery)
        : fd_(::open(device, O_RDWR | O_NONBLOCK)), dropEvery_(dropEvery) {
        if (fd_ >= 0) {
            thread_ = std::thread([this] { run(); });
        }
    }
    ~RawmidiEcho() {
        stop_.store(true);
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    RawmidiEcho(const RawmidiEcho&) = delete;
    RawmidiEcho& operator=(const RawmidiEcho&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    std::size_t dropped() const { return dropped_.load(); }

private:
    void run() {
        std::uint8_t buffer[4096];
        std::vector<std::uint8_t> back;
        while (!stop_.load()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            back.clear();
            for (ssize_t i = 0; i < n; ++i) {
                if (dropEvery_ > 0 && ++seen_ % dropEvery_ == 0) {
                    dropped_.fetch_add(1);
                    continue;
                }
                back.push_back(buffer[i]);
            }
            std::size_t at = 0;
            while (at < back.size() && !stop_.load()) {
                const ssize_t written = ::write(fd_, back.data() + at, back.size() - at);
                if (written > 0) {
                    at += static_cast<std::size_t>(written);
                } else {
                    pollfd out{fd_, POLLOUT, 0};
                    ::poll(&out, 1, 5);
                }
            }
        }
    }

    int fd_ = -1;
    std::size_t dropEvery_;
    std::size_t seen_ = 0;
    std::atomic<std::size_t> dropped_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
