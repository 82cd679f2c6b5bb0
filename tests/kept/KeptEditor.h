#pragma once

// An editor as the program puts it together, keeping its work in a folder, and a view of its
// offer that records what it shows.
#include "RecordingEditorView.h"
#include "document/BankDocument.h"
#include "editor/VanetoEditorController.h"
#include "editor/WorkController.h"
#include "editor/WorkOfferView.h"
#include "device/DvVaneto.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace keptwork {

struct Offer final : WorkOfferView {
    std::string text;
    std::vector<KeptRow> rows; // the list as last shown
    std::string choice;        // what the list answers
    void showWorkOffer(const std::string& shown) override { text = shown; }
    void hideWorkOffer() override { text.clear(); }
    std::string chooseKeptWork(const std::vector<KeptRow>& shown) override {
        rows = shown;
        return choice;
    }
};

// An editor as the program puts it together, keeping its work in a folder.
struct Editor {
    explicit Editor(const std::filesystem::path& folder, bool restoreNow = false,
                    const std::string& restoreId = {})
        : service(std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{})),
          controller(view, service, clock) {
        controller.initDialog();
        controller.keepWork(folder, restoreNow, offer, restoreId);
    }
    // Change number n of a seeded sequence: renames, layouts, edits, undo and redo.
    void change(int n, std::mt19937& random) {
        view.setListSelection(EditorView::BankList, static_cast<int>(random() % 7));
        controller.showSelectedBank();
        switch (random() % 5) {
        case 0:
            view.setText(EditorView::BankNameEdit, "name " + std::to_string(n));
            controller.commitBankName();
            break;
        case 1:
            controller.setLayout(random() % 2 == 0);
            break;
        case 2:
            controller.undo();
            break;
        case 3:
            controller.redo();
            break;
        default:
            controller.sampleOperation(WaveOperations::Kind::invert, 0,
                                       static_cast<long>(random() % 65536));
        }
    }
    // Everything restored, as one number (the values, names, layouts and the step to undo).
    std::size_t state() {
        std::string all;
        const DvVaneto& banks = controller.banks();
        for (int bank = 0; bank < DvVaneto::bankTotal; ++bank) {
            const auto values = banks.bankData(bank);
            all.append(reinterpret_cast<const char*>(values.data()), values.size_bytes());
            all += banks.bankName(bank) + (banks.isSingleSample(bank) ? "1" : "256");
        }
        return std::hash<std::string>()(all + controller.document().history().undoLabel());
    }

    VirtualClock clock;
    RecordingEditorView view;
    Offer offer;
    std::shared_ptr<SimulatedMidiOutService> service;
    VanetoEditorController controller;

    void rename(int bank, const std::string& name) {
        view.setListSelection(EditorView::BankList, bank);
        controller.showSelectedBank();
        view.setText(EditorView::BankNameEdit, name);
        controller.commitBankName();
    }
    std::string line() { return view.waveforms().empty() ? "" : view.waveforms().back(); }
};

} // namespace keptwork
