// Kept work in every order of crashes, starts and editors: each sequence that once lost work.
#include "KeptEditor.h"
#include "kept/WorkFiles.h"
#include "kept/WorkJournal.h"
#include "kept/WorkKeeper.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

using keptwork::Editor;

class KeptStates : public ::testing::Test {
protected:
    KeptStates()
        : folder(fs::temp_directory_path() / ("kept-states-" + std::to_string(::getpid()))) {
        fs::remove_all(folder);
    }
    ~KeptStates() override { fs::remove_all(folder); }
    fs::path folder;
};

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits (a few seconds at most) until the condition holds.
template <typename Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 500 && !condition(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// A crash, then a start with a file: the crashed work stays offered through the file's step,
// and once a later state is newest it is still listed and restored from the list.
TEST_F(KeptStates, ACrashThenAFileAtStartLosesNothing) {
    std::string crashed;
    {
        Editor editor(folder);
        editor.rename(0, "One");
        crashed = editor.controller.work()->keeper().stateId();
    } // no quit: as a kill after the journal reached the disk
    {
        Editor editor(folder);
        EXPECT_NE(editor.offer.text.find("ended unexpectedly"), std::string::npos)
            << editor.offer.text;
        editor.rename(1, "Two"); // the file named at start
        EXPECT_NE(editor.offer.text.find("(1 bank changed)"), std::string::npos);
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    Editor editor(folder);
    EXPECT_NE(editor.offer.text.find("as you left them"), std::string::npos);
    editor.controller.showKeptWork();
    ASSERT_EQ(editor.offer.rows.size(), 2u);
    EXPECT_EQ(editor.offer.rows[0].ending, "quit");
    EXPECT_EQ(editor.offer.rows[1].id, crashed);
    EXPECT_EQ(editor.offer.rows[1].ending, "crash");
    EXPECT_EQ(editor.offer.rows[1].banks, "One");
    EXPECT_EQ(editor.offer.rows[1].steps, 1u);
    editor.offer.choice = crashed;
    editor.controller.showKeptWork();
    EXPECT_EQ(editor.controller.banks().bankName(0), "One");
    EXPECT_EQ(editor.controller.banks().bankName(1), "Bank 2");
}

// B offers a state; A restores it, changes it and quits; B's Restore takes A's work, not the
// copy B saw at its start, and B's quit keeps both.
TEST_F(KeptStates, AStaleOfferRestoresWhatIsOnDiskNow) {
    {
        Editor first(folder);
        first.rename(0, "Zero");
        ASSERT_TRUE(first.controller.finishWork(std::chrono::seconds(2)));
    }
    Editor b(folder);
    ASSERT_FALSE(b.offer.text.empty());
    {
        Editor a(folder, true);
        EXPECT_EQ(a.controller.banks().bankName(0), "Zero");
        a.rename(2, "Three");
        ASSERT_TRUE(a.controller.finishWork(std::chrono::seconds(2)));
    }
    b.controller.restoreWork();
    EXPECT_EQ(b.controller.banks().bankName(2), "Three");
    b.rename(3, "Four");
    ASSERT_TRUE(b.controller.finishWork(std::chrono::seconds(2)));
    Editor c(folder, true);
    EXPECT_EQ(c.controller.banks().bankName(0), "Zero");
    EXPECT_EQ(c.controller.banks().bankName(2), "Three");
    EXPECT_EQ(c.controller.banks().bankName(3), "Four");
}

// Restore with changes of this run keeps them first as a state of their own.
TEST_F(KeptStates, RestoreKeepsThisRunsWorkFirst) {
    {
        Editor first(folder);
        first.rename(0, "Earlier");
        ASSERT_TRUE(first.controller.finishWork(std::chrono::seconds(2)));
    }
    std::string own;
    {
        Editor editor(folder);
        editor.rename(5, "Mine");
        own = editor.controller.work()->keeper().stateId();
        editor.controller.restoreWork();
        EXPECT_EQ(editor.controller.banks().bankName(0), "Earlier");
        EXPECT_EQ(editor.controller.banks().bankName(5), "Bank 6");
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    Editor editor(folder, true, own);
    EXPECT_EQ(editor.controller.banks().bankName(5), "Mine");
}

// A long session's journal is compacted in the background and reads back whole.
TEST_F(KeptStates, AJournalPastItsBoundIsCompacted) {
    std::size_t state = 0;
    {
        Editor editor(folder);
        WorkKeeper& keeper = editor.controller.work()->keeper();
        for (int n = 0; n < 30; ++n) {
            editor.controller.sampleOperation(WaveOperations::Kind::invert, 0, 65535);
        }
        ASSERT_TRUE(eventually([&] { return keeper.durable() == keeper.recorded(); }));
        EXPECT_GE(keeper.compactions(), 1u);
        state = editor.state();
    } // a crash: the compacted journal and what followed it
    Editor editor(folder, true);
    EXPECT_EQ(editor.state(), state);
    EXPECT_EQ(editor.controller.document().history().steps(), 30u);
}

// Files that fill up on request, as a disk does.
struct FillingFiles final : WorkFiles {
    std::atomic<bool> full{false};
    WorkFiles& real = WorkFiles::system();
    int openRead(const fs::path& path, std::string& error) override {
        return real.openRead(path, error);
    }
    int create(const fs::path& path, std::string& error) override {
        if (full) {
            error = "No space left on device";
            return -1;
        }
        return real.create(path, error);
    }
    long read(int handle, std::uint8_t* data, std::size_t size) override {
        return real.read(handle, data, size);
    }
    bool write(int handle, const std::uint8_t* data, std::size_t size,
               std::string& error) override {
        if (full) {
            error = "No space left on device";
            return false;
        }
        return real.write(handle, data, size, error);
    }
    bool sync(int handle, std::string& error) override { return real.sync(handle, error); }
    void close(int handle) override { real.close(handle); }
    std::uint64_t size(int handle) override { return real.size(handle); }
    const std::uint8_t* map(int handle, std::uint64_t size) override {
        return real.map(handle, size);
    }
    void unmap(const std::uint8_t* data, std::uint64_t size) override { real.unmap(data, size); }
    bool rename(const fs::path& from, const fs::path& to, std::string& error) override {
        return real.rename(from, to, error);
    }
    void remove(const fs::path& path) override { real.remove(path); }
    void syncFolder(const fs::path& path) override { real.syncFolder(path); }
};

void renameBank(BankDocument& document, int bank, const std::string& name) {
    document.change({BankDocument::Command::rename, "rename", {BankHistory::namesOf(bank)}},
                    [&](DvVaneto& banks, BankDocument::Origins&) {
                        banks.setBankName(name, bank);
                        return true;
                    });
}

// A full disk: said, and kept said through later changes; once there is space again the next
// step keeps everything afresh. A quit while full says that the changes were not kept.
TEST_F(KeptStates, AFullDiskStaysInSightAndIsRecoveredFrom) {
    FillingFiles files;
    {
        BankDocument document;
        WorkKeeper keeper(
            document, folder, [] { return WorkKeeper::Selection{}; }, files);
        keeper.start();
        renameBank(document, 0, "A");
        files.full = true;
        renameBank(document, 1, "B");
        ASSERT_TRUE(eventually([&] {
            keeper.poll();
            return !keeper.failure().empty();
        }));
        EXPECT_EQ(keeper.failure(), "No space left on device");
        renameBank(document, 2, "C");
        EXPECT_EQ(keeper.failure(), "No space left on device");
        files.full = false;
        renameBank(document, 3, "D");
        EXPECT_TRUE(eventually([&] {
            keeper.poll();
            return keeper.failure().empty();
        }));
        ASSERT_TRUE(keeper.finish(std::chrono::seconds(2)));
    }
    {
        BankDocument document;
        WorkKeeper keeper(
            document, folder, [] { return WorkKeeper::Selection{}; }, files);
        keeper.start();
        WorkKeeper::Selection selection;
        ASSERT_TRUE(keeper.restoreOffered(selection));
        EXPECT_EQ(document.banks().bankName(1), "B");
        EXPECT_EQ(document.banks().bankName(3), "D");
        files.full = true;
        renameBank(document, 4, "E");
        EXPECT_FALSE(keeper.finish(std::chrono::seconds(2)));
        EXPECT_EQ(keeper.unkept(), "No space left on device");
    }
}

// The newest state by generation is offered, whatever its file times say.
TEST_F(KeptStates, ClockSetBackStillOffersTheNewest) {
    {
        Editor editor(folder);
        editor.rename(0, "Old");
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    fs::path newest;
    {
        Editor editor(folder);
        editor.controller.dismissWork();
        editor.rename(0, "New");
        editor.rename(1, "New");
        newest = folder / (editor.controller.work()->keeper().stateId() + ".journal");
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    fs::last_write_time(newest, fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
    Editor editor(folder);
    EXPECT_NE(editor.offer.text.find("(2 banks changed)"), std::string::npos) << editor.offer.text;
}

// A journal of a newer version of the editor is listed, never offered, restored or written.
TEST_F(KeptStates, ANewerVersionsJournalIsLeftUntouched) {
    std::string id;
    {
        Editor editor(folder);
        editor.rename(0, "Future");
        id = editor.controller.work()->keeper().stateId();
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    const fs::path journal = folder / (id + ".journal");
    std::string bytes = contents(journal);
    bytes[8] = 3; // the format version
    const auto crc = static_cast<std::uint32_t>(
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data() + 8), 12));
    for (int i = 0; i < 4; ++i) {
        bytes[20 + i] = static_cast<char>(crc >> (8 * i));
    }
    std::ofstream(journal, std::ios::binary | std::ios::trunc) << bytes;
    {
        Editor editor(folder);
        EXPECT_TRUE(editor.offer.text.empty());
        editor.controller.showKeptWork();
        ASSERT_EQ(editor.offer.rows.size(), 1u);
        EXPECT_EQ(editor.offer.rows[0].ending,
                  "damaged: written by a newer version of the editor (format 3)");
        editor.controller.work()->restore(id);
        EXPECT_EQ(editor.controller.banks().bankName(0), "Bank 1");
        editor.rename(1, "Today");
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    EXPECT_TRUE(contents(journal) == bytes) << "the journal was written";
}

// A folder others may write, or another user's, is not used, and the line says why.
TEST_F(KeptStates, AFolderOthersCanWriteIsRefused) {
    fs::create_directories(folder);
    ::chmod(folder.c_str(), 0777);
    {
        Editor editor(folder);
        EXPECT_NE(editor.line().find("can be written by others"), std::string::npos)
            << editor.line();
        EXPECT_TRUE(fs::is_empty(folder));
    }
    ::chmod(folder.c_str(), 0700);
    if (::chown(folder.c_str(), 65534, 65534) == 0) { // only where the tests may give it away
        Editor editor(folder);
        EXPECT_NE(editor.line().find("belongs to another user"), std::string::npos)
            << editor.line();
    }
}

} // namespace
