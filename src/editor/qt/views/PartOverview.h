#pragma once

#include <QWidget>

#include <functional>

#include <utility>
#include <vector>

// A whole long sound with the part a bank takes marked on it: a window of the part's length
// that a click or a drag moves. Tells its owner through onMoved.
class PartOverview final : public QWidget {
public:
    PartOverview(std::vector<std::pair<float, float>> columns, double seconds, double partSeconds,
                 QWidget* parent = nullptr);

    double start() const { return start_; }
    // Clamped so that the window stays inside the sound.
    void setStart(double seconds);
    std::function<void(double)> onMoved;

    QSize sizeHint() const override { return {640, 120}; }
    // The start that puts the window's middle under x.
    double startAt(double x) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::vector<std::pair<float, float>> columns_;
    double seconds_;
    double partSeconds_;
    double start_ = 0;
};
