#pragma once

#include "editor/qt/views/ViewDrag.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class WaveCommands;

// The harmonics 1 ... 128 of the selected wave as bars on a dB scale, 0 dB (full scale) at the
// top and -96 dB at the bottom. Dragging a bar sets that harmonic's level, its phase kept; the
// level stops where the wave would pass full scale. Esc during a drag takes it back.
class HarmonicsView final : public QWidget {
public:
    static constexpr double floorDb = -96.0;

    explicit HarmonicsView(QWidget* parent = nullptr);
    void setController(WaveCommands* controller) { controller_ = controller; }
    void setWave(const std::vector<std::int16_t>& wave);

    QSize minimumSizeHint() const override;
    // The harmonic under x, and the level at y.
    int harmonicAt(double x) const;
    double dbAt(double y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    WaveCommands* controller_ = nullptr;
    std::array<double, 129> levels_{}; // dB per harmonic, index 1 ... 128
    ViewDrag drag_;
};
