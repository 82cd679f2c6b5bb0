#include "transfer/SignalPipe.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int writeEnd = -1;
struct sigaction previousInt {};
struct sigaction previousTerm {};
struct sigaction previousHup {};

void onSignal(int number) {
    const auto byte = static_cast<unsigned char>(number);
    // Nothing more may be done here; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
}

} // namespace

SignalPipe::SignalPipe() {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    readFd_ = ends[0];
    writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGHUP, &action, &previousHup);
}

SignalPipe::~SignalPipe() {
    if (readFd_ < 0) {
        return;
    }
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGHUP, &previousHup, nullptr);
    ::close(readFd_);
    ::close(writeEnd);
    writeEnd = -1;
}

int SignalPipe::take() {
    int first = 0;
    unsigned char bytes[32];
    for (;;) {
        const ssize_t count = ::read(readFd_, bytes, sizeof bytes);
        if (count <= 0) {
            return first;
        }
        if (first == 0) {
            first = bytes[0];
        }
    }
}
