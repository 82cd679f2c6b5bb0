#pragma once

#include <cstdint>
#include <span>

// Drawing on a wave with the pointer: a stroke is a line between two points (a position along
// the wave in values, a value in 16-bit units); every value whose position lies between them
// takes the line's height there, rounded and kept in range. Freehand drawing is a line from the
// previous point to the next; a straight line goes from the press to the pointer.
namespace WaveStroke {

void drawLine(std::span<std::int16_t> wave, double fromPosition, double fromValue,
              double toPosition, double toValue);

} // namespace WaveStroke
