// `vaneto send` on the simulated MIDI service and a virtual clock: choosing the port, the
// question before all banks, a failing port, and the progress shown.

#include "files/BankFile.h"
#include "transfer/TransferEngine.h"
#include "cli/CliArguments.h"
#include "cli/commands/SendCommand.h"
#include "cli/SendProgress.h"
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

TEST(CliSendCommand, AFailingPortEndsTheSendAtOnceNamingBankAndPoint) {
    VirtualClock clock;
    auto service =
        std::make_shared<SimulatedMidiOutService>(clock, std::vector<std::string>{"VirMIDI 0-0"});
    service->failSending(true);
    setDefaultMidiOutService(service);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("vaneto-fail-" + std::to_string(getpid()) + ".mid");
    DvVaneto store;
    std::string error;
    ASSERT_TRUE(BankFile::save(file, store, -1, error)) << error;
    std::istringstream in;
    std::ostringstream out, err;
    const CliContext context{out, err, in, false, false};
    CliArguments args("send", {file.string(), "--port", "0", "--all", "--yes"});
    EXPECT_EQ(SendCommand(context, clock).run(args), 1);
    EXPECT_NE(err.str().find("vaneto send: bank 1 could not be sent to \"VirMIDI 0-0\" after 0 of "
                             "262156 bytes: "),
              std::string::npos)
        << err.str();
    // Ended at the failure: neither the data message's 6 s pause nor its retry wait is slept.
    const auto sleeps = clock.sleeps();
    EXPECT_LE(*std::max_element(sleeps.begin(), sleeps.end()), 600u);
    EXPECT_EQ(service->openHandles(), 0u);
    std::filesystem::remove(file);
    setDefaultMidiOutService(nullptr);
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
        EXPECT_EQ(TransferEngine::minutes(seconds), shown);
    }
}
