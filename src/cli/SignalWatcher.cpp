#include "cli/SignalWatcher.h"

#include "transfer/SignalPipe.h"

#include <poll.h>
#include <system_error>
#include <utility>

SignalWatcher::SignalWatcher(std::function<void(int)> callback)
    : onSignal_(std::move(callback)), signals_(std::make_unique<SignalPipe>()) {
    if (!signals_->isActive()) {
        return;
    }
    try {
        thread_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        // Without the watcher a signal keeps its usual effect.
        signals_.reset();
    }
}

void SignalWatcher::watch() {
    while (!done_.load()) {
        pollfd ready{signals_->readFd(), POLLIN, 0};
        // A short timeout, so that the destructor's request to end is seen soon.
        if (::poll(&ready, 1, 50) <= 0) {
            continue;
        }
        const int number = signals_->take();
        if (number != 0) {
            int none = 0;
            caught_.compare_exchange_strong(none, number);
            onSignal_(number);
        }
    }
}

SignalWatcher::~SignalWatcher() {
    done_.store(true);
    if (thread_.joinable()) {
        thread_.join();
    }
    signals_.reset();
}
