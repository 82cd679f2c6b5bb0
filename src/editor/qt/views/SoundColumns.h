#pragma once

#include <QColor>
#include <QRectF>

#include <utility>
#include <vector>

class QPainter;

// A whole sound drawn as its columns (low and high per pixel, fractions of full scale) in an
// area, and a span of it shaded: what the part chooser and the resynthesis range both show.
namespace SoundColumns {

void paint(QPainter& painter, const std::vector<std::pair<float, float>>& columns,
           const QRectF& area, const QColor& pen);
// The span from `from` to `to` of `seconds`, shaded across the area's height.
void shade(QPainter& painter, const QRectF& area, double seconds, double from, double to,
           QColor color);

} // namespace SoundColumns
