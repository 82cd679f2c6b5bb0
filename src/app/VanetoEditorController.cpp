#include "app/VanetoEditorController.h"

#include "app/AtomicFile.h"
#include "app/BankFile.h"
#include "app/BankHistory.h"
#include "app/SampleImport.h"
#include "app/SourceOverview.h"
#include "app/TransferEngine.h"
#include "app/TransferObserver.h"
#include "app/Utf8Text.h"
#include "app/WaveformPeaks.h"
#include "device/DvVaneto.h"
#include "midi/LoMidiFileReader.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutService.h"
#include "playback/PreviewPlayer.h"
#include "wavetable/WaveOperations.h"
#include "wavetable/WaveTone.h"
#include "wavetable/WavetableExport.h"
#include "wavetable/WavetableImport.h"
#include "wavetable/WavetableSource.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

namespace {

// Port names are shown with at most this many bytes.
constexpr std::size_t portNameLimit = 31;

constexpr const char* allBanksQuestion =
    "The sending of all banks take over 10 Minutes.\nDo you want to really transmit?";

// Cuts a name to at most limit bytes without splitting a UTF-8 sequence.
std::string cutName(std::string name, std::size_t limit) {
    if (name.size() <= limit) {
        return name;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;
    }
    name.resize(end);
    return name;
}

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A transfer as the dialog shows it: the status line, and the progress bar with the Stop button
// beside it, counting whole seconds against the bank's estimate.
class DialogProgress final : public TransferObserver {
public:
    explicit DialogProgress(EditorView& view) : view_(view) {}

    void status(const std::string& text) override { view_.setText(EditorView::StatusLine, text); }
    void showProgress(bool shown) override {
        if (shown) {
            view_.setProgressPosition(EditorView::ProgressBar, 0);
            view_.showControl(EditorView::ProgressBar, true);
            view_.showControl(EditorView::StopButton, true);
        } else {
            view_.showControl(EditorView::StopButton, false);
            view_.showControl(EditorView::ProgressBar, false);
        }
    }
    void progress(int, std::int64_t elapsedSeconds, double estimateSeconds) override {
        // The range is set once a bank's playing has begun.
        if (estimateSeconds > 0 && estimateSeconds != estimate_) {
            view_.setProgressRange(
                EditorView::ProgressBar, 0,
                static_cast<std::uint16_t>(static_cast<std::int64_t>(estimateSeconds)));
        }
        estimate_ = estimateSeconds;
        view_.setProgressPosition(EditorView::ProgressBar,
                                  static_cast<std::int16_t>(elapsedSeconds));
    }

private:
    EditorView& view_;
    double estimate_ = 0.0;
};

} // namespace

VanetoEditorController::VanetoEditorController(EditorView& view_,
                                               std::shared_ptr<MidiOutService> service_,
                                               Clock& clock_)
    : view(view_), service(std::move(service_)), clock(clock_),
      bankStore(std::make_unique<DvVaneto>()), history_(std::make_unique<BankHistory>(*bankStore)),
      waves_(std::make_unique<WaveSlotEditor>(*bankStore, *history_)),
      player(std::make_unique<PreviewPlayer>(defaultAudioOutput())) {
    if (!service) {
        service = defaultMidiOutService();
    }
}

VanetoEditorController::VanetoEditorController(EditorView& view_)
    : VanetoEditorController(view_, defaultMidiOutService(), realClock()) {}

VanetoEditorController::~VanetoEditorController() {
    // A transfer still running (the program is ending) is stopped first; the worker never
    // waits for the dialog's thread, so it ends within moments.
    if (engine) {
        engine->stop();
    }
    if (worker.joinable()) {
        worker.join();
    }
    engine.reset();
    player.reset();
    waves_.reset();
    history_.reset();
    bankStore.reset();
}

std::string VanetoEditorController::displayName(const std::string& bytes) {
    return ::displayName(bytes);
}

std::string VanetoEditorController::editedName(const std::string& shown,
                                               const std::string& stored) {
    return shown == displayName(stored) ? stored : shown;
}

int VanetoEditorController::selectedBank() {
    const int bank = view.listSelection(EditorView::BankList);
    return bank >= 0 && bank < bankStore->bankCount() ? bank : -1;
}

void VanetoEditorController::initDialog() {
    view.setText(EditorView::VersionText, versionText);
    view.setText(EditorView::StatusLine, "");
    refreshBankList();
    view.setListSelection(EditorView::BankList, 0);
    view.setFocus(EditorView::BankList);
    audioAvailable = player->isAvailable(audioUnavailable);
    view.showPlayback(audioAvailable, false, audioUnavailable);
    showSelectedBank();
    view.setText(EditorView::NoteText, WaveTone::describeNote(note_));
    view.setListSelection(EditorView::ChannelList, 0);
    refreshPortList();
    view.setListSelection(EditorView::PortList, 0);
    view.setChecked(EditorView::SelectedBankOption, true);
    view.showControl(EditorView::ProgressBar, false);
}

void VanetoEditorController::refreshBankList() {
    const int selection = view.listSelection(EditorView::BankList);
    view.clearList(EditorView::BankList);
    for (int bank = 0; bank < bankStore->bankCount(); ++bank) {
        view.appendToList(EditorView::BankList, displayName(bankStore->bankName(bank)));
    }
    view.setListSelection(EditorView::BankList, selection);
}

void VanetoEditorController::refreshPortList() {
    const int selection = view.listSelection(EditorView::PortList);
    const unsigned count = service->portCount();
    deviceCount = static_cast<std::uint16_t>(count > 0xFFFF ? 0xFFFF : count);
    portNames.clear();
    view.clearList(EditorView::PortList);
    if (deviceCount != 0) {
        for (std::uint16_t port = 0; port < deviceCount; ++port) {
            portNames.push_back(displayName(cutName(service->portName(port), portNameLimit)));
            view.appendToList(EditorView::PortList, portNames.back());
        }
    } else {
        view.appendToList(EditorView::PortList, noPortText);
    }
    view.setListSelection(EditorView::PortList, selection);
}

void VanetoEditorController::showSelectedBank() {
    const int bank = selectedBank();
    if (bank < 0) {
        return;
    }
    view.setText(EditorView::BankNameEdit, displayName(bankStore->bankName(bank)));
    view.setText(EditorView::SampleNameEdit, displayName(bankStore->sampleName(bank, 0)));
    refreshWaveform();
}

void VanetoEditorController::stopPlayback() {
    player->stop();
    toneBank_ = -1;
    view.showPlayback(audioAvailable, false, audioUnavailable);
}

std::vector<std::int16_t> VanetoEditorController::valuesOf(int bank) const {
    const auto data = bankStore->bankData(bank);
    return {data.begin(), data.end()};
}

void VanetoEditorController::refreshWaveform() {
    const int bank = selectedBank();
    if (player->isPlaying() && toneBank_ >= 0 && toneBank_ == bank &&
        !bankStore->isSingleSample(bank)) {
        // A wave playing as a tone follows the selection and every change of the wave.
        playNote(note_);
    } else if (player->isPlaying()) {
        stopPlayback();
    }
    if (bank < 0) {
        return;
    }
    std::vector<std::int16_t> values = valuesOf(bank);
    std::string line = WaveformPeaks::summary(WaveformPeaks::levels(values));
    if (!origins[static_cast<std::size_t>(bank)].empty()) {
        line += " \u00b7 from " + origins[static_cast<std::size_t>(bank)];
    }
    if (!importPaths[static_cast<std::size_t>(bank)].empty()) {
        line += " \u00b7 another part: Choose Part... on the waveform's menu";
    }
    if (!bankStore->isSingleSample(bank)) {
        const int slot = waves_->selected();
        view.showWaves(std::move(values), slot, waves_->first(), waves_->last(),
                       displayName(bankStore->sampleName(bank, slot)), line);
        return;
    }
    // Names of slots 2 ... 256 that differ from the factory ones are not saved with one sample.
    const DvVaneto factory;
    for (int s = 1; s < DvVaneto::sampleNamesPerBank; ++s) {
        if (bankStore->sampleName(bank, s) != factory.sampleName(bank, s)) {
            line += " \u00b7 slot names 2-256 are not saved as one sample";
            break;
        }
    }
    view.showWaveform(std::move(values), line);
}

void VanetoEditorController::selectSlot(int slot, bool extend) {
    waves_->cancelEdit();
    waves_->select(slot, extend);
    refreshWaveform();
}

void VanetoEditorController::beginStroke(double position, double value, bool straight) {
    const int bank = selectedBank();
    if (!idle.load() || bank < 0 || bankStore->isSingleSample(bank)) {
        return;
    }
    waves_->beginStroke(bank, position, value, straight);
    showHistory();
    refreshWaveform();
}

void VanetoEditorController::beginHarmonicDrag(int harmonic) {
    const int bank = selectedBank();
    if (!idle.load() || bank < 0 || bankStore->isSingleSample(bank)) {
        return;
    }
    waves_->beginHarmonicDrag(bank, harmonic);
    showHistory();
}

void VanetoEditorController::strokeTo(double position, double value) {
    if (waves_->editing()) {
        waves_->strokeTo(position, value);
        refreshWaveform();
    }
}

void VanetoEditorController::dragHarmonic(double db) {
    if (waves_->editing()) {
        waves_->dragHarmonic(db);
        refreshWaveform();
    }
}

void VanetoEditorController::endEdit() {
    waves_->endEdit();
}

void VanetoEditorController::cancelEdit() {
    if (waves_->editing()) {
        waves_->cancelEdit();
        showHistory();
        refreshWaveform();
    }
}

void VanetoEditorController::waveOperation(WaveSlotEditor::Operation operation) {
    const int bank = selectedBank();
    if (!idle.load() || bank < 0 || bankStore->isSingleSample(bank)) {
        return;
    }
    if (waves_->apply(bank, operation)) {
        showHistory();
        refreshWaveform();
    }
}

void VanetoEditorController::copyWaves() {
    const int bank = selectedBank();
    if (bank >= 0 && !bankStore->isSingleSample(bank)) {
        waves_->copy(bank);
    }
}

void VanetoEditorController::pasteWaves() {
    const int bank = selectedBank();
    if (!idle.load() || bank < 0 || bankStore->isSingleSample(bank)) {
        return;
    }
    if (waves_->paste(bank)) {
        showHistory();
        refreshWaveform();
    }
}

void VanetoEditorController::sampleOperation(SampleOperation operation, long first, long last) {
    const int bank = selectedBank();
    if (!idle.load() || bank < 0 || !bankStore->isSingleSample(bank)) {
        return;
    }
    const auto data = bankStore->bankData(bank);
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
    static constexpr const char* names[] = {"normalize", "remove DC", "reverse", "fade in",
                                            "fade out"};
    switch (operation) {
    case SampleOperation::normalize:
        WaveOperations::normalize(values, count, false);
        break;
    case SampleOperation::removeDc:
        WaveOperations::removeDc(values, count);
        break;
    case SampleOperation::reverse:
        WaveOperations::reverse(values, count);
        break;
    case SampleOperation::fadeIn:
        WaveOperations::fadeIn(values, fadeValues);
        break;
    case SampleOperation::fadeOut:
        WaveOperations::fadeOut(values, fadeValues);
        break;
    }
    history_->record(std::string(names[static_cast<int>(operation)]) + " of bank " +
                         std::to_string(bank + 1),
                     {{bank, at, count, false, false}});
    bankStore->writeValues(bank, at, values);
    showHistory();
    refreshWaveform();
}

void VanetoEditorController::exportWaves(bool wholeTable) {
    const int bank = selectedBank();
    if (bank < 0 || bankStore->isSingleSample(bank) || fileBusy) {
        return;
    }
    const std::optional<std::string> chosen = view.saveFileName("WAV Files", "*.wav", "wav");
    if (!chosen) {
        return;
    }
    auto values = bankStore->bankData(bank);
    if (!wholeTable) {
        values = values.subspan(static_cast<std::size_t>(waves_->selected()) *
                                    WaveSlotEditor::waveLength,
                                WaveSlotEditor::waveLength);
    }
    AtomicFile file{std::filesystem::path(*chosen)};
    std::string error;
    errno = 0;
    const bool written =
        file.begin(error) &&
        WavetableExport::write(file.temporaryPath(), values, WavetableExport::waveLength) &&
        file.commit(error);
    if (!written) {
        if (error.empty()) {
            error = "cannot write " + *chosen + ": " + std::strerror(errno != 0 ? errno : EIO);
        }
        view.messageBox(error, appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}

void VanetoEditorController::commitSlotName(const std::string& text) {
    const int bank = selectedBank();
    const int slot = waves_->selected();
    if (bank < 0 || bankStore->isSingleSample(bank)) {
        return;
    }
    const std::string name = editedName(text, bankStore->sampleName(bank, slot));
    if (name == bankStore->sampleName(bank, slot)) {
        return;
    }
    history_->record("rename of slot " + std::to_string(slot + 1) + " of bank " +
                         std::to_string(bank + 1),
                     {BankHistory::namesOf(bank)});
    bankStore->setSampleName(name, bank, slot);
    showHistory();
    if (slot == 0) {
        view.setText(EditorView::SampleNameEdit, displayName(name));
    }
    refreshWaveform();
}

void VanetoEditorController::togglePlayback() {
    if (player->isPlaying()) {
        stopPlayback();
        return;
    }
    const int bank = selectedBank();
    if (!audioAvailable || bank < 0) {
        return;
    }
    if (!bankStore->isSingleSample(bank)) {
        playNote(note_);
        return;
    }
    const bool started = player->start(valuesOf(bank));
    toneBank_ = -1;
    view.showPlayback(audioAvailable, started, audioUnavailable);
}

void VanetoEditorController::playNote(int note) {
    const int bank = selectedBank();
    if (!audioAvailable || bank < 0 || bankStore->isSingleSample(bank) || note < 0 || note > 127) {
        return;
    }
    note_ = note;
    view.setText(EditorView::NoteText, WaveTone::describeNote(note_));
    // The selected wave as a tone; a change of the wave while it plays starts it anew.
    const auto wave = bankStore->bankData(bank).subspan(
        static_cast<std::size_t>(waves_->selected()) * WaveSlotEditor::waveLength,
        WaveSlotEditor::waveLength);
    const bool started =
        player->start(WaveTone::render(wave, WaveTone::frequencyOf(note_), previewSeconds));
    toneBank_ = started ? bank : -1;
    view.showPlayback(audioAvailable, started, audioUnavailable);
}

void VanetoEditorController::stopNote() {
    if (toneBank_ >= 0) {
        stopPlayback();
    }
}

bool VanetoEditorController::isPlaying() const {
    return player->isPlaying();
}

std::size_t VanetoEditorController::playbackPosition() const {
    return player->position();
}

void VanetoEditorController::commitBankName() {
    const std::string text = view.text(EditorView::BankNameEdit);
    const int bank = selectedBank();
    if (bank < 0) {
        return;
    }
    const std::string name = editedName(text, bankStore->bankName(bank));
    if (name != bankStore->bankName(bank)) {
        history_->record("rename of bank " + std::to_string(bank + 1),
                         {BankHistory::namesOf(bank)});
        showHistory();
    }
    bankStore->setBankName(name, bank);
    refreshBankList();
}

void VanetoEditorController::commitSampleName() {
    const std::string text = view.text(EditorView::SampleNameEdit);
    const int bank = selectedBank();
    if (bank < 0) {
        return;
    }
    const std::string name = editedName(text, bankStore->sampleName(bank, 0));
    if (name != bankStore->sampleName(bank, 0)) {
        history_->record("rename of the sample of bank " + std::to_string(bank + 1),
                         {BankHistory::namesOf(bank)});
        showHistory();
    }
    bankStore->setSampleName(name, bank, 0);
}

void VanetoEditorController::setLayout(bool singleSample) {
    const int bank = selectedBank();
    if (bank < 0 || bankStore->isSingleSample(bank) == singleSample) {
        return;
    }
    history_->record("change of layout of bank " + std::to_string(bank + 1),
                     {BankHistory::layoutOf(bank)});
    bankStore->setSingleSample(bank, singleSample);
    showHistory();
    refreshWaveform();
}

void VanetoEditorController::showHistory() {
    const auto entry = [](const char* verb, const std::string& label) {
        return label.empty() ? std::string() : verb + label;
    };
    view.showHistory(entry("Undo ", history_->undoLabel()), entry("Redo ", history_->redoLabel()));
}

void VanetoEditorController::showUndone(const std::vector<int>& banks) {
    for (const int bank : banks) {
        // Where a bank's sound came from is no longer known once a step is taken back.
        if (bank >= 0 && bank < static_cast<int>(origins.size())) {
            origins[static_cast<std::size_t>(bank)].clear();
            importPaths[static_cast<std::size_t>(bank)].clear();
        }
    }
    showHistory();
    if (!banks.empty()) {
        showSelectedBank();
        refreshBankList();
    }
}

void VanetoEditorController::undo() {
    if (!history_->canUndo() || (history_->undoIsContent() && !idle.load()) || fileBusy ||
        importRunning) {
        return;
    }
    showUndone(history_->undo());
}

void VanetoEditorController::redo() {
    if (!history_->canRedo() || (history_->redoIsContent() && !idle.load()) || fileBusy ||
        importRunning) {
        return;
    }
    showUndone(history_->redo());
}

void VanetoEditorController::resetToDefault() {
    if (!idle.load()) {
        return;
    }
    const int bank = selectedBank();
    if (bank < 0) {
        return;
    }
    history_->record("Reset to Default of bank " + std::to_string(bank + 1),
                     {BankHistory::wholeBank(bank)});
    bankStore->resetBank(bank);
    showHistory();
    origins[static_cast<std::size_t>(bank)].clear();
    importPaths[static_cast<std::size_t>(bank)].clear();
    showSelectedBank();
    refreshBankList();
}

void VanetoEditorController::onOk() {}

void VanetoEditorController::onCancel() {
    if (idle.load()) {
        view.endDialog(EditorView::IdCancel);
    }
}

void VanetoEditorController::showAbout() {
    view.showAboutBox();
}

// ---- sample import ----

void VanetoEditorController::importSample() {
    if (!idle.load() || importRunning) {
        return;
    }
    const std::optional<std::string> path = view.openFileName();
    if (!path) {
        return;
    }
    importFile(*path, selectedBank());
}

void VanetoEditorController::importWaves(const std::string& path, int bank) {
    // One cycle or a table, from the selected slot on: the file's own frame size when it
    // states one, otherwise the user's choice.
    WavetableSource source;
    std::string error;
    if (!source.open(path, error)) {
        view.messageBox(error, wrongFormatCaption, EditorView::Buttons::Ok,
                        EditorView::Icon::Information);
        return;
    }
    const WavetableSource::Split stated = source.split(0);
    std::size_t frameSize = stated.stated ? stated.frameSize : 0;
    if (!stated.stated) {
        const std::size_t frames = static_cast<std::size_t>(source.frameCount());
        const std::size_t suggested = frames == WavetableSource::framesOf64Table ? 256
                                      : frames <= 4096                           ? 0
                                                                                 : 2048;
        const std::optional<std::size_t> chosen = view.chooseFrameSize(frames, suggested);
        if (!chosen) {
            return;
        }
        frameSize = *chosen;
    }
    history_->record("import of " + displayName(fileName(path)) + " into bank " +
                         std::to_string(bank + 1),
                     {BankHistory::wholeBank(bank)});
    WavetableImport::Result result;
    if (frameSize == 0) {
        result = WavetableImport::importCycle(path, *bankStore, bank, waves_->selected(), false);
    } else {
        WavetableImport::Options options;
        options.frameSize = frameSize;
        options.firstSlot = waves_->selected();
        result = WavetableImport::importTable(path, *bankStore, bank, options);
    }
    if (!result.ok) {
        history_->discardLast();
        view.messageBox(result.error, wrongFormatCaption, EditorView::Buttons::Ok,
                        EditorView::Icon::Information);
        return;
    }
    std::string said;
    for (const std::string& note : result.notes) {
        said += (said.empty() ? "" : "; ") + note;
    }
    origins[static_cast<std::size_t>(bank)] = said;
    importPaths[static_cast<std::size_t>(bank)].clear();
    showHistory();
    showSelectedBank();
}

void VanetoEditorController::importFile(const std::string& path, int bank) {
    importFile(path, bank, SampleImport::Options{});
}

bool VanetoEditorController::canChoosePart() {
    const int bank = selectedBank();
    return bank >= 0 && !importPaths[static_cast<std::size_t>(bank)].empty();
}

void VanetoEditorController::choosePart() {
    const int bank = selectedBank();
    if (!idle.load() || importRunning || !canChoosePart()) {
        return;
    }
    const std::string path = importPaths[static_cast<std::size_t>(bank)];
    SourceOverview overview;
    const std::string what = "Reading " + displayName(fileName(path)) + "...";
    const bool read =
        overview.compute(path, 1000, [this, &what](std::uint64_t done, std::uint64_t total) {
            return view.showReading(what, done, total);
        });
    view.showReading(what, 1, 1);
    if (!read) {
        return;
    }
    std::vector<std::pair<float, float>> columns;
    columns.reserve(overview.columns.size());
    for (const SourceOverview::Column& column : overview.columns) {
        columns.emplace_back(column.low, column.high);
    }
    const double partSeconds = SampleImport::bankValues / SampleImport::targetRate;
    const auto preview = [this, path](double start) {
        if (!audioAvailable) {
            return;
        }
        SampleImport::Options options;
        options.startSeconds = start;
        const SampleImport::Result part = SampleImport::load(path, options);
        if (SampleImport::isImported(part.outcome)) {
            toneBank_ = -1;
            view.showPlayback(audioAvailable, player->start(part.values), audioUnavailable);
        }
    };
    const std::optional<double> start =
        view.choosePart(columns, overview.seconds, partSeconds,
                        importStarts[static_cast<std::size_t>(bank)], preview);
    stopPlayback();
    if (!start) {
        return;
    }
    SampleImport::Options options;
    options.startSeconds = std::max(0.0, *start);
    importFile(path, bank, options);
}

void VanetoEditorController::importFile(const std::string& path, int bank,
                                        const SampleImport::Options& options) {
    importRunning = true;
    if (bank >= 0 && !bankStore->isSingleSample(bank)) {
        importWaves(path, bank);
    } else if (bank >= 0) {
        history_->record("import of " + displayName(fileName(path)) + " into bank " +
                             std::to_string(bank + 1),
                         {BankHistory::wholeBank(bank)});
        const SampleImport::Result result =
            SampleImport::importInto(path, *bankStore, bank, options);
        if (!SampleImport::isImported(result.outcome)) {
            history_->discardLast();
        }
        // A sound longer than the bank can be imported again from another start.
        const bool longer =
            result.sourceRate > 0 && static_cast<double>(result.sourceFrames) / result.sourceRate >
                                         SampleImport::bankValues / SampleImport::targetRate;
        if (SampleImport::isImported(result.outcome)) {
            importPaths[static_cast<std::size_t>(bank)] =
                longer && result.outcome != SampleImport::Outcome::importedRaw ? path : "";
            importStarts[static_cast<std::size_t>(bank)] =
                result.sourceRate > 0 ? static_cast<double>(result.startFrame) / result.sourceRate
                                      : 0.0;
        }
        showHistory();
        if (SampleImport::isImported(result.outcome)) {
            origins[static_cast<std::size_t>(bank)] =
                SampleImport::describeSource(result) +
                (result.madeSingleSample ? "; " + std::string(SampleImport::madeSingleSampleText)
                                         : std::string());
            showSelectedBank();
        } else if (result.outcome == SampleImport::Outcome::unsupported) {
            view.messageBox(std::string(SampleImport::unsupportedText), wrongFormatCaption,
                            EditorView::Buttons::Ok, EditorView::Icon::Information);
        } else if (result.outcome == SampleImport::Outcome::damaged) {
            view.messageBox("The file " + quoted(displayName(fileName(path))) +
                                " is damaged, and nothing was imported:\n" + result.reason,
                            wrongFormatCaption, EditorView::Buttons::Ok,
                            EditorView::Icon::Information);
        } else {
            view.messageBox("The file " + quoted(displayName(fileName(path))) +
                                " could not be opened:\n" + result.reason,
                            appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
        }
    }
    importRunning = false;
}

// ---- bank files ----

void VanetoEditorController::saveToDisk() {
    const int selected = selectedBank();
    if (!idle.load() || fileBusy || selected < 0) {
        return;
    }
    const std::optional<std::string> chosen = view.saveFileName("MIDI Files", "*.mid", "mid");
    if (!chosen) {
        return;
    }

    // Everything goes to a new file beside the chosen one, which replaces it only when every
    // byte was written: a failed save leaves an existing file as it was. One track for the
    // selected bank (the conductor events begin it), or a conductor track and then all banks;
    // always on MIDI channel 0, whatever the channel list shows.
    fileBusy = true;
    std::string failure;
    BankFile::save(std::filesystem::path(*chosen), *bankStore,
                   view.isChecked(EditorView::SelectedBankOption) ? selected : -1, failure);
    fileBusy = false;
    if (!failure.empty()) {
        view.messageBox("The bank file could not be saved:\n" + displayName(failure), appTitle,
                        EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}

void VanetoEditorController::openFromDisk() {
    if (!idle.load() || fileBusy) {
        return;
    }
    const std::optional<std::string> chosen = view.openFileName();
    if (!chosen) {
        return;
    }
    openBankFile(*chosen);
}

void VanetoEditorController::openBankFile(const std::string& path) {
    const int selected = selectedBank();
    fileBusy = true;
    // Every track is read and identified before any bank changes, so that a file which turns
    // out further on to hold something else leaves every bank as it was. A track naming a bank
    // the synthesizer does not have is no bank of ours either. A file that cannot be opened, or
    // that does not begin with a MIDI header, changes nothing and says nothing.
    std::vector<BankFile::Track> tracks;
    int trackCount = 0;
    const BankFile::ReadResult result =
        BankFile::read(std::filesystem::path(path), tracks, trackCount);
    if (result != BankFile::ReadResult::cannotOpen && result != BankFile::ReadResult::notMidiFile) {
        const bool refused = result != BankFile::ReadResult::ok;
        bool load = !refused;
        if (refused) {
            view.messageBox(BankFile::wrongFormatText, wrongFormatCaption, EditorView::Buttons::Ok,
                            EditorView::Icon::Information);
        }
        for (auto& [bank, events] : tracks) {
            // A single-bank file for another bank goes into the selected one if the user agrees.
            if (!load || trackCount != 1 || bank == selected || selected < 0) {
                continue;
            }
            view.beep();
            const std::string question = "The file contains data for bank: " +
                                         quoted(displayName(bankStore->bankName(bank))) +
                                         ".\nDo you want to overwrite bank: " +
                                         quoted(displayName(bankStore->bankName(selected))) + "?";
            load = view.messageBox(question, appTitle, EditorView::Buttons::YesNo,
                                   EditorView::Icon::Question) != EditorView::IdNo;
            bank = selected;
        }
        if (load && !tracks.empty()) {
            std::vector<BankHistory::Part> parts;
            for (const auto& track : tracks) {
                parts.push_back(BankHistory::wholeBank(track.bank));
            }
            history_->record("Open from Disk of " + displayName(fileName(path)), parts);
            showHistory();
        }
        if (load) {
            for (const auto& [bank, events] : tracks) {
                bankStore->loadBank(events, bank);
                if (bank >= 0 && bank < static_cast<int>(origins.size())) {
                    origins[static_cast<std::size_t>(bank)].clear();
                    importPaths[static_cast<std::size_t>(bank)].clear();
                }
            }
            showSelectedBank();
            refreshBankList();
        }
    }
    fileBusy = false;
}

void VanetoEditorController::dropFiles(const std::vector<std::string>& paths, int bank) {
    if (!idle.load() || importRunning || fileBusy || paths.empty()) {
        return;
    }
    if (paths.size() > 1) {
        view.messageBox("Drop one file at a time: " + std::to_string(paths.size()) +
                            " files were dropped, and nothing was changed.",
                        appTitle, EditorView::Buttons::Ok, EditorView::Icon::Information);
        return;
    }
    if (LoMidiFileReader(std::filesystem::path(paths.front())).isMidiFile()) {
        openBankFile(paths.front());
        return;
    }
    if (bank >= 0 && bank < bankStore->bankCount() && bank != selectedBank()) {
        view.setListSelection(EditorView::BankList, bank);
        showSelectedBank();
    }
    importFile(paths.front(), selectedBank());
}

// ---- sending ----

void VanetoEditorController::sendBanks() {
    if (deviceCount == 0 || !idle.load()) {
        return;
    }
    if (!view.isChecked(EditorView::SelectedBankOption)) {
        const int answer =
            view.messageBox(allBanksQuestion, "Send All Banks", EditorView::Buttons::OkCancel,
                            EditorView::Icon::Information);
        if (answer != EditorView::IdOk) {
            return;
        }
    }
    idle = false;
    // The previous worker set idle as its last step; all that is left of it is its return.
    if (worker.joinable()) {
        worker.join();
    }
    engine = std::make_unique<TransferEngine>(*bankStore, service, clock);
    try {
        worker = std::thread(&VanetoEditorController::sendWorker, this);
    } catch (const std::system_error& error) {
        idle = true;
        view.messageBox(std::string("The transfer could not be started:\n") + error.what(),
                        appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}

void VanetoEditorController::stopTransfer() {
    if (!idle.load() && engine) {
        engine->stop();
    }
}

bool VanetoEditorController::quitWhenIdle() {
    if (!idle.load()) {
        stopTransfer();
        return false;
    }
    onCancel();
    return true;
}

void VanetoEditorController::sendWorker() {
    const int selected = selectedBank();
    int channel = view.listSelection(EditorView::ChannelList);
    if (channel < 0 || channel > 15) {
        channel = 0;
    }
    const int portSelection = view.listSelection(EditorView::PortList);
    const auto port = static_cast<std::uint16_t>(portSelection < 0 ? 0 : portSelection);
    const std::string portName =
        port < portNames.size() ? portNames[port] : std::to_string(port + 1);

    TransferEngine::Request request;
    request.port = port;
    request.portName = portName;
    request.channel = channel;
    request.bytesPerSecond = bytesPerSecond_;
    // The option is read once the port has been opened.
    request.banks = [this, selected] {
        std::vector<int> banks;
        if (view.isChecked(EditorView::SelectedBankOption)) {
            if (selected >= 0) {
                banks.push_back(selected);
            }
        } else {
            for (int bank = 0; bank < bankStore->bankCount(); ++bank) {
                banks.push_back(bank);
            }
        }
        return banks;
    };
    DialogProgress progress(view);
    const TransferEngine::Result result = engine->run(request, progress);

    std::string failure;
    if (result == TransferEngine::Result::failed) {
        const TransferEngine::Failure why = engine->failure();
        if (why.portNotOpened) {
            failure = "The MIDI port " + quoted(portName) + " could not be opened.\n" + why.reason;
        } else {
            failure = "Bank " + std::to_string(why.bank + 1) + " could not be sent to " +
                      quoted(portName) + " (" + std::to_string(why.bytesSent) + " of " +
                      std::to_string(why.bytesTotal) + " bytes sent).\n" + why.reason;
        }
    }
    finishTransfer(failure);
}

void VanetoEditorController::finishTransfer(const std::string& failure) {
    // The user hears of a failure once the port and the events are released; the box opens on
    // the dialog's thread, which the worker does not wait for.
    if (!failure.empty()) {
        EditorView& shown = view;
        view.post([&shown, failure] {
            shown.messageBox(failure, appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
        });
    }
    idle = true;
}
