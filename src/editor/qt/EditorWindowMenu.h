#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QPoint;
class QWidget;

// The editor window's own menu (its right-click menu: About, Undo and Redo named after the
// step they take back, Browse..., Kept Work...) and the keys of the whole window: Ctrl+Z,
// Ctrl+Shift+Z or Ctrl+Y, F1, F3. Inside a name edit its own text undo comes first (the edit takes
// these keys before the window's shortcuts).
class EditorWindowMenu final : public QObject {
public:
    static constexpr const char* aboutText = "&About VanetoEditor...";

    struct Handlers {
        std::function<void()> about, undo, redo, browse, kept;
    };
    EditorWindowMenu(QWidget& window, Handlers handlers);

    // What Undo and Redo would take back ("" when there is nothing).
    void showHistory(const std::string& undoText, const std::string& redoText);
    void exec(const QPoint& at);

private:
    QWidget& window_;
    Handlers handlers_;
    QString undoText_;
    QString redoText_;
};
