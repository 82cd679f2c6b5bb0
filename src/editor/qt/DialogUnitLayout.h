#pragma once

#include <QRect>

#include <vector>

class QWidget;

// The controls of a dialog, each at a rectangle in dialog units (see mapDialogUnits), laid out
// in pixels under the dialog's font. Captions are measured in the real font: a font whose words
// run wider than its average letter suggests widens the whole dialog evenly, so that none is
// cut off. The dialog also keeps to its screen: a font too large for it is made smaller, and a
// window that grew moves back inside the available area.
class DialogUnitLayout {
public:
    explicit DialogUnitLayout(QWidget& dialog) : dialog_(dialog) {}

    // A control at x, y, width, height in dialog units. A text whose length changes (a line of
    // figures) does not widen the dialog: measured false.
    template <typename W>
    W* place(W* widget, int x, int y, int width, int height, bool measured = true) {
        placed_.push_back(Placed{widget, x, y, width, height, measured});
        return widget;
    }
    // Pixels of a rectangle in dialog units under the dialog's font now.
    QRect rect(int x, int y, int width, int height) const;
    // Every placed control to its pixel rectangle.
    void apply();
    void fitToScreen();
    void keepOnScreen();

private:
    struct Placed {
        QWidget* widget;
        int x, y, width, height;
        bool measured;
    };

    QWidget& dialog_;
    std::vector<Placed> placed_;
    // Stretch of the horizontal dialog unit so that every caption fits (1 for most fonts).
    double widenBy_ = 1.0;
};
