#pragma once

#include <QFont>
#include <QRect>

// Maps a rectangle in dialog units to pixels under a dialog font, the way the classic dialog
// manager does: one horizontal unit is a quarter of the font's average letter width (the width
// of the 52 Latin letters / 52, rounded), one vertical unit an eighth of its character height.
// widenBy stretches the horizontal unit for fonts wider than their average letter suggests.
QRect mapDialogUnits(const QFont& font, int x, int y, int width, int height, double widenBy = 1.0);
