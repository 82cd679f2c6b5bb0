#pragma once

// For the programs that run inside the VM of scripts/vm/run-in-vm: the vaneto tool (copied to
// /bin) started as a user starts it, and what a port must receive for a bank.

#include "files/BankFile.h"
#include "transfer/TransferEngine.h"
#include "transfer/TransferObserver.h"
#include "device/DvVaneto.h"
#include "midiout/Clock.h"
#include "midiout/MidiOutService.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A transfer's observer that shows nothing.
class Quiet final : public TransferObserver {
public:
    void status(const std::string&) override {}
    void showProgress(bool) override {}
    void progress(int, std::int64_t, double) override {}
};

// The number of the output port of that name, -1 when there is none.
[[maybe_unused]] int portIndex(MidiOutService& service, const std::string& name) {
    for (unsigned port = 0; port < service.portCount(); ++port) {
        if (service.portName(port) == name) {
            return static_cast<int>(port);
        }
    }
    return -1;
}

// One bank of the store through the transfer engine to an output port at the given pace (the
// transmitter's diagnostic lines kept off the output); "" when it was sent, else why not.
[[maybe_unused]] std::string sendThroughEngine(const DvVaneto& store,
                                               std::shared_ptr<MidiOutService> service, int port,
                                               int bank, int channel, double rate) {
    TransferEngine engine(store, std::move(service), realClock());
    TransferEngine::Request request;
    request.port = static_cast<std::uint16_t>(port);
    request.channel = channel;
    request.banks = [bank] { return std::vector<int>{bank}; };
    request.bytesPerSecond = rate;
    Quiet quiet;
    ::testing::internal::CaptureStderr();
    const TransferEngine::Result result = engine.run(request, quiet);
    ::testing::internal::GetCapturedStderr();
    return result == TransferEngine::Result::sent ? std::string() : engine.failure().reason + " ";
}

// The program with its standard error (and, when named, its output) in a file; answers its
// process id.
pid_t start(std::vector<std::string> arguments, const std::string& errorFile,
            const std::string& outputFile = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (!outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
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
[[maybe_unused]] Bytes expectedBytes(const char* file, int channel) {
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

} // namespace
