#include "editor/qt/DialogUnits.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

QRect mapDialogUnits(const QFont& font, int x, int y, int width, int height, double widenBy) {
    const QFontMetricsF metrics(font);
    const double letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const double unitX = std::max(1.0, std::round(letters / 52.0)) / 4.0 * std::max(1.0, widenBy);
    const double unitY = std::max(1.0, std::ceil(metrics.height())) / 8.0;
    // Edges are mapped, not sizes, so neighbouring controls stay flush at any scale.
    const auto px = [](int units, double unit) {
        return static_cast<int>(std::lround(units * unit));
    };
    const int left = px(x, unitX);
    const int top = px(y, unitY);
    return QRect(left, top, px(x + width, unitX) - left, px(y + height, unitY) - top);
}
