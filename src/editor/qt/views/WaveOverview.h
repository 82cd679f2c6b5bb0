#pragma once

#include <QPolygonF>
#include <QWidget>

#include <cstdint>
#include <vector>

class WaveCommands;

// All 256 waves of a wavetable bank at once: a 16 x 16 grid of small waves, slot 1 at the top
// left, the selected range shaded and the selected slot framed; a silent slot is an empty cell.
// A click selects a slot, a shift-click a range; the arrows move the selection (a row is 16
// slots), with shift extending it.
class WaveOverview final : public QWidget {
public:
    static constexpr int columns = 16;

    explicit WaveOverview(QWidget* parent = nullptr);
    void setController(WaveCommands* controller) { controller_ = controller; }
    void setWaves(const std::vector<std::int16_t>& values, int selected, int first, int last);

    QSize minimumSizeHint() const override;
    // The slot under a point, -1 outside the grid.
    int slotAt(QPoint point) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF cell(int slot) const;
    void computeShapes();

    WaveCommands* controller_ = nullptr;
    std::vector<std::int16_t> values_;
    std::vector<QPolygonF> shapes_; // per slot, in its cell; empty for silence
    int selected_ = 0, first_ = 0, last_ = 0;
};
