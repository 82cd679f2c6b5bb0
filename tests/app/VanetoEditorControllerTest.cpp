#include "EditorFixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Kind = RecordingEditorView::ProgressCall::Kind;

namespace {

class ControllerTest : public EditorFixture {};

class NoPortTest : public EditorFixture {
protected:
    NoPortTest() : EditorFixture({}) {}
};

const std::vector<std::string> factoryNames = {"Bank 1", "Bank 2", "Bank 3", "Bank 4",
                                               "Bank 5", "Bank 6", "Bank 7"};

TEST_F(ControllerTest, StartsWithFactoryBanksFirstPortAndIdleControls) {
    EXPECT_EQ(view.items(EditorView::BankList), factoryNames);
    EXPECT_EQ(view.listSelection(EditorView::BankList), 0);
    EXPECT_EQ(view.focus(), EditorView::BankList);
    EXPECT_EQ(view.text(EditorView::BankNameEdit), "Bank 1");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "Sample 1 (in Bank 1)");
    EXPECT_EQ(view.listSelection(EditorView::ChannelList), 0);
    EXPECT_EQ(view.items(EditorView::PortList),
              (std::vector<std::string>{"Synth Port", "Second Port"}));
    EXPECT_EQ(view.listSelection(EditorView::PortList), 0);
    EXPECT_TRUE(view.isChecked(EditorView::SelectedBankOption));
    EXPECT_FALSE(view.visible(EditorView::ProgressBar));
    EXPECT_EQ(view.text(EditorView::StatusLine), "");
    EXPECT_EQ(view.text(EditorView::VersionText), "Version 1.2");
    EXPECT_EQ(controller.portCountAtStart(), 2);
    EXPECT_TRUE(controller.isIdle());
}

TEST_F(NoPortTest, OffersOnlyTheNoInterfaceEntryAndSendDoesNothing) {
    EXPECT_EQ(view.items(EditorView::PortList),
              std::vector<std::string>{"No MIDI interface detected!"});
    EXPECT_EQ(view.listSelection(EditorView::PortList), 0);
    view.setChecked(EditorView::AllBanksOption, true);
    controller.sendBanks();
    EXPECT_TRUE(controller.isIdle());
    EXPECT_TRUE(view.messageBoxes().empty());
    EXPECT_TRUE(service->calls().empty());
}

TEST_F(ControllerTest, NamesAreCommittedWhenTheEditsAreLeft) {
    selectBank(2);
    view.setText(EditorView::BankNameEdit, "Strings");
    controller.commitBankName();
    EXPECT_EQ(store().bankName(2), "Strings");
    EXPECT_EQ(view.items(EditorView::BankList)[2], "Strings");
    EXPECT_EQ(view.listSelection(EditorView::BankList), 2);

    const auto listBefore = view.items(EditorView::BankList);
    view.setText(EditorView::SampleNameEdit, "Cello C2");
    controller.commitSampleName();
    EXPECT_EQ(store().sampleName(2, 0), "Cello C2");
    EXPECT_EQ(view.items(EditorView::BankList), listBefore);

    // Enter does nothing at all.
    view.setText(EditorView::BankNameEdit, "Not yet");
    controller.onOk();
    EXPECT_EQ(store().bankName(2), "Strings");
    EXPECT_TRUE(view.endedWith().empty());
}

TEST_F(ControllerTest, NamesThatAreNotUtf8ShowAsLatin1AndKeepTheirBytesUntilEdited) {
    store().setBankName("Caf\xE9", 1);
    store().setSampleName("na\xEFve", 1, 0);
    controller.refreshBankList();
    selectBank(1);
    EXPECT_EQ(view.items(EditorView::BankList)[1], "Caf\xC3\xA9");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "na\xC3\xAFve");

    controller.commitBankName(); // left without a change: the stored bytes stay
    controller.commitSampleName();
    EXPECT_EQ(store().bankName(1), "Caf\xE9");
    EXPECT_EQ(store().sampleName(1, 0), "na\xEFve");

    view.setText(EditorView::BankNameEdit, "Caf\xC3\xA9 2");
    controller.commitBankName();
    EXPECT_EQ(store().bankName(1), "Caf\xC3\xA9 2");

    // Valid UTF-8 passes unchanged; broken sequences, overlong forms and surrogates do not.
    EXPECT_EQ(VanetoEditorController::displayName("\xE2\x82\xAC 5"), "\xE2\x82\xAC 5");
    EXPECT_EQ(VanetoEditorController::displayName("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(VanetoEditorController::displayName("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
    EXPECT_EQ(VanetoEditorController::displayName("ab\xE2\x82"), "ab\xC3\xA2\xC2\x82");
}

TEST_F(ControllerTest, ResetToDefaultRestoresContentAndNamesOfTheSelectedBankOnly) {
    selectBank(4);
    const std::vector<std::int16_t> tone(1000, 1234);
    store().insertSample(tone.data(), tone.size(), 4, 0);
    store().setBankName("Mine", 4);
    store().setSampleName("Tone", 4, 0);
    store().setBankName("Other", 5);
    controller.resetToDefault();
    EXPECT_EQ(store().bankName(4), "Bank 5");
    EXPECT_EQ(store().sampleName(4, 0), "Sample 1 (in Bank 5)");
    EXPECT_EQ(store().bankData(4)[500], DvFactoryTable::bank(4)[500]);
    EXPECT_EQ(view.items(EditorView::BankList)[4], "Bank 5");
    EXPECT_EQ(view.text(EditorView::BankNameEdit), "Bank 5");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "Sample 1 (in Bank 5)");
    EXPECT_EQ(store().bankName(5), "Other");
}

TEST_F(ControllerTest, EscEndsTheDialogWithCancelWhenIdle) {
    controller.onCancel();
    EXPECT_THAT(view.endedWith(), ElementsAre(EditorView::IdCancel));
}

TEST_F(ControllerTest, SingleBankTransferShowsEveryStatusAndMovesTheProgressBar) {
    selectBank(2);
    controller.sendBanks();
    EXPECT_FALSE(controller.isIdle());
    waitIdle();

    EXPECT_THAT(view.statusTexts(),
                ElementsAre("", "Initializing...", "Sending will starting...",
                            "Sending is started...", "Sending Bank 3: \"Bank 3\"...",
                            "Sending is stopped...", "Releasing...", ""));
    EXPECT_TRUE(view.messageBoxes().empty()); // no question for one bank

    const auto calls = view.progressCalls();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(calls[0].kind, Kind::position);
    EXPECT_EQ(calls[0].first, 0);
    EXPECT_EQ(calls[1].kind, Kind::show);
    EXPECT_EQ(calls.back().kind, Kind::hide);
    EXPECT_EQ(calls[calls.size() - 2].kind, Kind::position);
    EXPECT_EQ(calls[calls.size() - 2].first, 0);
    // 6 + 262150 bytes at 3125 bytes per second plus the 6 s pause: 89.89 s.
    int ranges = 0;
    int last = 0;
    for (const auto& call : calls) {
        if (call.kind == Kind::range) {
            ++ranges;
            EXPECT_EQ(call.first, 0);
            EXPECT_EQ(call.second, 89);
            last = 0;
        } else if (call.kind == Kind::position && ranges > 0 && &call != &calls[calls.size() - 2]) {
            EXPECT_GE(call.first, last) << "the bar never runs backwards while a bank plays";
            last = call.first;
        }
    }
    EXPECT_EQ(ranges, 1);
    EXPECT_FALSE(view.visible(EditorView::ProgressBar));

    const auto sent = longMessages();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].bytes, (std::vector<std::uint8_t>{0xF0, 0x31, 0x0D, 0x79, 0x02, 0xF7}));
    ASSERT_EQ(sent[1].bytes.size(), 262150u);
    EXPECT_EQ(sent[1].bytes[2], 0x42);
    EXPECT_EQ(sent[1].bytes[4], 0x20);
    EXPECT_GE(sent[1].startMicroseconds - sent[0].startMicroseconds, 6'000'000);
    EXPECT_EQ(service->openHandles(), 0u);
}

TEST_F(ControllerTest, AllBanksAskFirstAndCancelSendsNothing) {
    view.setChecked(EditorView::AllBanksOption, true);
    view.answerMessageBoxes({EditorView::IdCancel});
    controller.sendBanks();
    EXPECT_TRUE(controller.isIdle());
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    const auto question = view.messageBoxes()[0];
    EXPECT_EQ(question.text,
              "The sending of all banks take over 10 Minutes.\nDo you want to really transmit?");
    EXPECT_EQ(question.caption, "Send All Banks");
    EXPECT_EQ(question.buttons, EditorView::Buttons::OkCancel);
    EXPECT_EQ(question.icon, EditorView::Icon::Information);
    EXPECT_TRUE(service->calls().empty());
    EXPECT_TRUE(view.statusTexts().empty());
}

TEST_F(ControllerTest, AllBanksGoOutInOrderOverOnePortOnTheChosenChannel) {
    view.setChecked(EditorView::AllBanksOption, true);
    view.setListSelection(EditorView::ChannelList, 9); // shown as " 10"
    view.setListSelection(EditorView::PortList, 1);
    controller.sendBanks();
    waitIdle();

    std::vector<std::string> expected = {"", "Initializing..."};
    for (int bank = 1; bank <= 7; ++bank) {
        expected.insert(expected.end(), {"Sending will starting...", "Sending is started...",
                                         "Sending Bank " + std::to_string(bank) + ": \"Bank " +
                                             std::to_string(bank) + "\"...",
                                         "Sending is stopped..."});
    }
    expected.insert(expected.end(), {"Releasing...", ""});
    EXPECT_THAT(view.statusTexts(), ElementsAreArray(expected));

    const auto sent = longMessages();
    ASSERT_EQ(sent.size(), 14u);
    for (int bank = 0; bank < 7; ++bank) {
        const auto& announce = sent[2 * bank].bytes;
        const auto& data = sent[2 * bank + 1].bytes;
        EXPECT_EQ(announce[4], bank);
        EXPECT_EQ(data[2], 0x40 | bank);
        EXPECT_EQ(data[4], 0x29) << "channel 10 in byte 4 of bank " << bank + 1;
        EXPECT_EQ(sent[2 * bank].port, 1u);
    }
    int opens = 0;
    int ranges = 0;
    for (const auto& call : service->calls()) {
        opens += call.kind == SimulatedMidiOutService::Call::Kind::open;
    }
    for (const auto& call : view.progressCalls()) {
        ranges += call.kind == Kind::range;
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(ranges, 7);
}

TEST_F(ControllerTest, EveryCommandButRenamingIsRefusedWhileATransferRuns) {
    const std::string existing = ::testing::TempDir() + "vaneto_refused.mid";
    view.setChecked(EditorView::AllBanksOption, true);
    view.closeGateAt("Sending Bank 2");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    ASSERT_FALSE(controller.isIdle());

    const auto boxes = view.messageBoxes().size();
    view.chooseFiles({existing, existing, existing});
    store().setBankName("Renamed", 0);
    selectBank(0);
    controller.resetToDefault();
    controller.importSample();
    controller.openFromDisk();
    controller.saveToDisk();
    controller.sendBanks();
    controller.onCancel();
    EXPECT_EQ(store().bankName(0), "Renamed");
    EXPECT_EQ(view.fileDialogs(), 0);
    EXPECT_EQ(view.messageBoxes().size(), boxes);
    EXPECT_TRUE(view.endedWith().empty());

    // Selecting and renaming still work.
    selectBank(5);
    EXPECT_EQ(view.text(EditorView::BankNameEdit), "Bank 6");
    view.setText(EditorView::BankNameEdit, "Pads");
    controller.commitBankName();
    EXPECT_EQ(store().bankName(5), "Pads");

    view.openGate();
    waitIdle();
    int opens = 0;
    for (const auto& call : service->calls()) {
        opens += call.kind == SimulatedMidiOutService::Call::Kind::open;
    }
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(longMessages().size(), 14u);
    // The renamed bank still to come shows its new name.
    const auto texts = view.statusTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Sending Bank 6: \"Pads\"..."), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Sending Bank 1: \"Bank 1\"..."), texts.end());

    controller.onCancel();
    EXPECT_THAT(view.endedWith(), ElementsAre(EditorView::IdCancel));
}

TEST_F(ControllerTest, APortThatCannotBeOpenedIsReportedAfterEverythingIsReleased) {
    service->failOpening(true);
    controller.sendBanks();
    waitIdle();
    ASSERT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_THAT(view.messageBoxes()[0].text, ::testing::HasSubstr("\"Synth Port\""));
    EXPECT_EQ(view.messageBoxes()[0].icon, EditorView::Icon::Warning);
    EXPECT_TRUE(longMessages().empty());
    const auto texts = view.statusTexts();
    EXPECT_EQ(texts.back(), "");
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Releasing..."), texts.end());
    // The box comes after the release: the progress bar is already hidden.
    const auto log = view.log();
    EXPECT_EQ(log.back(), "messageBox VanetoEditor");
    EXPECT_FALSE(view.visible(EditorView::ProgressBar));

    // The next transfer works again.
    service->failOpening(false);
    controller.sendBanks();
    waitIdle();
    EXPECT_EQ(view.messageBoxes().size(), 1u);
    EXPECT_EQ(longMessages().size(), 2u);
}

TEST_F(ControllerTest, AMessageThePortCouldNotTakeIsReportedAndStopsTheTransfer) {
    view.setChecked(EditorView::AllBanksOption, true);
    service->failSending(true);
    controller.sendBanks();
    waitIdle();
    const auto boxes = view.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u); // the question, then the failure
    EXPECT_THAT(boxes[1].text, ::testing::HasSubstr("Bank 1 could not be sent"));
    const auto texts = view.statusTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Sending is started..."), 1);
    EXPECT_EQ(service->openHandles(), 0u);
}

} // namespace
