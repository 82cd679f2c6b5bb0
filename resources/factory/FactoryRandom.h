#pragma once

#include <cstdint>

// A small deterministic random source (splitmix64): the same seed gives the same numbers on
// every machine, unlike the standard distributions.
class FactoryRandom {
public:
    explicit FactoryRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in [low, high).
    double range(double low, double high) { return low + (high - low) * uniform(); }
    // Uniform in [-1, 1).
    double noise() { return 2.0 * uniform() - 1.0; }

private:
    std::uint64_t state;
};
