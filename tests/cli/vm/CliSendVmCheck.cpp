// Runs inside the VM of scripts/vm/run-in-vm (a kernel with snd-virmidi): `vaneto send` as a
// user runs it, through the ALSA sequencer to a virtual port, every byte read back from the
// port's rawmidi side; and Ctrl-C in the middle of the data message.

#include "app/BankFile.h"
#include "device/DvVaneto.h"

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

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// The program with its standard error in a file; answers its process id.
pid_t start(std::vector<std::string> arguments, const std::string& errorFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> argv;
    std::string program = "/bin/vaneto";
    argv.push_back(program.data());
    for (std::string& word : arguments) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What the port must receive: All Notes Off on channels 1 to 16 and 1 again, then the dump of
// bank 3 of the file on the given channel.
Bytes expectedBytes(const char* file, int channel) {
    Bytes bytes;
    for (int i = 0; i <= 16; ++i) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(0xB0 | (i & 0x0F)), 0x7B, 0x00});
    }
    DvVaneto store;
    std::vector<int> banks;
    EXPECT_EQ(BankFile::load(file, store, banks), BankFile::ReadResult::ok);
    for (const LoMidiEvent& event : store.bankDump(2, channel)) {
        bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.end());
    }
    return bytes;
}

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
