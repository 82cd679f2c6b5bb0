#pragma once

#include "editor/NewestWins.h"
#include "editor/ResynthesisView.h"

#include <QDialog>

#include <atomic>
#include <memory>

class FitStrip;
class PitchRangeView;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class WaveOverview;

// "Resynthesize the recording into waves...": the whole sound with its pitch and the range to
// drag or type, the mode, the first slot, the waves as they come out (computed off this thread
// as the choice changes, the newest choice winning, with a busy line meanwhile) and Play. The
// first computation finds the pitch and the span it offers. OK takes the waves shown (pressed
// while they are being computed, it waits for them); Cancel stops the computation under way.
class ResynthesisDialog final : public QDialog {
public:
    ResynthesisDialog(const ResynthesisView::Setup& setup, QWidget* parent = nullptr);
    ~ResynthesisDialog() override;

    WaveResynthesis::Options options() const;
    // The waves shown for the choice as it stands.
    const WaveResynthesis::Result& result() const { return shown_; }
    void accept() override;
    void reject() override;

private:
    // Asks for the waves of the choice as it stands.
    void recompute();
    void show(int request, const WaveResynthesis::Result& result);

    const ResynthesisView::Setup& setup_;
    PitchRangeView* range_;
    QDoubleSpinBox* start_;
    QDoubleSpinBox* end_;
    QComboBox* mode_;
    QSpinBox* firstSlot_;
    WaveOverview* waves_;
    FitStrip* fits_;
    QLabel* said_;
    QPushButton* play_;
    QProgressBar* busy_;
    QPushButton* ok_ = nullptr;
    WaveResynthesis::Result shown_;
    WaveResynthesis::Options shownFor_; // the choice the waves shown were made for
    WaveResynthesis::Options askedFor_;
    int asked_ = 0;
    bool first_ = true;            // the first answer brings the pitch and the span
    bool acceptWhenShown_ = false; // OK was pressed while the waves were on their way
    std::atomic<bool> stop_{false};
    std::unique_ptr<NewestWins<WaveResynthesis::Options, WaveResynthesis::Result>> worker_;
};
