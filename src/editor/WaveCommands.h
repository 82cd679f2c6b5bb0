#pragma once

#include "wavetable/WaveOperations.h"

#include <string>

// What the bank's views ask of the editor: the wave slots of a wave bank (selection, strokes,
// harmonic drags, operations, copy and paste, names, export, notes), and the one-sample
// waveform's menu. The views know this interface only; the editor's controller answers it.
class WaveCommands {
public:
    WaveCommands() = default;
    WaveCommands(const WaveCommands&) = delete;
    WaveCommands& operator=(const WaveCommands&) = delete;
    virtual ~WaveCommands() = default;

    virtual void selectSlot(int slot, bool extend) = 0;
    // A stroke on the selected wave (positions 0 ... 255, values in 16-bit units) or a drag of
    // one of its harmonics (1 ... 128, level in dB of full scale): one step when it ends, taken
    // back as a whole when it is cancelled.
    virtual void beginStroke(double position, double value, bool straight) = 0;
    virtual void strokeTo(double position, double value) = 0;
    virtual void beginHarmonicDrag(int harmonic) = 0;
    virtual void dragHarmonic(double db) = 0;
    virtual void endEdit() = 0;
    virtual void cancelEdit() = 0;
    virtual void waveOperation(WaveOperations::Kind operation) = 0;
    // "Formula..." (formula) or "Across the slots..." on the selected slots.
    virtual void shapeWaves(bool formula) = 0;
    virtual void copyWaves() = 0;
    virtual void pasteWaves() = 0;
    virtual void commitSlotName(const std::string& text) = 0;
    virtual void exportWaves(bool wholeTable) = 0;
    // The selected wave as a tone of a MIDI note, and its end.
    virtual void playNote(int note) = 0;
    virtual void stopNote() = 0;
    // The one-sample bank: an operation on values first ... last (first < 0: the whole sound),
    // and another part of the long sound it was imported from.
    virtual void sampleOperation(WaveOperations::Kind operation, long first, long last) = 0;
    virtual bool canChoosePart() = 0;
    virtual void choosePart() = 0;
};
