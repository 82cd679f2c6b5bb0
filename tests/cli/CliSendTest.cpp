// The transfer behind `vaneto send` on the simulated MIDI service and a virtual clock: what
// reaches the port and when, the progress shown, failures, and stopping in the middle.

#include "app/BankFile.h"
#include "cli/CliArguments.h"
#include "cli/SendCommand.h"
#include "cli/SendProgress.h"
#include "cli/SendTransfer.h"
#include "device/DvVaneto.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace {

// A virtual clock that runs an action once, from the first sleep after a condition holds.
class TriggerClock final : public Clock {
public:
    explicit TriggerClock(VirtualClock& base) : base_(base) {}
    void sleep(std::uint32_t milliseconds) override {
        base_.sleep(milliseconds);
        if (action_ && condition_() && !fired_.exchange(true)) {
            action_();
        }
    }
    std::int64_t seconds() const override { return base_.seconds(); }
    std::int64_t microseconds() const override { return base_.microseconds(); }
    void when(std::function<bool()> condition, std::function<void()> action) {
        condition_ = std::move(condition);
        action_ = std::move(action);
    }

private:
    VirtualClock& base_;
    std::function<bool()> condition_;
    std::function<void()> action_;
    std::atomic<bool> fired_{false};
};

struct Bench {
    VirtualClock virtualClock;
    TriggerClock clock{virtualClock};
    std::shared_ptr<SimulatedMidiOutService> service = std::make_shared<SimulatedMidiOutService>(
        virtualClock, std::vector<std::string>{"Midi Through Port-0", "VirMIDI 0-0"});
    DvVaneto store;
    std::ostringstream shown;
    SendProgress progress{shown, false};
    std::string error;

    SendTransfer::Result send(std::vector<int> banks, int channel,
                              std::function<void(SendTransfer&)> prepare = {}) {
        SendTransfer transfer(service, clock);
        if (prepare) {
            prepare(transfer);
        }
        return transfer.run(store, 1, banks, channel, progress, error);
    }

    std::vector<SimulatedMidiOutService::Message> longMessages() const {
        std::vector<SimulatedMidiOutService::Message> result;
        for (const auto& message : service->messages()) {
            if (message.isLong) {
                result.push_back(message);
            }
        }
        return result;
    }
};

constexpr std::int64_t second = 1'000'000;

} // namespace

TEST(CliSendTransfer, OneBankReachesThePortWithTheEditorsTimingAndProgress) {
    Bench bench;
    bench.store.setBankName("Strings", 2);
    ASSERT_EQ(bench.send({2}, 9), SendTransfer::Result::sent) << bench.error;

    const auto messages = bench.service->messages();
    ASSERT_GE(messages.size(), 17u);
    for (std::size_t i = 0; i < 17; ++i) {
        EXPECT_FALSE(messages[i].isLong);
        EXPECT_EQ(messages[i].bytes, (std::vector<std::uint8_t>{
                                         static_cast<std::uint8_t>(0xB0 | (i % 16)), 0x7B, 0x00}));
    }
    const auto dump = bench.longMessages();
    ASSERT_EQ(dump.size(), 2u);
    EXPECT_EQ(dump[0].port, 1u);
    EXPECT_EQ(dump[0].bytes, (std::vector<std::uint8_t>{0xF0, 0x31, 0x0D, 0x79, 0x02, 0xF7}));
    EXPECT_GE(dump[0].startMicroseconds, 1200 * 1000);
    ASSERT_EQ(dump[1].bytes.size(), 262150u);
    EXPECT_EQ(std::vector<std::uint8_t>(dump[1].bytes.begin(), dump[1].bytes.begin() + 5),
              (std::vector<std::uint8_t>{0xF0, 0x31, 0x42, 0x66, 0x29}));
    EXPECT_GE(dump[1].startMicroseconds - dump[0].startMicroseconds, 6 * second);
    EXPECT_EQ(bench.service->openHandles(), 0u);

    const std::string shown = bench.shown.str();
    const std::vector<std::string> order = {"Initializing...\n", "Sending Bank 3: \"Strings\"...\n",
                                            "bank 1 of 1: 100%, 0:00 left\n", "Releasing...\n"};
    std::size_t at = 0;
    for (const std::string& text : order) {
        const std::size_t found = shown.find(text, at);
        ASSERT_NE(found, std::string::npos) << text << " in\n" << shown;
        at = found;
    }
}

TEST(CliSendTransfer, StoppingEndsTheMessageInFlightWithF7AndClosesThePort) {
    Bench bench;
    // 10 s into the data message.
    const auto result = bench.send({4}, 0, [&](SendTransfer& transfer) {
        bench.clock.when(
            [&] {
                const auto sent = bench.longMessages();
                return sent.size() == 2 &&
                       bench.virtualClock.microseconds() > sent[1].startMicroseconds + 10 * second;
            },
            [&transfer] { transfer.interrupt(); });
    });
    EXPECT_EQ(result, SendTransfer::Result::interrupted);
    const auto dump = bench.longMessages();
    ASSERT_EQ(dump.size(), 3u);
    EXPECT_EQ(dump[1].bytes.size(), 262150u);
    EXPECT_EQ(dump[2].bytes, std::vector<std::uint8_t>{0xF7});
    EXPECT_EQ(dump[2].port, 1u);
    EXPECT_LT(dump[2].startMicroseconds, dump[1].endMicroseconds);
    EXPECT_EQ(bench.service->openHandles(), 0u);
}

TEST(CliSendTransfer, StoppingBetweenMessagesSendsNothingMore) {
    // Stopped while the port is being silenced, or during the pause before the data message.
    for (const std::size_t announced : {0u, 1u}) {
        SCOPED_TRACE(announced);
        Bench bench;
        const auto result = bench.send({0, 1}, 0, [&](SendTransfer& transfer) {
            bench.clock.when(
                [&] {
                    const auto sent = bench.longMessages();
                    return !bench.service->messages().empty() && sent.size() == announced &&
                           (announced == 0 ||
                            bench.virtualClock.microseconds() > sent[0].endMicroseconds + second);
                },
                [&transfer] { transfer.interrupt(); });
        });
        EXPECT_EQ(result, SendTransfer::Result::interrupted);
        // Unless the stop raced with the start of the data message (which is then ended
        // with F7), nothing follows the announce messages already sent.
        const auto sent = bench.longMessages();
        ASSERT_GE(sent.size(), announced);
        if (sent.size() > announced) {
            EXPECT_EQ(sent.back().bytes, std::vector<std::uint8_t>{0xF7});
        }
        EXPECT_EQ(bench.service->openHandles(), 0u);
    }
}

TEST(CliSendTransfer, PortFailuresAreReportedNotHidden) {
    Bench refused;
    refused.service->failOpening(true);
    EXPECT_EQ(refused.send({0}, 0), SendTransfer::Result::failed);
    EXPECT_NE(refused.error, "");
    EXPECT_TRUE(refused.longMessages().empty());

    Bench broken;
    broken.service->failSending(true);
    EXPECT_EQ(broken.send({0, 1}, 0), SendTransfer::Result::failed);
    EXPECT_NE(broken.error, "");
    EXPECT_EQ(broken.service->openHandles(), 0u);
}

TEST(CliSendPort, IndexOrOneCaseInsensitivePartOfAName) {
    VirtualClock clock;
    setDefaultMidiOutService(std::make_shared<SimulatedMidiOutService>(
        clock, std::vector<std::string>{"Midi Through Port-0", "VirMIDI 0-0", "VirMIDI 0-1",
                                        "Synth", "Synth Expander"}));
    struct Case {
        std::string wanted;
        int port; // -1: refused
        std::string message;
    };
    const std::vector<Case> cases = {
        {"2", 2, ""},
        {"through", 0, ""},
        {"VIRMIDI 0-1", 2, ""},
        {"synth", 3, ""}, // a whole name wins over the longer name it is part of
        {"expander", 4, ""},
        {"virmidi", -1, "'virmidi' matches several MIDI output ports:\n  1\tVirMIDI 0-0\n  2\t"},
        {"5", -1, "no MIDI output port 5 (ports are 0 to 4"},
        {"piano", -1, "no MIDI output port matches 'piano'"},
        {"", -1, "no MIDI output port matches ''"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto port = SendCommand::findPort(c.wanted, error);
        EXPECT_EQ(port ? int{*port} : -1, c.port) << c.wanted;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.wanted << ": " << error;
    }
    setDefaultMidiOutService(nullptr);
    std::string error;
    EXPECT_FALSE(SendCommand::findPort("0", error));
    EXPECT_EQ(error, "No MIDI interface detected!");
}

TEST(CliSendCommand, AllBanksAskTheEditorsQuestionAtATerminal) {
    VirtualClock clock;
    auto service =
        std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{"VirMIDI 0-0"});
    setDefaultMidiOutService(service);
    DvVaneto store;
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("vaneto-send-" + std::to_string(getpid()) + ".mid");
    std::string error;
    ASSERT_TRUE(BankFile::save(file, store, -1, error)) << error;

    for (const auto& [answer, status, sent] :
         {std::tuple{"n\n", 1, 0u}, {"", 1, 0u}, {"yes\n", 0, 14u}}) {
        SCOPED_TRACE(answer);
        std::istringstream in(answer);
        std::ostringstream out, err;
        const CliContext context{out, err, in, true, false};
        CliArguments args("send", {file.string(), "--port", "virmidi", "--all"});
        EXPECT_EQ(SendCommand(context, clock).run(args), status) << err.str();
        EXPECT_EQ(err.str().rfind("The sending of all banks take over 10 Minutes.\n"
                                  "Do you want to really transmit? [y/N] ",
                                  0),
                  0u);
        std::vector<std::vector<std::uint8_t>> dump;
        for (const auto& message : service->messages()) {
            if (message.isLong) {
                dump.push_back(message.bytes);
            }
        }
        ASSERT_EQ(dump.size(), sent);
    }
    // Banks 1 to 7 in order, on channel 1, over one port opened once.
    const auto calls = service->calls();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const auto& call) {
                                return call.kind == SimulatedMidiOutService::Call::Kind::open;
                            }),
              1);
    int bank = 0;
    for (const auto& message : service->messages()) {
        if (message.isLong && message.bytes.size() > 6) {
            EXPECT_EQ(message.bytes[2], 0x40 + bank++);
            EXPECT_EQ(message.bytes[4], 0x20);
        }
    }
    std::filesystem::remove(file);
    setDefaultMidiOutService(nullptr);
}

TEST(CliSendProgress, TerminalLineAndPlainLines) {
    std::ostringstream terminal;
    SendProgress bar(terminal, true);
    bar.update(2, 7, 45.0, 90.0, 5 * 90.0);
    EXPECT_EQ(terminal.str(),
              "\r\033[K[###############...............] bank 2 of 7   50%  8:15 left");
    bar.status("Releasing...");
    EXPECT_EQ(terminal.str().substr(terminal.str().size() - 14), "\nReleasing...\n");

    // Plain lines: one per tenth of a bank, past the estimate at 100% with nothing left.
    std::ostringstream plain;
    SendProgress lines(plain, false);
    for (double t = 0; t <= 100; t += 0.25) {
        lines.update(1, 1, t, 89.9, 0);
    }
    const std::string text = plain.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
    EXPECT_EQ(text.substr(0, 26), "bank 1 of 1: 0%, 1:30 left");
    EXPECT_NE(text.find("bank 1 of 1: 100%, 0:00 left\n"), std::string::npos);

    for (const auto& [seconds, shown] :
         {std::pair{0.0, "0:00"}, {59.6, "1:00"}, {629.0, "10:29"}, {-5.0, "0:00"}}) {
        EXPECT_EQ(SendProgress::minutes(seconds), shown);
    }
}
