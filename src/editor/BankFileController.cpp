#include "editor/BankFileController.h"

#include "files/AtomicFile.h"
#include "document/BankDocument.h"
#include "files/BankFile.h"
#include "editor/EditorView.h"
#include "files/Utf8Text.h"
#include "device/DvVaneto.h"
#include "wavetable/WavetableExport.h"

#include <filesystem>

namespace {

using EditorTexts::appTitle;
using EditorTexts::quoted;
using Command = BankDocument::Command;

} // namespace

BankFileController::BankFileController(EditorView& view, BankDocument& document)
    : view_(view), document_(document) {}

void BankFileController::save(int selected) {
    const DocumentOperation operation(document_, Command::saveBankFile);
    if (!operation || selected < 0) {
        return;
    }
    const std::optional<std::string> chosen = view_.saveFileName("MIDI Files", "*.mid", "mid");
    if (!chosen) {
        return;
    }
    // Everything goes to a new file beside the chosen one, which replaces it only when every
    // byte was written: a failed save leaves an existing file as it was. One track for the
    // selected bank (the conductor events begin it), or a conductor track and then all banks;
    // always on MIDI channel 0, whatever the channel list shows.
    std::string failure;
    BankFile::save(std::filesystem::path(*chosen), document_.banks(),
                   view_.isChecked(EditorView::SelectedBankOption) ? selected : -1, failure);
    if (!failure.empty()) {
        view_.messageBox("The bank file could not be saved:\n" + displayName(failure), appTitle,
                         EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}

void BankFileController::open(int selected) {
    const DocumentOperation operation(document_, Command::openBankFile);
    if (!operation) {
        return;
    }
    const std::optional<std::string> chosen = view_.openFileName();
    if (chosen) {
        load(*chosen, selected);
    }
}

void BankFileController::openFile(const std::string& path, int selected) {
    const DocumentOperation operation(document_, Command::openBankFile);
    if (operation) {
        load(path, selected);
    }
}

void BankFileController::load(const std::string& path, int selected) {
    // Every track is read and identified before any bank changes, so that a file which turns
    // out further on to hold something else leaves every bank as it was. A track naming a bank
    // the synthesizer does not have is no bank of ours either. A file that cannot be opened, or
    // that does not begin with a MIDI header, changes nothing and says nothing.
    std::vector<BankFile::Track> tracks;
    int trackCount = 0;
    const BankFile::ReadResult result =
        BankFile::read(std::filesystem::path(path), tracks, trackCount);
    if (result == BankFile::ReadResult::cannotOpen || result == BankFile::ReadResult::notMidiFile) {
        return;
    }
    if (result != BankFile::ReadResult::ok) {
        view_.messageBox(BankFile::wrongFormatText, BankFile::wrongFormatCaption,
                         EditorView::Buttons::Ok, EditorView::Icon::Information);
        return;
    }
    const DvVaneto& banks = document_.banks();
    for (auto& [bank, events] : tracks) {
        // A single-bank file for another bank goes into the selected one if the user agrees.
        if (trackCount != 1 || bank == selected || selected < 0) {
            continue;
        }
        view_.beep();
        const std::string question =
            "The file contains data for bank: " + quoted(displayName(banks.bankName(bank))) +
            ".\nDo you want to overwrite bank: " + quoted(displayName(banks.bankName(selected))) +
            "?";
        if (view_.messageBox(question, appTitle, EditorView::Buttons::YesNo,
                             EditorView::Icon::Question) == EditorView::IdNo) {
            return;
        }
        bank = selected;
    }
    if (tracks.empty()) {
        return;
    }
    std::vector<BankHistory::Part> parts;
    for (const auto& track : tracks) {
        parts.push_back(BankHistory::wholeBank(track.bank));
    }
    // The tracks were checked as they were read: a bank that does not load after all takes
    // the whole step back, and the user hears why.
    const bool loaded = document_.change(
        {Command::openBankFile, "Open from Disk of " + displayFileName(path), parts},
        [&tracks](DvVaneto& store, BankDocument::Origins& origins) {
            for (const auto& [bank, events] : tracks) {
                if (!store.loadBank(events, bank)) {
                    return false;
                }
                origins[static_cast<std::size_t>(bank)] = {};
            }
            return true;
        });
    if (!loaded) {
        view_.messageBox(BankFile::wrongFormatText, BankFile::wrongFormatCaption,
                         EditorView::Buttons::Ok, EditorView::Icon::Information);
    }
}

void BankFileController::exportWaves(int bank, int slot, bool wholeTable) {
    const DocumentOperation operation(document_, Command::exportWaves);
    if (!operation || bank < 0 || document_.banks().isSingleSample(bank)) {
        return;
    }
    const std::optional<std::string> chosen = view_.saveFileName("WAV Files", "*.wav", "wav");
    if (!chosen) {
        return;
    }
    auto values = document_.banks().bankData(bank);
    if (!wholeTable) {
        values = values.subspan(static_cast<std::size_t>(slot) * WavetableExport::waveLength,
                                WavetableExport::waveLength);
    }
    AtomicFile file{std::filesystem::path(*chosen)};
    std::string error;
    if (file.begin(error)) {
        if (WavetableExport::write(file.temporaryPath(), values, WavetableExport::waveLength,
                                   error)) {
            file.commit(error);
        } else {
            error = "cannot write " + *chosen + ": " + error;
        }
    }
    if (!error.empty()) {
        view_.messageBox(error, appTitle, EditorView::Buttons::Ok, EditorView::Icon::Warning);
    }
}
