#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// Shows how a transfer goes on the error stream: on a terminal one line redrawn in place (a bar
// for the current bank, bank k of n, percent, time left for the whole transfer); otherwise
// plain lines, the editor's status texts and a line every tenth of a bank.
class SendProgress {
public:
    SendProgress(std::ostream& stream, bool terminal);

    // A status text (the editor's status line).
    void status(const std::string& text);
    // bank is 1-based among count banks; seconds are elapsed and expected for the current bank,
    // laterSeconds the expected time of the banks still to come after it.
    void update(int bank, int count, double elapsed, double estimate, double laterSeconds);
    // Ends a line left open on the terminal.
    void finish();

    // "1:05", "12:00"
    static std::string minutes(double seconds);

private:
    std::ostream& stream_;
    bool terminal_;
    bool lineOpen_ = false;
    int lastTenth_ = -1;
    int lastBank_ = 0;
};
