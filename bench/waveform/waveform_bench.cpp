// Times what the waveform panel costs for one full bank of 65536 values (a factory bank): the
// per-column peaks, computed when the bank changes, and one paint of the panel at its size in
// the editor, into an image. Prints the median of each over the runs.
//
//   waveform_bench [--runs N]

#include "../MedianTime.h"
#include "files/WaveformPeaks.h"
#include "editor/qt/views/WaveformPanel.h"
#include "device/DvVaneto.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const int runs = runsAsked(argc, argv, 101);
    QApplication app(argc, argv);
    DvVaneto store;
    const auto data = store.bankData(0);
    const std::vector<std::int16_t> values(data.begin(), data.end());

    // The panel's size in the editor with the usual 9-point font at 96 dpi.
    const int width = 870, height = 96;
    std::size_t sink = 0;
    const double peaks =
        medianMilliseconds(runs, [&] { sink += WaveformPeaks::columns(values, width - 2).size(); });

    WaveformPanel panel;
    panel.resize(width, height);
    panel.setValues(values);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    const double paint = medianMilliseconds(runs, [&] {
        QPainter painter(&image);
        panel.render(&painter);
    });
    std::printf("65536 values, %d x %d px, median of %d runs: peaks %.3f ms, paint %.3f ms "
                "(a frame at 60 Hz: 16.7 ms)\n",
                width, height, runs, peaks, paint);
    return sink == 0 ? 1 : 0;
}
