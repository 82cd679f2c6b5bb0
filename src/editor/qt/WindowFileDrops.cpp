#include "editor/qt/WindowFileDrops.h"

#include "editor/qt/QtText.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QTimer>

WindowFileDrops::WindowFileDrops(QWidget& window, QListWidget& bankList, Handler handler)
    : QObject(&window), window_(window), bankList_(bankList), handler_(std::move(handler)) {
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

bool WindowFileDrops::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) {
        return false;
    }
    if (event->type() == QEvent::DragEnter) {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        enter->setAccepted(!droppedFiles(*enter->mimeData()).empty());
        if (enter->isAccepted()) {
            enter->acceptProposedAction();
        }
        return true;
    }
    if (event->type() != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const std::vector<std::string> paths = droppedFiles(*drop->mimeData());
    // Dropped on a line of the bank list: into that bank.
    QWidget* lines = bankList_.viewport();
    const QPoint at = lines->mapFrom(&window_, drop->position().toPoint());
    const int bank = lines->rect().contains(at) ? bankList_.indexAt(at).row() : -1;
    drop->acceptProposedAction();
    const QPoint global = window_.mapToGlobal(drop->position().toPoint());
    if (!paths.empty()) {
        QTimer::singleShot(0, this, [this, paths, bank, global] { handler_(paths, bank, global); });
    }
    return true;
}
