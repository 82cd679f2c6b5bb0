// The work kept on disk: a quit, a kill or a cut file loses nothing that was written, and
// damaged files never stop a start.
#include "RecordingEditorView.h"
#include "app/BankDocument.h"
#include "app/VanetoEditorController.h"
#include "app/WorkController.h"
#include "app/WorkJournal.h"
#include "app/WorkOfferView.h"
#include "device/DvVaneto.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

struct Offer final : WorkOfferView {
    std::string text;
    void showWorkOffer(const std::string& shown) override { text = shown; }
    void hideWorkOffer() override { text.clear(); }
};

// An editor as the program puts it together, keeping its work in a folder.
struct Editor {
    explicit Editor(const fs::path& folder, bool restoreNow = false)
        : service(std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{})),
          controller(view, service, clock) {
        controller.initDialog();
        controller.keepWork(folder, restoreNow, offer);
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
};

class KeptWork : public ::testing::Test {
protected:
    KeptWork() : folder(fs::temp_directory_path() / ("kept-work-" + std::to_string(::getpid()))) {
        fs::remove_all(folder);
    }
    ~KeptWork() override { fs::remove_all(folder); }
    fs::path journalOf(Editor& editor) const {
        return folder / (editor.controller.work()->keeper().stateId() + ".journal");
    }
    fs::path folder;
};

TEST_F(KeptWork, EscThenRestoreBringsEveryFieldBackAndUndoGoesOn) {
    std::size_t before = 0, after = 0;
    {
        Editor editor(folder);
        EXPECT_TRUE(editor.offer.text.empty());
        editor.view.setListSelection(EditorView::BankList, 3);
        editor.controller.showSelectedBank();
        editor.view.setText(EditorView::BankNameEdit, "Strings");
        editor.controller.commitBankName();
        before = editor.state();
        editor.controller.setLayout(false);
        editor.controller.selectSlot(17, false);
        after = editor.state();
        EXPECT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    Editor editor(folder);
    EXPECT_NE(editor.offer.text.find("can be restored (1 bank changed)."), std::string::npos)
        << editor.offer.text;
    editor.controller.restoreWork();
    EXPECT_TRUE(editor.offer.text.empty());
    EXPECT_EQ(editor.state(), after);
    EXPECT_EQ(editor.view.listSelection(EditorView::BankList), 3);
    editor.controller.undo();
    EXPECT_EQ(editor.state(), before);
    // Taken over: a third editor finds nothing of it to offer.
    Editor third(folder);
    EXPECT_TRUE(third.offer.text.empty());
}

} // namespace
