// What keeping the work costs, median of --runs runs (default 51):
//   step      a drawing step (one wave of 256 values) ended on the GUI thread, without and with
//             its journal record (the write itself happens on the journal's thread)
//   compact   the quit: seven changed banks and their history compacted, synced and renamed,
//             and the bank file written beside it
//   restore   the start: the newest state read, replayed (a snapshot and 200 steps) and taken
//             over
//   pause     the GUI thread's longest step while the journal of a state with 64 MiB of history
//             is compacted in the background (median over --heavy runs, default 3)
//   largest   the restore of a state with 64 MiB of history
//   list      `vaneto kept` over ten states of seven changed banks each (the whole process)
#include "MedianTime.h"
#include "document/BankDocument.h"
#include "files/MemoryReuse.h"
#include "kept/WorkKeeper.h"
#include "device/DvVaneto.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A stroke on wave `wave` of bank 1, ended: one step.
void stroke(BankDocument& document, int wave, std::int16_t value) {
    const std::size_t first = static_cast<std::size_t>(wave % 256) * 256;
    document.beginDrag(
        {BankDocument::Command::drag, "drawing on wave", {{0, first, 256, false, false}}});
    document.dragTo([&](DvVaneto& banks, BankDocument::Origins&) {
        std::vector<std::int16_t> values(256, value);
        banks.writeValues(0, first, values);
        return true;
    });
    document.endDrag();
}

// Every bank changed, as after an hour's work.
void changeAll(BankDocument& document) {
    std::mt19937 random(1);
    for (int bank = 0; bank < DvVaneto::bankTotal; ++bank) {
        document.change({BankDocument::Command::edit, "noise", {BankHistory::wholeBank(bank)}},
                        [&](DvVaneto& banks, BankDocument::Origins&) {
                            std::vector<std::int16_t> values(DvVaneto::valuesPerBank);
                            for (auto& v : values) {
                                v = static_cast<std::int16_t>(random());
                            }
                            banks.writeValues(bank, 0, values);
                            return true;
                        });
    }
}

void changeOne(BankDocument& document, int bank) {
    document.change({BankDocument::Command::edit, "noise", {BankHistory::wholeBank(bank)}},
                    [&](DvVaneto& banks, BankDocument::Origins&) {
                        std::vector<std::int16_t> values(DvVaneto::valuesPerBank,
                                                         static_cast<std::int16_t>(bank));
                        banks.writeValues(bank, 0, values);
                        return true;
                    });
}

// Whole-bank steps until the history holds its 64 MiB.
void fillHistory(BankDocument& document) {
    for (int n = 0;
         document.history().bytes() + (std::size_t{256} << 10) < BankHistory::defaultLimit; ++n) {
        changeAll(document);
    }
}

double milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

void heavy(const fs::path& folder, int runs, const std::string& self) {
    const auto selection = [] { return WorkKeeper::Selection{0, 0}; };
    std::vector<double> pauses;
    std::size_t steps = 0;
    for (int run = 0; run < runs; ++run) {
        fs::remove_all(folder);
        BankDocument document;
        WorkKeeper keeper(document, folder, selection);
        keeper.start();
        fillHistory(document);
        // Whole-bank steps (an import's size), as a person makes them, until the journal passes
        // four snapshots of the full history and is compacted, and on through the compaction.
        const std::uint64_t before = keeper.compactions();
        double longest = 0;
        std::size_t after = 0;
        for (steps = 0; after < 100 && steps < 5000; ++steps) {
            const auto start = std::chrono::steady_clock::now();
            changeOne(document, static_cast<int>(steps % 7));
            longest = std::max(longest, milliseconds(start));
            after += keeper.compactions() > before ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pauses.push_back(longest);
        keeper.finish(std::chrono::seconds(60));
    }
    std::sort(pauses.begin(), pauses.end());
    std::printf("pause     %.2f ms the longest step on the GUI thread while 64 MiB of history is "
                "compacted behind (%zu steps; median of %d runs)\n",
                pauses[pauses.size() / 2], steps, runs);
    const fs::path copy = folder.string() + "-copy";
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        fs::remove_all(copy);
        fs::copy(folder, copy);
        // In a process of its own, as the editor starts.
        const std::string command = "'" + self + "' --restore-once '" + copy.string() + "'";
        FILE* child = ::popen(command.c_str(), "r");
        double time = 0;
        if (child != nullptr && std::fscanf(child, "%lf", &time) == 1) {
            times.push_back(time);
        }
        if (child != nullptr) {
            ::pclose(child);
        }
    }
    if (times.empty()) {
        return;
    }
    std::sort(times.begin(), times.end());
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        bytes += entry.path().extension() == ".journal" ? entry.file_size() : 0;
    }
    std::printf("largest   %.1f ms to restore a state with 64 MiB of history (a %.1f MiB journal; "
                "its compaction follows behind)\n",
                times[times.size() / 2], static_cast<double>(bytes) / (1 << 20));
    if (std::getenv("KEPTWORK_BENCH_KEEP") == nullptr) {
        fs::remove_all(copy);
    }
}

// Ten quit states of seven changed banks, then the whole `vaneto kept` process.
void list(const fs::path& folder, int runs, const char* vaneto) {
    fs::remove_all(folder);
    const auto selection = [] { return WorkKeeper::Selection{0, 0}; };
    for (int n = 0; n < 10; ++n) {
        BankDocument document;
        WorkKeeper keeper(document, folder / "vaneto-editor", selection);
        keeper.start();
        changeAll(document);
        keeper.finish(std::chrono::seconds(10));
    }
    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
    const std::string command = std::string(vaneto) + " kept > /dev/null";
    const double time = medianMilliseconds(runs, [&] {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "keptwork_bench: vaneto kept failed\n");
        }
    });
    std::printf("list      %.1f ms for `vaneto kept` over ten states (the whole process)\n", time);
    fs::remove_all(folder);
}

} // namespace

// The restore of the state in a folder, timed in a process of its own.
int restoreOnce(const fs::path& folder) {
    BankDocument document;
    WorkKeeper keeper(document, folder, [] { return WorkKeeper::Selection{0, 0}; });
    const auto start = std::chrono::steady_clock::now();
    keeper.start();
    WorkKeeper::Selection restored;
    const bool done = keeper.restoreOffered(restored);
    std::printf("%.3f\n", milliseconds(start));
    std::fflush(stdout);
    keeper.finish(std::chrono::seconds(60));
    return done ? 0 : 1;
}

int main(int argc, char** argv) {
    keepFreedMemoryForReuse(); // as the programs do
    if (argc == 3 && std::strcmp(argv[1], "--restore-once") == 0) {
        return restoreOnce(argv[2]);
    }
    const int runs = runsAsked(argc, argv, 51);
    const fs::path folder =
        fs::temp_directory_path() / ("keptwork-bench-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    const auto selection = [] { return WorkKeeper::Selection{0, 0}; };

    {
        BankDocument plain;
        int n = 0;
        const double without = medianMilliseconds(runs, [&] {
            stroke(plain, n, static_cast<std::int16_t>(n));
            ++n;
        });
        BankDocument kept;
        WorkKeeper keeper(kept, folder, selection);
        keeper.start();
        const double with = medianMilliseconds(runs, [&] {
            stroke(kept, n, static_cast<std::int16_t>(n));
            ++n;
        });
        std::printf("step      %.2f us without its record, %.2f us with it (GUI thread; %zu and "
                    "%zu steps held)\n",
                    without * 1000, with * 1000, plain.history().steps(), kept.history().steps());
        keeper.finish(std::chrono::seconds(10));
    }
    fs::remove_all(folder);
    {
        std::vector<double> times;
        const double compact = medianMilliseconds(runs, [&] {
            BankDocument document;
            WorkKeeper keeper(document, folder, selection);
            keeper.start();
            changeAll(document);
            const auto start = std::chrono::steady_clock::now();
            keeper.finish(std::chrono::seconds(10));
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            fs::remove_all(folder);
        });
        std::sort(times.begin(), times.end());
        std::printf("compact   %.1f ms for seven changed banks, their history and bank file (whole "
                    "run %.1f ms)\n",
                    times[times.size() / 2], compact);
    }
    // One state of seven changed banks and 200 strokes, left by a quit (one snapshot) or by a
    // crash (a snapshot and 200 records to replay).
    for (const bool quit : {true, false}) {
        fs::remove_all(folder);
        {
            BankDocument document;
            WorkKeeper keeper(document, folder, selection);
            keeper.start();
            changeAll(document);
            for (int n = 0; n < 200; ++n) {
                stroke(document, n, static_cast<std::int16_t>(n));
            }
            if (quit) {
                keeper.finish(std::chrono::seconds(10));
            }
        }
        const fs::path kept =
            fs::temp_directory_path() / ("keptwork-copy-" + std::to_string(::getpid()));
        const double restore = medianMilliseconds(runs, [&] {
            fs::remove_all(kept);
            fs::copy(folder, kept);
            BankDocument document;
            WorkKeeper keeper(document, kept, selection);
            keeper.start();
            WorkKeeper::Selection restored;
            if (!keeper.restoreOffered(restored)) {
                std::fprintf(stderr, "keptwork_bench: nothing restored\n");
            }
        });
        fs::remove_all(kept);
        std::printf("restore   %.1f ms at start after a %s (seven changed banks, 200 steps)\n",
                    restore, quit ? "quit" : "crash");
    }
    fs::remove_all(folder);
#ifdef VANETO_CLI
    list(folder, runs, VANETO_CLI);
#endif
    int heavyRuns = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--heavy") == 0) {
            heavyRuns = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    heavy(folder, heavyRuns, fs::canonical("/proc/self/exe").string());
    fs::remove_all(folder);
    return 0;
}
