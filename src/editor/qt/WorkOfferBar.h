#pragma once

#include "editor/WorkOfferView.h"

#include <QFrame>

#include <functional>

class QLabel;
class QPushButton;

// The offer to restore earlier work: a line under the window's panel with Restore (Alt+R),
// Dismiss (Alt+D) and Other kept work... (Alt+O). Hidden until offered; the window makes room
// for it when it shows. The list of kept states opens as a dialog of its own.
class WorkOfferBar final : public QFrame, public WorkOfferView {
public:
    struct Handlers {
        std::function<void()> restore;
        std::function<void()> dismiss;
        std::function<void()> others;
        std::function<void()> relayout; // the bar was shown or hidden
    };
    WorkOfferBar(QWidget& window, Handlers handlers);

    void showWorkOffer(const std::string& text) override;
    void hideWorkOffer() override;
    std::string chooseKeptWork(const std::vector<KeptRow>& rows) override;
    // Places the bar under a window of the given size; answers the window's size with it.
    QSize arrange(QSize window);

    QPushButton* restoreButton() const { return restore_; }
    QPushButton* dismissButton() const { return dismiss_; }

private:
    Handlers handlers_;
    QLabel* text_;
    QPushButton* restore_;
    QPushButton* dismiss_;
    QPushButton* others_;
};
