#include "editor/qt/views/HarmonicsView.h"

#include "editor/WaveCommands.h"
#include "wavetable/WaveHarmonics.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

HarmonicsView::HarmonicsView(QWidget* parent) : QWidget(parent), drag_(controller_) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    levels_.fill(floorDb);
    setToolTip(QStringLiteral("Harmonics 1 to 128, 0 to -96 dB: drag a bar to set its level"));
}

QSize HarmonicsView::minimumSizeHint() const {
    const int tall = std::max(8, fontMetrics().height());
    return {16 * tall, 4 * tall};
}

void HarmonicsView::setWave(const std::vector<std::int16_t>& wave) {
    levels_.fill(floorDb);
    if (wave.size() >= WaveHarmonics::waveLength) {
        WaveHarmonics harmonics;
        const WaveHarmonics::Set set = harmonics.analyse(std::span<const std::int16_t>(wave));
        for (int k = 1; k <= WaveHarmonics::count; ++k) {
            levels_[static_cast<std::size_t>(k)] =
                std::max(floorDb, WaveHarmonics::toDb(set[static_cast<std::size_t>(k)].magnitude));
        }
    }
    update();
}

int HarmonicsView::harmonicAt(double x) const {
    const double w = std::max(1, width());
    return std::clamp(static_cast<int>(x / w * WaveHarmonics::count) + 1, 1, WaveHarmonics::count);
}

double HarmonicsView::dbAt(double y) const {
    const double h = std::max(1, height() - 1);
    return std::clamp(y / h * floorDb, floorDb, 0.0);
}

void HarmonicsView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    painter.fillRect(rect(), colors.base());
    const double w = width() / double(WaveHarmonics::count);
    const double h = height() - 1;
    for (int k = 1; k <= WaveHarmonics::count; ++k) {
        const double top = levels_[static_cast<std::size_t>(k)] / floorDb * h;
        if (top < h) {
            painter.fillRect(QRectF((k - 1) * w, top, std::max(1.0, w - 1), h - top),
                             colors.highlight());
        }
    }
    painter.setPen(QPen(colors.mid().color(), 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void HarmonicsView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() != Qt::LeftButton || controller_ == nullptr) {
        QWidget::mousePressEvent(event);
        return;
    }
    drag_.begin();
    controller_->beginHarmonicDrag(harmonicAt(event->position().x()));
    controller_->dragHarmonic(dbAt(event->position().y()));
}

void HarmonicsView::mouseMoveEvent(QMouseEvent* event) {
    if (drag_.active() && controller_ != nullptr) {
        controller_->dragHarmonic(dbAt(event->position().y()));
    }
}

void HarmonicsView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        drag_.release();
    }
}

bool HarmonicsView::event(QEvent* event) {
    return drag_.watch(*event) || QWidget::event(event);
}
