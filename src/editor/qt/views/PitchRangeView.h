#pragma once

#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

// A whole sound with its pitch drawn over it (30 to 2000 Hz, on a scale of octaves) and the
// range a resynthesis takes shaded on it. A press moves the nearer end of the range to the
// pointer, a drag goes on moving it. Tells its owner through onChanged.
class PitchRangeView final : public QWidget {
public:
    PitchRangeView(std::vector<std::pair<float, float>> columns, double seconds,
                   std::vector<std::pair<double, double>> pitch, QWidget* parent = nullptr);

    double start() const { return start_; }
    double end() const { return end_; }
    // Clamped to the sound, the start kept before the end.
    void setRange(double start, double end);
    // The pitch over the sound, once it is known: (seconds, Hz), 0 Hz where there is none.
    void setPitch(std::vector<std::pair<double, double>> pitch);
    std::function<void(double start, double end)> onChanged;

    QSize sizeHint() const override { return {640, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    double secondsAt(double x) const;
    double xAt(double seconds) const;
    void moveEnd(double seconds);

    std::vector<std::pair<float, float>> columns_;
    double seconds_;
    std::vector<std::pair<double, double>> pitch_;
    double start_ = 0.0;
    double end_ = 0.0;
    bool movingStart_ = true;
};
