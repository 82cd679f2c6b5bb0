#include "app/WaveSlotEditor.h"

#include "app/BankHistory.h"
#include "device/DvVaneto.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WaveStroke.h"

#include <algorithm>

WaveSlotEditor::WaveSlotEditor(DvVaneto& store, BankHistory& history)
    : store_(store), history_(history) {}

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

void WaveSlotEditor::beginEdit(int bank, std::string label) {
    cancelEdit();
    const auto values = store_.bankData(bank);
    const std::size_t at = static_cast<std::size_t>(selected_) * waveLength;
    if (values.size() < at + waveLength) {
        return;
    }
    editBank_ = bank;
    before_.assign(values.begin() + static_cast<std::ptrdiff_t>(at),
                   values.begin() + static_cast<std::ptrdiff_t>(at + waveLength));
    history_.record(std::move(label), {{bank, at, waveLength, false, false}});
}

void WaveSlotEditor::beginStroke(int bank, double position, double value, bool straight) {
    beginEdit(bank, "drawing on slot " + std::to_string(selected_ + 1) + " of bank " +
                        std::to_string(bank + 1));
    straight_ = straight;
    startPosition_ = lastPosition_ = position;
    startValue_ = lastValue_ = value;
    strokeTo(position, value);
}

void WaveSlotEditor::strokeTo(double position, double value) {
    if (editBank_ < 0 || harmonic_ != 0) {
        return;
    }
    std::vector<std::int16_t> wave = before_;
    if (!straight_) {
        const auto now = store_.bankData(editBank_).subspan(
            static_cast<std::size_t>(selected_) * waveLength, waveLength);
        wave.assign(now.begin(), now.end());
    }
    if (straight_) {
        WaveStroke::drawLine(wave, startPosition_, startValue_, position, value);
    } else {
        WaveStroke::drawLine(wave, lastPosition_, lastValue_, position, value);
    }
    lastPosition_ = position;
    lastValue_ = value;
    store_.writeValues(editBank_, static_cast<std::size_t>(selected_) * waveLength, wave);
}

void WaveSlotEditor::beginHarmonicDrag(int bank, int harmonic) {
    beginEdit(bank, "harmonic " + std::to_string(harmonic) + " of slot " +
                        std::to_string(selected_ + 1) + " of bank " + std::to_string(bank + 1));
    harmonic_ = editBank_ >= 0 ? harmonic : 0;
}

void WaveSlotEditor::dragHarmonic(double db) {
    if (editBank_ < 0 || harmonic_ == 0) {
        return;
    }
    // Each step starts from the wave as it was, so that a drag back restores it exactly.
    std::vector<std::int16_t> wave = before_;
    WaveHarmonics harmonics;
    harmonics.setMagnitudeWithin(wave, harmonic_, WaveHarmonics::fromDb(db));
    store_.writeValues(editBank_, static_cast<std::size_t>(selected_) * waveLength, wave);
}

void WaveSlotEditor::endEdit() {
    editBank_ = -1;
    harmonic_ = 0;
}

void WaveSlotEditor::cancelEdit() {
    if (editBank_ >= 0) {
        store_.writeValues(editBank_, static_cast<std::size_t>(selected_) * waveLength, before_);
        history_.discardLast();
    }
    endEdit();
}

std::string WaveSlotEditor::describe(Operation operation) {
    switch (operation) {
    case Operation::normalize:
        return "normalize";
    case Operation::normalizeTogether:
        return "normalize together";
    case Operation::removeDc:
        return "remove DC";
    case Operation::reverse:
        return "reverse";
    case Operation::invert:
        return "invert";
    case Operation::clear:
        return "clear";
    case Operation::morphCrossfade:
        return "morph (crossfade)";
    case Operation::morphSpectral:
        return "morph (spectral)";
    }
    return {};
}

bool WaveSlotEditor::apply(int bank, Operation operation) {
    cancelEdit();
    const auto data = store_.bankData(bank);
    const std::size_t at = static_cast<std::size_t>(first()) * waveLength;
    const std::size_t count = static_cast<std::size_t>(last() - first() + 1) * waveLength;
    if (data.size() < at + count) {
        return false;
    }
    const bool morph =
        operation == Operation::morphCrossfade || operation == Operation::morphSpectral;
    if (morph && last() - first() < 2) {
        return false;
    }
    std::vector<std::int16_t> values(data.begin() + static_cast<std::ptrdiff_t>(at),
                                     data.begin() + static_cast<std::ptrdiff_t>(at + count));
    switch (operation) {
    case Operation::normalize:
        WaveOperations::normalize(values, waveLength, false);
        break;
    case Operation::normalizeTogether:
        WaveOperations::normalize(values, waveLength, true);
        break;
    case Operation::removeDc:
        WaveOperations::removeDc(values, waveLength);
        break;
    case Operation::reverse:
        WaveOperations::reverse(values, waveLength);
        break;
    case Operation::invert:
        WaveOperations::invert(values);
        break;
    case Operation::clear:
        std::fill(values.begin(), values.end(), std::int16_t{0});
        break;
    case Operation::morphCrossfade:
        WaveOperations::morphFill(values, waveLength, WaveOperations::Morph::crossfade);
        break;
    case Operation::morphSpectral:
        WaveOperations::morphFill(values, waveLength, WaveOperations::Morph::spectral);
        break;
    }
    const std::string slots = first() == last() ? "slot " + std::to_string(first() + 1)
                                                : "slots " + std::to_string(first() + 1) + "-" +
                                                      std::to_string(last() + 1);
    history_.record(describe(operation) + " of " + slots + " of bank " + std::to_string(bank + 1),
                    {{bank, at, count, false, false}});
    store_.writeValues(bank, at, values);
    return true;
}

void WaveSlotEditor::copy(int bank) {
    const auto data = store_.bankData(bank);
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
    const auto data = store_.bankData(bank);
    if (clipboard_.empty() || data.size() <= at) {
        return false;
    }
    const std::size_t count = std::min(clipboard_.size(), data.size() - at);
    history_.record("paste into slot " + std::to_string(selected_ + 1) + " of bank " +
                        std::to_string(bank + 1),
                    {{bank, at, count, false, false}});
    store_.writeValues(bank, at, std::span(clipboard_).first(count));
    return true;
}
