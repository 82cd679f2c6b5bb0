#include "editor/qt/DialogUnitLayout.h"

#include "editor/qt/DialogUnits.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect DialogUnitLayout::rect(int x, int y, int width, int height) const {
    return mapDialogUnits(dialog_.font(), x, y, width, height, widenBy_);
}

void DialogUnitLayout::apply() {
    widenBy_ = 1.0;
    double needed = 1.0;
    for (const Placed& item : placed_) {
        const bool caption = item.measured && (qobject_cast<QLabel*>(item.widget) != nullptr ||
                                               qobject_cast<QRadioButton*>(item.widget) != nullptr);
        const int width = rect(item.x, item.y, item.width, item.height).width();
        if (caption && width > 0) {
            needed = std::max(needed, item.widget->sizeHint().width() / double(width));
        }
    }
    widenBy_ = std::min(needed, 1.6);
    for (const Placed& item : placed_) {
        QRect at = rect(item.x, item.y, item.width, item.height);
        if (qobject_cast<QComboBox*>(item.widget) != nullptr) {
            // The template height of a drop-down list includes its open list; closed, it is
            // as tall as an edit.
            const QRect closed = rect(item.x, item.y, item.width, 13);
            at.setHeight(std::max(closed.height(), item.widget->minimumSizeHint().height()));
        } else if (qobject_cast<QRadioButton*>(item.widget) != nullptr) {
            // Indicator and text need a little more than one line of text.
            const int tall = item.widget->minimumSizeHint().height();
            if (at.height() < tall) {
                at.adjust(0, -(tall - at.height()) / 2, 0, 0);
                at.setHeight(tall);
            }
        } else if (item.height == 1) {
            at.setHeight(2);
        }
        item.widget->setGeometry(at);
    }
}

void DialogUnitLayout::fitToScreen() {
    const QScreen* shownOn = dialog_.screen();
    if (shownOn == nullptr) {
        return;
    }
    // Room for the window's frame and title bar.
    const QSize room = shownOn->availableGeometry().size() - QSize(16, 48);
    for (int step = 0;
         step < 4 && (dialog_.width() > room.width() || dialog_.height() > room.height()); ++step) {
        const double scale = std::min(room.width() / double(dialog_.width()),
                                      room.height() / double(dialog_.height()));
        QFont smaller = dialog_.font();
        if (smaller.pointSizeF() > 0) {
            smaller.setPointSizeF(std::max(5.0, smaller.pointSizeF() * scale));
        } else {
            smaller.setPixelSize(std::max(7, static_cast<int>(smaller.pixelSize() * scale)));
        }
        dialog_.setFont(smaller); // the dialog lays its controls out again
    }
}

void DialogUnitLayout::keepOnScreen() {
    const QScreen* shownOn = dialog_.screen();
    if (shownOn == nullptr || !dialog_.isVisible()) {
        return;
    }
    // A window that grew moves up (or left) as far as it must to stay in the available area.
    const QRect area = shownOn->availableGeometry();
    QRect frame = dialog_.frameGeometry();
    frame.moveBottom(std::min(frame.bottom(), area.bottom()));
    frame.moveRight(std::min(frame.right(), area.right()));
    frame.moveTop(std::max(frame.top(), area.top()));
    frame.moveLeft(std::max(frame.left(), area.left()));
    if (frame.topLeft() != dialog_.frameGeometry().topLeft()) {
        dialog_.move(frame.topLeft());
    }
}
