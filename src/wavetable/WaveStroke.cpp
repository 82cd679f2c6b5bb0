#include "wavetable/WaveStroke.h"

#include "wavetable/WaveQuantizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace WaveStroke {

void drawLine(std::span<std::int16_t> wave, double fromPosition, double fromValue,
              double toPosition, double toValue) {
    if (wave.empty() || !std::isfinite(fromPosition) || !std::isfinite(toPosition)) {
        return;
    }
    if (toPosition < fromPosition) {
        std::swap(fromPosition, toPosition);
        std::swap(fromValue, toValue);
    }
    const double last = static_cast<double>(wave.size() - 1);
    const long first = std::lround(std::clamp(fromPosition, 0.0, last));
    const long end = std::lround(std::clamp(toPosition, 0.0, last));
    WaveQuantizer quantizer;
    for (long i = first; i <= end; ++i) {
        const double span = toPosition - fromPosition;
        const double t =
            span > 0 ? std::clamp((static_cast<double>(i) - fromPosition) / span, 0.0, 1.0) : 1.0;
        wave[static_cast<std::size_t>(i)] = quantizer(fromValue + t * (toValue - fromValue));
    }
}

} // namespace WaveStroke
