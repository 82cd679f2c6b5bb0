#pragma once

#include "transfer/TransferObserver.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// Shows how a transfer goes on the error stream: on a terminal one line redrawn in place (a bar
// for the current bank, bank k of n, percent, time left for the whole transfer); otherwise
// plain lines, a line every tenth of a bank. Of the editor's status texts it prints
// "Initializing...", the line of each bank and "Releasing...".
class SendProgress final : public TransferObserver {
public:
    SendProgress(std::ostream& stream, bool terminal);

    // The banks the transfer sends, in order, with the seconds each is expected to take.
    void plan(std::vector<int> banks, std::vector<double> estimates);

    // TransferObserver
    void status(const std::string& text) override;
    void showProgress(bool shown) override;
    void progress(int bank, std::int64_t elapsedSeconds, double estimateSeconds) override;
    void bankEnded(int bank, bool whole) override;

    // bank is 1-based among count banks; seconds are elapsed and expected for the current bank,
    // laterSeconds the expected time of the banks still to come after it.
    void update(int bank, int count, double elapsed, double estimate, double laterSeconds);
    // Ends a line left open on the terminal.
    void finish();

private:
    // Position of a bank in the plan (0-based), and the seconds expected after it.
    int place(int bank, double& laterSeconds) const;

    std::ostream& stream_;
    bool terminal_;
    bool lineOpen_ = false;
    int lastTenth_ = -1;
    int lastBank_ = 0;
    std::vector<int> banks_;
    std::vector<double> estimates_;
};
