#pragma once

#include <string>

// Where a bank's sound came from, as the panel tells it after an import: the source in one line
// ("WAV, 48000 Hz, 2 channels, 24-bit, 3.200 s, cut to 1.486 s"), and for a sound longer than
// the bank the file and the second its part began at, so that another part can be chosen.
// Empty for factory content and for banks opened from a bank file.
struct BankOrigin {
    std::string line;
    std::string longerSource;
    double start = 0.0;

    bool operator==(const BankOrigin&) const = default;
};
