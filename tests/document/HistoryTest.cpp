// Undo and redo through the controller: every change of the bank image comes back exactly,
// renames that change nothing are not recorded, the history keeps to its memory limit, and
// changes of values wait while a transfer reads the banks.
#include "EditorFixture.h"

#include "document/BankDocument.h"
#include "files/BankFile.h"
#include "document/BankHistory.h"
#include "audio/WaveFileWriter.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Everything of the bank image: values, names and layout of every bank.
struct Image {
    std::vector<std::vector<std::int16_t>> values;
    std::vector<std::vector<std::string>> names;
    std::vector<bool> single;
    bool operator==(const Image&) const = default;
};

class HistoryTest : public EditorFixture {
protected:
    HistoryTest()
        : folder(fs::temp_directory_path() / ("vaneto-history-" + std::to_string(::getpid()))) {
        fs::create_directories(folder);
    }
    ~HistoryTest() override { fs::remove_all(folder); }

    Image image() {
        Image result;
        for (int b = 0; b < 7; ++b) {
            result.values.push_back(values(b));
            std::vector<std::string> names = {store().bankName(b)};
            for (int s = 0; s < 256; ++s) {
                names.push_back(store().sampleName(b, s));
            }
            result.names.push_back(names);
            result.single.push_back(store().isSingleSample(b));
        }
        return result;
    }
    // Runs a change, then checks that undo brings back the image before it and redo the one
    // after it, with the menu entry naming it.
    void expectUndoable(const std::string& label, const std::function<void()>& change) {
        SCOPED_TRACE(label);
        const Image before = image();
        change();
        const Image after = image();
        ASSERT_NE(before, after);
        EXPECT_EQ(view.history().first, "Undo " + label);
        controller.undo();
        EXPECT_EQ(image(), before);
        EXPECT_EQ(view.history().second, "Redo " + label);
        controller.redo();
        EXPECT_EQ(image(), after);
    }

    const fs::path folder;
};

TEST_F(HistoryTest, EveryChangeIsUndoneAndRedone) {
    const std::vector<std::int16_t> ramp = {0, 1000, 2000, 3000, 4000, 5000};
    {
        WaveFileWriter writer(folder / "pluck.wav");
        writer.writeMono16(ramp.data(), ramp.size(), 44100);
    }
    selectBank(3);
    expectUndoable("import of pluck.wav into bank 4", [&] {
        view.files.push_back((folder / "pluck.wav").string());
        controller.importSample();
    });
    expectUndoable("Reset to Default of bank 4", [&] { controller.resetToDefault(); });
    expectUndoable("rename of bank 4", [&] {
        view.setText(EditorView::BankNameEdit, "Pads");
        controller.commitBankName();
    });
    expectUndoable("rename of the sample of bank 4", [&] {
        view.setText(EditorView::SampleNameEdit, "Pluck");
        controller.commitSampleName();
    });
    expectUndoable("change of layout of bank 4", [&] { controller.setLayout(false); });
    // Seven banks saved with changes, then opened over the factory banks.
    std::string error;
    DvVaneto other;
    for (int b = 0; b < 7; ++b) {
        other.insertSample(ramp.data(), ramp.size(), b, 0);
        other.setBankName("Other " + std::to_string(b), b);
    }
    ASSERT_TRUE(BankFile::save(folder / "all.mid", other, -1, error)) << error;
    expectUndoable("Open from Disk of all.mid", [&] {
        view.files.push_back((folder / "all.mid").string());
        controller.openFromDisk();
    });
    // Undo shows the names as they are now, so that leaving the edit writes nothing back; a
    // commit that leaves a name as it was records nothing.
    controller.undo();
    EXPECT_EQ(view.text(EditorView::BankNameEdit), store().bankName(3));
    const std::string redo = view.history().second;
    controller.commitBankName();
    controller.commitSampleName();
    EXPECT_EQ(view.history().second, redo) << "nothing recorded, nothing to redo lost";
}

TEST_F(HistoryTest, ValuesWaitWhileATransferRunsNamesDoNot) {
    selectBank(0);
    controller.resetToDefault();
    view.setText(EditorView::BankNameEdit, "Lead");
    controller.commitBankName();
    controller.undo(); // the rename
    controller.redo();
    view.closeGateAt("Sending Bank 1");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    controller.undo(); // a rename: allowed
    EXPECT_EQ(store().bankName(0), "Bank 1");
    controller.undo(); // the reset changes values: refused until the transfer ends
    EXPECT_EQ(view.history().first, "Undo Reset to Default of bank 1");
    view.openGate();
    waitIdle();
    controller.undo();
    EXPECT_EQ(view.history().first, "");
}

TEST_F(HistoryTest, WhereASoundCameFromComesBackWithItsRedo) {
    const std::vector<std::int16_t> ramp = {0, 1000, 2000};
    {
        WaveFileWriter writer(folder / "pluck.wav");
        writer.writeMono16(ramp.data(), ramp.size(), 44100);
    }
    selectBank(2);
    view.files.push_back((folder / "pluck.wav").string());
    controller.importSample();
    const std::string imported = view.waveforms().back();
    ASSERT_NE(imported.find("from WAV, 44100 Hz"), std::string::npos) << imported;
    controller.undo();
    EXPECT_EQ(view.waveforms().back().find("from WAV"), std::string::npos);
    controller.redo();
    EXPECT_EQ(view.waveforms().back(), imported);
}

// Every command in every state: a transfer leaves only what does not change values; an
// operation on the GUI thread (a file, an import, a drag) leaves selecting and playing, and
// naming while no drag is open.
TEST(BankDocumentTable, EachCommandInEachState) {
    using C = BankDocument::Command;
    using O = BankDocument::Operation;
    const std::vector<C> readOnly = {C::select,      C::rename,    C::layout,
                                     C::exportWaves, C::undoNames, C::play};
    for (int c = 0; c <= static_cast<int>(C::play); ++c) {
        const auto command = static_cast<C>(c);
        const bool keepsValues =
            std::find(readOnly.begin(), readOnly.end(), command) != readOnly.end();
        const bool passive = command == C::select || command == C::play;
        SCOPED_TRACE(c);
        EXPECT_TRUE(BankDocument::allowed(command, false, O::none));
        EXPECT_EQ(BankDocument::allowed(command, true, O::none), keepsValues);
        EXPECT_EQ(BankDocument::allowed(command, false, O::drag), passive);
        for (const O operation : {O::file, O::import}) {
            EXPECT_EQ(BankDocument::allowed(command, false, operation),
                      passive || command == C::rename);
        }
    }
}

TEST(BankHistoryLimit, ManySevenBankStepsStayUnderTheLimit) {
    DvVaneto store;
    BankHistory history(store);
    std::vector<BankHistory::Part> all;
    for (int b = 0; b < 7; ++b) {
        all.push_back(BankHistory::wholeBank(b));
    }
    for (int i = 0; i < 100; ++i) {
        history.record("open " + std::to_string(i), all);
    }
    EXPECT_LE(history.bytes(), BankHistory::defaultLimit);
    EXPECT_GE(history.steps(), 64u);
    EXPECT_EQ(history.undoLabel(), "open 99");
    // Smaller steps: 100 of them all stay.
    BankHistory small(store);
    for (int i = 0; i < 100; ++i) {
        small.record("import", {BankHistory::wholeBank(i % 7)});
    }
    EXPECT_EQ(small.steps(), 100u);
}

} // namespace
