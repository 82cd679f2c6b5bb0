#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

// A thin strip of the 256 slots under a table's waves, each slot shaded by how well it fits its
// moment of the recording: green at 0 %, through yellow, to red at 20 % and more; grey where the
// slot is held, empty before the first slot filled. The slot under the pointer is told.
class FitStrip final : public QWidget {
public:
    explicit FitStrip(QWidget* parent = nullptr);
    // Slots first ... first + n - 1: their fit in % (NaN: held) and pitch in Hz.
    void setFits(int first, std::vector<double> fits, std::vector<double> hertz);
    // "slot 12: 110.4 Hz, fit 3.2 %" for the slot under the pointer; empty when it leaves.
    std::function<void(const std::string& text)> onHover;

    QSize sizeHint() const override { return {512, 10}; }
    QSize minimumSizeHint() const override { return {256, 8}; }
    // The slot (0 ... 255) at an x of the strip.
    int slotAt(double x) const;
    // The shade of a fit in %.
    static QColor shade(double fit);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int first_ = 0;
    std::vector<double> fits_;
    std::vector<double> hertz_;
};
