#include "midiout/LoMidiInterfaceTransmitter.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Call = SimulatedMidiOutService::Call;
using Kind = SimulatedMidiOutService::Call::Kind;

// The virtual clock, with a look at the world each time someone sleeps.
class WatchedClock final : public Clock {
public:
    void sleep(std::uint32_t milliseconds) override {
        if (onSleep) {
            onSleep(milliseconds);
        }
        clock.sleep(milliseconds);
    }
    std::int64_t seconds() const override { return clock.seconds(); }
    std::int64_t microseconds() const override { return clock.microseconds(); }

    VirtualClock clock;
    std::function<void(std::uint32_t)> onSleep;
};

LoMidiEvent sysex(std::size_t size, std::int32_t delay) {
    std::vector<std::uint8_t> bytes(size, 0x11);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return LoMidiEvent(bytes.data(), bytes.data() + bytes.size(), delay);
}

const std::string asynchron = "midiOutLongMsg() - Asynchron!!!\n";

std::size_t countOf(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
        ++count;
    }
    return count;
}

class TransmitterTest : public ::testing::Test {
protected:
    std::unique_ptr<LoMidiInterfaceTransmitter> make(std::uint16_t port = 1) {
        return std::make_unique<LoMidiInterfaceTransmitter>(port, service, clock);
    }
    std::vector<Call> callsAfter(std::size_t skip) const {
        auto calls = service->calls();
        calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(skip));
        return calls;
    }

    WatchedClock clock;
    std::shared_ptr<SimulatedMidiOutService> service =
        std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{"A", "B"});
};

TEST_F(TransmitterTest, OpeningWaitsAndSilencesEveryChannel) {
    ::testing::internal::CaptureStderr();
    auto transmitter = make(1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\t\t\tMidiCompletion - MOM_OPEN:\n");

    EXPECT_TRUE(transmitter->isOpen());
    EXPECT_FALSE(transmitter->isBusy());
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{600, 600}));
    EXPECT_EQ(clock.microseconds(), 1'200'000);

    const auto calls = service->calls();
    ASSERT_EQ(calls.size(), 18u);
    EXPECT_EQ(calls[0].kind, Kind::open);
    EXPECT_EQ(calls[0].value, 1u);
    EXPECT_EQ(calls[0].microseconds, 0);
    for (std::size_t i = 1; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, Kind::shortMessage);
        EXPECT_EQ(calls[i].microseconds, 600'000) << "no pause between the messages";
        EXPECT_EQ(calls[i].value, 0x7BB0u + ((i - 1) & 0x0F)) << "message " << i;
    }
    EXPECT_EQ(service->messages().back().bytes, (std::vector<std::uint8_t>{0xB0, 0x7B, 0x00}));

    ::testing::internal::CaptureStderr();
    transmitter.reset();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\t\t\tMidiCompletion - MOM_CLOSE:\n");
    EXPECT_EQ(service->openHandles(), 0u);
}

TEST_F(TransmitterTest, BankDumpPlaysWithItsDelaysWhileBusy) {
    auto transmitter = make();
    const std::size_t before = service->calls().size();
    clock.clock.clearSleeps();
    bool notBusyWhileSleeping = false;
    clock.onSleep = [&](std::uint32_t) { notBusyWhileSleeping |= !transmitter->isBusy(); };

    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(transmitter->send({sysex(6, 0), sysex(262150, 6000)}));
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_FALSE(notBusyWhileSleeping);
    EXPECT_FALSE(transmitter->isBusy());
    EXPECT_FALSE(transmitter->sendFailed());
    // Announce: 1 ms, refused (1.92 ms on the wire), 6 / 3 ms more. Data: 6000 ms before it,
    // refused after 1 ms, released after one wait of 262150 / 3 ms.
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{0, 1, 2, 6000, 1, 87383}));
    EXPECT_EQ(countOf(log, asynchron), 2u);
    EXPECT_EQ(countOf(log, "MOM_DONE:\n"), 2u);

    const auto calls = callsAfter(before);
    const std::vector<Kind> expected{Kind::prepare,   Kind::longMessage, Kind::unprepare,
                                     Kind::unprepare, Kind::prepare,     Kind::longMessage,
                                     Kind::unprepare, Kind::unprepare};
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, expected[i]) << "call " << i;
    }
    EXPECT_EQ(calls[5].microseconds - calls[4].microseconds, 6'000'000);
    EXPECT_EQ(calls.back().result, MidiOutResult::ok);

    const auto messages = service->messages();
    ASSERT_EQ(messages.size(), 19u);
    EXPECT_EQ(messages[17].bytes.size(), 6u);
    EXPECT_EQ(messages[18].bytes.size(), 262150u);
    EXPECT_GE(messages[18].startMicroseconds - messages[17].startMicroseconds, 6'000'000);
}

TEST_F(TransmitterTest, NothingToPlay) {
    auto transmitter = make();
    const std::size_t before = service->calls().size();
    clock.clock.clearSleeps();
    EXPECT_TRUE(transmitter->send({}));
    EXPECT_FALSE(transmitter->isBusy());
    EXPECT_TRUE(callsAfter(before).empty());

    // Events without bytes are skipped with their delays.
    EXPECT_TRUE(transmitter->send({LoMidiEvent(5000), sysex(3, 0), LoMidiEvent(7000)}));
    EXPECT_FALSE(transmitter->isBusy());
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(callsAfter(before).size(), 3u);
}

TEST_F(TransmitterTest, StillPlayingIsAskedAgainAfterBytesOverThreeMilliseconds) {
    auto transmitter = make();
    clock.clock.clearSleeps();
    service->answerStillPlaying(2);

    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(transmitter->send({sysex(300, 0)}));
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(log, asynchron + "\t\t\tMidiCompletion - MOM_DONE:\n" + asynchron);
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{0, 1, 100, 100}));
    EXPECT_FALSE(transmitter->isBusy());
}

TEST_F(TransmitterTest, AtASlowerPaceTheRetryWaitKeepsItsRatioToThePace) {
    auto transmitter = make();
    transmitter->setPace(1000);
    clock.clock.clearSleeps();
    service->answerStillPlaying(1);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(transmitter->send({sysex(300, 0)}));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{0, 1, 312})); // 300 / 0.96
    // At the wire rate it is the byte count / 3, exactly.
    transmitter->setPace(3125);
    clock.clock.clearSleeps();
    service->answerStillPlaying(1);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(transmitter->send({sysex(300, 0)}));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{0, 1, 100}));
}

TEST_F(TransmitterTest, CompletionLines) {
    auto transmitter = make();
    const struct {
        std::uint32_t message;
        const char* line;
    } cases[] = {
        {midiOutOpened, "\t\t\tMidiCompletion - MOM_OPEN:\n"},
        {midiOutClosed, "\t\t\tMidiCompletion - MOM_CLOSE:\n"},
        {midiOutDone, "\t\t\tMidiCompletion - MOM_DONE:\n"},
        {0x3CA, "\t\t\tMidiCompletion - DEFAULT: 3ca !!!\n"},
        {0xABCDEF, "\t\t\tMidiCompletion - DEFAULT: abcdef !!!\n"},
        {0, "\t\t\tMidiCompletion - DEFAULT: 0 !!!\n"},
    };
    for (const auto& c : cases) {
        ::testing::internal::CaptureStderr();
        transmitter->MidiCompletion(1, c.message, 0, 0);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
    }
    EXPECT_FALSE(transmitter->isBusy());
}

TEST_F(TransmitterTest, FailuresAreReportedAndEndTheSendAtOnce) {
    service->failOpening(true);
    ::testing::internal::CaptureStderr();
    auto closed = make();
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "");
    EXPECT_FALSE(closed->isOpen());
    EXPECT_TRUE(closed->sendFailed());
    EXPECT_NE(closed->failure().find("opening"), std::string::npos) << closed->failure();
    clock.clock.clearSleeps();
    EXPECT_FALSE(closed->send({sysex(6, 0), sysex(9, 6000)}));
    EXPECT_EQ(clock.clock.sleeps(), (std::vector<std::uint32_t>{0})) << "no 6 s pause";
    EXPECT_FALSE(closed->isBusy());

    service->failOpening(false);
    auto open = make();
    EXPECT_TRUE(open->isOpen());
    EXPECT_FALSE(open->sendFailed());
    service->failSending(true);
    EXPECT_FALSE(open->send({sysex(30, 0)}));
    EXPECT_TRUE(open->sendFailed());
    service->failSending(false);
    EXPECT_TRUE(open->send({sysex(30, 0)})) << "a later send that works answers true";
    EXPECT_TRUE(open->sendFailed()) << "the earlier failure is not forgotten";
}

TEST(TransmitterOnTheRealClock, APortThatFailsWhilePlayingEndsTheRetryWaitAtOnce) {
    auto service =
        std::make_shared<SimulatedMidiOutService>(realClock(), std::vector<std::string>{"USB"});
    LoMidiInterfaceTransmitter transmitter(0, service, realClock());
    const LoMidiEvent long10s = sysex(31250, 0); // a retry wait of 10.4 s
    bool sent = true;
    const auto began = std::chrono::steady_clock::now();
    std::thread sending([&] { sent = transmitter.send({long10s, sysex(6, 0)}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::testing::internal::CaptureStderr();
    service->failPlaying();
    sending.join();
    ::testing::internal::GetCapturedStderr();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
    EXPECT_FALSE(sent);
    EXPECT_EQ(transmitter.failure(), "sending a long message: the MIDI output port is gone");
    EXPECT_LT(transmitter.bytesSent(), 31250u);
    EXPECT_EQ(transmitter.bytesInList(), 31256u);
    EXPECT_EQ(service->messages().size(), 17u + 1u) << "the list ends at the failure";
}

TEST_F(TransmitterTest, NegativeDelayDoesNotWaitForever) {
    auto transmitter = make();
    clock.clock.clearSleeps();
    EXPECT_TRUE(transmitter->send({sysex(3, -5)}));
    EXPECT_EQ(clock.clock.sleeps().front(), 0u);
}

} // namespace
