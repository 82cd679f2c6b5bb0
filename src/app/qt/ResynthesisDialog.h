#pragma once

#include "app/NewestWins.h"
#include "app/ResynthesisView.h"

#include <QDialog>

#include <memory>

class PitchRangeView;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class WaveOverview;

// "Resynthesize the recording into waves...": the whole sound with its pitch and the range to
// drag or type, the mode, the first slot, the waves as they come out (recomputed off this thread
// as the choice changes, the newest choice winning) and Play; OK takes the choice.
class ResynthesisDialog final : public QDialog {
public:
    ResynthesisDialog(const ResynthesisView::Setup& setup, QWidget* parent = nullptr);
    ~ResynthesisDialog() override;

    WaveResynthesis::Options options() const;

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
    QLabel* said_;
    QPushButton* play_;
    WaveResynthesis::Result shown_;
    int asked_ = 0;
    std::unique_ptr<NewestWins<WaveResynthesis::Options, WaveResynthesis::Result>> worker_;
};
