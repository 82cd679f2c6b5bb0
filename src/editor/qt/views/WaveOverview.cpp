#include "editor/qt/views/WaveOverview.h"

#include "editor/WaveCommands.h"
#include "device/DvVaneto.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int slotTotal = DvVaneto::wavesPerBank;
constexpr int waveLength = static_cast<int>(DvVaneto::waveLength);
} // namespace

WaveOverview::WaveOverview(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Click a wave to select it, shift-click for a range; arrows move"));
}

QSize WaveOverview::minimumSizeHint() const {
    // Cells a line of text tall and half as wide again (24 x 16 pixels and more with the usual
    // fonts at 96 dpi); a window made to fit a small screen shrinks its font, and them with it.
    const int tall = std::max(8, fontMetrics().height());
    return {columns * (tall * 3 / 2) + 1, columns * tall + 1};
}

void WaveOverview::setWaves(const std::vector<std::int16_t>& values, int selected, int first,
                            int last) {
    values_ = values;
    selected_ = selected;
    first_ = first;
    last_ = last;
    computeShapes();
    update();
}

QRectF WaveOverview::cell(int slot) const {
    const double w = (width() - 1) / double(columns);
    const double h = (height() - 1) / double(columns);
    return {(slot % columns) * w, (slot / columns) * h, w, h};
}

int WaveOverview::slotAt(QPoint point) const {
    const double w = (width() - 1) / double(columns);
    const double h = (height() - 1) / double(columns);
    const int column = static_cast<int>(point.x() / w);
    const int row = static_cast<int>(point.y() / h);
    if (point.x() < 0 || point.y() < 0 || column >= columns || row >= columns) {
        return -1;
    }
    return row * columns + column;
}

void WaveOverview::computeShapes() {
    shapes_.assign(slotTotal, QPolygonF());
    if (values_.size() < std::size_t{slotTotal} * waveLength) {
        return;
    }
    for (int s = 0; s < slotTotal; ++s) {
        const std::int16_t* wave = values_.data() + std::size_t(s) * waveLength;
        if (std::all_of(wave, wave + waveLength, [](std::int16_t v) { return v == 0; })) {
            continue;
        }
        const QRectF box = cell(s).adjusted(2, 2, -2, -2);
        // One point per pixel column is all a cell can show.
        const int points = std::max(2, static_cast<int>(box.width()));
        QPolygonF shape;
        shape.reserve(points);
        for (int p = 0; p < points; ++p) {
            const int i = p * (waveLength - 1) / (points - 1);
            shape << QPointF(box.left() + p * box.width() / (points - 1),
                             box.center().y() - wave[i] / 32768.0 * box.height() / 2);
        }
        shapes_[static_cast<std::size_t>(s)] = shape;
    }
}

void WaveOverview::resizeEvent(QResizeEvent* event) {
    computeShapes();
    QWidget::resizeEvent(event);
}

void WaveOverview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(rect(), colors.base());
    for (int s = first_; s <= last_ && s < slotTotal; ++s) {
        painter.fillRect(cell(s), colors.highlight().color().lighter(170));
    }
    painter.setPen(QPen(colors.mid().color(), 0));
    const double w = (width() - 1) / double(columns);
    const double h = (height() - 1) / double(columns);
    for (int i = 0; i <= columns; ++i) {
        painter.drawLine(QPointF(i * w, 0), QPointF(i * w, height() - 1));
        painter.drawLine(QPointF(0, i * h), QPointF(width() - 1, i * h));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colors.text().color(), 1));
    for (const QPolygonF& shape : shapes_) {
        if (!shape.isEmpty()) {
            painter.drawPolyline(shape);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(colors.highlight().color(), 2));
    painter.drawRect(cell(selected_).adjusted(1, 1, -1, -1));
    if (hasFocus()) {
        painter.setPen(QPen(colors.highlight().color(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void WaveOverview::mousePressEvent(QMouseEvent* event) {
    const int slot = slotAt(event->position().toPoint());
    if (slot >= 0 && controller_ != nullptr && event->button() == Qt::LeftButton) {
        controller_->selectSlot(slot, (event->modifiers() & Qt::ShiftModifier) != 0);
    }
    QWidget::mousePressEvent(event);
}

void WaveOverview::keyPressEvent(QKeyEvent* event) {
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -columns;
        break;
    case Qt::Key_Down:
        step = columns;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const int slot = selected_ + step;
    if (controller_ != nullptr && slot >= 0 && slot < slotTotal) {
        controller_->selectSlot(slot, (event->modifiers() & Qt::ShiftModifier) != 0);
    }
}
