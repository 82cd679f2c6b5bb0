#include "editor/qt/views/ViewDrag.h"

#include "editor/WaveCommands.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

void ViewDrag::release() {
    if (active_) {
        active_ = false;
        if (controller_ != nullptr) {
            controller_->endEdit();
        }
    }
}

void ViewDrag::cancel() {
    if (active_) {
        active_ = false;
        if (controller_ != nullptr) {
            controller_->cancelEdit();
        }
    }
}

bool ViewDrag::watch(QEvent& event) {
    if (!active_) {
        return false;
    }
    switch (event.type()) {
    case QEvent::KeyPress:
        if (static_cast<const QKeyEvent&>(event).key() == Qt::Key_Escape) {
            cancel();
            event.accept();
            return true;
        }
        break;
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
    return false;
}
