#include "editor/qt/views/PitchRangeView.h"

#include "editor/qt/views/SoundColumns.h"

#include "wavetable/WaveResynthesis.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

PitchRangeView::PitchRangeView(std::vector<std::pair<float, float>> columns, double seconds,
                               std::vector<std::pair<double, double>> pitch, QWidget* parent)
    : QWidget(parent), columns_(std::move(columns)), seconds_(std::max(seconds, 1e-6)),
      pitch_(std::move(pitch)), end_(seconds_) {
    setMinimumSize(320, 100);
    setFocusPolicy(Qt::ClickFocus);
}

double PitchRangeView::secondsAt(double x) const {
    return std::clamp(x / std::max(1, width()) * seconds_, 0.0, seconds_);
}

double PitchRangeView::xAt(double seconds) const {
    return seconds / seconds_ * width();
}

void PitchRangeView::setRange(double start, double end) {
    start_ = std::clamp(start, 0.0, seconds_);
    end_ = std::clamp(end, start_, seconds_);
    update();
}

void PitchRangeView::moveEnd(double seconds) {
    if (movingStart_) {
        setRange(std::min(seconds, end_), end_);
    } else {
        setRange(start_, std::max(seconds, start_));
    }
    if (onChanged) {
        onChanged(start_, end_);
    }
}

void PitchRangeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const double at = secondsAt(event->position().x());
    movingStart_ = std::abs(at - start_) <= std::abs(at - end_);
    moveEnd(at);
}

void PitchRangeView::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) != 0) {
        moveEnd(secondsAt(event->position().x()));
    }
}

void PitchRangeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = rect();
    painter.fillRect(area, palette().base());
    SoundColumns::shade(painter, area, seconds_, start_, end_, palette().highlight().color());
    // The sound softly, under its pitch.
    QColor sound = palette().text().color();
    sound.setAlphaF(0.35f);
    SoundColumns::paint(painter, columns_, area, sound);
    // The pitch, low notes at the bottom; a gap where there is none.
    const double octaves = std::log2(WaveResynthesis::highestHz / WaveResynthesis::lowestHz);
    QPainterPath path;
    bool drawing = false;
    for (const auto& [seconds, hz] : pitch_) {
        if (hz <= 0) {
            drawing = false;
            continue;
        }
        const double y = area.height() * (1 - std::log2(hz / WaveResynthesis::lowestHz) / octaves);
        const QPointF point(xAt(seconds), y);
        drawing ? path.lineTo(point) : path.moveTo(point);
        drawing = true;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().link().color(), 2));
    painter.drawPath(path);
}

void PitchRangeView::setPitch(std::vector<std::pair<double, double>> pitch) {
    pitch_ = std::move(pitch);
    update();
}
