#include "editor/qt/views/SoundColumns.h"

#include <QPainter>

#include <algorithm>

namespace SoundColumns {

void paint(QPainter& painter, const std::vector<std::pair<float, float>>& columns,
           const QRectF& area, const QColor& pen) {
    const int width = static_cast<int>(area.width());
    if (columns.empty() || width <= 0) {
        return;
    }
    const double middle = area.top() + area.height() / 2;
    const double half = area.height() / 2;
    painter.setPen(pen);
    for (int x = 0; x < width; ++x) {
        const auto& [low, high] =
            columns[std::min(columns.size() - 1, static_cast<std::size_t>(x) * columns.size() /
                                                     static_cast<std::size_t>(width))];
        painter.drawLine(QPointF(area.left() + x, middle - high * half),
                         QPointF(area.left() + x, middle - low * half));
    }
}

void shade(QPainter& painter, const QRectF& area, double seconds, double from, double to,
           QColor color) {
    if (seconds <= 0) {
        return;
    }
    color.setAlpha(70);
    painter.fillRect(QRectF(area.left() + from / seconds * area.width(), area.top(),
                            (to - from) / seconds * area.width(), area.height()),
                     color);
}

} // namespace SoundColumns
