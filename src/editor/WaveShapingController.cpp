#include "editor/WaveShapingController.h"

#include "device/DvVaneto.h"
#include "document/BankDocument.h"
#include "editor/PreviewController.h"
#include "editor/WaveShapingView.h"
#include "wavetable/WaveOperations.h"
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
    const std::string where =
        WaveOperations::describeSlots(first, last) + " of bank " + std::to_string(bank + 1);
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
    // The worker's own shaper, on the setup's copy of the bank: nothing changes that copy, and
    // the dialog joins its worker before the setup goes.
    auto shaper = std::make_shared<WaveShaper>();
    setup.compute = [shaper, &values = setup.bank](const WaveShaper::Request& request) {
        return shaper->shape(values, request);
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
