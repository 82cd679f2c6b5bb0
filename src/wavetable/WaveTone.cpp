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
    Generator generator(wave, frequency, seconds);
    std::vector<std::int16_t> out(generator.length());
    generator.read(out);
    return out;
}

Generator::Generator(std::span<const std::int16_t> wave, double frequency, double seconds)
    : frequency_(frequency),
      length_(seconds > 0 && frequency > 0
                  ? static_cast<std::size_t>(std::lround(seconds * outputRate))
                  : 0),
      fade_(std::min(length_ / 2, static_cast<std::size_t>(0.005 * outputRate))) {
    take(wave);
    anchor();
}

void Generator::setWave(std::span<const std::int16_t> wave) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.assign(wave.begin(), wave.end());
}

void Generator::take(std::span<const std::int16_t> wave) {
    partials_.clear();
    if (wave.size() < WaveHarmonics::waveLength) {
        return;
    }
    WaveHarmonics analysis;
    const WaveHarmonics::Set harmonics = analysis.analyse(wave);
    // The harmonics below half the output rate.
    for (int k = 1; k <= WaveHarmonics::count; ++k) {
        const double f = k * frequency_;
        if (f >= outputRate / 2 || harmonics[k].magnitude < 1e-9) {
            continue;
        }
        partials_.push_back(
            {harmonics[k].magnitude, harmonics[k].phase, 2.0 * std::numbers::pi * k});
    }
    // The cycle's peak, found on a fine grid: a wave that would pass full scale is scaled down.
    constexpr int grid = 2048;
    double peak = 0.0;
    for (int i = 0; i < grid; ++i) {
        double value = 0.0;
        for (const Partial& p : partials_) {
            value += p.magnitude * std::cos(p.increment * i / grid + p.phase);
        }
        peak = std::max(peak, std::abs(value));
    }
    gain_ = peak > 32767.0 ? 32767.0 / peak : 1.0;
}

void Generator::anchor() {
    const double step = frequency_ / outputRate;
    phasors_.resize(partials_.size());
    steps_.resize(partials_.size());
    for (std::size_t h = 0; h < partials_.size(); ++h) {
        const Partial& p = partials_[h];
        phasors_[h] = std::polar(p.magnitude,
                                 std::fmod(p.increment * cycle_ + p.phase, 2.0 * std::numbers::pi));
        steps_[h] = std::polar(1.0, p.increment * step);
    }
}

std::size_t Generator::read(std::span<std::int16_t> out) {
    const std::size_t count = std::min(out.size(), length_ - done_);
    const double step = frequency_ / outputRate;
    WaveQuantizer quantizer;
    constexpr std::size_t block = 1024;
    for (std::size_t i = 0; i < count; ++i, ++done_) {
        if (done_ % block == 0) {
            // Each block starts from the exact phase, so rounding never drifts the pitch.
            anchor();
        }
        double value = 0.0;
        for (std::size_t h = 0; h < phasors_.size(); ++h) {
            value += phasors_[h].real();
            phasors_[h] *= steps_[h];
        }
        double g = gain_;
        const std::size_t fromEnd = length_ - 1 - done_;
        if (done_ < fade_ || fromEnd < fade_) {
            const double at = static_cast<double>(std::min(done_, fromEnd));
            g *= 0.5 - 0.5 * std::cos(std::numbers::pi * at / static_cast<double>(fade_));
        }
        quantizer.gain = g;
        out[i] = quantizer(value);
        cycle_ += step;
        if (cycle_ >= 1.0) {
            cycle_ -= std::floor(cycle_);
            std::vector<std::int16_t> wave;
            if (std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock); lock.owns_lock()) {
                wave.swap(pending_);
            }
            if (!wave.empty()) {
                take(wave);
                anchor();
            }
        }
    }
    return count;
}

} // namespace WaveTone

namespace WaveTone {

std::vector<std::int16_t> renderScan(std::span<const double> waves, double frequency,
                                     double seconds) {
    const std::size_t count = waves.size() / 256;
    if (count == 0) {
        return {};
    }
    const auto wave = [&waves](std::size_t k) {
        std::vector<std::int16_t> values(256);
        WaveQuantizer quantize;
        quantize.apply(waves.subspan(k * 256, 256), values);
        return values;
    };
    Generator tone(wave(0), frequency, seconds);
    std::vector<std::int16_t> out(tone.length());
    const std::size_t share = out.size() / count;
    for (std::size_t k = 0; k < count; ++k) {
        tone.setWave(wave(k));
        const std::size_t from = k * share;
        tone.read(std::span(out).subspan(from, k + 1 == count ? out.size() - from : share));
    }
    return out;
}

} // namespace WaveTone
