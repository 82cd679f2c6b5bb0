#include "wavetable/PitchPath.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::vector<double>
PitchPath::decode(const std::vector<std::vector<PitchTracker::Candidate>>& moments) {
    // States of a moment: its candidates, then "no pitch" last.
    std::vector<std::vector<double>> score(moments.size());
    // Each candidate's period in octaves, for the steps between moments.
    std::vector<std::vector<double>> octaves(moments.size());
    for (std::size_t t = 0; t < moments.size(); ++t) {
        for (const auto& candidate : moments[t]) {
            octaves[t].push_back(std::log2(candidate.period));
        }
    }
    std::vector<std::vector<std::size_t>> from(moments.size());
    const auto emission = [&](std::size_t t, std::size_t state) {
        const auto& candidates = moments[t];
        if (state < candidates.size()) {
            return std::log(std::max(candidates[state].probability, 1e-9));
        }
        double voiced = 0.0;
        for (const auto& candidate : candidates) {
            voiced += candidate.probability;
        }
        return std::log(std::max(1.0 - voiced, 1e-3));
    };
    const auto transition = [&](std::size_t t, std::size_t i, std::size_t j) {
        const bool iVoiced = i < moments[t - 1].size();
        const bool jVoiced = j < moments[t].size();
        if (iVoiced != jVoiced) {
            return -voicingCost;
        }
        if (!iVoiced) {
            return 0.0;
        }
        return -costPerSemitone * 12.0 * std::abs(octaves[t][j] - octaves[t - 1][i]);
    };
    for (std::size_t t = 0; t < moments.size(); ++t) {
        const std::size_t states = moments[t].size() + 1;
        score[t].assign(states, -std::numeric_limits<double>::infinity());
        from[t].assign(states, 0);
        for (std::size_t j = 0; j < states; ++j) {
            if (t == 0) {
                score[t][j] = emission(t, j);
                continue;
            }
            for (std::size_t i = 0; i < score[t - 1].size(); ++i) {
                const double value = score[t - 1][i] + transition(t, i, j);
                if (value > score[t][j]) {
                    score[t][j] = value;
                    from[t][j] = i;
                }
            }
            score[t][j] += emission(t, j);
        }
    }
    std::vector<double> periods(moments.size(), 0.0);
    if (moments.empty()) {
        return periods;
    }
    std::size_t state = static_cast<std::size_t>(
        std::max_element(score.back().begin(), score.back().end()) - score.back().begin());
    for (std::size_t t = moments.size(); t-- > 0;) {
        periods[t] = state < moments[t].size() ? moments[t][state].period : 0.0;
        state = from[t][state];
    }
    return periods;
}
