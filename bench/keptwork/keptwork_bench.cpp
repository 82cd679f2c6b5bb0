// What keeping the work costs, median of --runs runs (default 51):
//   step      a drawing step (one wave of 256 values) ended on the GUI thread, without and with
//             its journal record (the write itself happens on the journal's thread)
//   compact   the quit: seven changed banks and their history compacted, synced and renamed,
//             and the bank file written beside it
//   restore   the start: the newest state read, replayed (a snapshot and 200 steps) and taken
//             over
#include "MedianTime.h"
#include "app/BankDocument.h"
#include "app/WorkKeeper.h"
#include "device/DvVaneto.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>

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

} // namespace

int main(int argc, char** argv) {
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
    return 0;
}
