#include "editor/VanetoEditorController.h"

#include "editor/WorkController.h"

#include "device/DvVaneto.h"
#include "document/BankDocument.h"
#include "editor/BankFileController.h"
#include "editor/BrowserController.h"
#include "editor/ImportController.h"
#include "editor/PreviewController.h"
#include "editor/TransferController.h"
#include "editor/WaveShapingController.h"
#include "files/Utf8Text.h"
#include "files/WaveformPeaks.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutService.h"

#include <algorithm>

namespace {

using Command = BankDocument::Command;
using Kind = BankDocument::Event::Kind;

} // namespace

VanetoEditorController::VanetoEditorController(EditorView& view_,
                                               std::shared_ptr<MidiOutService> service,
                                               Clock& clock)
    : view(view_), document_(std::make_unique<BankDocument>()),
      waves_(std::make_unique<WaveSlotEditor>(*document_)),
      preview_(std::make_unique<PreviewController>(view)),
      bankFiles_(std::make_unique<BankFileController>(view, *document_)),
      imports_(std::make_unique<ImportController>(
          view, *document_, *preview_, *bankFiles_,
          ImportController::Selection{[this] { return selectedBank(); },
                                      [this] { return waves_->selected(); },
                                      [this](int bank) { selectBank(bank); }})),
      transfer_(std::make_unique<TransferController>(view, *document_, std::move(service), clock)),
      browser_(std::make_unique<BrowserController>(view, *document_, *preview_, *imports_,
                                                   [this] { return selectedBank(); })),
      shaping_(std::make_unique<WaveShapingController>(*document_, *preview_)) {
    document_->addObserver([this](const BankDocument::Event& event) { documentChanged(event); });
    // A command refused by the editor's own busy state says why on the panel's line, until the
    // next change.
    document_->setRefusalListener([this](const std::string& why) {
        refusal_ = why;
        refreshWaveform(false);
    });
}

VanetoEditorController::VanetoEditorController(EditorView& view_)
    : VanetoEditorController(view_, defaultMidiOutService(), realClock()) {}

VanetoEditorController::~VanetoEditorController() {
    // The transfer first: its worker reads the store until it has ended.
    transfer_.reset();
    preview_.reset();
}

void VanetoEditorController::keepWork(const std::filesystem::path& folder, bool restoreNow,
                                      WorkOfferView& offer, const std::string& restoreId) {
    work_ = std::make_unique<WorkController>(
        *document_, offer,
        WorkController::Hooks{
            [this] {
                return WorkController::Selection{selectedBank(), waves_->selected()};
            },
            [this](WorkController::Selection selection) {
                waves_->select(selection.slot, false);
                selectBank(selection.bank);
            },
            [this] { refreshWaveform(false); }, [this] { return !document_->transferring(); }});
    work_->start(folder, restoreNow, restoreId);
}

void VanetoEditorController::setResynthesisView(ResynthesisView* dialog) {
    imports_->setResynthesisView(dialog);
}

void VanetoEditorController::restoreWork() {
    if (work_) {
        work_->restore();
    }
}

void VanetoEditorController::dismissWork() {
    if (work_) {
        work_->dismiss();
    }
}

void VanetoEditorController::showKeptWork() {
    if (work_) {
        work_->showKept();
    }
}

void VanetoEditorController::pollWork() {
    if (work_) {
        work_->poll();
    }
}

bool VanetoEditorController::finishWork(std::chrono::milliseconds limit) {
    return !work_ || work_->finish(limit);
}

std::string VanetoEditorController::unkeptWork() const {
    return work_ ? work_->unkept() : std::string();
}

void VanetoEditorController::setBytesPerSecond(double bytesPerSecond) {
    transfer_->setBytesPerSecond(bytesPerSecond);
}

std::uint16_t VanetoEditorController::portCountAtStart() const {
    return transfer_->portCount();
}

int VanetoEditorController::selectedBank() {
    const int bank = view.listSelection(EditorView::BankList);
    return bank >= 0 && bank < banks().bankCount() ? bank : -1;
}

void VanetoEditorController::selectBank(int bank) {
    view.setListSelection(EditorView::BankList, bank);
    showSelectedBank();
}

void VanetoEditorController::initDialog() {
    view.setText(EditorView::VersionText, versionText);
    view.setText(EditorView::StatusLine, "");
    refreshBankList();
    view.setListSelection(EditorView::BankList, 0);
    view.setFocus(EditorView::BankList);
    preview_->init();
    showSelectedBank();
    view.setListSelection(EditorView::ChannelList, 0);
    refreshPortList();
    view.setListSelection(EditorView::PortList, 0);
    view.setChecked(EditorView::SelectedBankOption, true);
    view.showControl(EditorView::ProgressBar, false);
}

void VanetoEditorController::refreshBankList() {
    const int selection = view.listSelection(EditorView::BankList);
    view.clearList(EditorView::BankList);
    for (int bank = 0; bank < banks().bankCount(); ++bank) {
        view.appendToList(EditorView::BankList, displayName(banks().bankName(bank)));
    }
    view.setListSelection(EditorView::BankList, selection);
}

void VanetoEditorController::refreshPortList() {
    transfer_->refreshPortList();
}

void VanetoEditorController::showSelectedBank() {
    const int bank = selectedBank();
    if (bank >= 0) {
        showNames(bank);
        refreshWaveform();
    }
}

void VanetoEditorController::showNames(int bank) {
    view.setText(EditorView::BankNameEdit, displayName(banks().bankName(bank)));
    view.setText(EditorView::SampleNameEdit, displayName(banks().sampleName(bank, 0)));
}

std::vector<std::int16_t> VanetoEditorController::valuesOf(int bank) const {
    const auto data = banks().bankData(bank);
    return {data.begin(), data.end()};
}

void VanetoEditorController::refreshWaveform(bool soundChanged) {
    const int bank = selectedBank();
    const bool waveLayout = bank >= 0 && !banks().isSingleSample(bank);
    if (soundChanged) {
        // A wave playing as a tone follows the selection and every change of the wave.
        const auto wave =
            waveLayout
                ? banks().bankData(bank).subspan(static_cast<std::size_t>(waves_->selected()) *
                                                     WaveSlotEditor::waveLength,
                                                 WaveSlotEditor::waveLength)
                : std::span<const std::int16_t>();
        preview_->follow(bank, waveLayout, wave);
    }
    if (bank < 0) {
        return;
    }
    std::vector<std::int16_t> values = valuesOf(bank);
    std::string line = WaveformPeaks::summary(WaveformPeaks::levels(values));
    const BankOrigin& origin = document_->origin(bank);
    if (!origin.line.empty()) {
        line += " \u00b7 from " + origin.line;
    }
    if (!origin.longerSource.empty()) {
        line += " \u00b7 another part: Choose Part... on the waveform's menu";
    }
    if (work_ && !work_->note().empty()) {
        line += " \u00b7 " + work_->note();
    }
    if (!refusal_.empty()) {
        line += " \u00b7 " + refusal_;
    }
    if (waveLayout) {
        const int slot = waves_->selected();
        view.showWaves(std::move(values), slot, waves_->first(), waves_->last(),
                       displayName(banks().sampleName(bank, slot)), line);
        return;
    }
    // Names of slots 2 ... 256 that differ from the factory ones are not saved with one sample.
    const DvVaneto factory;
    for (int s = 1; s < DvVaneto::sampleNamesPerBank; ++s) {
        if (banks().sampleName(bank, s) != factory.sampleName(bank, s)) {
            line += " \u00b7 slot names 2-256 are not saved as one sample";
            break;
        }
    }
    view.showWaveform(std::move(values), line);
}

void VanetoEditorController::documentChanged(const BankDocument::Event& event) {
    refusal_.clear();
    showHistory();
    if (event.kind == Kind::moved || event.kind == Kind::cancelled) {
        refreshWaveform();
        return;
    }
    refreshBankList();
    const int bank = selectedBank();
    if (bank >= 0) {
        showNames(bank);
    }
    refreshWaveform(!event.namesOnly);
}

void VanetoEditorController::showHistory() {
    const auto entry = [](const char* verb, const std::string& label) {
        return label.empty() ? std::string() : verb + label;
    };
    view.showHistory(entry("Undo ", document_->history().undoLabel()),
                     entry("Redo ", document_->history().redoLabel()));
}

// ---- names, layout, history ----

bool VanetoEditorController::rename(int bank, int slot, const std::string& name,
                                    std::string label) {
    const std::string stored = slot < 0 ? banks().bankName(bank) : banks().sampleName(bank, slot);
    if (name == stored) {
        return false;
    }
    return document_->change({Command::rename, std::move(label), {BankHistory::namesOf(bank)}},
                             [&](DvVaneto& store, BankDocument::Origins&) {
                                 if (slot < 0) {
                                     store.setBankName(name, bank);
                                 } else {
                                     store.setSampleName(name, bank, slot);
                                 }
                                 return true;
                             });
}

void VanetoEditorController::commitBankName() {
    const int bank = selectedBank();
    if (bank >= 0) {
        const std::string text = view.text(EditorView::BankNameEdit);
        rename(bank, -1, editedName(text, banks().bankName(bank)),
               "rename of bank " + std::to_string(bank + 1));
    }
}

void VanetoEditorController::commitSampleName() {
    const int bank = selectedBank();
    if (bank >= 0) {
        const std::string text = view.text(EditorView::SampleNameEdit);
        rename(bank, 0, editedName(text, banks().sampleName(bank, 0)),
               "rename of the sample of bank " + std::to_string(bank + 1));
    }
}

void VanetoEditorController::commitSlotName(const std::string& text) {
    const int bank = selectedBank();
    const int slot = waves_->selected();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        rename(bank, slot, editedName(text, banks().sampleName(bank, slot)),
               "rename of slot " + std::to_string(slot + 1) + " of bank " +
                   std::to_string(bank + 1));
    }
}

void VanetoEditorController::setLayout(bool singleSample) {
    const int bank = selectedBank();
    if (bank < 0 || banks().isSingleSample(bank) == singleSample) {
        return;
    }
    document_->change({Command::layout,
                       "change of layout of bank " + std::to_string(bank + 1),
                       {BankHistory::layoutOf(bank)}},
                      [bank, singleSample](DvVaneto& store, BankDocument::Origins&) {
                          store.setSingleSample(bank, singleSample);
                          return true;
                      });
}

void VanetoEditorController::undo() {
    document_->undo();
}

void VanetoEditorController::redo() {
    document_->redo();
}

void VanetoEditorController::resetToDefault() {
    const int bank = selectedBank();
    if (bank < 0) {
        return;
    }
    document_->change({Command::reset,
                       "Reset to Default of bank " + std::to_string(bank + 1),
                       {BankHistory::wholeBank(bank)}},
                      [bank](DvVaneto& store, BankDocument::Origins& origins) {
                          store.resetBank(bank);
                          origins[static_cast<std::size_t>(bank)] = {};
                          return true;
                      });
}

// ---- the wave slots and the one-sample waveform ----

void VanetoEditorController::selectSlot(int slot, bool extend) {
    waves_->cancelEdit();
    waves_->select(slot, extend);
    refreshWaveform();
}

void VanetoEditorController::beginStroke(double position, double value, bool straight) {
    const int bank = selectedBank();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        waves_->beginStroke(bank, position, value, straight);
    }
}

void VanetoEditorController::beginHarmonicDrag(int harmonic) {
    const int bank = selectedBank();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        waves_->beginHarmonicDrag(bank, harmonic);
    }
}

void VanetoEditorController::strokeTo(double position, double value) {
    waves_->strokeTo(position, value);
}

void VanetoEditorController::dragHarmonic(double db) {
    waves_->dragHarmonic(db);
}

void VanetoEditorController::endEdit() {
    waves_->endEdit();
}

void VanetoEditorController::cancelEdit() {
    waves_->cancelEdit();
}

void VanetoEditorController::waveOperation(WaveSlotEditor::Operation operation) {
    const int bank = selectedBank();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        waves_->apply(bank, operation);
    }
}

void VanetoEditorController::shapeWaves(bool formula) {
    const int bank = selectedBank();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        waves_->cancelEdit();
        shaping_->shape(bank, waves_->first(), waves_->last(), formula);
    }
}

void VanetoEditorController::setWaveShapingView(WaveShapingView* dialog) {
    shaping_->setView(dialog);
}

void VanetoEditorController::copyWaves() {
    const int bank = selectedBank();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        waves_->copy(bank);
    }
}

void VanetoEditorController::pasteWaves() {
    const int bank = selectedBank();
    if (bank >= 0 && !banks().isSingleSample(bank)) {
        waves_->paste(bank);
    }
}

void VanetoEditorController::sampleOperation(SampleOperation operation, long first, long last) {
    const int bank = selectedBank();
    if (bank < 0 || !banks().isSingleSample(bank) || !document_->allows(Command::edit)) {
        document_->refuse(Command::edit);
        return;
    }
    const auto data = banks().bankData(bank);
    if (first < 0) {
        // The sound up to its last value that is not 0.
        const auto end =
            std::find_if(data.rbegin(), data.rend(), [](std::int16_t v) { return v != 0; });
        first = 0;
        last = static_cast<long>(data.rend() - end) - 1;
    }
    last = std::min<long>(last, static_cast<long>(data.size()) - 1);
    if (last < first) {
        return;
    }
    const auto at = static_cast<std::size_t>(first);
    const auto count = static_cast<std::size_t>(last - first + 1);
    std::vector<std::int16_t> values(data.begin() + first, data.begin() + last + 1);
    WaveOperations::apply(operation, values, count, fadeValues);
    document_->change({Command::edit,
                       WaveOperations::describe(operation) + " of bank " + std::to_string(bank + 1),
                       {{bank, at, count, false, false}}},
                      [bank, at, &values](DvVaneto& store, BankDocument::Origins&) {
                          store.writeValues(bank, at, values);
                          return true;
                      });
}

void VanetoEditorController::exportWaves(bool wholeTable) {
    bankFiles_->exportWaves(selectedBank(), waves_->selected(), wholeTable);
}

// ---- preview ----

void VanetoEditorController::togglePlayback() {
    if (preview_->isPlaying()) {
        preview_->stop();
        return;
    }
    const int bank = selectedBank();
    if (!preview_->available() || bank < 0) {
        return;
    }
    if (!banks().isSingleSample(bank)) {
        playNote(preview_->note());
        return;
    }
    preview_->playValues(valuesOf(bank));
}

void VanetoEditorController::playNote(int note) {
    const int bank = selectedBank();
    if (bank < 0 || banks().isSingleSample(bank)) {
        return;
    }
    preview_->playTone(bank, note,
                       banks().bankData(bank).subspan(static_cast<std::size_t>(waves_->selected()) *
                                                          WaveSlotEditor::waveLength,
                                                      WaveSlotEditor::waveLength));
}

void VanetoEditorController::stopNote() {
    preview_->stopTone();
}

bool VanetoEditorController::isPlaying() const {
    return preview_->isPlaying();
}

std::size_t VanetoEditorController::playbackPosition() const {
    return preview_->position();
}

// ---- imports and bank files ----

void VanetoEditorController::importSample() {
    imports_->openSound();
}

bool VanetoEditorController::canChoosePart() {
    return imports_->canChoosePart();
}

void VanetoEditorController::choosePart() {
    imports_->choosePart();
}

void VanetoEditorController::dropFiles(const std::vector<std::string>& paths, int bank) {
    imports_->drop(paths, bank);
}

void VanetoEditorController::saveToDisk() {
    bankFiles_->save(selectedBank());
}

void VanetoEditorController::openFromDisk() {
    bankFiles_->open(selectedBank());
}

// ---- the dialog and the transfer ----

void VanetoEditorController::sendBanks() {
    transfer_->send(selectedBank());
}

void VanetoEditorController::sendOptionChanged() {
    transfer_->setSelectedBankOnly(view.isChecked(EditorView::SelectedBankOption));
}

void VanetoEditorController::stopTransfer() {
    transfer_->stop();
}

bool VanetoEditorController::quitWhenIdle() {
    if (!isIdle()) {
        stopTransfer();
        return false;
    }
    onCancel();
    return true;
}

void VanetoEditorController::onOk() {}

void VanetoEditorController::onCancel() {
    if (isIdle()) {
        view.endDialog(EditorView::IdCancel);
    }
}

void VanetoEditorController::showAbout() {
    view.showAboutBox();
}
