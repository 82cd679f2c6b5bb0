#pragma once

#include <QMetaObject>
#include <QPointer>

#include <utility>

// The `done` of a NewestWins whose answers a dialog shows: each answer is handed, on the
// dialog's own thread, to its member `show`, as long as the dialog lives.
template <typename Dialog, typename Result>
auto shownOnGuiThread(Dialog* dialog, void (Dialog::*show)(int, const Result&)) {
    QPointer<Dialog> self(dialog);
    return [self, show](int request, Result result) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, show, request, result = std::move(result)] {
                if (self) {
                    (self.data()->*show)(request, result);
                }
            },
            Qt::QueuedConnection);
    };
}
