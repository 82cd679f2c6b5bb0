// Wavetable work timed in process (median of several runs): a 256-frame table of 2048 values a
// frame (32-bit float WAV with its "clm " chunk) read and resampled into a bank, beside
// scipy.signal.resample doing the same 256 resamplings in the same run; 64 frames spread over
// 256 slots; 256 waves normalized; and the resynthesis's mean fit beside a baseline (one period
// found once, at the middle moment, taken for every slot) on the committed voice and on
// detuned unisons. Then formulas and ramped operations over 256 slots, the dialog's recompute,
// and whole `vaneto make` processes with and without a formula, side by side.
//
//   wavetable_bench [--runs N]

#include "../MedianTime.h"
#include "audio/WaveFileWriter.h"
#include "device/DvVaneto.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WaveResynthesis.h"
#include "wavetable/WaveShaper.h"
#include "wavetable/WavetableImport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

extern char** environ;

namespace {

// One whole process of the command-line tool, its output thrown away.
void runTool(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = 1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        ::waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) {
        std::fprintf(stderr, "%s failed\n", words[0].c_str());
        std::exit(1);
    }
}

// Formulas and ramped operations over all 256 slots, and whole processes of `vaneto make`.
void timeShaping(int runs, const std::filesystem::path& dir) {
    DvVaneto store;
    store.setSingleSample(1, false);
    const auto bank = store.bankData(1);
    using Kind = WaveShaper::Request::Kind;
    const std::string pm = "sin(2*pi*x + (1 + 3*t) * sin(4*pi*x)) * (0.6 + 0.4*y)";
    const auto timed = [&](WaveShaper::Request request) {
        return medianMilliseconds(runs, [&] {
            WaveShaper shaper; // read anew each time, as the command-line tool does
            if (!shaper.shape(bank, request).ok) {
                std::exit(1);
            }
        });
    };
    WaveShaper::Request formula;
    formula.expression = pm;
    const double values = timed(formula);
    WaveShaper::Request harmonics;
    harmonics.kind = Kind::harmonics;
    harmonics.expression = "(h <= 2 + 100*t ? 1 : 0) / h";
    harmonics.level.kind = WaveFormula::Level::Kind::fit;
    const double sums = timed(harmonics);
    std::printf("256 slots from a formula (phase modulation, x t y):           %8.3f ms\n", values);
    std::printf("256 slots from --harmonics (127 each), fitted:                 %8.3f ms\n", sums);
    for (const char* text : {"gain=-12:0", "lowpass=128:2", "align", "warp=1:4", "fold=1:6"}) {
        std::string error;
        WaveShaper::Request op;
        op.kind = Kind::operation;
        op.operation = *RampedOperation::parse(text, error);
        std::printf("--op %-14s over 256 slots:                              %8.3f ms\n", text,
                    timed(op));
    }
    // The dialog keeps its shaper: a recompute reads the formula once, then only evaluates.
    WaveShaper kept;
    int step = 0;
    const double recompute = medianMilliseconds(runs, [&] {
        WaveShaper::Request again = formula;
        again.level.kind =
            (++step % 2) != 0 ? WaveFormula::Level::Kind::fit : WaveFormula::Level::Kind::clamp;
        kept.shape(bank, again);
    });
    WaveShaper fresh;
    const double retyped = medianMilliseconds(runs, [&] {
        WaveShaper::Request again = formula;
        again.expression += (++step % 2) != 0 ? " " : "  ";
        fresh.shape(bank, again);
    });
    std::printf("the dialog's recompute, same formula / a key typed:            %8.3f / %.3f ms\n",
                recompute, retyped);

    const std::string tool = VANETO_CLI;
    const std::string out = (dir / "made.mid").string();
    std::vector<double> plain;
    std::vector<double> withFormula;
    for (int i = 0; i < runs; ++i) {
        plain.push_back(medianMilliseconds(1, [&] {
            runTool({tool, "make", out, "--waves", "2"});
        }));
        withFormula.push_back(medianMilliseconds(1, [&] {
            runTool({tool, "make", out, "--formula", "2", pm});
        }));
    }
    std::sort(plain.begin(), plain.end());
    std::sort(withFormula.begin(), withFormula.end());
    std::printf("vaneto make OUT --waves 2, whole process:                      %8.3f ms\n",
                plain[plain.size() / 2]);
    std::printf("vaneto make OUT --formula 2 EXPR, whole process:               %8.3f ms\n",
                withFormula[withFormula.size() / 2]);
}

// The relative spectral error, in %, of harmonics 1 ... 64 of `wave` against `truth`.
double fitBetween(std::span<const double> wave, std::span<const double> truth) {
    WaveHarmonics harmonics;
    const auto a = harmonics.analyse(wave);
    const auto b = harmonics.analyse(truth);
    double error = 0, energy = 0;
    for (std::size_t h = 1; h <= WaveResynthesis::fitHarmonics; ++h) {
        error += (a[h].magnitude - b[h].magnitude) * (a[h].magnitude - b[h].magnitude);
        energy += b[h].magnitude * b[h].magnitude;
    }
    return energy > 0 ? 100 * std::sqrt(error / energy) : 0;
}

// Mean fit over the voiced slots: ours (each slot's own period), and the baseline's, whose one
// period (the middle slot's) stands for every moment. The recording's magnitudes at each moment
// are the spectral mode's slots (which take them over three periods).
void compareFits(const std::string& name, const std::filesystem::path& path) {
    WaveResynthesis::Options options;
    const WaveResynthesis::Result ours = WaveResynthesis::make(path, options);
    options.mode = WaveResynthesis::Mode::spectral;
    const WaveResynthesis::Result truth = WaveResynthesis::make(path, options);
    if (!ours.ok || !truth.ok) {
        std::printf("%s: not resynthesized\n", name.c_str());
        return;
    }
    const auto slot = [](const WaveResynthesis::Result& r, std::size_t k) {
        return std::span<const double>(r.waves).subspan(k * 256, 256);
    };
    const std::size_t middle = ours.fit.size() / 2;
    double mine = 0, baseline = 0;
    int voiced = 0;
    for (std::size_t k = 0; k < ours.fit.size(); ++k) {
        if (std::isnan(ours.fit[k])) {
            continue;
        }
        mine += ours.fit[k];
        baseline += fitBetween(slot(ours, middle), slot(truth, k));
        ++voiced;
    }
    std::printf("%-34s mean fit %6.2f %%, the single-period baseline %6.2f %%\n",
                (name + ":").c_str(), mine / voiced, baseline / voiced);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = runsAsked(argc, argv, 15);
    std::string pattern = (std::filesystem::temp_directory_path() / "vaneto-wtb-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = pattern;
    const std::filesystem::path table = dir / "table2048.wav";

    // 256 frames of 2048: each a different mix of a saw and a square, band-limited by nothing,
    // as tables drawn in other synths are.
    std::vector<float> values(256 * 2048);
    for (std::size_t f = 0; f < 256; ++f) {
        const double mix = static_cast<double>(f) / 255.0;
        for (std::size_t i = 0; i < 2048; ++i) {
            const double saw = 2.0 * static_cast<double>(i) / 2048.0 - 1.0;
            const double square = i < 1024 ? 0.9 : -0.9;
            values[f * 2048 + i] = static_cast<float>((1 - mix) * saw * 0.8 + mix * square);
        }
    }
    {
        WaveFileWriter::Chunk clm;
        std::memcpy(clm.id.data(), "clm ", 4);
        const std::string text = "<!>2048 00000000 wavetable";
        clm.bytes.assign(text.begin(), text.end());
        WaveFileWriter writer(table);
        writer.writeMonoFloat32(values, 44100, std::span(&clm, 1));
    }

    DvVaneto store;
    const double import = medianMilliseconds(runs, [&] {
        const auto result = WavetableImport::importTable(table, store, 1, {});
        if (!result.ok || result.frames != 256) {
            std::fprintf(stderr, "import failed: %s\n", result.error.c_str());
            std::exit(1);
        }
    });

    // 64 frames of 256 (already at the bank's length) spread over 256 slots.
    std::vector<double> waves(64 * 256);
    for (std::size_t i = 0; i < waves.size(); ++i) {
        waves[i] = 20000.0 * std::sin(2 * std::numbers::pi * static_cast<double>(i % 256) / 256 *
                                      static_cast<double>(1 + i / 256 % 8));
    }
    const std::vector<std::string> names(64, "frame");
    WavetableImport::Options spread;
    spread.spread = true;
    const double spreading =
        medianMilliseconds(runs, [&] { WavetableImport::place(waves, names, store, 2, spread); });

    std::vector<std::int16_t> bank(store.bankData(1).begin(), store.bankData(1).end());
    for (std::int16_t& v : bank) {
        v = static_cast<std::int16_t>(v / 3);
    }
    std::vector<std::int16_t> work;
    const double normalizing = medianMilliseconds(runs, [&] {
        work = bank;
        WaveOperations::normalize(work, 256, false);
    });

    // A 10-s 48 kHz recording (a band-limited saw gliding an octave with a vibrato) made into
    // 256 waves, the whole process from the file.
    const std::filesystem::path recording = dir / "recording.wav";
    {
        std::vector<float> sound(10 * 48000);
        for (std::size_t i = 0; i < sound.size(); ++i) {
            const double t = static_cast<double>(i) / 48000;
            const double phase =
                2 * std::numbers::pi * 110 * 10 / std::log(2.0) * (std::pow(2.0, t / 10) - 1) +
                0.3 * std::sin(2 * std::numbers::pi * 5 * t);
            double v = 0;
            for (int h = 1; h <= 80; ++h) {
                v += std::sin(h * phase) / h;
            }
            sound[i] = static_cast<float>(0.4 * v);
        }
        WaveFileWriter writer(recording);
        writer.writeMonoFloat32(sound, 48000);
    }
    double resynth[2] = {};
    for (const auto mode : {WaveResynthesis::Mode::pitch, WaveResynthesis::Mode::spectral}) {
        resynth[mode == WaveResynthesis::Mode::spectral] = medianMilliseconds(runs, [&] {
            WaveResynthesis::Options options;
            options.mode = mode;
            if (!WaveResynthesis::make(recording, options).ok) {
                std::fprintf(stderr, "resynthesis failed\n");
                std::exit(1);
            }
        });
    }

    // The editor's dialog asks again for every change of its choice, with the span given.
    const double recompute = medianMilliseconds(runs, [&] {
        WaveResynthesis::Options options;
        options.start = 2.0;
        options.end = 8.0;
        if (!WaveResynthesis::make(recording, options).ok) {
            std::exit(1);
        }
    });

    std::printf("runs: %d (medians)\n", runs);
    std::printf("10-s 48 kHz recording resynthesized into 256 waves, pitch mode:   %8.3f ms\n",
                resynth[0]);
    std::printf("the same, spectral mode:                                         %8.3f ms\n",
                resynth[1]);
    std::printf("the dialog's recompute (2 to 8 s into all 256 slots):           %8.3f ms\n",
                recompute);
    std::printf("table 256 x 2048 float WAV into a bank (read + resample + write): %8.3f ms\n",
                import);
    std::fflush(stdout);
    const std::string peer = std::string("/usr/bin/python3 ") + VANETO_SCIPY_SCRIPT + " '" +
                             table.string() + "' " + std::to_string(runs);
    FILE* pipe = ::popen(peer.c_str(), "r");
    char line[128];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
        char what[32];
        double ms = 0;
        if (std::sscanf(line, "%31s %lf", what, &ms) == 2) {
            std::printf("scipy.signal.resample, %-9s (resampling only, file not timed): %8.3f ms\n",
                        what, ms);
        }
    }
    if (pipe == nullptr || ::pclose(pipe) != 0) {
        std::printf("scipy: not run (python3-scipy missing?)\n");
    }
    std::printf("64 frames spread over 256 slots:                                %8.3f ms\n",
                spreading);
    std::printf("256 waves normalized:                                           %8.3f ms\n",
                normalizing);
    timeShaping(runs, dir);
    compareFits("the committed voice", VANETO_VOWEL);
    for (const auto& [name, tones] : std::vector<std::pair<std::string, std::vector<double>>>{
             {"two saws 110 and 110.7 Hz", {110.0, 110.7}},
             {"three saws 220, 220.9, 219.2 Hz", {220.0, 220.9, 219.2}}}) {
        std::vector<float> sound(4 * 48000);
        for (std::size_t i = 0; i < sound.size(); ++i) {
            const double t = static_cast<double>(i) / 48000;
            double v = 0;
            for (const double tone : tones) {
                for (int h = 1; h * tone < 20000; ++h) {
                    v += std::sin(2 * std::numbers::pi * h * tone * t + h) / h;
                }
            }
            sound[i] = static_cast<float>(0.25 * v / static_cast<double>(tones.size()));
        }
        const std::filesystem::path unison = dir / "unison.wav";
        WaveFileWriter(unison).writeMonoFloat32(sound, 48000);
        compareFits(name, unison);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
