#include "editor/qt/views/ViewDrag.h"

#include <QEvent>
#include <QMouseEvent>

void ViewDrag::release() {
    if (active_) {
        active_ = false;
        letGo_();
    }
}

void ViewDrag::cancel() {
    if (active_) {
        active_ = false;
        takeBack_();
    }
}

void ViewDrag::watch(const QEvent& event) {
    if (!active_) {
        return;
    }
    switch (event.type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<const QMouseEvent&>(event).button() != Qt::LeftButton) {
            release();
        }
        break;
    case QEvent::MouseMove:
        if (!(static_cast<const QMouseEvent&>(event).buttons() & Qt::LeftButton)) {
            release();
        }
        break;
    case QEvent::FocusOut:
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
    case QEvent::UngrabMouse:
        release();
        break;
    default:
        break;
    }
}
