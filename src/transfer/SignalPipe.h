#pragma once

// Turns SIGINT, SIGTERM and SIGHUP (the terminal closed) into bytes on a pipe while it exists: the
// handler only writes the signal's number, so that a thread or an event loop can wait on readFd()
// and do there what a signal handler may not. The previous handlers come back when it is destroyed.
// One at a time.
class SignalPipe {
public:
    SignalPipe();
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // Whether the handlers are installed (a pipe could be made).
    bool isActive() const { return readFd_ >= 0; }
    // Non-blocking; readable once a signal has come.
    int readFd() const { return readFd_; }
    // The signals that came since the last call, the first of them (0: none).
    int take();

private:
    int readFd_ = -1;
};
