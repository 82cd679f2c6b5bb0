// The waveform panel, preview playback and dropped files, through the controller.

#include "EditorFixture.h"
#include "files/BankFile.h"
#include "playback/AudioOutput.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

using ::testing::HasSubstr;

namespace {

// An output that "plays" until it is stopped.
class EndlessOutput final : public AudioOutput {
public:
    bool isAvailable(std::string& why) override {
        why = available ? "" : "no card";
        return available;
    }
    bool play(std::span<const std::int16_t> values, const std::atomic<bool>& stop,
              std::atomic<std::size_t>& played, std::string&) override {
        played.store(values.size() / 2);
        while (!stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    bool available = true;
};

class PreviewTest : public EditorFixture {
protected:
    static std::shared_ptr<EndlessOutput> install(bool available) {
        auto output = std::make_shared<EndlessOutput>();
        output->available = available;
        setDefaultAudioOutput(output);
        return output;
    }
    ~PreviewTest() override { setDefaultAudioOutput(nullptr); }
};

class DropTest : public EditorFixture {
protected:
    std::string file(const std::string& name, const std::string& bytes) {
        const auto path = std::filesystem::path(::testing::TempDir()) / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
};

TEST_F(PreviewTest, PlaysTheSelectedBankUntilSelectionOrResetStopsIt) {
    install(true);
    VanetoEditorController playing(view, service, clock);
    playing.initDialog();
    EXPECT_EQ(view.playbackStates().back(), "1 0");
    playing.togglePlayback();
    EXPECT_TRUE(playing.isPlaying());
    for (int i = 0; i < 2000 && playing.playbackPosition() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(playing.playbackPosition(), 32768u);
    view.setListSelection(EditorView::BankList, 3);
    playing.showSelectedBank();
    EXPECT_FALSE(playing.isPlaying());
    EXPECT_EQ(view.playbackStates().back(), "1 0");
    EXPECT_THAT(view.waveforms().back(), HasSubstr("65536 peak "));

    playing.togglePlayback();
    playing.resetToDefault();
    EXPECT_FALSE(playing.isPlaying());

    install(false);
    VanetoEditorController without(view, service, clock);
    without.initDialog();
    EXPECT_EQ(view.playbackStates().back(), "0 0");
    without.togglePlayback();
    EXPECT_FALSE(without.isPlaying());
}

TEST_F(DropTest, OneFileImportsIntoTheBankDroppedOnOrOpensAsABankFile) {
    // Neither WAV nor AIFF: raw data, and the panel says so.
    const std::string raw = file("noise.raw", std::string(1000, '\x11'));
    controller.dropFiles({raw}, 2);
    EXPECT_EQ(view.listSelection(EditorView::BankList), 2);
    EXPECT_EQ(store().sampleName(2, 0), "noise.raw");
    EXPECT_THAT(view.waveforms().back(),
                HasSubstr("from raw data (neither WAV nor AIFF), 1000 bytes"));

    // Two files: refused, nothing changed.
    const auto before = values(4);
    controller.dropFiles({raw, raw}, 4);
    ASSERT_EQ(view.boxes().size(), 1u);
    EXPECT_THAT(view.boxes()[0].text, HasSubstr("Drop one file at a time"));
    EXPECT_EQ(values(4), before);

    // A bank file of all banks opens as Open from Disk does.
    DvVaneto other;
    other.setBankName("Dropped", 5);
    std::string error;
    const auto bankFile = std::filesystem::path(::testing::TempDir()) / "dropped.mid";
    ASSERT_TRUE(BankFile::save(bankFile, other, -1, error)) << error;
    controller.dropFiles({bankFile.string()}, 0);
    EXPECT_EQ(store().bankName(5), "Dropped");
    EXPECT_EQ(store().sampleName(2, 0), "Sample 1 (in Bank 3)");

    // During a transfer: nothing happens.
    view.closeGateAt("Sending Bank");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    controller.dropFiles({raw}, 1);
    view.openGate();
    waitIdle();
    EXPECT_EQ(store().sampleName(1, 0), "Sample 1 (in Bank 2)");
}

} // namespace
