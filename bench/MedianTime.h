#pragma once

// What every benchmark here reports: the median wall time of a piece of work over several
// runs, and the runs asked for on the command line (--runs N).

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

template <typename F> double medianMilliseconds(int runs, F f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline int runsAsked(int argc, char** argv, int fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return fallback;
}
