#pragma once

#include "files/WaveformPeaks.h"

#include <QWidget>

#include <cstdint>
#include <utility>
#include <vector>

class WaveCommands;

// The selected bank's sound as a waveform: per pixel column the lowest and highest value with
// the RMS band inside, a centre line and full-scale marks, and a playhead while it plays.
// The columns are worked out when the values or the width change, never while painting.
// Hovering shows the value index, its time at 44100 Hz and the value.
// A drag marks a range; the right-click menu changes the range, or without one the sound.
class WaveformPanel final : public QWidget {
public:
    explicit WaveformPanel(QWidget* parent = nullptr);
    void setController(WaveCommands* controller) { controller_ = controller; }
    // The marked values, first and last; -1, -1 for none.
    std::pair<long, long> range() const;

    void setValues(std::vector<std::int16_t> values);

    // Forgets the marked range (another bank is shown).

    void clearRange();
    // Index of the value playing now; -1 for none.
    void setPlayhead(long index);
    const std::vector<std::int16_t>& values() const { return values_; }

    // What the pointer at x (widget pixels) points at: "value 1234 · 0.028 s · -5678".
    QString describeAt(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QRect plotArea() const;
    long indexAt(double x) const;
    void computeColumns();

    std::vector<std::int16_t> values_;
    std::vector<WaveformPeaks::Column> columns_;
    long playhead_ = -1;
    WaveCommands* controller_ = nullptr;
    long anchor_ = -1, end_ = -1; // the marked range's ends, in values
};
