#include "wavetable/WaveTone.h"

#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveQuantizer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

namespace WaveTone {

std::optional<int> parseNote(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int number = 0;
    const char* end = text.data() + text.size();
    if (std::isdigit(static_cast<unsigned char>(text[0]))) {
        const auto [stop, code] = std::from_chars(text.data(), end, number);
        if (code != std::errc() || stop != end || number > 127) {
            return std::nullopt;
        }
        return number;
    }
    static constexpr int semitones[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G') {
        return std::nullopt;
    }
    int semitone = semitones[letter - 'A'];
    std::size_t at = 1;
    if (at < text.size() && (text[at] == '#' || text[at] == 'b')) {
        semitone += text[at] == '#' ? 1 : -1;
        ++at;
    }
    int octave = 0;
    const char* first = text.data() + at;
    const auto [stop, code] = std::from_chars(first, end, octave);
    if (first == end || code != std::errc() || stop != end || octave < -1 || octave > 9) {
        return std::nullopt;
    }
    const int midi = 12 * (octave + 1) + semitone;
    if (midi < 0 || midi > 127) {
        return std::nullopt;
    }
    return midi;
}

std::string describeNote(int midiNote) {
    static constexpr const char* names[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                            "F#", "G",  "G#", "A",  "A#", "B"};
    const int note = std::clamp(midiNote, 0, 127);
    char text[32];
    std::snprintf(text, sizeof text, "%s%d \u00b7 %.2f Hz", names[note % 12], note / 12 - 1,
                  frequencyOf(note));
    return text;
}

double frequencyOf(int midiNote) {
    return 440.0 * std::exp2((midiNote - 69) / 12.0);
}

std::vector<std::int16_t> render(std::span<const std::int16_t> wave, double frequency,
                                 double seconds) {
    const std::size_t length = seconds > 0 && frequency > 0
                                   ? static_cast<std::size_t>(std::lround(seconds * outputRate))
                                   : 0;
    std::vector<std::int16_t> out(length);
    if (length == 0 || wave.size() < WaveHarmonics::waveLength) {
        return out;
    }
    WaveHarmonics analysis;
    const WaveHarmonics::Set harmonics = analysis.analyse(wave);
    // The harmonics below half the output rate, each a turning phasor.
    using Complex = std::complex<double>;
    std::vector<Complex> phasors;
    std::vector<Complex> steps;
    std::vector<double> phases;
    std::vector<double> increments;
    for (int k = 1; k <= WaveHarmonics::count; ++k) {
        const double f = k * frequency;
        if (f >= outputRate / 2 || harmonics[k].magnitude < 1e-9) {
            continue;
        }
        phases.push_back(harmonics[k].phase);
        increments.push_back(2.0 * std::numbers::pi * f / outputRate);
        phasors.push_back(std::polar(harmonics[k].magnitude, harmonics[k].phase));
        steps.push_back(std::polar(1.0, increments.back()));
    }
    std::vector<double> sum(length);
    constexpr std::size_t block = 1024;
    for (std::size_t start = 0; start < length; start += block) {
        // Each block starts from the exact phase, so rounding never drifts the pitch.
        for (std::size_t h = 0; h < phasors.size(); ++h) {
            const double phase = std::fmod(phases[h] + increments[h] * static_cast<double>(start),
                                           2.0 * std::numbers::pi);
            phasors[h] = std::polar(std::abs(phasors[h]), phase);
        }
        const std::size_t end = std::min(length, start + block);
        for (std::size_t i = start; i < end; ++i) {
            double value = 0.0;
            for (std::size_t h = 0; h < phasors.size(); ++h) {
                value += phasors[h].real();
                phasors[h] *= steps[h];
            }
            sum[i] = value;
        }
    }
    const std::size_t fade = std::min(length / 2, static_cast<std::size_t>(0.005 * outputRate));
    for (std::size_t i = 0; i < fade; ++i) {
        const double g = 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) /
                                              static_cast<double>(fade));
        sum[i] *= g;
        sum[length - 1 - i] *= g;
    }
    WaveQuantizer quantizer;
    quantizer.gain = WaveQuantizer::fitGain(sum);
    quantizer.apply(sum, out);
    return out;
}

} // namespace WaveTone
