#include "editor/qt/views/WaveDrawView.h"

#include "editor/WaveCommands.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

WaveDrawView::WaveDrawView(QWidget* parent) : QWidget(parent), drag_(controller_) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Drag to draw, shift-drag for a straight line, Esc to take a stroke "
                              "back"));
}

QSize WaveDrawView::minimumSizeHint() const {
    const int tall = std::max(8, fontMetrics().height());
    return {16 * tall, 7 * tall};
}

void WaveDrawView::setWave(std::vector<std::int16_t> wave, int slot) {
    wave_ = std::move(wave);
    slot_ = slot;
    update();
}

QPointF WaveDrawView::toWave(QPointF point) const {
    const double w = std::max(1, width() - 1);
    const double h = std::max(1, height() - 1);
    const double position = point.x() / w * 255.0;
    const double value = (h / 2 - point.y()) / (h / 2) * 32768.0;
    return {position, std::clamp(value, -32768.0, 32767.0)};
}

void WaveDrawView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(rect(), colors.base());
    const double h = height() - 1;
    painter.setPen(QPen(colors.mid().color(), 0, Qt::DashLine));
    painter.drawLine(QPointF(0, h / 2), QPointF(width() - 1, h / 2));
    painter.setPen(QPen(colors.mid().color(), 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (wave_.size() >= 2) {
        QPolygonF line;
        const double w = width() - 1;
        for (std::size_t i = 0; i < wave_.size(); ++i) {
            line << QPointF(i * w / (wave_.size() - 1), h / 2 - wave_[i] / 32768.0 * h / 2);
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(colors.highlight().color(), 1.5));
        painter.drawPolyline(line);
    }
    painter.setPen(colors.text().color());
    painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Slot %1").arg(slot_ + 1));
}

void WaveDrawView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() != Qt::LeftButton || controller_ == nullptr) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF at = toWave(event->position());
    drag_.begin();
    controller_->beginStroke(at.x(), at.y(), (event->modifiers() & Qt::ShiftModifier) != 0);
}

void WaveDrawView::mouseMoveEvent(QMouseEvent* event) {
    if (drag_.active() && controller_ != nullptr) {
        const QPointF at = toWave(event->position());
        controller_->strokeTo(at.x(), at.y());
    }
}

void WaveDrawView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        drag_.release();
    }
}

bool WaveDrawView::event(QEvent* event) {
    return drag_.watch(*event) || QWidget::event(event);
}
