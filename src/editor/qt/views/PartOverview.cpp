#include "editor/qt/views/PartOverview.h"

#include "editor/qt/views/SoundColumns.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

PartOverview::PartOverview(std::vector<std::pair<float, float>> columns, double seconds,
                           double partSeconds, QWidget* parent)
    : QWidget(parent), columns_(std::move(columns)), seconds_(seconds), partSeconds_(partSeconds) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 80);
}

void PartOverview::setStart(double seconds) {
    start_ = std::clamp(seconds, 0.0, std::max(0.0, seconds_ - partSeconds_));
    update();
}

double PartOverview::startAt(double x) const {
    const double w = std::max(1, width());
    return x / w * seconds_ - partSeconds_ / 2;
}

void PartOverview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(rect(), colors.base());
    if (!columns_.empty() && seconds_ > 0) {
        SoundColumns::shade(painter, rect(), seconds_, start_, start_ + partSeconds_,
                            colors.highlight().color());
        SoundColumns::paint(painter, columns_, QRectF(0, 0, width(), height() - 1),
                            colors.text().color());
    }
    painter.setPen(colors.mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PartOverview::mousePressEvent(QMouseEvent* event) {
    setStart(startAt(event->position().x()));
    if (onMoved) {
        onMoved(start_);
    }
}

void PartOverview::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) != 0) {
        mousePressEvent(event);
    }
}
