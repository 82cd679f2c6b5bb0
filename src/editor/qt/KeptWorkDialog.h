#pragma once

#include "editor/WorkOfferView.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

// Every kept state in a list, newest first: when it was left, how it ended, the banks it
// changed and its steps. Restore (Return, or a double click) takes the selected state; a state
// that does not read says why and cannot be taken. The keys alone work it: the list has the
// focus, arrows move, Return restores, Esc closes.
class KeptWorkDialog final : public QDialog {
public:
    KeptWorkDialog(const std::vector<WorkOfferView::KeptRow>& rows, QWidget* parent);
    // The id of the state to restore, once accepted.
    const std::string& chosen() const { return chosen_; }
    QTreeWidget* list() const { return list_; }

private:
    void selectionChanged();
    void take();

    std::vector<WorkOfferView::KeptRow> rows_;
    QTreeWidget* list_;
    QPushButton* restore_;
    std::string chosen_;
};
