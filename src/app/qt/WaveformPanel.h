#pragma once

#include "app/WaveformPeaks.h"

#include <QWidget>

#include <cstdint>
#include <vector>

// The selected bank's sound as a waveform: per pixel column the lowest and highest value with
// the RMS band inside, a centre line and full-scale marks, and a playhead while it plays.
// The columns are worked out when the values or the width change, never while painting.
// Hovering shows the value index, its time at 44100 Hz and the value.
class WaveformPanel final : public QWidget {
public:
    explicit WaveformPanel(QWidget* parent = nullptr);

    void setValues(std::vector<std::int16_t> values);
    // Index of the value playing now; -1 for none.
    void setPlayhead(long index);
    const std::vector<std::int16_t>& values() const { return values_; }

    // What the pointer at x (widget pixels) points at: "value 1234 · 0.028 s · -5678".
    QString describeAt(int x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QRect plotArea() const;
    void computeColumns();

    std::vector<std::int16_t> values_;
    std::vector<WaveformPeaks::Column> columns_;
    long playhead_ = -1;
};
