// Stopping a transfer: the engine stopped during the pause before a data message, the editor's
// Stop button during the data message, and the program asked to end in the middle.

#include "EditorFixture.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransferObserver.h"

#include <gmock/gmock.h>

#include <functional>

using ::testing::ElementsAre;

namespace {

// A virtual clock that runs an action once, at the start of the first sleep for which a
// condition (given the sleep's length) holds.
class TriggerClock final : public Clock {
public:
    explicit TriggerClock(VirtualClock& base) : base_(base) {}
    void sleep(std::uint32_t milliseconds) override {
        if (action_ && condition_(milliseconds) && !fired_.exchange(true)) {
            action_();
        }
        base_.sleep(milliseconds);
    }
    std::int64_t seconds() const override { return base_.seconds(); }
    std::int64_t microseconds() const override { return base_.microseconds(); }
    void when(std::function<bool(std::uint32_t)> condition, std::function<void()> action) {
        condition_ = std::move(condition);
        action_ = std::move(action);
    }

private:
    VirtualClock& base_;
    std::function<bool(std::uint32_t)> condition_;
    std::function<void()> action_;
    std::atomic<bool> fired_{false};
};

class StatusLog final : public TransferObserver {
public:
    void status(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(text);
    }
    void showProgress(bool) override {}
    void progress(int, std::int64_t, double) override {}

    std::mutex mutex;
    std::vector<std::string> texts;
};

std::vector<SimulatedMidiOutService::Message> longMessages(const SimulatedMidiOutService& service) {
    std::vector<SimulatedMidiOutService::Message> found;
    for (const auto& message : service.messages()) {
        if (message.isLong) {
            found.push_back(message);
        }
    }
    return found;
}

constexpr std::int64_t second = 1'000'000;

TEST(TransferEngineTest, StopDuringThePauseSendsNothingMore) {
    VirtualClock virtualClock;
    TriggerClock clock(virtualClock);
    auto service =
        std::make_shared<SimulatedMidiOutService>(virtualClock, std::vector<std::string>{"Port"});
    DvVaneto store;
    TransferEngine engine(store, service, clock);
    // As the transmitter begins the pause before bank 1's data message.
    clock.when([](std::uint32_t milliseconds) { return milliseconds == 6000; },
               [&] { engine.stop(); });
    TransferEngine::Request request;
    request.banks = [] { return std::vector<int>{0, 1}; };
    StatusLog log;
    EXPECT_EQ(engine.run(request, log), TransferEngine::Result::stopped);

    const auto sent = longMessages(*service);
    ASSERT_EQ(sent.size(), 1u) << "only bank 1's announce message";
    EXPECT_EQ(sent[0].bytes.size(), 6u);
    EXPECT_EQ(service->openHandles(), 0u);
    EXPECT_THAT(std::vector<std::string>(log.texts.end() - 3, log.texts.end()),
                ElementsAre("Sending is stopped...", "Releasing...", ""));
}

TEST(StopButton, EndsTheDataMessageWithF7AndBringsIdleBack) {
    VirtualClock virtualClock;
    TriggerClock clock(virtualClock);
    RecordingEditorView view;
    auto service =
        std::make_shared<SimulatedMidiOutService>(virtualClock, std::vector<std::string>{"Port"});
    VanetoEditorController controller(view, service, clock);
    controller.initDialog();
    view.setChecked(EditorView::AllBanksOption, true);
    // Sleeps take real time, so that the worker's polling cannot run the virtual time past the
    // message before the transmitter's pause after handing it over.
    virtualClock.setRealPause(std::chrono::milliseconds(2));
    // 10 s into bank 1's data message, as the transmitter pauses after handing it over.
    clock.when(
        [&](std::uint32_t milliseconds) {
            return milliseconds == 1 && longMessages(*service).size() == 2;
        },
        [&] {
            virtualClock.advance(10 * second);
            controller.stopTransfer();
        });
    view.clearLog();
    controller.sendBanks();
    for (int i = 0; i < 60000 && !controller.isIdle(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(controller.isIdle());

    const auto sent = longMessages(*service);
    ASSERT_EQ(sent.size(), 2u) << "nothing after the stopped message";
    const auto dump = controller.banks().bankDump(0, 0);
    const auto& cut = sent[1].bytes;
    ASSERT_GT(cut.size(), 30000u); // at least 10 s at the wire rate
    ASSERT_LT(cut.size(), 262150u);
    EXPECT_EQ((cut.size() - 1) % 256, 0u) << "cut at a chunk boundary";
    EXPECT_EQ(cut.back(), 0xF7);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end() - 1, dump[1].bytes.begin()));
    EXPECT_EQ(service->openHandles(), 0u);
    const auto statuses = view.logged("status ");
    EXPECT_THAT(std::vector<std::string>(statuses.end() - 3, statuses.end()),
                ElementsAre("Sending is stopped...", "Releasing...", ""));
    EXPECT_EQ(view.boxes().size(), 1u) << "the question only, no failure";
    auto log = view.log();
    EXPECT_THAT(log, ::testing::Contains("show stop"));
    EXPECT_THAT(std::vector<std::string>(log.end() - 2, log.end()),
                ElementsAre("hide stop", "hide"));
}

class QuitTest : public EditorFixture {};

TEST_F(QuitTest, AskedToEndDuringATransferStopsItThenEndsTheDialog) {
    view.setChecked(EditorView::AllBanksOption, true);
    view.closeGateAt("Sending Bank 1");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    EXPECT_FALSE(controller.quitWhenIdle());
    EXPECT_TRUE(view.endedWith().empty());
    view.openGate();
    waitIdle();
    EXPECT_TRUE(controller.quitWhenIdle());
    EXPECT_THAT(view.endedWith(), ElementsAre(EditorView::IdCancel));
    EXPECT_LE(sent().size(), 2u) << "no bank after the first";
}

TEST(QuitDestroyTest, DestroyingTheControllerDuringATransferStopsAndJoinsIt) {
    VirtualClock clock;
    RecordingEditorView view;
    auto service =
        std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{"Port"});
    auto controller = std::make_unique<VanetoEditorController>(view, service, clock);
    controller->initDialog();
    view.setChecked(EditorView::AllBanksOption, true);
    view.closeGateAt("Sending Bank 1");
    controller->sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        view.openGate();
    });
    controller.reset();
    opener.join();
    EXPECT_EQ(service->openHandles(), 0u);
    EXPECT_LE(longMessages(*service).size(), 2u);
}

} // namespace
