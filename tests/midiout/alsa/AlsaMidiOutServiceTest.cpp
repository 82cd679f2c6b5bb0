#include "midiout/alsa/AlsaMidiOutService.h"
#include "midiout/LoMidiInterfaceTransmitter.h"
#include "midiout/MidiOutPortList.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

// The backend as the build machines meet it: no sequencer. Against a real kernel it runs in the
// VM test (alsa_vm).
namespace {

class NoSequencerTest : public ::testing::Test {
protected:
    void SetUp() override {
        struct stat status {};
        if (::stat("/dev/snd/seq", &status) == 0) {
            GTEST_SKIP() << "this machine has an ALSA sequencer";
        }
    }
    void TearDown() override { setDefaultMidiOutService(nullptr); }
};

TEST_F(NoSequencerTest, NoPortsAndEveryCallAnswersWithoutHanging) {
    VirtualClock clock;
    AlsaMidiOutService service(clock);
    EXPECT_FALSE(service.isAvailable());
    EXPECT_EQ(service.portCount(), 0u);
    EXPECT_EQ(service.portName(0), "");
    EXPECT_NE(service.lastError().find("/dev/snd/seq"), std::string::npos);

    MidiOutHandle handle = 3;
    EXPECT_EQ(service.open(handle, 0, nullptr), MidiOutResult::badPort);
    EXPECT_EQ(handle, noMidiOutHandle);
    MidiOutHeader header;
    EXPECT_EQ(service.shortMessage(handle, 0x7BB0), MidiOutResult::invalidHandle);
    EXPECT_EQ(service.prepare(handle, header), MidiOutResult::invalidHandle);
    EXPECT_EQ(service.longMessage(handle, header), MidiOutResult::invalidHandle);
    EXPECT_EQ(service.unprepare(handle, header), MidiOutResult::invalidHandle);
    EXPECT_EQ(service.close(handle), MidiOutResult::invalidHandle);
}

TEST_F(NoSequencerTest, InstalledAsDefaultTheTransmitterReportsThePortClosed) {
    EXPECT_FALSE(installAlsaMidiOutService("vaneto-test"));
    EXPECT_EQ(portCount(), 0u);
    VirtualClock clock;
    LoMidiInterfaceTransmitter transmitter(0, defaultMidiOutService(), clock);
    EXPECT_FALSE(transmitter.isOpen());
    const std::uint8_t bytes[] = {0xF0, 0x01, 0xF7};
    EXPECT_FALSE(transmitter.send({LoMidiEvent(bytes, bytes + 3, 0)}));
    EXPECT_NE(transmitter.failure().find("/dev/snd/seq"), std::string::npos)
        << transmitter.failure();
}

} // namespace
