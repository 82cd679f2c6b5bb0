#pragma once

#include "editor/NewestWins.h"
#include "editor/WaveShapingView.h"

#include <QDialog>

#include <memory>

class FormulaField;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class WaveOverview;

// "Formula..." and "Across the slots...": the formula with what it makes and at what level, or
// the operation with its amounts From the first slot To the last; the bank with the range as it
// would become (computed off this thread as the choice changes, the newest choice winning); the
// error under the field with its column marked in it; Play, which scans the range. OK takes
// the range shown for the choice as it stands (pressed while it is on its way, it waits).
class WaveShapingDialog final : public QDialog {
public:
    WaveShapingDialog(const WaveShapingView::Setup& setup, QWidget* parent = nullptr);
    ~WaveShapingDialog() override;

    WaveShaper::Request request() const;
    // The range shown for the choice as it stands.
    const WaveShaper::Result& result() const { return shown_; }
    void accept() override;

private:
    bool isFormula() const;
    void recompute();
    void show(int request, const WaveShaper::Result& result);
    // The operation's amounts: their range, unit and whether it has any.
    void showAmounts();

    const WaveShapingView::Setup& setup_;
    FormulaField* formula_ = nullptr;
    QComboBox* makes_ = nullptr;
    QComboBox* level_ = nullptr;
    QComboBox* operation_ = nullptr;
    QDoubleSpinBox* from_ = nullptr;
    QDoubleSpinBox* to_ = nullptr;
    QLabel* error_;
    WaveOverview* waves_;
    QLabel* said_;
    QPushButton* play_;
    QPushButton* ok_ = nullptr;
    WaveShaper::Result shown_;
    int asked_ = 0;
    int shownFor_ = -1;
    bool acceptWhenShown_ = false;
    std::unique_ptr<NewestWins<WaveShaper::Request, WaveShaper::Result>> worker_;
};
