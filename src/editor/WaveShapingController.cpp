#include "editor/WaveShapingController.h"

#include "device/DvVaneto.h"
#include "document/BankDocument.h"
#include "editor/PreviewController.h"
#include "editor/WaveShapingView.h"
#include "wavetable/WaveTone.h"

#include <memory>

bool WaveShapingController::shape(int bank, int first, int last, bool formula) {
    using Kind = WaveShaper::Request::Kind;
    if (view_ == nullptr || bank < 0 || bank >= DvVaneto::bankTotal ||
        document_.banks().isSingleSample(bank)) {
        return false;
    }
    // The dialog is the GUI thread's operation: nothing else changes the bank under it.
    const DocumentOperation operation(document_, BankDocument::Command::import);
    if (!operation) {
        return false;
    }
    const std::string slots =
        first == last ? "slot " + std::to_string(first + 1)
                      : "slots " + std::to_string(first + 1) + "-" + std::to_string(last + 1);
    const std::string where = slots + " of bank " + std::to_string(bank + 1);
    WaveShapingView::Setup setup;
    setup.title = (formula ? "Formula for " : "Across ") + where;
    setup.request.kind = formula ? Kind::formula : Kind::operation;
    setup.request.expression = lastFormula_;
    setup.request.first = first;
    setup.request.last = last;
    const auto& gain = RampedOperation::kinds().front();
    setup.request.operation = {gain.kind, gain.from, gain.to};
    const auto data = document_.banks().bankData(bank);
    setup.bank.assign(data.begin(), data.end());
    // The worker's own shaper and copy of the bank: it reads nothing the GUI thread changes.
    auto shaper = std::make_shared<WaveShaper>();
    auto values = std::make_shared<const std::vector<std::int16_t>>(setup.bank);
    setup.compute = [shaper, values](const WaveShaper::Request& request) {
        return shaper->shape(*values, request);
    };
    setup.play = [this](const std::vector<std::int16_t>& waves) {
        const std::vector<double> scan(waves.begin(), waves.end());
        preview_.playValues(
            WaveTone::renderScan(scan, WaveTone::frequencyOf(preview_.note()), scanSeconds));
    };
    const std::optional<WaveShapingView::Choice> chosen = view_->chooseShaping(setup);
    preview_.stop();
    if (!chosen || !chosen->result.ok || chosen->result.values.empty()) {
        return false;
    }
    if (chosen->request.kind != Kind::operation) {
        lastFormula_ = chosen->request.expression;
    }
    const BankHistory::Part part{bank, static_cast<std::size_t>(first) * DvVaneto::waveLength,
                                 chosen->result.values.size(),
                                 chosen->request.kind != Kind::operation, false};
    return document_.change({BankDocument::Command::import,
                             WaveShaper::describe(chosen->request) + " of " + where,
                             {part}},
                            [&](DvVaneto& store, BankDocument::Origins&) {
                                WaveShaper::place(chosen->request, chosen->result, store, bank);
                                return true;
                            });
}
