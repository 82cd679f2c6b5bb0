#pragma once

#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class HarmonicsView;
class QLabel;
class QLineEdit;
class WaveCommands;
class WaveDrawView;
class WaveOverview;

// A wavetable bank in the editor: the overview of its 256 waves on the left; on the right the
// selected slot's number and name, the wave to draw on and its harmonics. The operations on the
// selected slots, and copy and paste, are on its right-click menu.
class WaveTablePanel final : public QWidget {
public:
    explicit WaveTablePanel(QWidget* parent = nullptr);
    void setController(WaveCommands* controller);
    void setWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                  const std::string& slotName);

    WaveOverview* overview() const { return overview_; }
    WaveDrawView* drawView() const { return drawView_; }
    HarmonicsView* harmonics() const { return harmonics_; }
    QLineEdit* slotNameEdit() const { return slotName_; }

    // The piano rows of the keyboard play the selected wave while a wave view has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    WaveCommands* controller_ = nullptr;
    WaveOverview* overview_;
    WaveDrawView* drawView_;
    HarmonicsView* harmonics_;
    QLabel* slotLabel_;
    QLineEdit* slotName_;
    // The physical key whose note plays (0 for none): one note at a time.
    unsigned noteKey_ = 0;
};
