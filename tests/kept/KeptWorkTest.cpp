// The work kept on disk: a quit, a kill or a cut file loses nothing that was written, and
// damaged files never stop a start.
#include "KeptEditor.h"
#include "document/BankDocument.h"
#include "editor/VanetoEditorController.h"
#include "editor/WorkController.h"
#include "kept/WorkJournal.h"
#include "editor/WorkOfferView.h"
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

using keptwork::Editor;

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

namespace {

TEST(WorkJournalFile, ACutAtAnyByteOfTheLastRecordReadsBackToTheRecordBefore) {
    const fs::path path = fs::temp_directory_path() / ("cut-" + std::to_string(::getpid()));
    fs::remove(path);
    {
        WorkJournal journal;
        journal.begin(path, 1, 1, std::vector<std::uint8_t>(100, 1));
        for (std::uint64_t n = 2; n <= 3; ++n) {
            journal.append(n, std::vector<std::uint8_t>(100 * n, static_cast<std::uint8_t>(n)));
        }
        ASSERT_TRUE(journal.finish(std::chrono::seconds(2)));
        EXPECT_EQ(journal.durable(), 3u);
    }
    const auto read = [&] {
        std::vector<WorkJournal::Record> records;
        const WorkJournal::Contents contents =
            WorkJournal::read(WorkFiles::system(), path,
                              [&](std::uint64_t sequence, std::span<const std::uint8_t> payload) {
                                  records.push_back({sequence, {payload.begin(), payload.end()}});
                                  return true;
                              });
        return std::pair(contents, records);
    };
    ASSERT_EQ(read().second.size(), 3u);
    const std::uint64_t size = fs::file_size(path);
    const std::uint64_t lastBegins = size - 16 - 300;
    for (std::uint64_t cut = lastBegins; cut < size; ++cut) {
        fs::resize_file(path, cut);
        const auto [contents, records] = read();
        ASSERT_EQ(records.size(), 2u) << cut;
        EXPECT_EQ(records.back().payload, std::vector<std::uint8_t>(200, 2));
        EXPECT_EQ(contents.goodEnd, lastBegins);
    }
    fs::remove(path);
}

// The child drives an editor through seeded changes and reports, after each, how many records
// its state holds and how many are on disk; it is killed at a seeded point. The state restored
// afterwards is the state after a change whose records were all reported on disk, or a later one.
TEST_F(KeptWork, AKillLosesNothingReportedOnDisk) {
    constexpr int changes = 200;
    // The state after each change, made again without a journal.
    std::vector<std::size_t> expected;
    {
        Editor reference(folder / "unused");
        std::mt19937 random(7);
        for (int n = 1; n <= changes; ++n) {
            reference.change(n, random);
            expected.push_back(reference.state());
        }
    }
    std::mt19937 points(11);
    for (int point = 0; point < 20; ++point) {
        fs::remove_all(folder);
        const int killAt = 1 + static_cast<int>(points() % changes);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipe[0]);
            Editor editor(folder);
            // Synced often, so that the kill finds much on disk and a record half written.
            editor.controller.work()->keeper().setSyncInterval(std::chrono::milliseconds(2));
            std::mt19937 random(7);
            for (int n = 1; n <= changes; ++n) {
                editor.change(n, random);
                const std::uint64_t report[2] = {editor.controller.work()->keeper().recorded(),
                                                 editor.controller.work()->keeper().durable()};
                if (::write(pipe[1], report, sizeof report) != sizeof report) {
                    break;
                }
            }
            ::pause();
            ::_exit(0);
        }
        ::close(pipe[1]);
        std::vector<std::uint64_t> recorded;
        std::uint64_t durable = 0;
        std::uint64_t report[2];
        while (static_cast<int>(recorded.size()) < killAt &&
               ::read(pipe[0], report, sizeof report) == sizeof report) {
            recorded.push_back(report[0]);
            durable = report[1];
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        // What the child did before the kill landed.
        while (::read(pipe[0], report, sizeof report) == sizeof report) {
            recorded.push_back(report[0]);
        }
        ::close(pipe[0]);
        Editor restored(folder, true);
        const std::size_t state = restored.state();
        bool found = false;
        for (std::size_t n = 0; n < recorded.size() && !found; ++n) {
            found = recorded[n] >= durable && expected[n] == state;
        }
        // The change under way when the kill landed may have reached the journal without its
        // report reaching the pipe.
        found = found || (recorded.size() < expected.size() && expected[recorded.size()] == state);
        EXPECT_TRUE(found) << "killed after change " << killAt << ", " << durable
                           << " records reported on disk";
    }
}

} // namespace

namespace {

// The newest state foreign, the next one's journal damaged with its bank file whole: the start
// restores that bank file (the history dropped) and says so; with nothing readable at all it
// starts from the factory banks and says that.
TEST_F(KeptWork, DamagedStatesNeverStopTheStart) {
    fs::path damaged;
    {
        Editor editor(folder);
        editor.view.setText(EditorView::BankNameEdit, "Kept");
        editor.controller.commitBankName();
        damaged = journalOf(editor);
        editor.controller.finishWork(std::chrono::seconds(2));
    }
    std::ofstream(damaged, std::ios::binary | std::ios::trunc) << "VNWORK\r\n\x01\x02";
    const fs::path foreign = folder / "20990101-000000-1.journal";
    std::ofstream(foreign) << "not a journal";
    fs::last_write_time(foreign, fs::last_write_time(damaged) + std::chrono::hours(1));
    std::ofstream(folder / "notes.txt") << "left alone";
    {
        Editor editor(folder, true);
        EXPECT_EQ(editor.controller.banks().bankName(0), "Kept");
        EXPECT_NE(editor.view.waveforms().back().find("history could not be read"),
                  std::string::npos);
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".mid") {
            std::ofstream(entry.path(), std::ios::trunc) << "MThd";
        }
        if (entry.path().extension() == ".journal" && entry.path() != foreign) {
            std::ofstream(entry.path(), std::ios::trunc) << "cut";
        }
    }
    Editor editor(folder);
    EXPECT_TRUE(editor.offer.text.empty());
    EXPECT_EQ(editor.controller.banks().bankName(0), "Bank 1");
    EXPECT_NE(editor.view.waveforms().back().find("could not be read"), std::string::npos);
    EXPECT_TRUE(fs::exists(folder / "notes.txt"));
}

// A folder that cannot be made: the work goes on, and the panel's line says why it is not kept
// for as long as it is not.
TEST_F(KeptWork, AFolderThatCannotBeWrittenIsSaid) {
    fs::create_directories(folder);
    std::ofstream(folder / "file") << "x";
    Editor editor(folder / "file" / "state");
    EXPECT_NE(editor.view.waveforms().back().find("your work is not being kept: Not a directory"),
              std::string::npos);
    editor.view.setText(EditorView::BankNameEdit, "Two");
    editor.controller.commitBankName();
    EXPECT_NE(editor.view.waveforms().back().find("not being kept"), std::string::npos);
    EXPECT_EQ(editor.controller.banks().bankName(0), "Two");
    EXPECT_FALSE(editor.controller.finishWork(std::chrono::seconds(2)));
    EXPECT_EQ(editor.controller.unkeptWork(), "Not a directory");
}

} // namespace
