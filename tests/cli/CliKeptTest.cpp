// `vaneto kept`: the editor's kept states listed, saved and removed from a shell, a crashed one
// included.
#include "CliRunner.h"
#include "KeptEditor.h"
#include "files/BankFile.h"
#include "kept/WorkFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

using clitest::Folder;
using keptwork::Editor;

namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (const char c : line) {
        if (c == '\t') {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

TEST(CliKept, ListsSavesAndRemovesTheEditorsStates) {
    Folder folder;
    ::setenv("XDG_STATE_HOME", (folder.path() / "state").c_str(), 1);
    const std::filesystem::path kept = folder.path() / "state" / "vaneto-editor";
    std::string crashed, quit;
    {
        Editor editor(kept);
        editor.rename(0, "One");
        crashed = editor.controller.work()->keeper().stateId();
    } // a crash
    {
        Editor editor(kept);
        editor.rename(1, "Two");
        editor.rename(2, "Three");
        quit = editor.controller.work()->keeper().stateId();
        ASSERT_TRUE(editor.controller.finishWork(std::chrono::seconds(2)));
    }
    std::ofstream(kept / "20990101-000000-1.journal") << "damaged";

    const clitest::Run list = folder.vaneto({"kept"});
    ASSERT_EQ(list.status, 0) << list.err;
    std::vector<std::vector<std::string>> lines;
    std::istringstream out(list.out);
    for (std::string line; std::getline(out, line);) {
        lines.push_back(fields(line));
    }
    ASSERT_EQ(lines.size(), 3u) << list.out;
    EXPECT_EQ(lines[0], (std::vector<std::string>{quit, lines[0][1], "quit", "2", "2"}));
    EXPECT_EQ(lines[0][1].size(), 19u); // YYYY-MM-DD HH:MM:SS
    EXPECT_EQ(lines[1], (std::vector<std::string>{crashed, lines[1][1], "crash", "1", "1"}));
    EXPECT_EQ(lines[2][2], "damaged: not a journal of this editor");

    ASSERT_EQ(folder.vaneto({"kept", "save", crashed, "crashed.mid"}).status, 0);
    DvVaneto banks;
    std::vector<int> read;
    ASSERT_EQ(BankFile::load(folder / "crashed.mid", banks, read), BankFile::ReadResult::ok);
    EXPECT_EQ(read.size(), 7u);
    EXPECT_EQ(banks.bankName(0), "One");

    EXPECT_EQ(folder.vaneto({"kept", "save", "20990101-000000-1", "x.mid"}).status, 1);
    EXPECT_EQ(folder.vaneto({"kept", "save", "nothing", "x.mid"}).status, 1);
    EXPECT_EQ(folder.vaneto({"kept", "forget", crashed}).status, 2);
    EXPECT_EQ(folder.vaneto({"kept", "save", crashed}).status, 2);
    {
        WorkFolder holder(kept);
        std::string error;
        ASSERT_TRUE(holder.claim(quit, error));
        const clitest::Run held = folder.vaneto({"kept", "remove", quit});
        EXPECT_EQ(held.status, 1);
        EXPECT_NE(held.err.find("open"), std::string::npos) << held.err;
    }
    EXPECT_EQ(folder.vaneto({"kept", "remove", crashed}).status, 0);
    EXPECT_EQ(folder.vaneto({"kept"}).out.find(crashed + "\t"), std::string::npos);
    ::unsetenv("XDG_STATE_HOME");
}

} // namespace
