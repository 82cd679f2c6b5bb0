#include "app/qt/PartOverview.h"

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
    const double h = height() - 1;
    const double w = width();
    if (!columns_.empty() && seconds_ > 0) {
        QColor marked = colors.highlight().color();
        marked.setAlpha(70);
        painter.fillRect(QRectF(start_ / seconds_ * w, 0, partSeconds_ / seconds_ * w, h + 1),
                         marked);
        painter.setPen(colors.text().color());
        for (int x = 0; x < width(); ++x) {
            const auto& [low, high] = columns_[std::min(
                columns_.size() - 1, static_cast<std::size_t>(x * columns_.size() / width()))];
            painter.drawLine(QPointF(x, h / 2 - high * h / 2), QPointF(x, h / 2 - low * h / 2));
        }
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
