#pragma once

#include "editor/qt/views/ViewDrag.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class WaveCommands;

// The selected wave drawn large, to draw on: dragging draws freehand, shift-dragging a straight
// line from the press; each stroke is one change. Esc during a stroke takes it back (and goes
// no further, so the dialog does not close).
class WaveDrawView final : public QWidget {
public:
    explicit WaveDrawView(QWidget* parent = nullptr);
    void setController(WaveCommands* controller) { controller_ = controller; }
    void setWave(std::vector<std::int16_t> wave, int slot);

    QSize minimumSizeHint() const override;
    // A point of the widget as a position along the wave (values) and a value.
    QPointF toWave(QPointF point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    WaveCommands* controller_ = nullptr;
    std::vector<std::int16_t> wave_;
    int slot_ = 0;
    ViewDrag drag_;
};
