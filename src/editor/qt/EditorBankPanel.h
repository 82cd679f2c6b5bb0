#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DialogUnitLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;
class WaveCommands;
class WaveTablePanel;
class WaveformPanel;

// The editor window's part under the template: the selected bank's waveform, or for a bank in
// the wave layout its wave panel (taller, so the window grows); the line of figures under
// either; the Play button with its playhead; the two layout options and the note a wave plays
// at. Its widgets are the dialog's children, placed through the dialog's layout.
class EditorBankPanel final : public QObject {
public:
    // What the panel asks of the editor.
    struct Handlers {
        std::function<void()> play;              // Play or Stop
        std::function<void(bool single)> layout; // one sample or 256 waves
        std::function<long()> playedValues;      // -1 when nothing plays
    };

    // The panel's top in dialog units.
    EditorBankPanel(QWidget& dialog, DialogUnitLayout& layout, int top);

    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
    void setCommands(WaveCommands* commands);
    // Files dropped on a wave slot go in from that slot: it is selected first.
    void selectSlotAt(QPoint global);
    QLabel* note() const { return note_; }
    WaveformPanel* waveform() const { return waveform_; }

    // Lays the panel out and answers the size the window takes around `window`, the
    // template's size in pixels.
    QSize arrange(QSize window);
    // Answer whether the window's layout changes (from one layout of banks to the other).
    bool showWaveform(std::vector<std::int16_t> values, const std::string& line);
    bool showWaves(std::vector<std::int16_t> values, int selected, int first, int last,
                   const std::string& slotName, const std::string& line);
    void showPlayback(bool available, bool playing, const std::string& why);

private:
    DialogUnitLayout& layout_;
    int top_;
    Handlers handlers_;
    WaveformPanel* waveform_ = nullptr;
    WaveTablePanel* wavePanel_ = nullptr;
    WaveCommands* commands_ = nullptr;
    QLabel* line_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* play_ = nullptr;
    QRadioButton* oneSample_ = nullptr;
    QRadioButton* waves_ = nullptr;
    QTimer* playhead_ = nullptr;
    bool wavesShown_ = false;
    bool available_ = false;
    QString unavailable_;
};
