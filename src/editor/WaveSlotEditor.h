#pragma once

#include "device/DvVaneto.h"
#include "wavetable/WaveOperations.h"

#include <cstdint>
#include <string>
#include <vector>

class BankDocument;

// The editor's work on the wave slots of a bank in the wave layout: which slots are selected,
// a stroke or a harmonic drag on the selected wave (one drag of the document each, cancelled as
// a whole), the operations on the selected slots, and copy and paste of waves (across banks
// too). Every change goes through the document. No Qt: the views call it through the
// controller.
class WaveSlotEditor {
public:
    static constexpr int slotCount = DvVaneto::wavesPerBank;
    static constexpr std::size_t waveLength = DvVaneto::waveLength;

    using Operation = WaveOperations::Kind;

    explicit WaveSlotEditor(BankDocument& document);

    // Selection: one slot, or a range from the anchor (shift-click, shift-arrow).
    void select(int slot, bool extend);
    int selected() const { return selected_; }
    int first() const;
    int last() const;

    // A stroke on the selected wave of the bank: positions in values (0 ... 255), values in
    // 16-bit units. A freehand stroke draws from point to point; a straight one from the press
    // to the pointer. endEdit keeps it as one step; cancelEdit puts the wave back.
    // False when the document refused it.
    bool beginStroke(int bank, double position, double value, bool straight);
    void strokeTo(double position, double value);
    // A harmonic (1 ... 128) of the selected wave set to a level in dB of full scale, its phase
    // kept; stops where the wave would pass full scale.
    bool beginHarmonicDrag(int bank, int harmonic);
    void dragHarmonic(double db);
    bool editing() const;
    void endEdit();
    void cancelEdit();

    // The operation on the selected slots; false when nothing could change.
    bool apply(int bank, Operation operation);
    void copy(int bank);
    bool paste(int bank);
    bool hasClipboard() const { return !clipboard_.empty(); }

    static std::string describe(Operation operation) { return WaveOperations::describe(operation); }

private:
    bool beginEdit(int bank, std::string label);
    void writeWave(const std::vector<std::int16_t>& wave);

    BankDocument& document_;
    int selected_ = 0;
    int anchor_ = 0;
    std::vector<std::int16_t> clipboard_;

    // The edit in progress: its bank, the wave as it was, the stroke's points.
    int editBank_ = -1;
    std::vector<std::int16_t> before_;
    bool straight_ = false;
    double startPosition_ = 0, startValue_ = 0, lastPosition_ = 0, lastValue_ = 0;
    int harmonic_ = 0;
};
