// `vaneto receive` while its error stream does not take what it writes (a terminal stopped, a
// pager that does not read): the reading thread goes on, and the bank comes whole.

#include "cli/CliArguments.h"
#include "cli/commands/ReceiveCommand.h"
#include "device/DvVaneto.h"
#include "midiin/MidiInService.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A port that plays a bank dump in pieces of 256 bytes a millisecond apart. A listener that
// keeps a piece longer than 100 ms overruns it, as the sequencer's input pool would.
class FeedingInput final : public MidiInService {
public:
    unsigned portCount() override { return 0; }
    std::string portName(unsigned) override { return {}; }
    bool open(unsigned, MidiInListener&) override { return false; }
    bool openVirtual(const std::string&, MidiInListener& listener) override {
        thread_ = std::thread([this, &listener] {
            const DvVaneto banks;
            std::vector<std::uint8_t> bytes;
            for (const LoMidiEvent& event : banks.bankDump(2, 0)) {
                bytes.insert(bytes.end(), event.bytes.begin(), event.bytes.end());
            }
            for (std::size_t at = 0; at < bytes.size() && !stop_; at += 256) {
                const auto begun = std::chrono::steady_clock::now();
                const std::size_t count = std::min<std::size_t>(256, bytes.size() - at);
                listener.received({bytes.data() + at, count}, static_cast<std::int64_t>(at));
                if (std::chrono::steady_clock::now() - begun > 100ms) {
                    listener.overrun();
                }
                std::this_thread::sleep_for(1ms);
            }
        });
        return true;
    }
    void close() override {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    std::string lastError() const override { return {}; }
    ~FeedingInput() override { close(); }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The first progress line written to it ("bank 3: 250 of 262150 bytes, ...") waits a second
// and a half before it returns.
class StalledBuffer final : public std::stringbuf {
protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (!stalled_ && std::string_view(text, static_cast<std::size_t>(count)).find(" bytes") !=
                             std::string_view::npos) {
            stalled_ = true;
            std::this_thread::sleep_for(1500ms);
        }
        return std::stringbuf::xsputn(text, count);
    }

private:
    bool stalled_ = false;
};

} // namespace

TEST(CliReceiveCommand, AStalledTerminalDoesNotCostABank) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("vaneto-receive-" + std::to_string(getpid()) + ".mid");
    std::istringstream in;
    std::ostringstream out;
    StalledBuffer stalled;
    std::ostream err(&stalled);
    const CliContext context{out, err, in, false, true};
    CliArguments args("receive", {file.string(), "--virtual", "--count", "1"});
    const int status =
        ReceiveCommand(context, [] { return std::make_unique<FeedingInput>(); }).run(args);
    EXPECT_EQ(status, 0) << stalled.str();
    EXPECT_EQ(stalled.str().find("overran"), std::string::npos) << stalled.str();
    EXPECT_NE(out.str().find("whole"), std::string::npos) << out.str();
    EXPECT_TRUE(std::filesystem::exists(file));
    std::filesystem::remove(file);
}
