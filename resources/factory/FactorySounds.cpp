#include "FactorySounds.h"

#include "FactoryRandom.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rate = FactorySounds::sampleRate;
constexpr int length = FactorySounds::soundLength;

double seconds(int n) {
    return n / rate;
}

// A second-order filter section with the usual audio-cookbook designs.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    double process(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    void set(double n0, double n1, double n2, double d0, double d1, double d2) {
        b0 = n0 / d0;
        b1 = n1 / d0;
        b2 = n2 / d0;
        a1 = d1 / d0;
        a2 = d2 / d0;
    }
    // Band-pass with 0 dB at the centre.
    void bandPass(double frequency, double q) {
        const double w = 2 * pi * frequency / rate;
        const double alpha = std::sin(w) / (2 * q);
        set(alpha, 0, -alpha, 1 + alpha, -2 * std::cos(w), 1 - alpha);
    }
    void lowPass(double frequency, double q) {
        const double w = 2 * pi * frequency / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        set((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
    }
    void highPass(double frequency, double q) {
        const double w = 2 * pi * frequency / rate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        set((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
    }
};

// Attack-and-decay envelope: a raised-cosine rise over attack seconds, then exponential decay.
double envelope(double t, double attack, double decay) {
    if (t < 0) {
        return 0;
    }
    const double rise = t < attack ? 0.5 - 0.5 * std::cos(pi * t / attack) : 1.0;
    return rise * std::exp(-t / decay);
}

double fadeCurve(double x) {
    return 0.5 - 0.5 * std::cos(pi * std::clamp(x, 0.0, 1.0));
}

// Removes the DC, scales the peak to 90 % of full scale, fades both ends so that the sound
// starts and ends at 0, and rounds to 16 bits.
std::vector<std::int16_t> finish(std::vector<double> x, double fadeIn, double fadeOut) {
    double mean = 0;
    for (const double v : x) {
        mean += v;
    }
    mean /= static_cast<double>(x.size());
    // one-pole high-pass at about 10 Hz
    const double r = std::exp(-2 * pi * 10 / rate);
    double previousIn = x.empty() ? 0 : x[0] - mean;
    double previousOut = 0;
    for (double& v : x) {
        const double in = v - mean;
        previousOut = in - previousIn + r * previousOut;
        previousIn = in;
        v = previousOut;
    }
    const auto n = static_cast<int>(x.size());
    for (int i = 0; i < n; ++i) {
        x[i] *= fadeCurve(seconds(i) / fadeIn) * fadeCurve(seconds(n - 1 - i) / fadeOut);
    }
    double peak = 0;
    for (const double v : x) {
        peak = std::max(peak, std::abs(v));
    }
    std::vector<std::int16_t> out(x.size(), 0);
    if (peak > 0) {
        for (std::size_t i = 0; i < x.size(); ++i) {
            out[i] = static_cast<std::int16_t>(std::lround(x[i] * 0.9 * 32767 / peak));
        }
    }
    return out;
}

double noteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

double cents(double c) {
    return std::pow(2.0, c / 1200.0);
}

} // namespace

// Two-operator FM pairs in the manner of the classic digital electric piano: a 1:1 pair whose
// modulation index falls as the note decays (the warm body) and a 1:14 pair that only sounds
// at the attack (the bright tine). Two voices a few cents apart give a gentle chorus, and a
// slow tremolo moves the level. Middle C.
std::vector<double> FactorySounds::electricPiano() {
    std::vector<double> out(length, 0.0);
    const double f = noteFrequency(60);
    for (const double detune : {-3.0, 3.0}) {
        const double fv = f * cents(detune);
        for (int n = 0; n < length; ++n) {
            const double t = seconds(n);
            const double w = 2 * pi * fv * t;
            const double bodyIndex = 1.6 * std::exp(-t / 0.4) + 0.3;
            const double body = envelope(t, 0.002, 1.3) * std::sin(w + bodyIndex * std::sin(w));
            const double tineIndex = 2.2 * std::exp(-t / 0.025);
            const double tine =
                0.3 * envelope(t, 0.001, 0.3) * std::sin(w + tineIndex * std::sin(14 * w));
            const double tremolo = 1.0 - 0.08 * (0.5 - 0.5 * std::cos(2 * pi * 4.8 * t));
            out[n] += (body + tine) * tremolo;
        }
    }
    return out;
}

// An extended Karplus-Strong string: a noise burst, softened and combed for a pick position
// near the bridge, circulates in a delay line tuned by an all-pass fraction and damped by a
// two-point average; three body resonances colour the result. A below middle C (110 Hz).
std::vector<double> FactorySounds::pluckedString() {
    const double f = noteFrequency(45);
    FactoryRandom random(0x5791);
    // the averaging filter adds half a sample of delay
    const double loop = rate / f - 0.5;
    const int whole = static_cast<int>(std::floor(loop - 0.1));
    const double frac = loop - whole;
    const double allpass = (1 - frac) / (1 + frac);
    const double decay = std::pow(10.0, -3.0 / (3.5 * f)); // about 3.5 s to fall by 60 dB

    std::vector<double> excitation(static_cast<std::size_t>(whole), 0.0);
    double soft = 0;
    for (double& e : excitation) {
        soft += 0.3 * (random.noise() - soft);
        e = soft;
    }
    const auto pick = static_cast<std::size_t>(0.13 * whole);
    std::vector<double> combed(excitation.size(), 0.0);
    for (std::size_t i = 0; i < excitation.size(); ++i) {
        combed[i] = excitation[i] - (i >= pick ? excitation[i - pick] : 0.0);
    }

    std::vector<double> line(static_cast<std::size_t>(whole), 0.0);
    std::vector<double> out(length, 0.0);
    std::size_t position = 0;
    double previous = 0, apIn = 0, apOut = 0;
    std::array<Biquad, 3> body;
    body[0].bandPass(98, 4);
    body[1].bandPass(204, 6);
    body[2].bandPass(420, 5);
    for (int n = 0; n < length; ++n) {
        const double delayed = line[position];
        const double averaged = decay * 0.5 * (delayed + previous);
        previous = delayed;
        // first-order all-pass for the fractional part of the loop delay
        const double tuned = allpass * averaged + apIn - allpass * apOut;
        apIn = averaged;
        apOut = tuned;
        const double input = n < whole ? combed[static_cast<std::size_t>(n)] : 0.0;
        const double s = tuned + input;
        line[position] = s;
        position = (position + 1) % line.size();
        out[n] =
            s + 0.6 * body[0].process(s) + 0.4 * body[1].process(s) + 0.25 * body[2].process(s);
    }
    return out;
}

namespace {

void addKick(std::vector<double>& out, int start, double velocity, FactoryRandom& random) {
    double phase = 0;
    Biquad click;
    click.lowPass(3000, 0.7);
    for (int n = start; n < length; ++n) {
        const double t = seconds(n - start);
        const double frequency = 46 + 110 * std::exp(-t / 0.03);
        phase += 2 * pi * frequency / rate;
        const double tone = std::sin(phase) * envelope(t, 0.0015, 0.2);
        const double tick = click.process(random.noise()) * std::exp(-t / 0.003);
        out[n] += velocity * std::tanh(1.8 * (tone + 0.4 * tick)) / std::tanh(1.8);
    }
}

void addSnare(std::vector<double>& out, int start, double velocity, double decay,
              FactoryRandom& random) {
    Biquad high;
    high.highPass(1200, 0.7);
    Biquad band;
    band.bandPass(5000, 0.8);
    double p1 = 0, p2 = 0;
    for (int n = start; n < length; ++n) {
        const double t = seconds(n - start);
        p1 += 2 * pi * 185 / rate;
        p2 += 2 * pi * 330 / rate;
        const double tone = 0.6 * std::sin(p1) * envelope(t, 0.001, 0.05) +
                            0.3 * std::sin(p2) * envelope(t, 0.001, 0.035);
        const double noise = high.process(random.noise());
        const double hiss = (0.6 * noise + 0.5 * band.process(noise)) * envelope(t, 0.001, decay);
        out[n] += velocity * 0.8 * (tone + hiss);
    }
}

void addHat(std::vector<double>& out, int start, double velocity, double decay,
            FactoryRandom& random) {
    // six detuned square waves make the metallic ring, noise the sizzle
    constexpr std::array<double, 6> metal = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    Biquad band;
    band.bandPass(9500, 1.2);
    Biquad high;
    high.highPass(7000, 0.7);
    for (int n = start; n < length; ++n) {
        const double t = seconds(n - start);
        double ring = 0;
        for (const double f : metal) {
            ring += std::fmod(t * f * 1.7, 1.0) < 0.5 ? 1.0 : -1.0;
        }
        const double s = high.process(band.process(ring / 6 + 0.5 * random.noise()));
        out[n] += velocity * 2.0 * s * envelope(t, 0.0005, decay);
    }
}

} // namespace

// One bar of a two-step breakbeat at 164 beats per minute, so that the bar fills the sound
// exactly and loops: sixteen steps of 4032 values. Kick on 1 and the and of 3, snare on 2 and
// 4 with quiet ghost notes, sixteenth-note hi-hats accented on the eighths and an open hat
// before the bar repeats. Kick: a sine falling in pitch with a click; snare: two drum modes and
// filtered noise; hats: six square waves and noise through high filters.
std::vector<double> FactorySounds::drumBar() {
    constexpr int stepLength = length / 16;
    std::vector<double> out(length, 0.0);
    FactoryRandom random(0xD4C);
    for (const int s : {0, 10}) {
        addKick(out, s * stepLength, 1.0, random);
    }
    addSnare(out, 4 * stepLength, 0.9, 0.09, random);
    addSnare(out, 12 * stepLength, 0.9, 0.09, random);
    addSnare(out, 7 * stepLength, 0.22, 0.05, random);
    addSnare(out, 9 * stepLength, 0.18, 0.05, random);
    addSnare(out, 15 * stepLength, 0.25, 0.04, random);
    for (int s = 0; s < 16; ++s) {
        if (s == 14) {
            addHat(out, s * stepLength, 0.55, 0.12, random);
        } else if (s != 15) {
            addHat(out, s * stepLength, s % 2 == 0 ? 0.45 : 0.2, 0.035, random);
        }
    }
    return out;
}

// Six band-limited sawtooth voices spread over 27 cents sing into five parallel formant
// filters that glide from an open "ah" to a rounder "oh"; each voice has its own vibrato,
// breath noise runs through the same formants and the voices' low end is kept for body.
// A slow swell and release. A below middle C (220 Hz).
std::vector<double> FactorySounds::vocalPad() {
    struct Formant {
        double frequency, gainDb, bandwidth;
    };
    constexpr std::array<Formant, 5> ah = {
        {{650, 0, 80}, {1080, -6, 90}, {2650, -7, 120}, {2900, -8, 130}, {3250, -22, 140}}};
    constexpr std::array<Formant, 5> oh = {
        {{400, 0, 70}, {800, -10, 80}, {2600, -12, 100}, {2800, -12, 130}, {3000, -26, 135}}};
    const double f = noteFrequency(57);
    FactoryRandom random(0x70CA1);
    constexpr std::array<double, 6> detunes = {-14, -7, -2, 3, 8, 13};
    std::array<double, 6> phases{}, vibratoRates{}, vibratoPhases{};
    for (std::size_t v = 0; v < phases.size(); ++v) {
        phases[v] = random.uniform();
        vibratoRates[v] = random.range(4.6, 5.6);
        vibratoPhases[v] = random.uniform();
    }
    std::array<Biquad, 5> formants;
    std::array<double, 5> gains{};
    Biquad low;
    low.lowPass(320, 0.7);
    std::vector<double> out(length, 0.0);
    for (int n = 0; n < length; ++n) {
        const double t = seconds(n);
        if (n % 32 == 0) {
            const double morph = fadeCurve((t - 0.3) / 0.9);
            for (std::size_t k = 0; k < formants.size(); ++k) {
                const double frequency = (1 - morph) * ah[k].frequency + morph * oh[k].frequency;
                const double bandwidth = (1 - morph) * ah[k].bandwidth + morph * oh[k].bandwidth;
                formants[k].bandPass(frequency, frequency / bandwidth);
                gains[k] = std::pow(10.0, ((1 - morph) * ah[k].gainDb + morph * oh[k].gainDb) / 20);
            }
        }
        const double vibratoDepth = 0.004 * fadeCurve((t - 0.25) / 0.4);
        double source = 0;
        for (std::size_t v = 0; v < phases.size(); ++v) {
            const double vibrato =
                1 + vibratoDepth * std::sin(2 * pi * (vibratoRates[v] * t + vibratoPhases[v]));
            const double dt = f * cents(detunes[v]) * vibrato / rate;
            phases[v] += dt;
            phases[v] -= std::floor(phases[v]);
            // sawtooth with a polynomial correction at the wrap (no aliasing to speak of)
            const double p = phases[v];
            double saw = 2 * p - 1;
            if (p < dt) {
                const double x = p / dt;
                saw -= x + x - x * x - 1;
            } else if (p > 1 - dt) {
                const double x = (p - 1) / dt;
                saw -= x * x + x + x + 1;
            }
            source += saw / static_cast<double>(phases.size());
        }
        const double voiced = source + 0.04 * random.noise();
        double sung = 0;
        for (std::size_t k = 0; k < formants.size(); ++k) {
            sung += gains[k] * formants[k].process(voiced);
        }
        const double swell = fadeCurve(t / 0.35);
        out[n] = swell * (sung + 0.35 * low.process(source));
    }
    return out;
}

std::vector<std::int16_t> FactorySounds::bank(int index) {
    std::vector<double> sound;
    double fadeIn = 0.001, fadeOut = 0.03;
    switch (index) {
    case 0:
        sound = electricPiano();
        fadeOut = 0.25;
        break;
    case 1:
        sound = pluckedString();
        fadeOut = 0.25;
        break;
    case 2:
        sound = drumBar();
        fadeOut = 0.02;
        break;
    default:
        sound = vocalPad();
        fadeIn = 0.05;
        fadeOut = 0.35;
        break;
    }
    std::vector<std::int16_t> out = finish(std::move(sound), fadeIn, fadeOut);
    out.resize(65536, 0);
    return out;
}
