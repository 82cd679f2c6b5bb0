#include "files/WaveformPeaks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::vector<WaveformPeaks::Column> WaveformPeaks::columns(std::span<const std::int16_t> values,
                                                          int count) {
    std::vector<Column> result;
    if (values.empty() || count <= 0) {
        return result;
    }
    result.reserve(static_cast<std::size_t>(count));
    const std::size_t n = values.size();
    for (int c = 0; c < count; ++c) {
        const std::size_t begin =
            std::min(n - 1, static_cast<std::size_t>(c) * n / static_cast<std::size_t>(count));
        const std::size_t end = std::max(begin + 1, static_cast<std::size_t>(c + 1) * n /
                                                        static_cast<std::size_t>(count));
        Column column{values[begin], values[begin], 0.0f};
        double squares = 0.0;
        for (std::size_t i = begin; i < end; ++i) {
            column.low = std::min(column.low, values[i]);
            column.high = std::max(column.high, values[i]);
            squares += static_cast<double>(values[i]) * values[i];
        }
        column.rms = static_cast<float>(std::sqrt(squares / static_cast<double>(end - begin)));
        result.push_back(column);
    }
    return result;
}

WaveformPeaks::Levels WaveformPeaks::levels(std::span<const std::int16_t> values) {
    Levels levels;
    levels.values = values.size();
    for (const std::int16_t value : values) {
        levels.peak = std::max(levels.peak, std::abs(static_cast<int>(value)));
        levels.fullScale += (value == 32767 || value == -32768) ? 1 : 0;
    }
    return levels;
}

bool WaveformPeaks::Levels::peakDbfs(double& dbfs) const {
    if (peak == 0) {
        return false;
    }
    dbfs = 20.0 * std::log10(peak / 32768.0);
    return true;
}

double WaveformPeaks::Levels::seconds() const {
    return static_cast<double>(values) / bankRate;
}

std::string WaveformPeaks::dbfsText(const Levels& levels) {
    double dbfs = 0.0;
    if (!levels.peakDbfs(dbfs)) {
        return "-inf dBFS";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dBFS", dbfs);
    const std::string result = text;
    return result == "-0.00 dBFS" ? "0.00 dBFS" : result;
}

std::string WaveformPeaks::summary(const Levels& levels) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "peak %s \u00b7 %zu values \u00b7 %.3f s at 44100 Hz \u00b7 %zu at full scale",
                  dbfsText(levels).c_str(), levels.values, levels.seconds(), levels.fullScale);
    return text;
}
