#include "editor/WaveSlotEditor.h"

#include "device/DvVaneto.h"
#include "document/BankDocument.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveStroke.h"

#include <algorithm>

WaveSlotEditor::WaveSlotEditor(BankDocument& document) : document_(document) {}

void WaveSlotEditor::select(int slot, bool extend) {
    selected_ = std::clamp(slot, 0, slotCount - 1);
    if (!extend) {
        anchor_ = selected_;
    }
}

int WaveSlotEditor::first() const {
    return std::min(selected_, anchor_);
}

int WaveSlotEditor::last() const {
    return std::max(selected_, anchor_);
}

bool WaveSlotEditor::editing() const {
    return document_.dragging() && editBank_ >= 0;
}

bool WaveSlotEditor::beginEdit(int bank, std::string label) {
    cancelEdit();
    const auto values = document_.banks().bankData(bank);
    const std::size_t at = static_cast<std::size_t>(selected_) * waveLength;
    if (values.size() < at + waveLength ||
        !document_.beginDrag({BankDocument::Command::drag,
                              std::move(label),
                              {{bank, at, waveLength, false, false}}})) {
        return false;
    }
    editBank_ = bank;
    before_.assign(values.begin() + static_cast<std::ptrdiff_t>(at),
                   values.begin() + static_cast<std::ptrdiff_t>(at + waveLength));
    return true;
}

void WaveSlotEditor::writeWave(const std::vector<std::int16_t>& wave) {
    const int bank = editBank_;
    const std::size_t at = static_cast<std::size_t>(selected_) * waveLength;
    document_.dragTo([bank, at, &wave](DvVaneto& store, BankDocument::Origins&) {
        store.writeValues(bank, at, wave);
        return true;
    });
}

bool WaveSlotEditor::beginStroke(int bank, double position, double value, bool straight) {
    harmonic_ = 0;
    if (!beginEdit(bank, "drawing on slot " + std::to_string(selected_ + 1) + " of bank " +
                             std::to_string(bank + 1))) {
        return false;
    }
    straight_ = straight;
    startPosition_ = lastPosition_ = position;
    startValue_ = lastValue_ = value;
    strokeTo(position, value);
    return true;
}

void WaveSlotEditor::strokeTo(double position, double value) {
    if (!editing() || harmonic_ != 0) {
        return;
    }
    std::vector<std::int16_t> wave = before_;
    if (straight_) {
        WaveStroke::drawLine(wave, startPosition_, startValue_, position, value);
    } else {
        const auto now = document_.banks().bankData(editBank_).subspan(
            static_cast<std::size_t>(selected_) * waveLength, waveLength);
        wave.assign(now.begin(), now.end());
        WaveStroke::drawLine(wave, lastPosition_, lastValue_, position, value);
    }
    lastPosition_ = position;
    lastValue_ = value;
    writeWave(wave);
}

bool WaveSlotEditor::beginHarmonicDrag(int bank, int harmonic) {
    if (!beginEdit(bank, "harmonic " + std::to_string(harmonic) + " of slot " +
                             std::to_string(selected_ + 1) + " of bank " +
                             std::to_string(bank + 1))) {
        return false;
    }
    harmonic_ = harmonic;
    return true;
}

void WaveSlotEditor::dragHarmonic(double db) {
    if (!editing() || harmonic_ == 0) {
        return;
    }
    // Each step starts from the wave as it was, so that a drag back restores it exactly.
    std::vector<std::int16_t> wave = before_;
    WaveHarmonics harmonics;
    harmonics.setMagnitudeWithin(wave, harmonic_, WaveHarmonics::fromDb(db));
    writeWave(wave);
}

void WaveSlotEditor::endEdit() {
    if (editing()) {
        document_.endDrag();
    }
    editBank_ = -1;
    harmonic_ = 0;
}

void WaveSlotEditor::cancelEdit() {
    if (editing()) {
        document_.cancelDrag();
    }
    editBank_ = -1;
    harmonic_ = 0;
}

bool WaveSlotEditor::apply(int bank, Operation operation) {
    cancelEdit();
    const auto data = document_.banks().bankData(bank);
    const std::size_t at = static_cast<std::size_t>(first()) * waveLength;
    const std::size_t count = static_cast<std::size_t>(last() - first() + 1) * waveLength;
    if (data.size() < at + count || (WaveOperations::isMorph(operation) && last() - first() < 2)) {
        return false;
    }
    std::vector<std::int16_t> values(data.begin() + static_cast<std::ptrdiff_t>(at),
                                     data.begin() + static_cast<std::ptrdiff_t>(at + count));
    WaveOperations::apply(operation, values, waveLength, waveLength);
    return document_.change({BankDocument::Command::edit,
                             describe(operation) + " of " +
                                 WaveOperations::describeSlots(first(), last()) + " of bank " +
                                 std::to_string(bank + 1),
                             {{bank, at, count, false, false}}},
                            [bank, at, &values](DvVaneto& store, BankDocument::Origins&) {
                                store.writeValues(bank, at, values);
                                return true;
                            });
}

void WaveSlotEditor::copy(int bank) {
    const auto data = document_.banks().bankData(bank);
    const std::size_t at = static_cast<std::size_t>(first()) * waveLength;
    const std::size_t count = static_cast<std::size_t>(last() - first() + 1) * waveLength;
    if (data.size() >= at + count) {
        clipboard_.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                          data.begin() + static_cast<std::ptrdiff_t>(at + count));
    }
}

bool WaveSlotEditor::paste(int bank) {
    cancelEdit();
    const std::size_t at = static_cast<std::size_t>(selected_) * waveLength;
    const auto data = document_.banks().bankData(bank);
    if (clipboard_.empty() || data.size() <= at) {
        return false;
    }
    const std::size_t count = std::min(clipboard_.size(), data.size() - at);
    return document_.change({BankDocument::Command::edit,
                             "paste into slot " + std::to_string(selected_ + 1) + " of bank " +
                                 std::to_string(bank + 1),
                             {{bank, at, count, false, false}}},
                            [this, bank, at, count](DvVaneto& store, BankDocument::Origins&) {
                                store.writeValues(bank, at, std::span(clipboard_).first(count));
                                return true;
                            });
}
