#include "editor/qt/views/FitStrip.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int slotCount = 256;
constexpr double poorFit = 20.0; // % at which the shade is all red

} // namespace

FitStrip::FitStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fitStrip"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QStringLiteral("How well each slot fits its moment of the recording: green close, "
                              "red far, grey held"));
}

void FitStrip::setFits(int first, std::vector<double> fits, std::vector<double> hertz) {
    first_ = first;
    fits_ = std::move(fits);
    hertz_ = std::move(hertz);
    update();
}

QColor FitStrip::shade(double fit) {
    if (std::isnan(fit)) {
        return QColor(150, 150, 150);
    }
    // Green to yellow to red along the hue.
    const double poor = std::clamp(fit / poorFit, 0.0, 1.0);
    return QColor::fromHsvF(static_cast<float>((1.0 - poor) / 3.0), 0.8f, 0.85f);
}

int FitStrip::slotAt(double x) const {
    return std::clamp(static_cast<int>(x * slotCount / std::max(1, width())), 0, slotCount - 1);
}

void FitStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    for (std::size_t k = 0; k < fits_.size(); ++k) {
        const int slot = first_ + static_cast<int>(k);
        const int left = slot * width() / slotCount;
        const int right = (slot + 1) * width() / slotCount;
        painter.fillRect(QRect(left, 0, std::max(1, right - left), height()), shade(fits_[k]));
    }
}

void FitStrip::mouseMoveEvent(QMouseEvent* event) {
    const int k = slotAt(event->position().x()) - first_;
    std::string text;
    if (k >= 0 && k < static_cast<int>(fits_.size())) {
        const auto at = static_cast<std::size_t>(k);
        char line[96];
        if (std::isnan(fits_[at])) {
            std::snprintf(line, sizeof line, "slot %d: held", first_ + k + 1);
        } else {
            std::snprintf(line, sizeof line, "slot %d: %.1f Hz, fit %.1f %%", first_ + k + 1,
                          hertz_[at], fits_[at]);
        }
        text = line;
    }
    if (onHover) {
        onHover(text);
    }
}

void FitStrip::leaveEvent(QEvent*) {
    if (onHover) {
        onHover({});
    }
}
