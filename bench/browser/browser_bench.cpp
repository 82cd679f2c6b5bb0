// The sound browser's audition latency, median of --runs key presses per kind of file: from the
// Down key in the file list to the first PCM frame handed to ALSA (the "null" device, a real
// stream that plays into nothing). Each press moves between two files of the kind, so that each
// one is decoded afresh.
//
//   QT_QPA_PLATFORM=offscreen browser_bench [--runs N]

#include "../MedianTime.h"
#include "editor/VanetoEditorController.h"
#include "editor/qt/QtEditorDialog.h"
#include "editor/qt/SoundBrowser.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"
#include "playback/alsa/AlsaPcmOutput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTreeWidget>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

// ALSA's output, with the moment it first asks for frames: each sound is handed to it as a
// source whose first read is the first frame handed over.
class TimedOutput final : public AudioOutput {
public:
    std::atomic<std::int64_t> firstFrame{0}; // steady-clock nanoseconds; 0 until asked
    std::atomic<int> plays{0};               // sounds handed over so far
    std::atomic<int> after{0};               // only sounds after this one count

    bool isAvailable(std::string& why) override { return alsa_.isAvailable(why); }
    bool play(std::span<const std::int16_t> values, const std::atomic<bool>& stop,
              std::atomic<std::size_t>& played, std::string& why) override {
        Values source(values, *this, ++plays);
        return alsa_.play(source, stop, played, why);
    }
    bool play(AudioSource& source, const std::atomic<bool>& stop, std::atomic<std::size_t>& played,
              std::string& why) override {
        Timed timed(source, *this, ++plays);
        return alsa_.play(timed, stop, played, why);
    }

private:
    // The first read of a sound newer than the one the bench waits after.
    static void mark(TimedOutput& output, int play) {
        std::int64_t none = 0;
        if (play > output.after.load()) {
            output.firstFrame.compare_exchange_strong(
                none, std::chrono::steady_clock::now().time_since_epoch().count());
        }
    }
    struct Values final : AudioSource {
        Values(std::span<const std::int16_t> v, TimedOutput& o, int p)
            : values(v), output(o), play(p) {}
        std::size_t read(std::span<std::int16_t> out) override {
            mark(output, play);
            const std::size_t n = std::min(out.size(), values.size() - done);
            std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(done), n, out.begin());
            done += n;
            return n;
        }
        std::span<const std::int16_t> values;
        TimedOutput& output;
        int play;
        std::size_t done = 0;
    };
    struct Timed final : AudioSource {
        Timed(AudioSource& s, TimedOutput& o, int p) : inner(s), output(o), play(p) {}
        std::size_t read(std::span<std::int16_t> out) override {
            mark(output, play);
            return inner.read(out);
        }
        AudioSource& inner;
        TimedOutput& output;
        int play;
    };
    AlsaPcmOutput alsa_{"null"};
};

} // namespace

int main(int argc, char** argv) {
    const int runs = runsAsked(argc, argv, 21);
    QApplication app(argc, argv);
    auto output = std::make_shared<TimedOutput>();
    setDefaultAudioOutput(output);
    const fs::path dir =
        fs::temp_directory_path() / ("browser-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Kind {
        const char* name;
        const char* sox; // what sox makes (two files of it)
        bool waves;
    };
    const Kind kinds[] = {
        {"WAV, 10 s, 48 kHz stereo, 24-bit", "-r 48000 -c 2 -b 24 %s synth 10 pluck 220", false},
        {"FLAC, 10 s, 48 kHz stereo", "-r 48000 -c 2 %s synth 10 pluck 220", false},
        {"MP3, 10 s, 44.1 kHz stereo", "-r 44100 -c 2 %s synth 10 pluck 220", false},
        {"WAV, one cycle of 600, into a wave bank", "-r 44100 -c 1 %s synth 600s sawtooth 73.5",
         true},
    };
    const char* extensions[] = {"wav", "flac", "mp3", "wav"};

    VirtualClock clock;
    auto service = std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{});
    QtEditorDialog dialog;
    VanetoEditorController controller(dialog, service, clock);
    dialog.setController(&controller);
    controller.initDialog();
    std::printf("runs: %d (medians), key to the first frame handed to ALSA\n", runs);
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        const fs::path folder = dir / std::to_string(k);
        fs::create_directories(folder);
        for (const char* name : {"a", "b"}) {
            const std::string file =
                "'" + (folder / (std::string(name) + "." + extensions[k])).string() + "'";
            char command[512];
            std::snprintf(command, sizeof command, kinds[k].sox, file.c_str());
            if (std::system(("sox -n " + std::string(command) + " 2>/dev/null").c_str()) != 0) {
                std::fprintf(stderr, "sox could not make %s\n", file.c_str());
                return 1;
            }
        }
        controller.setLayout(!kinds[k].waves);
        SoundBrowser browser(controller.browser(), &dialog);
        browser.openFolder(folder);
        browser.show();
        QApplication::processEvents();
        QTreeWidget* list = browser.list();
        int row = 0;
        std::vector<double> latencies;
        const auto press = [&] {
            row = 1 - row;
            QKeyEvent key(QEvent::KeyPress, row == 1 ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
            output->after = output->plays.load();
            output->firstFrame = 0;
            const auto start = std::chrono::steady_clock::now();
            QApplication::sendEvent(list, &key);
            while (output->firstFrame == 0) {
                QApplication::processEvents(QEventLoop::AllEvents, 1);
                if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) {
                    std::fprintf(stderr, "nothing played\n");
                    std::exit(1);
                }
            }
            return std::chrono::duration<double, std::milli>(
                       std::chrono::steady_clock::duration(output->firstFrame.load()) -
                       start.time_since_epoch())
                .count();
        };
        for (int run = 0; run < runs; ++run) {
            latencies.push_back(press());
        }
        std::sort(latencies.begin(), latencies.end());
        const double latency = latencies[latencies.size() / 2];
        std::printf("%-42s %8.2f ms\n", kinds[k].name, latency);
    }
    // A folder of 5000 files: listed on the GUI thread, their details filled in behind.
    const fs::path many = dir / "many";
    fs::create_directories(many);
    const fs::path one = dir / "0" / "a.wav";
    for (int i = 0; i < 5000; ++i) {
        fs::copy_file(one, many / ("take" + std::to_string(i) + ".wav"));
    }
    SoundBrowser browser(controller.browser(), &dialog);
    browser.show();
    const auto start = std::chrono::steady_clock::now();
    browser.openFolder(many);
    const auto listed = std::chrono::steady_clock::now();
    QTreeWidget* list = browser.list();
    while (list->topLevelItem(4999)->text(1).isEmpty()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const auto filled = std::chrono::steady_clock::now();
    using Ms = std::chrono::duration<double, std::milli>;
    std::printf("5000 files: listed in %.1f ms on the GUI thread, every detail in after %.0f ms\n",
                Ms(listed - start).count(), Ms(filled - start).count());
    dialog.setController(nullptr);
    fs::remove_all(dir);
    return 0;
}
