#pragma once

#include <QObject>
#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QWidget;

// Files dropped on a window: accepted when they are local files, handed on after the drop has
// ended (so that a message box does not run inside it) with the bank of the bank-list line they
// were dropped on, or -1.
class WindowFileDrops final : public QObject {
public:
    // at: where the files were dropped, on the screen.
    using Handler = std::function<void(const std::vector<std::string>& paths, int bank, QPoint at)>;
    WindowFileDrops(QWidget& window, QListWidget& bankList, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    QListWidget& bankList_;
    Handler handler_;
};
