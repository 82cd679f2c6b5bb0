#pragma once

#include <cstdint>
#include <string>

// What a transfer tells whoever drives it (the editor's dialog, the command-line tool). Calls
// come from the thread that runs the transfer and, for the "Sending will starting..." text, from
// the bank's transmission thread; none may wait for the thread that asked for the transfer.
class TransferObserver {
public:
    TransferObserver() = default;
    TransferObserver(const TransferObserver&) = delete;
    TransferObserver& operator=(const TransferObserver&) = delete;
    virtual ~TransferObserver() = default;

    // The status line's texts, in the order the transfer goes through them.
    virtual void status(const std::string& text) = 0;
    // The progress display is shown at the start of a transfer and hidden at its end.
    virtual void showProgress(bool shown) = 0;
    // Progress of a bank (index 0 ... 6, -1 once all are done): whole seconds since its playing
    // began against the seconds it is expected to take. Before a bank plays, and after the
    // last one, estimateSeconds is 0 and elapsedSeconds 0.
    virtual void progress(int bank, std::int64_t elapsedSeconds, double estimateSeconds) = 0;
    // A bank's playing has ended; whole when every byte went out.
    virtual void bankEnded(int bank, bool whole) { (void)bank, (void)whole; }
};
