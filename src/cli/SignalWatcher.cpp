#include "cli/SignalWatcher.h"

#include <chrono>
#include <csignal>
#include <system_error>
#include <utility>

namespace {

volatile std::sig_atomic_t pendingSignal = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};

void onSignal(int number) {
    pendingSignal = number;
}

} // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> callback) : onSignal_(std::move(callback)) {
    pendingSignal = 0;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    try {
        thread_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        // Without the watcher a signal keeps its usual effect.
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
    }
}

void SignalWatcher::watch() {
    while (!done_.load()) {
        const int number = pendingSignal;
        if (number != 0) {
            pendingSignal = 0;
            int none = 0;
            caught_.compare_exchange_strong(none, number);
            onSignal_(number);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

SignalWatcher::~SignalWatcher() {
    if (!thread_.joinable()) {
        return;
    }
    done_.store(true);
    thread_.join();
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}
