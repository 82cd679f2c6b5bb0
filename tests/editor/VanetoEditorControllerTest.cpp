#include "EditorFixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace {

class ControllerTest : public EditorFixture {};

std::vector<std::string> bankStatuses(int bank, const std::string& name) {
    return {"Sending will starting...", "Sending is started...",
            "Sending Bank " + std::to_string(bank) + ": \"" + name + "\"...",
            "Sending is stopped..."};
}

TEST_F(ControllerTest, StartsWithFactoryBanksFirstPortAndIdleControls) {
    EXPECT_THAT(view.items(EditorView::BankList),
                ElementsAre("Bank 1", "Bank 2", "Bank 3", "Bank 4", "Bank 5", "Bank 6", "Bank 7"));
    EXPECT_EQ(view.listSelection(EditorView::BankList), 0);
    EXPECT_EQ(view.focus(), EditorView::BankList);
    EXPECT_EQ(view.text(EditorView::BankNameEdit), "Bank 1");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "Sample 1 (in Bank 1)");
    EXPECT_EQ(view.listSelection(EditorView::ChannelList), 0);
    EXPECT_THAT(view.items(EditorView::PortList), ElementsAre("Synth Port", "Second Port"));
    EXPECT_EQ(view.listSelection(EditorView::PortList), 0);
    EXPECT_TRUE(view.isChecked(EditorView::SelectedBankOption));
    EXPECT_FALSE(view.visible(EditorView::ProgressBar));
    EXPECT_EQ(view.text(EditorView::StatusLine), "");
    EXPECT_EQ(view.text(EditorView::VersionText), "Version 1.2");
}

TEST(ControllerWithoutPorts, OffersOnlyTheNoInterfaceEntryAndSendDoesNothing) {
    VirtualClock clock;
    RecordingEditorView view;
    auto service = std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{});
    VanetoEditorController controller(view, service, clock);
    controller.initDialog();
    EXPECT_THAT(view.items(EditorView::PortList), ElementsAre("No MIDI interface detected!"));
    EXPECT_EQ(view.listSelection(EditorView::PortList), 0);
    view.setChecked(EditorView::AllBanksOption, true);
    controller.sendBanks();
    EXPECT_TRUE(controller.isIdle());
    EXPECT_TRUE(view.boxes().empty());
    EXPECT_TRUE(service->calls().empty());
}

TEST_F(ControllerTest, NamesAreCommittedWhenLeftAndResetBringsBackTheFactoryBank) {
    selectBank(2);
    view.setText(EditorView::BankNameEdit, "Strings");
    controller.onOk(); // Enter commits nothing
    EXPECT_EQ(store().bankName(2), "Bank 3");
    controller.commitBankName();
    EXPECT_EQ(view.items(EditorView::BankList)[2], "Strings");
    EXPECT_EQ(view.listSelection(EditorView::BankList), 2);

    view.setText(EditorView::SampleNameEdit, "Cello C2");
    controller.commitSampleName();
    EXPECT_EQ(store().sampleName(2, 0), "Cello C2");

    const std::vector<std::int16_t> tone(1000, 1234);
    write([&](DvVaneto& s) { s.insertSample(tone.data(), tone.size(), 2, 0); });
    controller.resetToDefault();
    EXPECT_EQ(values(2)[500], DvFactoryTable::bank(2)[500]);
    EXPECT_EQ(view.items(EditorView::BankList)[2], "Bank 3");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "Sample 1 (in Bank 3)");
    EXPECT_TRUE(view.endedWith().empty());
    controller.onCancel();
    EXPECT_THAT(view.endedWith(), ElementsAre(EditorView::IdCancel));
}

TEST_F(ControllerTest, NamesThatAreNotUtf8ShowAsLatin1AndKeepTheirBytesUntilEdited) {
    write([&](DvVaneto& s) { s.setBankName("Caf\xE9", 1); });
    controller.refreshBankList();
    selectBank(1);
    EXPECT_EQ(view.items(EditorView::BankList)[1], "Caf\xC3\xA9");
    controller.commitBankName(); // left unchanged: the bytes stay
    EXPECT_EQ(store().bankName(1), "Caf\xE9");
    view.setText(EditorView::BankNameEdit, "Caf\xC3\xA9 2");
    controller.commitBankName();
    EXPECT_EQ(store().bankName(1), "Caf\xC3\xA9 2");

    const std::pair<std::string, std::string> cases[] = {
        {"\xE2\x82\xAC 5", "\xE2\x82\xAC 5"},         // valid: unchanged
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},             // overlong form
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"}, // surrogate
        {"ab\xE2\x82", "ab\xC3\xA2\xC2\x82"},         // cut off
    };
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(VanetoEditorController::displayName(bytes), shown);
    }
}

TEST_F(ControllerTest, OneBankShowsEveryStatusInOrderAndItsProgress) {
    selectBank(2);
    controller.sendBanks();
    EXPECT_FALSE(controller.isIdle());
    waitIdle();
    std::vector<std::string> expected = {"", "Initializing..."};
    for (const auto& text : bankStatuses(3, "Bank 3")) {
        expected.push_back(text);
    }
    expected.insert(expected.end(), {"Releasing...", ""});
    EXPECT_THAT(view.logged("status "), ElementsAreArray(expected));
    EXPECT_TRUE(view.boxes().empty());

    // Progress: 0 and shown at the start; a range of the bank's 89.9 s; positions that never
    // run backwards; back to 0 and hidden at the end.
    const auto log = view.log();
    const auto range = std::find(log.begin(), log.end(), "range 0 89");
    ASSERT_NE(range, log.end());
    EXPECT_THAT(view.logged("position ").front(), "0");
    EXPECT_LT(std::find(log.begin(), log.end(), "show"), range);
    int last = 0;
    for (auto line = range; line != log.end() && *line != "status Sending is stopped..."; ++line) {
        if (line->rfind("position ", 0) == 0) {
            EXPECT_GE(std::stoi(line->substr(9)), last);
            last = std::stoi(line->substr(9));
        }
    }
    EXPECT_EQ(view.logged("position ").back(), "0");
    EXPECT_EQ(log.back(), "hide");

    const auto bytes = sent();
    ASSERT_EQ(bytes.size(), 2u);
    EXPECT_THAT(bytes[0], ElementsAre(0xF0, 0x31, 0x0D, 0x79, 0x02, 0xF7));
    ASSERT_EQ(bytes[1].size(), 262150u);
    EXPECT_EQ(bytes[1][2], 0x42);
    EXPECT_EQ(service->openHandles(), 0u);
}

TEST_F(ControllerTest, AStartRateBelowTheWireRateLengthensTheEstimate) {
    controller.setBytesPerSecond(1000);
    controller.sendBanks();
    waitIdle();
    const auto log = view.log();
    EXPECT_NE(std::find(log.begin(), log.end(), "range 0 268"), log.end()); // 6 s + 262156 bytes
}

TEST_F(ControllerTest, AllBanksAskFirstThenGoOutInOrderOverOnePortOnTheChosenChannel) {
    view.setChecked(EditorView::AllBanksOption, true);
    view.script({EditorView::IdCancel});
    controller.sendBanks();
    EXPECT_TRUE(controller.isIdle());
    ASSERT_EQ(view.boxes().size(), 1u);
    EXPECT_EQ(view.boxes()[0].text,
              "The sending of all banks take over 10 Minutes.\nDo you want to really transmit?");
    EXPECT_EQ(view.boxes()[0].caption, "Send All Banks");
    EXPECT_EQ(view.boxes()[0].buttons, EditorView::Buttons::OkCancel);
    EXPECT_TRUE(service->calls().empty());

    view.setListSelection(EditorView::ChannelList, 9);
    view.setListSelection(EditorView::PortList, 1);
    controller.sendBanks(); // answered OK
    waitIdle();
    std::vector<std::string> expected = {"", "Initializing..."};
    for (int bank = 1; bank <= 7; ++bank) {
        for (const auto& text : bankStatuses(bank, "Bank " + std::to_string(bank))) {
            expected.push_back(text);
        }
    }
    expected.insert(expected.end(), {"Releasing...", ""});
    EXPECT_THAT(view.logged("status "), ElementsAreArray(expected));
    EXPECT_EQ(view.logged("range ").size(), 7u);

    const auto bytes = sent();
    ASSERT_EQ(bytes.size(), 14u);
    for (int bank = 0; bank < 7; ++bank) {
        EXPECT_EQ(bytes[2 * bank][4], bank);
        EXPECT_EQ(bytes[2 * bank + 1][2], 0x40 | bank);
        EXPECT_EQ(bytes[2 * bank + 1][4], 0x29) << "channel 10 in bank " << bank + 1;
    }
    for (const auto& message : service->messages()) {
        EXPECT_EQ(message.port, 1u);
    }
    const auto calls = service->calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const auto& call) {
                                return call.kind == SimulatedMidiOutService::Call::Kind::open;
                            }),
              1);
}

TEST_F(ControllerTest, WhileATransferRunsOnlyNamingAndSelectingWork) {
    view.setChecked(EditorView::AllBanksOption, true);
    view.closeGateAt("Sending Bank 2");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    const std::string file = ::testing::TempDir() + "refused.mid";
    view.script({}, {file, file, file});
    write([&](DvVaneto& s) { s.setBankName("Renamed", 0); });
    selectBank(0);
    controller.resetToDefault();
    controller.importSample();
    controller.openFromDisk();
    controller.saveToDisk();
    controller.sendBanks();
    controller.onCancel();
    EXPECT_EQ(store().bankName(0), "Renamed");
    EXPECT_EQ(view.fileDialogs(), 0);
    EXPECT_EQ(view.boxes().size(), 1u); // the question before the transfer
    EXPECT_TRUE(view.endedWith().empty());

    selectBank(5); // a bank still to come
    EXPECT_EQ(view.text(EditorView::BankNameEdit), "Bank 6");
    view.setText(EditorView::BankNameEdit, "Pads");
    controller.commitBankName();
    view.openGate();
    waitIdle();
    EXPECT_EQ(sent().size(), 14u);
    const auto statuses = view.logged("status ");
    EXPECT_THAT(statuses, ::testing::Contains("Sending Bank 6: \"Pads\"..."));
    controller.onCancel();
    EXPECT_THAT(view.endedWith(), ElementsAre(EditorView::IdCancel));
}

TEST_F(ControllerTest, PortFailuresAreReportedOnceEverythingIsReleased) {
    service->failOpening(true);
    controller.sendBanks();
    waitIdle();
    ASSERT_EQ(view.boxes().size(), 1u);
    EXPECT_THAT(view.boxes()[0].text, HasSubstr("\"Synth Port\" could not be opened"));
    EXPECT_EQ(view.boxes()[0].icon, EditorView::Icon::Warning);
    EXPECT_TRUE(sent().empty());
    auto log = view.log();
    EXPECT_THAT(
        std::vector<std::string>(log.end() - 5, log.end()),
        ElementsAre("status Releasing...", "status ", "hide stop", "hide", "box VanetoEditor"));

    service->failOpening(false);
    service->failSending(true);
    view.clearLog();
    view.setChecked(EditorView::AllBanksOption, true);
    controller.sendBanks();
    waitIdle();
    ASSERT_EQ(view.boxes().size(), 2u); // the question, then the failure
    EXPECT_THAT(view.boxes()[1].text, HasSubstr("Bank 1 could not be sent"));
    EXPECT_EQ(view.logged("range ").size(), 1u) << "the transfer stops at the failed bank";
    EXPECT_EQ(service->openHandles(), 0u);

    service->failSending(false);
    controller.sendBanks();
    waitIdle();
    EXPECT_EQ(view.boxes().size(), 3u);
    EXPECT_EQ(sent().size(), 14u);
}

} // namespace
