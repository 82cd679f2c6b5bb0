#include "editor/qt/EditorWindowMenu.h"

#include "editor/qt/QtText.h"

#include <QMenu>
#include <QShortcut>

EditorWindowMenu::EditorWindowMenu(QWidget& window, Handlers handlers)
    : QObject(&window), window_(window), handlers_(std::move(handlers)) {
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), handlers_.undo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), handlers_.redo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), handlers_.redo},
        {QKeySequence(Qt::Key_F1), handlers_.about},
        {QKeySequence(Qt::Key_F3), handlers_.browse}};
    for (const auto& [key, handler] : keys) {
        connect(new QShortcut(key, &window), &QShortcut::activated, this, handler);
    }
}

void EditorWindowMenu::showHistory(const std::string& undoText, const std::string& redoText) {
    undoText_ = fromUtf8(undoText);
    redoText_ = fromUtf8(redoText);
}

void EditorWindowMenu::exec(const QPoint& at) {
    QMenu menu(&window_);
    QAction* about = menu.addAction(QString::fromLatin1(aboutText));
    menu.addSeparator();
    QAction* undo = menu.addAction(undoText_.isEmpty() ? QStringLiteral("Undo") : undoText_);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setEnabled(!undoText_.isEmpty());
    QAction* redo = menu.addAction(redoText_.isEmpty() ? QStringLiteral("Redo") : redoText_);
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    redo->setEnabled(!redoText_.isEmpty());
    menu.addSeparator();
    QAction* browse = menu.addAction(QStringLiteral("&Browse..."));
    browse->setShortcut(QKeySequence(Qt::Key_F3));
    QAction* kept = menu.addAction(QStringLiteral("&Kept Work..."));
    QAction* chosen = menu.exec(at);
    if (chosen == undo) {
        handlers_.undo();
    } else if (chosen == redo) {
        handlers_.redo();
    } else if (chosen == about) {
        handlers_.about();
    } else if (chosen == browse) {
        handlers_.browse();
    } else if (chosen == kept) {
        handlers_.kept();
    }
}
