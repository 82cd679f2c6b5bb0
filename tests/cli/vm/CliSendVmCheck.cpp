// Runs inside the VM of scripts/vm/run-in-vm (a kernel with snd-virmidi): `vaneto send` as a
// user runs it, through the ALSA sequencer to a virtual port, every byte read back from the
// port's rawmidi side; and Ctrl-C in the middle of the data message.

#include "files/BankFile.h"
#include "device/DvVaneto.h"

#include "CliVmProcess.h"
#include "RawmidiReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

class CliSendVm : public ::testing::Test {
protected:
    void SetUp() override {
        const pid_t make =
            start({"make", "/tmp/bank3.mid", "--single", "3", "--name", "3", "Sent from a script"},
                  "/tmp/make.err");
        ASSERT_EQ(finish(make), 0) << readText("/tmp/make.err");
    }
};

TEST_F(CliSendVm, OneBankArrivesWholeThroughTheSequencer) {
    RawmidiReader reader("/dev/snd/midiC0D0");
    ASSERT_TRUE(reader.isOpen());
    const auto began = std::chrono::steady_clock::now();
    const pid_t send =
        start({"send", "/tmp/bank3.mid", "--port", "virmidi 0-0", "--bank", "3", "--channel", "5"},
              "/tmp/send.err");
    ASSERT_GT(send, 0);
    const int status = finish(send);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const std::string shown = readText("/tmp/send.err");
    EXPECT_EQ(status, 0) << shown;

    const Bytes expected = expectedBytes("/tmp/bank3.mid", 4);
    const Bytes received = reader.settle(1000ms);
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the bytes arrived changed or out of order";
    EXPECT_NE(shown.find("Sending Bank 3: \"Sent from a script\"...\n"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("bank 1 of 1: 100%, 0:00 left\n"), std::string::npos) << shown;
    // Opening 1.2 s, pause 6 s, 262150 bytes at 3125 per second.
    EXPECT_GE(seconds, 1.2 + 6 + 83.8);
    std::printf("vaneto send, one bank: %.1f s\n", seconds);
}

TEST_F(CliSendVm, CtrlCEndsTheDataMessageWithF7AndExits130) {
    RawmidiReader reader("/dev/snd/midiC0D1");
    ASSERT_TRUE(reader.isOpen());
    const pid_t send =
        start({"send", "/tmp/bank3.mid", "--port", "VirMIDI 0-1", "--bank", "3"}, "/tmp/int.err");
    ASSERT_GT(send, 0);
    // Wait until some 5000 bytes of the data message are through.
    const std::size_t cut = 51 + 6 + 5000;
    for (int i = 0; i < 3000 && reader.size() < cut; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_GE(reader.size(), cut);
    ::kill(send, SIGINT);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(finish(send), 130) << readText("/tmp/int.err");
    const double stopping =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count();
    const Bytes received = reader.settle(1000ms);

    const Bytes expected = expectedBytes("/tmp/bank3.mid", 0);
    ASSERT_GE(received.size(), cut + 1);
    ASSERT_LT(received.size(), expected.size());
    EXPECT_TRUE(std::equal(received.begin(), received.end() - 1, expected.begin()))
        << "the bytes before the end are not the bank's";
    EXPECT_EQ(received.back(), 0xF7);
    EXPECT_LT(stopping, 5.0);
    EXPECT_NE(readText("/tmp/int.err").find("interrupted"), std::string::npos);
    std::printf("Ctrl-C after %zu bytes: stopped in %.2f s\n", received.size(), stopping);
}

} // namespace
