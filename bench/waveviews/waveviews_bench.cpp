// Times the wave panel of a wavetable bank (factory bank 1 in the wave layout) at its size in
// the editor, offscreen: painting the 256-wave overview into an image; one drawing step (the
// stroke applied through the controller, then the wave, its overview and the harmonic bars
// rendered); the harmonics of one wave; and the undo of an import and of an Open from Disk of
// seven banks. Prints the median of each over the runs.
//
//   waveviews_bench [--runs N]

#include "../MedianTime.h"
#include "document/BankHistory.h"
#include "editor/VanetoEditorController.h"
#include "editor/qt/QtEditorDialog.h"
#include "device/DvVaneto.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"
#include "playback/alsa/AlsaPcmOutput.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveTone.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void render(QWidget* widget) {
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    widget->render(&painter);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = runsAsked(argc, argv, 101);
    QApplication app(argc, argv);
    // A real PCM stream that plays into nothing, so that a tone's cost is the real one.
    setDefaultAudioOutput(std::make_shared<AlsaPcmOutput>("null"));
    VirtualClock clock;
    auto service =
        std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{"Port"});
    QtEditorDialog dialog;
    VanetoEditorController controller(dialog, service, clock);
    dialog.setController(&controller);
    controller.initDialog();
    controller.setLayout(false);
    dialog.show();
    QApplication::processEvents();
    // The views by name (they are plain widgets to Qt's casts).
    auto* overview = dialog.findChild<QWidget*>(QStringLiteral("waveOverview"));
    auto* drawView = dialog.findChild<QWidget*>(QStringLiteral("waveDraw"));
    auto* bars = dialog.findChild<QWidget*>(QStringLiteral("harmonics"));
    const double overviewPaint = medianMilliseconds(runs, [&] { render(overview); });

    // A drawing step: the pointer moves across a quarter of the wave.
    controller.beginStroke(0, 0, false);
    int step = 0;
    const double drawing = medianMilliseconds(runs, [&] {
        const double position = (step++ % 64) * 4.0;
        controller.strokeTo(position, (step % 2 ? 20000 : -20000));
        render(drawView);
        render(overview);
        render(bars);
    });
    controller.endEdit();

    // The same step while the wave plays as a tone: the controller's part on the GUI thread
    // (the tone takes the new wave on its own thread), beside what rendering the whole tone
    // anew at each step would cost.
    const auto strokeStep = [&] {
        const double position = (step++ % 64) * 4.0;
        controller.strokeTo(position, (step % 2 ? 20000 : -20000));
    };
    controller.beginStroke(0, 0, false);
    const double strokeAlone = medianMilliseconds(runs, strokeStep);
    controller.endEdit();
    controller.playNote(57);
    const bool toneOn = controller.isPlaying();
    controller.beginStroke(0, 0, false);
    const double strokeWithTone = medianMilliseconds(runs, strokeStep);
    controller.endEdit();
    controller.stopNote();
    const double renderTone = medianMilliseconds(std::max(5, runs / 10), [&] {
        WaveTone::render(controller.banks().bankData(0).subspan(0, 256), 220.0, 8.0);
    });

    WaveHarmonics harmonics;
    const auto wave = controller.banks().bankData(0).subspan(0, 256);
    double sink = 0;
    const double analysis =
        medianMilliseconds(runs, [&] { sink += harmonics.analyse(wave)[1].magnitude; });

    // Undo (and redo) of a whole-bank import and of a seven-bank open, on the history alone.
    DvVaneto store;
    BankHistory history(store);
    history.record("import", {BankHistory::wholeBank(3)});
    std::vector<std::int16_t> ramp(65536);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::int16_t>(i);
    }
    store.insertSample(ramp.data(), ramp.size(), 3, 0);
    const double undoImport = medianMilliseconds(runs,
                                                 [&] {
                                                     history.undo();
                                                     history.redo();
                                                 }) /
                              2;
    std::vector<BankHistory::Part> all;
    for (int b = 0; b < 7; ++b) {
        all.push_back(BankHistory::wholeBank(b));
    }
    history.record("open", all);
    const double undoOpen = medianMilliseconds(runs,
                                               [&] {
                                                   history.undo();
                                                   history.redo();
                                               }) /
                            2;

    std::printf("median of %d runs, overview %d x %d px:\n", runs, overview->width(),
                overview->height());
    std::printf("  overview of 256 waves painted:               %7.3f ms  (aim: under 8)\n",
                overviewPaint);
    std::printf("  one drawing step, wave, overview, bars:      %7.3f ms  (aim: under 4)\n",
                drawing);
    std::printf("  drawing step, controller only:              %7.3f ms\n", strokeAlone);
    std::printf("  drawing step, tone playing%s:             %7.3f ms  (aim: under 4)\n",
                toneOn ? "" : " (no PCM!)", strokeWithTone);
    std::printf("  8 s tone rendered anew (the former step):    %7.3f ms\n", renderTone);
    std::printf("  harmonics of a wave:                         %7.3f ms  (aim: under 1)\n",
                analysis);
    std::printf("  undo of an import:                           %7.3f ms  (aim: under 10)\n",
                undoImport);
    std::printf("  undo of an Open from Disk of seven banks:    %7.3f ms  (aim: under 10)\n",
                undoOpen);
    dialog.setController(nullptr);
    return sink < 0 ? 1 : 0;
}
