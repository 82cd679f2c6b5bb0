// Imports a long audio file into one bank and measures wall time and peak memory, each run in a
// fresh process, side by side with sox producing one bank's worth of 44100 Hz mono 16-bit from
// the same file in the same run. Prints the median of every measure.
//
//   import_bench [--runs N] [--file PATH] [--seconds S] [--whole]
//
// Without --file, a WAV file of S seconds (default 600) at 96000 Hz, 24-bit stereo, is made with
// sox in a temporary folder and removed afterwards. --whole also times reading and converting
// the whole file (what the import would cost without its byte limit), once per run.

#include "files/SampleImport.h"
#include "device/DvVaneto.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Measure {
    double milliseconds = 0;
    double cpuMilliseconds = 0; // user + system
    double megabytes = 0;       // peak resident set
    bool ok = false;
};

// Runs a program in a fresh process, its output discarded, and measures it.
Measure run(const std::vector<std::string>& argv) {
    Measure m;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        return m;
    }
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        return m;
    }
    const auto end = std::chrono::steady_clock::now();
    m.milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
    m.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    m.cpuMilliseconds = ms(usage.ru_utime) + ms(usage.ru_stime);
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

double median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The child process: one import into bank 0, the way the editor does it.
int importOnce(const char* path, bool whole) {
    DvVaneto store;
    SampleImport::Result result;
    if (whole) {
        result = SampleImport::load(path, true);
        store.insertSample(result.values.data(), result.values.size(), 0, 0);
    } else {
        result = SampleImport::importInto(path, store, 0);
    }
    std::printf("%zu values\n", result.values.size());
    return SampleImport::isImported(result.outcome) && !result.values.empty() ? 0 : 1;
}

struct Row {
    std::string label;
    std::vector<std::string> argv;
    std::vector<double> ms, cpu, mb;
    bool failed = false;
};

} // namespace

int main(int argc, char** argv) {
    int runs = 7;
    double seconds = 600;
    std::string file;
    bool whole = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--import-once" && i + 1 < argc) {
            return importOnce(argv[i + 1], false);
        }
        if (a == "--import-whole-once" && i + 1 < argc) {
            return importOnce(argv[i + 1], true);
        }
        if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--file" && i + 1 < argc) {
            file = argv[++i];
        } else if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--whole") {
            whole = true;
        } else {
            std::printf("usage: %s [--runs N] [--file PATH] [--seconds S] [--whole]\n", argv[0]);
            return a == "--help" ? 0 : 2;
        }
    }

    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    std::filesystem::path folder;
    if (file.empty()) {
        char pattern[] = "/tmp/import-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
        file = (folder / "long.wav").string();
        std::printf("making %.0f s of 96000 Hz 24-bit stereo with sox...\n", seconds);
        std::fflush(stdout);
        const Measure made =
            run({"/usr/bin/sox", "-V1", "-n", "-r", "96000", "-c", "2", "-b", "24", "-t", "wav",
                 file, "synth", std::to_string(seconds), "sine", "440", "pinknoise", "gain", "-3"});
        if (!made.ok) {
            std::fprintf(stderr, "sox could not make the file\n");
            return 1;
        }
    }
    const auto size = std::filesystem::file_size(file);
    const std::string out =
        (folder.empty() ? std::filesystem::temp_directory_path() : folder) / "import-bench-out.wav";

    std::vector<Row> rows = {
        {"ours (import into a bank)", {self.string(), "--import-once", file}, {}, {}, {}},
        {"sox -r 44100 -c 1 -b 16 trim 0 65536s",
         {"/usr/bin/sox", "-V1", file, "-r", "44100", "-c", "1", "-b", "16", out, "trim", "0",
          "65536s"},
         {},
         {},
         {}},
        {"sox -b 16 channels 1 rate 44100 trim 0 65536s",
         {"/usr/bin/sox", "-V1", file, "-b", "16", out, "channels", "1", "rate", "44100", "trim",
          "0", "65536s"},
         {},
         {},
         {}},
    };
    if (whole) {
        rows.push_back({"ours, whole file read and converted",
                        {self.string(), "--import-whole-once", file},
                        {},
                        {},
                        {}});
    }

    // Interleaved, so that every tool meets the same machine state.
    for (int r = 0; r < runs; ++r) {
        for (Row& row : rows) {
            const Measure m = run(row.argv);
            row.failed |= !m.ok;
            row.ms.push_back(m.milliseconds);
            row.cpu.push_back(m.cpuMilliseconds);
            row.mb.push_back(m.megabytes);
        }
    }

    std::printf("file: %s (%.1f MB), %d runs, medians:\n", file.c_str(),
                static_cast<double>(size) / 1e6, runs);
    std::printf("  %-50s %10s %10s %12s\n", "", "wall ms", "CPU ms", "peak RSS MB");
    for (const Row& row : rows) {
        std::printf("  %-50s %10.1f %10.1f %12.1f%s\n", row.label.c_str(), median(row.ms),
                    median(row.cpu), median(row.mb), row.failed ? "  (FAILED)" : "");
    }

    std::error_code ignored;
    std::filesystem::remove(out, ignored);
    if (!folder.empty()) {
        std::filesystem::remove_all(folder, ignored);
    }
    return 0;
}
