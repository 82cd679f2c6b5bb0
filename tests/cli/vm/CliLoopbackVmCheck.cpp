// Runs inside the VM of scripts/vm/run-in-vm --usb-midi, with the far end of the USB-MIDI
// interface's cable echoing back what it receives (a loopback cable): `vaneto check` over it,
// clean and lossy; a bank sent through the engine and the ALSA backend to `vaneto receive`
// listening on the interface's input; and the editor's controller sending to
// `vaneto receive --virtual`.

#include "RecordingEditorView.h"
#include "document/BankDocument.h"
#include "editor/VanetoEditorController.h"
#include "midiout/Clock.h"
#include "midiout/alsa/AlsaMidiOutService.h"

#include "CliVmProcess.h"
#include "RawmidiEcho.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* farEnd = "/dev/snd/midiC0D0";
constexpr const char* interfacePort = "USB MIDI Interface MIDI 1";
// Four times the wire rate keeps a bank's run short; the receiving end does not care.
constexpr double fastRate = 4 * 3125.0;

std::vector<std::int16_t> ramp(int step) {
    std::vector<std::int16_t> values(DvVaneto::valuesPerBank);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int16_t>(i * step);
    }
    values[7] = -32768;
    return values;
}

// The values of `bank` of a bank file that holds only that bank.
std::vector<std::int16_t> receivedBank(const char* file, int bank) {
    DvVaneto store;
    std::vector<int> banks;
    EXPECT_EQ(BankFile::load(file, store, banks), BankFile::ReadResult::ok);
    EXPECT_EQ(banks, std::vector<int>{bank});
    const auto data = store.bankData(bank);
    return {data.begin(), data.end()};
}

// `vaneto check` from the interface to itself, the far end echoing with every Nth byte left
// out (none for 0): its exit status, what it said on standard error, the bytes left out.
struct CheckRun {
    int status = -1;
    std::string told;
    std::size_t dropped = 0;
};
CheckRun checkAround(std::size_t dropEvery, std::vector<std::string> more = {}) {
    RawmidiEcho echo(farEnd, dropEvery);
    EXPECT_TRUE(echo.isOpen());
    std::vector<std::string> arguments = {"check", "--port", "usb midi", "--input", "usb midi"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    CheckRun run;
    run.status = finish(start(arguments, "/tmp/check.err"));
    run.told = readText("/tmp/check.err");
    run.dropped = echo.dropped();
    return run;
}

TEST(LoopbackVm, CheckAtTheWireRateLosesNothing) {
    const CheckRun run = checkAround(0);
    EXPECT_EQ(run.status, 0) << run.told;
}

TEST(LoopbackVm, CheckOverALossyCableReportsTheLoss) {
    const CheckRun run = checkAround(1000);
    EXPECT_EQ(run.status, 1) << run.told;
    EXPECT_GT(run.dropped, 15u);
}

// The walk takes minutes: run by hand with --gtest_also_run_disabled_tests.
TEST(LoopbackVm, DISABLED_FindRate) {
    const CheckRun run = checkAround(0, {"--find-rate"});
    EXPECT_EQ(run.status, 0) << run.told;
}

// A bank through the engine and the ALSA backend at the given pace, over the loopback to
// `vaneto receive` on the interface's input; then the interface is unplugged, which ends the
// reception with status 1, and what came whole is written all the same.
void sendBankAround(double rate) {
    RawmidiEcho echo(farEnd, 0);
    ASSERT_TRUE(echo.isOpen());
    const pid_t receive =
        start({"receive", "/tmp/engine.mid", "--input", "usb midi"}, "/tmp/engine.err");
    std::this_thread::sleep_for(1s); // listening
    AlsaMidiOutService::Options options;
    options.bytesPerSecond = rate;
    auto service = std::make_shared<AlsaMidiOutService>(realClock(), options);
    const int port = portIndex(*service, interfacePort);
    ASSERT_GE(port, 0);
    DvVaneto store;
    store.writeValues(2, 0, ramp(3));
    EXPECT_EQ(sendThroughEngine(store, service, port, 2, 4, rate), "");
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(std::system("vm-unplug"), 0);
    EXPECT_EQ(finish(receive), 1) << readText("/tmp/engine.err");
    EXPECT_EQ(std::system("vm-plug"), 0);
    const std::string told = readText("/tmp/engine.err");
    EXPECT_NE(told.find("went away"), std::string::npos) << told;
    EXPECT_EQ(receivedBank("/tmp/engine.mid", 2), ramp(3));
    std::printf("%s", told.c_str());
}

TEST(LoopbackVm, ABankSentThroughTheEngineArrivesValueForValueAndStaysAfterAnUnplug) {
    sendBankAround(fastRate);
}

// The same at the wire rate (a minute and a half): run by hand with
// --gtest_also_run_disabled_tests.
TEST(LoopbackVm, DISABLED_ABankAtTheWireRate) {
    sendBankAround(3125.0);
}

TEST(LoopbackVm, TheEditorsControllerSendsToAVirtualReceiver) {
    const pid_t receive =
        start({"receive", "/tmp/virtual.mid", "--virtual", "--count", "1", "--idle-timeout", "40"},
              "/tmp/virtual.err");
    AlsaMidiOutService::Options options;
    options.bytesPerSecond = fastRate;
    auto service = std::make_shared<AlsaMidiOutService>(realClock(), options);
    for (int tries = 0; tries < 100 && portIndex(*service, "Vaneto (virtual)") < 0; ++tries) {
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GE(portIndex(*service, "Vaneto (virtual)"), 0) << readText("/tmp/virtual.err");
    // Its port takes MIDI in only: nothing can be received from it.
    const pid_t refused =
        start({"receive", "/tmp/none.mid", "--input", "Vaneto (virtual)"}, "/tmp/refused.err");
    EXPECT_EQ(finish(refused), 1);
    EXPECT_NE(readText("/tmp/refused.err").find("cannot be received from"), std::string::npos)
        << readText("/tmp/refused.err");

    RecordingEditorView view;
    VanetoEditorController controller(view, service, realClock());
    controller.initDialog();
    controller.setBytesPerSecond(fastRate);
    const std::vector<std::string> ports = view.items(EditorView::PortList);
    const auto virtualPort = std::find(ports.begin(), ports.end(), "Vaneto (virtual)");
    ASSERT_NE(virtualPort, ports.end());
    view.setListSelection(EditorView::PortList, static_cast<int>(virtualPort - ports.begin()));
    view.setListSelection(EditorView::BankList, 5);
    controller.showSelectedBank();
    controller.document().restore({5}, [](DvVaneto& banks, BankDocument::Origins&) {
        banks.writeValues(5, 0, ramp(11));
        return true;
    });
    ::testing::internal::CaptureStderr();
    controller.sendBanks();
    for (int waited = 0; waited < 1200 && !controller.isIdle(); ++waited) {
        std::this_thread::sleep_for(100ms);
    }
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(controller.isIdle());
    EXPECT_TRUE(view.boxes().empty());
    EXPECT_EQ(finish(receive), 0) << readText("/tmp/virtual.err");
    EXPECT_EQ(receivedBank("/tmp/virtual.mid", 5), ramp(11));
}

} // namespace
