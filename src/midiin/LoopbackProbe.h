#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The test message of the interface check, and what a loop made of it. The message is a
// non-commercial System Exclusive message (manufacturer 7D), which no synthesizer acts on:
// F0 7D, then pseudo-random 7-bit bytes (so that a lost byte shows where it went), then F7.
namespace LoopbackProbe {

constexpr std::uint8_t nonCommercial = 0x7D;
constexpr std::size_t defaultLength = 16 * 1024;
// At least F0, 7D, one byte of payload and F7.
constexpr std::size_t shortestLength = 4;

std::vector<std::uint8_t> message(std::size_t length);
// Whether a received System Exclusive message is (what is left of) a test message.
bool isProbe(const std::vector<std::uint8_t>& bytes);

struct Figures {
    std::size_t sent = 0;
    std::size_t received = 0;
    std::size_t lost = 0;           // sent - received when fewer came
    std::size_t extra = 0;          // received - sent when more came
    std::ptrdiff_t difference = -1; // offset of the first byte that differs, -1 for none
};
// Compares what came back (as far as it came) with what was sent.
Figures compare(const std::vector<std::uint8_t>& sent, const std::vector<std::uint8_t>& received);

} // namespace LoopbackProbe
