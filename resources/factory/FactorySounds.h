#pragma once

#include <cstdint>
#include <vector>

// The sound banks (banks 4 to 7): one sound of 64512 values at 44100 Hz each, faded in and
// out so that neither end clicks, followed by 1024 zeros.
class FactorySounds {
public:
    static constexpr int sampleRate = 44100;
    static constexpr int soundLength = 64512;

    // The 65536 values of sound bank 0 (electric piano), 1 (plucked string), 2 (drum bar) or
    // 3 (vocal pad).
    static std::vector<std::int16_t> bank(int index);

    static std::vector<double> electricPiano();
    static std::vector<double> pluckedString();
    static std::vector<double> drumBar();
    static std::vector<double> vocalPad();
};
