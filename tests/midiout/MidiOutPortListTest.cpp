#include "midiout/MidiOutPortList.h"
#include "midiout/MidiOutService.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class PortListTest : public ::testing::Test {
protected:
    void TearDown() override { setDefaultMidiOutService(nullptr); }
    VirtualClock clock;
};

TEST_F(PortListTest, WithoutABackendThereAreNoPorts) {
    setDefaultMidiOutService(nullptr);
    EXPECT_EQ(portCount(), 0u);
    EXPECT_STREQ(portName(0), "");
    MidiOutHandle handle = 7;
    EXPECT_EQ(defaultMidiOutService()->open(handle, 0, nullptr), MidiOutResult::badPort);
    EXPECT_EQ(handle, noMidiOutHandle);
}

TEST_F(PortListTest, NamesComeFromTheDefaultServiceCutTo31Characters) {
    const std::string exact31(31, 'x');
    setDefaultMidiOutService(std::make_shared<SimulatedMidiOutService>(
        clock, std::vector<std::string>{"Short", exact31, exact31 + "yz", ""}));
    ASSERT_EQ(portCount(), 4u);
    EXPECT_STREQ(portName(0), "Short");
    EXPECT_EQ(std::string(portName(1)), exact31);
    EXPECT_EQ(std::string(portName(2)), exact31);
    EXPECT_STREQ(portName(3), "");
    EXPECT_STREQ(portName(4), "") << "a port that does not exist";

    // One shared buffer: the second call overwrites what the first returned.
    const char* first = portName(0);
    const char* second = portName(1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::strlen(first), 31u);
}

TEST_F(PortListTest, VirtualSleepsFromSeveralThreadsAddUp) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < 1000; ++i) {
                clock.sleep(3);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(clock.microseconds(), 12'000'000);
    EXPECT_EQ(clock.seconds(), 1'700'000'000 + 12);
    EXPECT_EQ(clock.sleeps().size(), 4000u);
}

} // namespace
